// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TPridaniCDForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "acquisition/scan_request_check.h"
#include "acquisition/scanner.h"
#include "acquisition/tree_helpers.h"
#include "gui/QELControls.h"
#include "gui/TInformaceForm.h"
#include "gui/TKontrolaForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TMainForm.h"
#include "gui/TPrepocetForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/add_disc_parts.h"
#include "gui/qt_text.h"
#include "gui/typed_input.h"
#include "settings/group_kinds.h"
#include "shell/delay.h"
#include "shell/sizes.h"

namespace rondo::gui {

namespace {

using add_disc::kCountdownStart;
using add_disc::kZeroTime;
using add_disc::PlaceholderItem;
using add_disc::Unassigned;

constexpr const char* kFailurePrefix = "Chyba: ";
constexpr const char* kNoDriveMessage = "Zadejte prosím písmeno jednotky!";
constexpr const char* kNoValue = "---";
constexpr const char* kCommentPrompt = "Zadejte komentář:";

// A page that scrolls when the window cannot be as large as the page wants
// (a large font on a small screen) instead of squeezing its controls into
// each other; otherwise exactly as large as the page.
class PageArea : public QScrollArea {
 public:
  PageArea(QWidget* page, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(page);
  }
  QSize sizeHint() const override {
    return widget()->sizeHint() + QSize(2 * frameWidth(), 2 * frameWidth());
  }
};

bool IsPlaceholder(const QListWidgetItem* item) {
  return item->data(Qt::UserRole).toString() == Unassigned();
}

QString StoredName(const QListWidgetItem* item) {
  return IsPlaceholder(item) ? Unassigned() : item->text();
}

// Seconds as H:MM:SS.
QString ClockText(long long seconds) {
  if (seconds < 0)
    seconds = 0;
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600)
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Whether path is root itself or lies below it.
bool IsBelow(const std::string& path, const std::string& root) {
  if (root.empty() || path.compare(0, root.size(), root) != 0)
    return false;
  return path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
}

}  // namespace

// Where the scan reports: the status line and the Informace window get every
// line, the counters and bars the progress. Repainting for every item would
// cost more than the scan itself, so the window is refreshed and its events
// run at most every 50 ms.
class TPridaniCDForm::Progress : public ScanProgress {
 public:
  explicit Progress(TPridaniCDForm& form) : form_(form) {}

  void Log(const std::string& line) override {
    form_.setStatus(FromUtf8(line));
    refreshAndPump();
  }

  void Sized(std::uint64_t dirs, std::uint64_t files, std::uint64_t bytes) override {
    totalDirs_ = dirs;
    totalFiles_ = files;
    totalBytes_ = bytes;
    events_.reset();
    refreshAndPump();
  }

  void Stored(bool directory, const std::string& path, std::uint64_t bytes) override {
    if (directory) {
      ++dirs_;
    } else {
      ++files_;
      bytes_ += bytes;
    }
    path_ = path;
    refreshAndPump();
  }

  void ProcessEvents() override { refreshAndPump(); }

  // The bytes of the entry written to the catalogue so far.
  void Written(std::uint64_t done, std::uint64_t total) {
    writing_ = true;
    written_ = done;
    writtenTotal_ = total;
    if (done == total)
      events_.reset();
    refreshAndPump();
  }

 private:
  void refreshAndPump() {
    if (!events_.due())
      return;
    refresh();
    QCoreApplication::processEvents();
  }

  void refresh() {
    form_.dirsValue_->setText(QStringLiteral("%1 / %2").arg(dirs_).arg(totalDirs_));
    form_.filesValue_->setText(QStringLiteral("%1 / %2").arg(files_).arg(totalFiles_));
    form_.sizeValue_->setText(FromUtf8(IntegerSizeText(static_cast<std::int64_t>(bytes_))) +
                              QStringLiteral(" / ") +
                              FromUtf8(IntegerSizeText(static_cast<std::int64_t>(totalBytes_))));
    form_.pathEdit_->setText(FromUtf8(path_));
    const std::uint64_t items = dirs_ + files_;
    const std::uint64_t totalItems = totalDirs_ + totalFiles_;
    ShowProgress(form_.itemsBar_, items, totalItems);
    if (writing_)
      ShowProgress(form_.positionBar_, written_, writtenTotal_);
    else
      ShowProgress(form_.positionBar_, bytes_, totalBytes_);
    form_.entryPercent_ =
        totalItems == 0
            ? 0
            : static_cast<int>(std::min<std::uint64_t>(items, totalItems) * 100 / totalItems);
  }

