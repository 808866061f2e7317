// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TKontrolaForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include "acquisition/tree_helpers.h"
#include "gui/TLngINISupp.h"
#include "gui/TMainForm.h"
#include "gui/TPrepocetForm.h"
#include "gui/column_layout.h"
#include "gui/qt_text.h"
#include "images/image_surface.h"
#include "platform/environment.h"
#include "platform/linux_file_tree.h"
#include "shell/dates.h"
#include "shell/text.h"

namespace rondo::gui {

namespace {

constexpr const char* kStop = "Stop";

QString FieldText(const Cp1250Text& text) {
  return FromUtf8(rondo::ToUtf8(text));
}

QString Bytes(std::uint64_t bytes) {
  return QString::number(bytes) + QStringLiteral(" B");
}

QString DateAndTime(double oleDate, const DateTimeFormat& format) {
  return FromUtf8(DateText(oleDate, format)) + QLatin1Char(' ') +
         FromUtf8(TimeText(oleDate, format));
}

}  // namespace

// Where the walk reports. The labels and gauges are refreshed, and the
// window's events run, at most every 50 ms: often enough for "Stop" and
// "Zavřít" to be heard within a block, rarely enough not to slow the reading.
class TKontrolaForm::Host : public SurfaceCheckHost {
 public:
  Host(TKontrolaForm& form, std::uint64_t discMaximum) : form_(form), discMaximum_(discMaximum) {}

  void File(const std::string& path, std::uint64_t size) override {
    path_ = path;
    fileSize_ = size;
    filePosition_ = 0;
    refreshAndPump();
  }

  void Block(std::size_t bytes) override {
    filePosition_ += bytes;
    discPosition_ += bytes;
    form_.totalBytes_ += bytes;
    form_.secondBytes_ += bytes;
    refreshAndPump();
  }

  void Error(const std::string& line) override {
    form_.errors_->addItem(FromUtf8(line));
    form_.errors_->scrollToBottom();
  }

  bool Running() override { return form_.running_; }

 private:
  void refreshAndPump() {
    if (!events_.due())
      return;
    form_.file_->setText(FromUtf8(path_));
    ShowProgress(form_.fileBar_, filePosition_, fileSize_);
    ShowProgress(form_.discBar_, discPosition_, discMaximum_);
    QCoreApplication::processEvents();
  }