  TPridaniCDForm& form_;
  ThrottledEvents events_;
  std::uint64_t totalDirs_ = 0;
  std::uint64_t totalFiles_ = 0;
  std::uint64_t totalBytes_ = 0;
  std::uint64_t dirs_ = 0;
  std::uint64_t files_ = 0;
  std::uint64_t bytes_ = 0;
  std::string path_;
  bool writing_ = false;
  std::uint64_t written_ = 0;
  std::uint64_t writtenTotal_ = 0;
};

TPridaniCDForm::TPridaniCDForm(Engine& engine, Registry& registry, Drives& drives, FileTree& tree,
                               QWidget* parent)
    : QDialog(parent),
      engine_(engine),
      registry_(registry),
      sources_(drives, tree),
      drives_(sources_),
      tree_(sources_) {
  setAcceptDrops(true);
  setObjectName(QStringLiteral("TPridaniCDForm"));
  setWindowTitle(QStringLiteral("Přidání nového CD..."));
  setModal(true);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("pages"));
  auto* processing = new QWidget(pages_);
  auto* items = new QWidget(pages_);
  auto* explorer = new QWidget(pages_);
  buildProcessingPage(processing);
  buildItemsPage(items);
  buildExplorerPage(explorer);
  pages_->addTab(new PageArea(processing, pages_), QStringLiteral("Zpracovávání"));
  pages_->addTab(new PageArea(items, pages_), QStringLiteral("Komentáře a Adresářové skupiny"));
  pages_->addTab(new PageArea(explorer, pages_), QStringLiteral("Průzkumník"));

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusLabel"));
  status_->hide();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);

  mediaTimer_ = new QTimer(this);
  mediaTimer_->setObjectName(QStringLiteral("TimerProKontroluMedia"));
  mediaTimer_->setInterval(1000);
  connect(mediaTimer_, &QTimer::timeout, this, &TPridaniCDForm::mediaTick);
  elapsedTimer_ = new QTimer(this);
  elapsedTimer_->setObjectName(QStringLiteral("TimerProDobuBehu"));
  elapsedTimer_->setInterval(1000);
  connect(elapsedTimer_, &QTimer::timeout, this, &TPridaniCDForm::elapsedTick);

  installDefaultHooks();
  fillAvailableGroups();
  buildWorkingRows();
  showWorkingRows();
  showExplorer(false, QString());
  mediaTimer_->start();
  resize(820, 640);
  // Tab goes from the chosen groups through the buttons between the lists.
  QWidget::setTabOrder(chosenGroups_, addGroup_);
  QWidget::setTabOrder(addGroup_, removeGroup_);
  QWidget::setTabOrder(removeGroup_, newGroup_);
  QWidget::setTabOrder(newGroup_, availableGroups_);
  ApplyLanguage(this);
}

TPridaniCDForm::~TPridaniCDForm() {
  mediaTimer_->stop();
  elapsedTimer_->stop();
  delete informace_;
  explorer_->setModel(nullptr);
}

void TPridaniCDForm::installDefaultHooks() {
  chooseDirectoryHook = [this](const QString& caption, const QString& start) {
    return QFileDialog::getExistingDirectory(this, caption, start);
  };
  chooseFileHook = [this](const QString& caption, const QString& start) {
    return QFileDialog::getOpenFileName(this, caption, start);
  };
  // The one prompt asks for comments and for new group names.
  askTextHook = [this](const QString& caption, const QString& label) {
    const bool comment = caption == QString::fromUtf8(kCommentPrompt);
    return TRenameForm::ask(this, caption, label, QString(),
                            comment ? TypedField::kItemComment : TypedField::kGroupName);
  };
  chooseGroupsHook = [this]() -> std::optional<QString> {
    TSkupinaForm picker(registry_, this);
    if (picker.exec() != QDialog::Accepted)
      return std::nullopt;
    return picker.storedGroups();
  };
  messageHook = [this](const QString& text) {
    const QString title = QString::fromUtf8(kApplicationTitle);
    if (text.startsWith(QString::fromLatin1(kFailurePrefix)))
      QMessageBox::warning(this, title, text);
    else
      QMessageBox::information(this, title, text);
  };
}

void TPridaniCDForm::fillAvailableGroups() {
  std::vector<std::string> groups;
  try {
    groups = ReadGroupList(registry_);
  } catch (const std::exception& e) {
    // Without the group list new names can still be made with "N".
    qWarning("Group list unreadable: %s", e.what());
  }
  for (const std::string& group : groups)
    availableGroups_->addItem(FromUtf8(group));
  if (availableGroups_->count() > 0)
    availableGroups_->setCurrentRow(0);
}

void TPridaniCDForm::prepare() {
  serialChecked_ = false;
  pages_->setCurrentIndex(0);
  showExplorer(false, QString());
  driveList_->setVisible(true);
  if (!shownRows_.empty()) {
    const DriveRow& last = shownRows_.back();
    driveEdit_->setText(last.root());
    if (last.full())
      nameEdit_->setText(last.label());
  }
  try {
    for (TQELCheckBox* box :
         {withoutStructure_, closeWhenDone_, watchMedia_, renameOnInsert_, ejectWhenDone_})
      box->LoadFromRegistry(registry_);
  } catch (const std::exception& e) {
    showMessage(QString::fromLatin1(kFailurePrefix) + QString::fromUtf8(e.what()));
  }
  checkDrive();
}

void TPridaniCDForm::saveOptions(Registry& registry) {
  for (TQELCheckBox* box :
       {withoutStructure_, closeWhenDone_, watchMedia_, renameOnInsert_, ejectWhenDone_})
    box->SaveToRegistry(registry);
}

QString TPridaniCDForm::statusText() const {
  return status_->text();
}

void TPridaniCDForm::setStatus(const QString& text) {
  status_->setText(text);
  if (!running_)
    return;
  runLog_.append(text);
  if (informace_ != nullptr)
    informace_->addLine(text);
}

void TPridaniCDForm::showMessage(const QString& text) {
  if (messageHook)
    messageHook(text);
}

void TPridaniCDForm::buildWorkingRows() {
  std::vector<DriveInfo> drives = drives_.List();
  ejectableRoots_.clear();
  for (const DriveInfo& drive : drives) {
    if (IsEjectCandidate(drive))
      ejectableRoots_ << FromUtf8(drive.root);
  }
  // A chosen folder is one more drive, at the end, unless it is a drive.
  const std::string folder = ToUtf8(chosenFolder_);
  if (!folder.empty() &&
      std::none_of(drives.begin(), drives.end(),
                   [&folder](const DriveInfo& drive) { return drive.root == folder; })) {
    DriveInfo info;
    info.root = folder;
    std::size_t longest = 0;
    for (const DriveInfo& drive : drives) {
      if (IsBelow(folder, drive.root) && drive.root.size() >= longest) {
        longest = drive.root.size();
        info.type = drive.type;
        info.fileSystem = drive.fileSystem;
      }
    }
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(folder, error);
    if (!error) {
      info.size = space.capacity;
      info.free = space.available;
    }
    drives.push_back(info);
  }

  workingRows_.clear();
  QString lastLabel;
  for (const DriveInfo& drive : drives) {
    const std::optional<VolumeInfo> volume = drives_.Volume(drive.root);
    const QString label = volume ? FromUtf8(volume->label) : QString();
    DriveRow row;
    row.cells << FromUtf8(drive.root);
    if (label == lastLabel) {
      // The same volume seen again (or nothing there): only the root.
      row.cells << QString::fromLatin1(kNoValue);
    } else {
      lastLabel = label;
      row.cells << label;
      const QString type = FromUtf8(DriveTypeText(drive.type));
      if (drives_.HasMedia(drive.root)) {
        const std::string fs =
            volume && !volume->fileSystem.empty() ? volume->fileSystem : drive.fileSystem;
        row.cells << FromUtf8(IntegerSizeText(static_cast<std::int64_t>(drive.size)))
                  << FromUtf8(IntegerSizeText(static_cast<std::int64_t>(drive.free))) << type
                  << FromUtf8(fs) << (volume ? FromUtf8(SerialText(volume->serial)) : QString());
      } else {
        row.cells << QString::fromLatin1(kNoValue) << QString::fromLatin1(kNoValue) << type
                  << QString::fromLatin1(kNoValue);
      }
    }
    workingRows_.push_back(std::move(row));
  }
}