  TKontrolaForm& form_;
  ThrottledEvents events_;
  std::string path_;
  std::uint64_t fileSize_ = 0;
  std::uint64_t filePosition_ = 0;
  std::uint64_t discPosition_ = 0;
  std::uint64_t discMaximum_;
};

TKontrolaForm::TKontrolaForm(Drives& drives, Registry& registry, QWidget* parent)
    : QDialog(parent), sources_(drives, folders_), drives_(sources_), registry_(registry) {
  setObjectName(QStringLiteral("TKontrolaForm"));
  setWindowTitle(QStringLiteral("Kontrola povrchu CD"));

  auto* errorBox = new QGroupBox(QStringLiteral("Nalezené chyby:"), this);
  errors_ = new QListWidget(errorBox);
  errors_->setObjectName(QStringLiteral("errorList"));
  auto* errorLayout = new QVBoxLayout(errorBox);
  errorLayout->addWidget(errors_);

  auto* driveBox = new QGroupBox(QStringLiteral("Zvolte disk"), this);
  driveList_ = new QTreeWidget(driveBox);
  driveList_->setObjectName(QStringLiteral("driveList"));
  driveList_->setHeaderLabels(
      {QStringLiteral("Jednotka"), QStringLiteral("CD - Popis"), QStringLiteral("Skupina"),
       QStringLiteral("Serial"), QStringLiteral("Půjčeno"), QStringLiteral("Datum půjčení/vrácení"),
       QStringLiteral("Originální jméno"), QStringLiteral("Souborů"), QStringLiteral("Adresářů"),
       QStringLiteral("Velikost CD"), QStringLiteral("Velikost datového bloku"),
       QStringLiteral("Vytvořeno"), QStringLiteral("Čas vytváření")});
  driveList_->setRootIsDecorated(false);
  driveList_->setSelectionMode(QAbstractItemView::SingleSelection);
  driveList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  driveList_->setAllColumnsShowFocus(true);
  std::vector<int> widths(kCheckColumnCount, 60);
  widths[kCheckColRoot] = 150;
  columns_ = new ColumnLayout(driveList_, widths, "SloupceKontroly");
  columns_->Load(registry_);
  for (int column = kCheckColFiles; column < kCheckColumnCount; ++column)
    driveList_->headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
  folder_ = new QPushButton(QStringLiteral("Jiná složka..."), driveBox);
  folder_->setObjectName(QStringLiteral("folderButton"));
  folder_->setAutoDefault(false);
  folder_->setToolTip(QStringLiteral("Zkontrolovat libovolnou složku"));
  image_ = new QPushButton(QStringLiteral("Obraz disku…"), driveBox);
  image_->setObjectName(QStringLiteral("imageButton"));
  image_->setAutoDefault(false);
  image_->setToolTip(QStringLiteral("Zkontrolovat soubory obrazu disku (ISO, UDF)"));
  auto* folderRow = new QHBoxLayout();
  folderRow->addStretch(1);
  folderRow->addWidget(image_);
  folderRow->addWidget(folder_);
  auto* driveLayout = new QVBoxLayout(driveBox);
  driveLayout->addWidget(driveList_, 1);
  driveLayout->addLayout(folderRow);

  auto* progress = new QGroupBox(QStringLiteral("Průběh:"), this);
  file_ = new QLabel(QString::fromLatin1(kIdle), progress);
  file_->setObjectName(QStringLiteral("fileLabel666"));
  file_->setMinimumWidth(200);
  file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  rate_ = new QLabel(QString::fromLatin1(kIdle), progress);
  rate_->setObjectName(QStringLiteral("rateLabel666"));
  average_ = new QLabel(QString::fromLatin1(kIdle), progress);
  average_->setObjectName(QStringLiteral("averageLabel666"));
  discBar_ = new QProgressBar(progress);
  discBar_->setObjectName(QStringLiteral("discBar"));
  fileBar_ = new QProgressBar(progress);
  fileBar_->setObjectName(QStringLiteral("fileBar"));
  ShowProgress(discBar_, 0, 0);
  ShowProgress(fileBar_, 0, 0);
  auto* progressLayout = new QGridLayout(progress);
  progressLayout->addWidget(new QLabel(QStringLiteral("Soubor:"), progress), 0, 0);
  progressLayout->addWidget(file_, 0, 1, 1, 3);
  progressLayout->addWidget(new QLabel(QStringLiteral("Dat za 1 s:"), progress), 1, 0);
  progressLayout->addWidget(rate_, 1, 1);
  progressLayout->addWidget(new QLabel(QStringLiteral("Prumer za 1 s:"), progress), 1, 2);
  progressLayout->addWidget(average_, 1, 3);
  progressLayout->addWidget(new QLabel(QStringLiteral("Diagram průběhu CD:"), progress), 2, 0);
  progressLayout->addWidget(discBar_, 2, 1, 1, 3);
  progressLayout->addWidget(new QLabel(QStringLiteral("Aktuální soubor:"), progress), 3, 0);
  progressLayout->addWidget(fileBar_, 3, 1, 1, 3);
  progressLayout->setColumnStretch(1, 1);
  progressLayout->setColumnStretch(3, 1);

  start_ = new QPushButton(QStringLiteral("Start"), this);
  start_->setObjectName(QStringLiteral("startButton"));
  start_->setDefault(true);
  close_ = new QPushButton(QStringLiteral("Zavřít"), this);
  close_->setObjectName(QStringLiteral("closeButton"));
  close_->setAutoDefault(false);
  // What the button reads while a check runs: the text of a command of the
  // window, so that the language file translates it.
  stopCaption_ = new QAction(QString::fromLatin1(kStop), this);
  stopCaption_->setObjectName(QStringLiteral("stopCaption"));
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(close_);

  auto* right = new QVBoxLayout();
  right->addWidget(driveBox, 1);
  right->addWidget(progress);
  right->addLayout(buttons);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(errorBox, 2);
  layout->addLayout(right, 5);

  refreshTimer_ = new QTimer(this);
  refreshTimer_->setObjectName(QStringLiteral("refreshTimer"));
  refreshTimer_->setInterval(1000);
  connect(refreshTimer_, &QTimer::timeout, this, &TKontrolaForm::refreshDrives);
  statsTimer_ = new QTimer(this);
  statsTimer_->setObjectName(QStringLiteral("statsTimer"));
  statsTimer_->setInterval(1000);
  connect(statsTimer_, &QTimer::timeout, this, &TKontrolaForm::statsTick);

  connect(start_, &QPushButton::clicked, this, &TKontrolaForm::startOrStop);
  connect(close_, &QPushButton::clicked, this, &QWidget::close);
  connect(folder_, &QPushButton::clicked, this, &TKontrolaForm::chooseFolder);
  connect(image_, &QPushButton::clicked, this, &TKontrolaForm::chooseImage);

  chooseImageHook = [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Vyberte obraz disku ke kontrole"),
                                        QDir::homePath());
  };
  chooseFolderHook = [this] {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Vyberte složku ke kontrole"),
                                             QDir::homePath());
  };

  detectMedia();
  rebuildList();
  refreshTimer_->start();
  resize(980, 520);
  ApplyLanguage(this);
}

TKontrolaForm::~TKontrolaForm() {
  refreshTimer_->stop();
  statsTimer_->stop();
}

TKontrolaForm::Medium* TKontrolaForm::mediumOf(const QString& root) {
  for (Medium& medium : media_) {
    if (medium.root == root)
      return &medium;
  }
  return nullptr;
}

void TKontrolaForm::detectMedia() {
  std::vector<DriveInfo> drives;
  try {
    drives = drives_.List();
  } catch (const std::exception& e) {
    qWarning("Drives unreadable: %s", e.what());
  }
  for (const DriveInfo& drive : drives) {
    if (drive.type != DriveType::kCdRom && drive.type != DriveType::kRemovable)
      continue;
    const QString root = FromUtf8(drive.root);
    Medium* medium = mediumOf(root);
    if (medium == nullptr) {
      media_.push_back(Medium{.root = root});
      medium = &media_.back();
    }
    medium->size = drive.size;
    medium->free = drive.free;
  }
  for (Medium& medium : media_) {
    const std::string root = ToUtf8(medium.root);
    std::optional<VolumeInfo> volume;
    try {
      if (drives_.HasMedia(root))
        volume = drives_.Volume(root);
    } catch (const std::exception& e) {
      qWarning("Medium unreadable: %s", e.what());
    }
    if (medium.folder) {
      std::error_code error;
      const std::filesystem::space_info space = std::filesystem::space(root, error);
      medium.size = error ? 0 : space.capacity;
      medium.free = error ? 0 : space.available;
    }
    medium.serial = volume ? FromUtf8(SerialText(volume->serial)) : QString::fromLatin1(kNoMedium);
    medium.sizeText = volume ? QString::number(medium.size) : QStringLiteral("-1");
  }
}

QStringList TKontrolaForm::rowCells(const Medium& medium) const {
  QStringList cells;
  // Linux has no drive letters: the row is named by the mount point.
  cells << medium.root;
  std::optional<CdHeader> header;
  if (medium.serial != QString::fromLatin1(kNoMedium)) {
    // The catalogue set in the program, not whichever one the main window
    // happens to have open.
    std::string catalogue;
    try {
      catalogue = registry_.ReadText("Cesta");
    } catch (const std::exception& e) {
      qWarning("Catalogue path unreadable: %s", e.what());
    }
    header = FindDiscHeader(catalogue, ToUtf8(medium.serial));
  }
  if (!header) {
    cells << QString() << QString() << medium.serial;
    return cells;
  }
  const DateTimeFormat format = platform::CurrentDisplayFormat().dateTime;
  cells << FieldText(header->Description.Text()) << FieldText(header->Groups.Text())
        << medium.serial << FieldText(header->Lending.Text())
        << (header->LendDate == 0.0 ? QString() : DateAndTime(header->LendDate, format))
        << FieldText(header->VolumeLabel.Text()) << QString::number(header->FileCount)
        << QString::number(header->DirCount) << QString::number(header->CdSize)
        << QString::number(header->BlockSize) << DateAndTime(header->Created, format)
        << FromUtf8(TimeText(std::max(header->Finished - header->Created, 0.0), format));
  return cells;
}