void TPridaniCDForm::showWorkingRows() {
  shownRows_ = workingRows_;
  fillingList_ = true;
  {
    const QSignalBlocker blocker(driveList_);
    driveList_->clear();
    const QString chosen = driveEdit_->text();
    for (const DriveRow& row : shownRows_) {
      auto* item = new QTreeWidgetItem(driveList_, row.cells);
      if (!chosen.isEmpty() && row.root() == chosen)
        driveList_->setCurrentItem(item);
    }
  }
  fillingList_ = false;
}

const DriveRow* TPridaniCDForm::rowOfDriveField() const {
  const QString root = driveEdit_->text();
  for (const DriveRow& row : shownRows_) {
    if (row.root() == root)
      return &row;
  }
  return nullptr;
}

void TPridaniCDForm::refreshDrives() {
  serialChecked_ = false;
  buildWorkingRows();
  showWorkingRows();
  checkDrive();
}

void TPridaniCDForm::driveRowChosen() {
  if (fillingList_)
    return;
  const int index = driveList_->indexOfTopLevelItem(driveList_->currentItem());
  if (index < 0 || index >= static_cast<int>(shownRows_.size()))
    return;
  const DriveRow& row = shownRows_[static_cast<std::size_t>(index)];
  nameEdit_->setText(row.cells.size() > kDriveColLabel ? row.label()
                                                       : QString::fromLatin1(kNoValue));
  driveEdit_->setText(row.root());
  checkDrive();
}

void TPridaniCDForm::checkDrive() {
  const QString root = driveEdit_->text();
  const bool medium = !root.isEmpty() && drives_.HasMedia(ToUtf8(root));
  if (!medium) {
    showExplorer(false, QString());
    duplicate_->hide();
    start_->setEnabled(false);
    eject_->setEnabled(false);
    return;
  }
  // The explorer shows folders; an image's tree is not one.
  showExplorer(!images::ImageSources::IsImageFile(ToUtf8(root)), root);
  eject_->setEnabled(!running_);
  const DriveRow* row = rowOfDriveField();
  const QString serial = row != nullptr ? row->serial() : QString();
  bool stored = false;
  if (!serial.isEmpty()) {
    // The catalogue is asked once per medium, not at every tick: it may be
    // large, and a damaged one would repeat its message every second.
    if (!serialChecked_ || checkedSerial_ != serial || checkedPath_ != engine_.DatabasePath) {
      engine_.PendingSerial = ToUtf8(serial);
      bool found = false;
      try {
        found = engine_.RunOperation(OperationCode::kSerialExists);
      } catch (const std::exception& e) {
        // A catalogue that cannot be opened holds no disc; storing will say why.
        qWarning("Serial check failed: %s", e.what());
      }
      engine_.PendingSerial.clear();
      serialChecked_ = true;
      checkedSerial_ = serial;
      checkedPath_ = engine_.DatabasePath;
      checkedFound_ = found;
    }
    stored = checkedFound_;
  }
  duplicate_->setVisible(stored);
  start_->setEnabled(!stored && !running_);
}

void TPridaniCDForm::showExplorer(bool visible, const QString& root) {
  if (visible && root != explorerRoot_) {
    explorerRoot_ = root;
    explorer_->setRootIndex(explorerModel_->setRootPath(root));
  }
  pages_->setTabVisible(kExplorerPage, visible);
}