void TKontrolaForm::rebuildList() {
  QString chosen;
  if (const QList<QTreeWidgetItem*> selected = driveList_->selectedItems(); !selected.isEmpty())
    chosen = selected.first()->text(kCheckColRoot);
  const QSignalBlocker blocker(driveList_);
  driveList_->clear();
  builtSerials_.clear();
  for (const Medium& medium : media_) {
    auto* item = new QTreeWidgetItem(driveList_, rowCells(medium));
    for (int column = kCheckColFiles; column < kCheckColumnCount; ++column)
      item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    item->setToolTip(kCheckColRoot, QStringLiteral("Velikost média: %1 B").arg(medium.sizeText));
    if (!chosen.isEmpty() && medium.root == chosen) {
      driveList_->setCurrentItem(item);
      item->setSelected(true);
    }
    builtSerials_.push_back(medium.serial);
  }
  columns_->Fit();
}

void TKontrolaForm::refreshDrives() {
  // The disc being checked is left to the check: asking its drive about the
  // volume every second would only make it seek.
  if (walking_)
    return;
  detectMedia();
  bool changed = builtSerials_.size() != media_.size();
  for (std::size_t i = 0; !changed && i < media_.size(); ++i)
    changed = builtSerials_[i] != media_[i].serial;
  if (changed)
    rebuildList();
}

void TKontrolaForm::chooseFolder() {
  if (!chooseFolderHook)
    return;
  const QString folder = chooseFolderHook();
  if (!folder.isEmpty())
    addFolder(folder);
}

void TKontrolaForm::chooseImage() {
  if (!chooseImageHook)
    return;
  const QString path = chooseImageHook();
  if (path.isEmpty())
    return;
  if (images::ImageSources::IsImageFile(ToUtf8(path)))
    addFolder(path);
  else
    showMessage(QStringLiteral("„%1“ není obraz disku ISO 9660 ani UDF.").arg(path));
}

void TKontrolaForm::addFolder(const QString& folder) {
  const QString root = QDir::cleanPath(folder);
  if (mediumOf(root) == nullptr)
    media_.push_back(Medium{.root = root, .folder = true});
  detectMedia();
  rebuildList();
  selectRoot(root);
}

void TKontrolaForm::selectRoot(const QString& root) {
  if (root.isEmpty())
    return;
  for (int row = 0; row < driveList_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = driveList_->topLevelItem(row);
    if (item->text(kCheckColRoot) == root) {
      driveList_->setCurrentItem(item);
      item->setSelected(true);
      return;
    }
  }
  if (QFileInfo(root).isDir() || images::ImageSources::IsImageFile(ToUtf8(root)))
    addFolder(root);
}

void TKontrolaForm::showMessage(const QString& text) {
  if (messageHook) {
    messageHook(text);
    return;
  }
  QMessageBox::information(this, QString::fromUtf8(kApplicationTitle), text);
}

void TKontrolaForm::showStartCaption() {
  if (!startCaption_.isNull())
    start_->setText(std::exchange(startCaption_, QString()));
}

void TKontrolaForm::startOrStop() {
  if (running_) {
    showStartCaption();
    running_ = false;
    return;
  }
  // A check that was stopped but is still winding up is left to finish.
  if (walking_)
    return;
  const QList<QTreeWidgetItem*> selected = driveList_->selectedItems();
  const QString serial = selected.isEmpty() ? QString() : selected.first()->text(kCheckColSerial);
  const Medium* medium =
      selected.isEmpty() ? nullptr : mediumOf(selected.first()->text(kCheckColRoot));
  if (medium == nullptr || serial.isEmpty() || serial == QString::fromLatin1(kNoMedium)) {
    showMessage(QString::fromUtf8(kNoDiscChosen));
    return;
  }
  // The whole-disc gauge counts to the size the catalogue stored for the
  // disc. A disc the catalogue does not know is measured by what it holds:
  // the used part of the medium, or for a folder the bytes of its files, so
  // the gauge reaches its end about when the reading does.
  std::uint64_t maximum = 0;
  const QString stored = selected.first()->text(kCheckColCdSize);
  if (!stored.isEmpty()) {
    maximum = stored.toULongLong();
  } else if (medium->folder) {
    maximum = DirTreeSize(sources_, ToUtf8(medium->root));  // a folder or an image
  } else {
    maximum = medium->size > medium->free ? medium->size - medium->free : 0;
  }
  runCheck(*medium, maximum);
}

void TKontrolaForm::runCheck(const Medium& medium, std::uint64_t maximum) {
  const std::string root = ToUtf8(medium.root);
  startCaption_ = start_->text();
  start_->setText(stopCaption_->text());
  running_ = true;
  walking_ = true;
  folder_->setEnabled(false);
  image_->setEnabled(false);
  discMaximum_ = maximum;
  totalBytes_ = 0;
  secondBytes_ = 0;
  seconds_ = 0;
  average_->setText(QString::fromLatin1(kIdle));
  ShowProgress(discBar_, 0, maximum);
  ShowProgress(fileBar_, 0, 0);
  statsTimer_->start();

  SurfaceCheckResult result;
  try {
    Host host(*this, maximum);
    if (surfaceFiles != nullptr) {
      result = CheckSurface(root, host, *surfaceFiles);
    } else if (images::ImageSources::IsImageFile(root)) {
      images::ImageSurfaceFiles image(root);
      result = CheckSurface(root, host, image);
    } else {
      PosixSurfaceFiles posix;
      result = CheckSurface(root, host, posix);
    }
  } catch (const std::exception& e) {
    errors_->addItem(QStringLiteral("Chyba: ") + FromUtf8(e.what()));
  }

  walking_ = false;
  folder_->setEnabled(true);
  image_->setEnabled(true);
  statsTimer_->stop();
  ShowProgress(discBar_, 0, 0);
  ShowProgress(fileBar_, 0, 0);
  file_->setText(QString::fromLatin1(kIdle));
  rate_->setText(QString::fromLatin1(kIdle));
  if (deleteWhenDone_) {
    // The window was closed during the walk and is to go away; now that
    // the walk has returned, nothing refers to it any more.
    deleteLater();
    return;
  }
  showStartCaption();
  running_ = false;
  if (result.mediumGone) {
    showMessage(QString::fromUtf8(kMediumRemoved));
  } else if (!result.rootUnreadable) {
    const QString read = QStringLiteral("Přečteno souborů: %1 (%2), chyb: %3.")
                             .arg(result.files)
                             .arg(Bytes(result.bytes))
                             .arg(result.errors);
    showMessage((result.stopped ? QStringLiteral("Kontrola byla zastavena. ")
                                : QStringLiteral("Kontrola skončila. ")) +
                read);
  }
}

void TKontrolaForm::statsTick() {
  ++seconds_;
  rate_->setText(Bytes(secondBytes_));
  average_->setText(Bytes(totalBytes_ / seconds_));
  secondBytes_ = 0;
}

void TKontrolaForm::leaving() {
  running_ = false;
  refreshTimer_->stop();
  try {
    columns_->Save(registry_);
  } catch (const std::exception&) {
    // Widths that cannot be kept are chosen again next time.
  }
  if (walking_ && testAttribute(Qt::WA_DeleteOnClose)) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    deleteWhenDone_ = true;
  }
}

void TKontrolaForm::showEvent(QShowEvent* event) {
  // Shown again after it was closed: the drives are watched again.
  if (!refreshTimer_->isActive())
    refreshTimer_->start();
  QDialog::showEvent(event);
}

void TKontrolaForm::closeEvent(QCloseEvent* event) {
  leaving();
  QDialog::closeEvent(event);
}

void TKontrolaForm::reject() {
  leaving();
  QDialog::reject();
}

}  // namespace rondo::gui