QString TPridaniCDForm::startFolder() const {
  const QString root = driveEdit_->text();
  if (!root.isEmpty() && QFileInfo(root).isDir())
    return root;
  if (!root.isEmpty() && QFileInfo(root).isFile())
    return QFileInfo(root).absolutePath();  // beside the image chosen last
  return QDir::homePath();
}

void TPridaniCDForm::browseForFolder() {
  if (!chooseDirectoryHook)
    return;
  const QString folder = chooseDirectoryHook(
      QStringLiteral("Vyberte složku, jež bude zpracována jako CD"), startFolder());
  if (!folder.isEmpty())
    useFolder(folder);
}

void TPridaniCDForm::useFolder(const QString& folder) {
  const QString root = QDir::cleanPath(folder);
  chosenFolder_ = root;
  driveEdit_->setText(root);
  buildWorkingRows();
  showWorkingRows();
  // Chosen like a row of the list: its label becomes the name.
  if (const DriveRow* row = rowOfDriveField())
    nameEdit_->setText(row->label());
  checkDrive();
}

void TPridaniCDForm::browseForImage() {
  if (!chooseFileHook)
    return;
  const QString path = chooseFileHook(
      QStringLiteral("Vyberte obraz disku, jenž bude zpracován jako CD"), startFolder());
  if (!path.isEmpty())
    useImage(path);
}

bool TPridaniCDForm::useImage(const QString& path) {
  if (!images::ImageSources::IsImageFile(ToUtf8(path))) {
    showMessage(QStringLiteral("„%1“ není obraz disku ISO 9660 ani UDF.").arg(path));
    return false;
  }
  useFolder(path);
  return true;
}

void TPridaniCDForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && event->mimeData()->hasUrls() && event->mimeData()->urls().size() == 1 &&
      event->mimeData()->urls().front().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void TPridaniCDForm::dropEvent(QDropEvent* event) {
  const QString path = event->mimeData()->urls().front().toLocalFile();
  if (QFileInfo(path).isDir())
    useFolder(path);
  else
    useImage(path);
  event->acceptProposedAction();
}

void TPridaniCDForm::mediaTick() {
  if (running_)
    return;
  // (1) The drives as they are now; not while a medium is being ejected,
  // which some drives do not like to be asked about meanwhile.
  if (watchMedia_->isChecked() && statusText() != QString::fromUtf8(kStatusEjecting))
    buildWorkingRows();
  // (2) No tick may start while this one works.
  const bool wasRunning = mediaTimer_->isActive();
  mediaTimer_->stop();
  // (3) What is in the chosen drive.
  const QString root = driveEdit_->text();
  std::optional<VolumeInfo> volume;
  if (!root.isEmpty() && drives_.HasMedia(ToUtf8(root)))
    volume = drives_.Volume(ToUtf8(root));

  if (automatic_->isChecked()) {
    // (4) A medium not stored yet is counted down and then stored.
    if (!volume) {
      setStatus(QString::fromUtf8(kStatusWaiting));
    } else {
      setStatus(QString::fromUtf8(kStatusCountdown));
      if (FromUtf8(SerialText(volume->serial)) != lastStoredSerial) {
        if (countdown_->text() == QString::fromLatin1(kCountdownStart) &&
            renameOnInsert_->isChecked())
          nameEdit_->setText(FromUtf8(volume->label));
        const int left = std::max(countdown_->text().toInt() - 1, 0);
        countdown_->setText(QString::number(left));
        if (left == 0) {
          setStatus(QString::fromUtf8(kStatusProcessing));
          startScan();
        }
      }
    }
  } else {
    // (5)
    setStatus(QString::fromUtf8(volume ? kStatusReady : kStatusWaiting));
  }

  // (6) Show what changed: a drive more or less, or another medium.
  if (shownRows_.size() != workingRows_.size()) {
    showWorkingRows();
  } else {
    for (std::size_t i = 0; i < shownRows_.size(); ++i) {
      const DriveRow& shown = shownRows_[i];
      const DriveRow& working = workingRows_[i];
      const bool changed = shown.cells.size() != working.cells.size() ||
                           (working.full() && shown.serial() != working.serial());
      if (!changed)
        continue;
      showWorkingRows();
      if (renameOnInsert_->isChecked()) {
        if (const DriveRow* row = rowOfDriveField())
          nameEdit_->setText(row->label());
      }
      break;
    }
  }
  // (7)
  if (wasRunning)
    mediaTimer_->start();
  checkDrive();
}

void TPridaniCDForm::automaticToggled(bool on) {
  if (!on)
    return;
  closeWhenDone_->setChecked(false);
  watchMedia_->setChecked(true);
  ejectWhenDone_->setChecked(true);
  mediaTimer_->start();
}

void TPridaniCDForm::elapsedTick() {
  ++elapsedSeconds_;
  elapsedValue_->setText(ClockText(elapsedSeconds_));
  if (entryPercent_ != 0) {
    const long long whole = static_cast<long long>(elapsedSeconds_) * 100 / entryPercent_;
    remainingValue_->setText(ClockText(whole - elapsedSeconds_));
  }
}

std::vector<std::string> TPridaniCDForm::chosenGroups() const {
  std::vector<std::string> groups;
  for (int row = 0; row < chosenGroups_->count(); ++row)
    groups.push_back(ToUtf8(StoredName(chosenGroups_->item(row))));
  return groups;
}

void TPridaniCDForm::setIdleButtons() {
  close_->setEnabled(true);
  start_->setEnabled(true);
  eject_->setEnabled(true);
  surfaceCheck_->setEnabled(true);
}

void TPridaniCDForm::startScan() {
  if (running_)
    return;
  if (driveEdit_->text().isEmpty()) {
    showMessage(QString::fromUtf8(kNoDriveMessage));
    return;
  }
  runScan();
}

void TPridaniCDForm::runScan() {
  running_ = true;
  runLog_.clear();
  runLog_.append(QString::fromUtf8(kStatusProcessing));
  informace_ = new TInformaceForm(this);
  informace_->addLine(QString::fromUtf8(kStatusProcessing));
  informace_->placeTopLeft();
  informace_->show();

  elapsedSeconds_ = 0;
  entryPercent_ = 0;
  elapsedValue_->setText(QString::fromLatin1(kZeroTime));
  remainingValue_->setText(QString::fromLatin1(kZeroTime));
  elapsedTimer_->start();
  for (QPushButton* button : {close_, start_, surfaceCheck_, eject_})
    button->setEnabled(false);
  setStatus(QString::fromUtf8(kStatusWorking));
  const bool mediaWatched = mediaTimer_->isActive();
  mediaTimer_->stop();

  const std::string root = ToUtf8(driveEdit_->text());
  bool stored = false;
  QString failure;
  try {
    // A damaged image says what is wrong with it.
    if (images::ImageSources::IsImageFile(root))
      sources_.Open(root);
    const std::optional<VolumeInfo> volume = drives_.Volume(root);
    if (!volume)
      throw std::runtime_error("Médium v " + root + " nelze přečíst.");
    ScanRequest request;
    request.root = root;
    request.description = ToUtf8(nameEdit_->text());
    request.groups = chosenGroups();
    for (int i = 0; i < comments_->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = comments_->topLevelItem(i);
      request.commentRows.push_back({ToUtf8(item->text(0)), ToUtf8(item->text(1))});
    }
    for (int i = 0; i < groupRows_->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = groupRows_->topLevelItem(i);
      request.groupRows.push_back({ToUtf8(item->text(0)), ToUtf8(item->text(1))});
    }
    request.withoutStructure = withoutStructure_->isChecked();
    request.volume = *volume;
    // Nothing is scanned, registered or stored for texts the catalogue
    // would have to cut or change.
    if (const std::string refusal = ScanRequestRefusal(request); !refusal.empty())
      throw std::runtime_error(refusal + " Nic nebylo uloženo.");

    Progress progress(*this);
    if (images::ImageSources::IsImageFile(root)) {
      const images::DiscImage& image = sources_.Open(root);
      progress.Log(image.TreeText());
      for (const std::string& problem : image.Problems())
        progress.Warn(problem);
    }
    const ScanResult result = ScanDisc(request, tree_, registry_, progress);
    const std::string database = engine_.DatabasePath;
    StoreScannedEntry(
        database, result.entry, progress,
        [&progress](std::uint64_t done, std::uint64_t total) { progress.Written(done, total); },
        [this, database](std::chrono::milliseconds waited) {
          return engine_.Host().KeepWaitingForLock(database, waited);
        });
    stored = true;

    const std::string serial = SerialText(volume->serial);
    setStatus(QString::fromUtf8(kStatusDone));
    pathEdit_->clear();
    ShowProgress(positionBar_, 0, 0);
    ShowProgress(itemsBar_, 0, 0);
    countdown_->setText(QString::fromLatin1(kCountdownStart));
    lastStoredSerial = FromUtf8(serial);
    DelayMs(storeDelayMs, [] { QCoreApplication::processEvents(); });

    setStatus(QString::fromUtf8(kStatusRecalculating));
    engine_.RecalcSerial = serial;
    engine_.RunOperation(OperationCode::kRecalculateStructure);

    if (ejectWhenDone_->isChecked()) {
      setStatus(QString::fromUtf8(kStatusEjecting));
      QCoreApplication::processEvents();
      QString ejectFailure;
      if (!ejectDrive(FromUtf8(root), ejectFailure) && !ejectFailure.isEmpty()) {
        setStatus(ejectFailure);
        showMessage(ejectFailure);
      }
      setStatus(QString::fromUtf8(kStatusWaiting));
    }
  } catch (const std::exception& e) {
    failure = QString::fromLatin1(kFailurePrefix) + QString::fromUtf8(e.what());
  } catch (...) {
    failure = QString::fromLatin1(kFailurePrefix) + QStringLiteral("neznámá chyba");
  }
  if (!failure.isEmpty())
    setStatus(failure);

  // Back to idle, whatever happened.
  serialChecked_ = false;
  delete informace_;
  informace_ = nullptr;
  elapsedTimer_->stop();
  running_ = false;
  setIdleButtons();
  pathEdit_->clear();
  ShowProgress(positionBar_, 0, 0);
  ShowProgress(itemsBar_, 0, 0);
  countdown_->setText(QString::fromLatin1(kCountdownStart));
  if (!failure.isEmpty())
    showMessage(failure);

  if (stored && failure.isEmpty() && closeWhenDone_->isChecked() && !automatic_->isChecked()) {
    accept();
    return;
  }
  if (mediaWatched)
    mediaTimer_->start();
  checkDrive();
}

void TPridaniCDForm::ejectMedium() {
  const QString root = driveEdit_->text();
  if (root.isEmpty())
    return;
  setStatus(QString::fromUtf8(kStatusEjecting));
  QCoreApplication::processEvents();
  QString failure;
  ejectDrive(root, failure);
  if (!failure.isEmpty()) {
    setStatus(failure);
    showMessage(failure);
  } else {
    setStatus(QString::fromUtf8(kStatusWaiting));
  }
  checkDrive();
}

bool TPridaniCDForm::ejectDrive(const QString& root, QString& failure) {
  failure.clear();
  // A folder chosen with "..." or a fixed disk has no medium to take out:
  // complaining about it after every stored folder would only stop the
  // automatic mode at a message.
  if (!ejectableRoots_.contains(root))
    return false;
  std::string error;
  if (drives_.Eject(ToUtf8(root), error))
    return true;
  if (!error.empty())
    failure = QStringLiteral("CD nelze vysunout: ") + FromUtf8(error);
  return false;
}

void TPridaniCDForm::checkSurface() {
  if (running_)
    return;
  // The media watch rests while the check reads: automatic mode must not
  // start storing the disc being checked, nor the drive be asked about it
  // every second.
  const bool mediaWatched = mediaTimer_->isActive();
  mediaTimer_->stop();
  {
    TKontrolaForm form(drives_, registry_, this);
    form.messageHook = [this](const QString& text) { showMessage(text); };
    form.selectRoot(driveEdit_->text());
    if (surfaceCheckHook)
      surfaceCheckHook(form);
    else
      form.exec();
  }
  if (mediaWatched)
    mediaTimer_->start();
  checkDrive();
}

void TPridaniCDForm::addSelectedGroup() {
  const QList<QListWidgetItem*> selected = availableGroups_->selectedItems();
  if (selected.isEmpty())
    return;
  QListWidgetItem* item = selected.first();
  chosenGroups_->addItem(item->text());
  delete availableGroups_->takeItem(availableGroups_->row(item));
  availableGroups_->clearSelection();
  if (chosenGroups_->count() > 1 && IsPlaceholder(chosenGroups_->item(0)))
    delete chosenGroups_->takeItem(0);
}

void TPridaniCDForm::removeSelectedGroup() {
  const QList<QListWidgetItem*> selected = chosenGroups_->selectedItems();
  if (selected.isEmpty())
    return;
  QListWidgetItem* item = selected.first();
  // The placeholder is no group and never goes to the list to choose from.
  if (!IsPlaceholder(item))
    availableGroups_->addItem(item->text());
  delete chosenGroups_->takeItem(chosenGroups_->row(item));
  chosenGroups_->clearSelection();
  if (chosenGroups_->count() == 0)
    chosenGroups_->addItem(PlaceholderItem());
}

void TPridaniCDForm::addNewGroup() {
  if (!askTextHook)
    return;
  const std::optional<QString> name =
      askTextHook(QStringLiteral("Nové jméno..."), QStringLiteral("Nové jméno:"));
  // An empty name would become a group nobody can choose again.
  if (name && !name->trimmed().isEmpty() &&
      StorableOrSay(this, *name, TypedField::kGroupName, std::nullopt, messageHook))
    availableGroups_->addItem(*name);
}

void TPridaniCDForm::addCommentForFile() {
  if (!chooseFileHook || !askTextHook)
    return;
  const QString file = chooseFileHook(QStringLiteral("Vyberte soubor"), startFolder());
  if (file.isEmpty())
    return;
  const std::optional<QString> text =
      askTextHook(QString::fromUtf8(kCommentPrompt), file + QStringLiteral(":"));
  if (!text || !StorableOrSay(this, *text, TypedField::kItemComment, std::nullopt, messageHook))
    return;
  auto* item = new QTreeWidgetItem(comments_, {file, *text});
  item->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
}

void TPridaniCDForm::addCommentForDirectory() {
  if (!chooseDirectoryHook || !askTextHook)
    return;
  const QString dir = chooseDirectoryHook(QStringLiteral("Vyberte adresář"), startFolder());
  if (dir.isEmpty())
    return;
  const std::optional<QString> text =
      askTextHook(QString::fromUtf8(kCommentPrompt), QString::fromUtf8(kCommentPrompt));
  if (!text || !StorableOrSay(this, *text, TypedField::kItemComment, std::nullopt, messageHook))
    return;
  auto* item = new QTreeWidgetItem(comments_, {QDir::cleanPath(dir), *text});
  item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
}

void TPridaniCDForm::removeSelectedComments() {
  qDeleteAll(comments_->selectedItems());
}

void TPridaniCDForm::addGroupsForDirectory() {
  if (!chooseDirectoryHook || !chooseGroupsHook)
    return;
  const QString dir = chooseDirectoryHook(QStringLiteral("Vyberte adresář"), startFolder());
  if (dir.isEmpty())
    return;
  const std::optional<QString> groups = chooseGroupsHook();
  if (!groups)
    return;
  auto* item = new QTreeWidgetItem(groupRows_, {QDir::cleanPath(dir), *groups});
  item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
}

void TPridaniCDForm::removeSelectedGroupRows() {
  // Removes the rows of this list, never a comment row.
  qDeleteAll(groupRows_->selectedItems());
}

void TPridaniCDForm::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  mediaTimer_->stop();
  QDialog::closeEvent(event);
}

void TPridaniCDForm::reject() {
  // Escape during a scan does nothing; the scan cannot stop halfway.
  if (running_)
    return;
  mediaTimer_->stop();
  QDialog::reject();
}

}  // namespace rondo::gui
