#include "gui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "catalogue/messages.h"
#include "gui/disc_list_model.h"
#include "platform/environment.h"
#include "shell/paths.h"
#include "shell/sizes.h"

namespace rondo::gui {

namespace {

// Registry names of the settings the main window uses.
constexpr const char* kCataloguePathSetting = "Cesta";
constexpr const char* kShownGroupSetting = "ZobrazitSkupinu";
constexpr const char* kFontSizeSetting = "VelikostFontu";
constexpr const char* kForeignDirectoriesSetting = "ZobrAdresare";
constexpr const char* kStartCountSetting = "Spusteni";
constexpr const char* kProgramPathSetting = "AppPath";

// Prefix of the messages about failed operations.
constexpr const char* kFailurePrefix = "Chyba: ";

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  return text.toUtf8().toStdString();
}

// Menu and button texts take "&" as a mnemonic mark; group names do not.
QString WithoutMnemonics(QString text) {
  return text.replace(QLatin1Char('&'), "&&");
}

}  // namespace

TMainForm::TMainForm(Registry& registry, QWidget* parent)
    : QMainWindow(parent), registry_(registry), engine_(*this, platform::CurrentDisplayFormat()) {
  model_ = new DiscListModel(engine_.Discs, this);
  chooseDatabaseFile = [this](bool newDatabase) { return defaultChooseDatabaseFile(newDatabase); };

  buildMenus();
  buildCentralWidget();
  setGroupCaption(FromUtf8(kGroupAll));
  resize(900, 560);
}

TMainForm::~TMainForm() {
  // The child widgets outlive the engine (QObject deletes them after the
  // members are gone) and may still lay out while hiding; they must no
  // longer reach the engine's rows through the model.
  discView_->setModel(nullptr);
}

void TMainForm::buildMenus() {
  programMenu_ = menuBar()->addMenu(QStringLiteral("[Program]"));
  newDatabaseAction_ = programMenu_->addAction(QStringLiteral("Nová databáze..."));
  openDatabaseAction_ = programMenu_->addAction(QStringLiteral("Otevřít databázi..."));
  programMenu_->addSeparator();
  quitAction_ = programMenu_->addAction(QStringLiteral("Konec"));

  connect(newDatabaseAction_, &QAction::triggered, this, [this] { askForDatabase(true); });
  connect(openDatabaseAction_, &QAction::triggered, this, [this] { askForDatabase(false); });
  connect(quitAction_, &QAction::triggered, this, &QWidget::close);
}

void TMainForm::buildCentralWidget() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  // Where we are and which group is shown.
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel(QStringLiteral("Cesta:"), central));
  pathLabel_ = new QLabel(central);
  pathLabel_->setToolTip(QStringLiteral("Cesta v níž se při prozkoumávání právě nacházíme"));
  pathLabel_->setFrameShape(QFrame::StyledPanel);
  pathLabel_->setFrameShadow(QFrame::Sunken);
  pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  pathLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  top->addWidget(pathLabel_, 1);
  top->addSpacing(12);
  top->addWidget(new QLabel(QStringLiteral("Skupina:"), central));
  groupButton_ = new QPushButton(central);
  groupButton_->setMinimumWidth(140);
  top->addWidget(groupButton_);
  layout->addLayout(top);

  groupMenu_ = new QMenu(this);
  connect(groupButton_, &QPushButton::clicked, this, &TMainForm::showGroupMenu);

  // The disc list. Sorting is the engine's business, never the view's.
  discView_ = new QTreeView(central);
  discView_->setRootIsDecorated(false);
  discView_->setItemsExpandable(false);
  discView_->setUniformRowHeights(true);
  discView_->setAlternatingRowColors(true);
  discView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  discView_->setSelectionBehavior(QAbstractItemView::SelectRows);
  discView_->setSortingEnabled(false);
  discView_->setAllColumnsShowFocus(true);
  discView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  discView_->setModel(model_);
  discView_->header()->setStretchLastSection(false);
  for (std::size_t i = 0; i < kDiscColumnCount; ++i) {
    discView_->header()->resizeSection(static_cast<int>(i), kDiscListColumns[i].width);
  }
  discView_->installEventFilter(this);
  connect(discView_, &QAbstractItemView::doubleClicked, this, &TMainForm::openSelectedDisc);
  connect(discView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TMainForm::syncSelection);
  layout->addWidget(discView_, 1);

  // The database facts.
  auto* bottom = new QHBoxLayout();
  sizeLabel_ = new QLabel(central);
  bottom->addWidget(sizeLabel_);
  bottom->addSpacing(24);
  bottom->addWidget(new QLabel(QStringLiteral("CD ve skupině:"), central));
  countLabel_ = new QLabel(QStringLiteral("0"), central);
  bottom->addWidget(countLabel_);
  bottom->addStretch(1);
  foreignDirsBox_ =
      new QCheckBox(QStringLiteral("Zobrazovat adresáře nepatřící do skupiny"), central);
  bottom->addWidget(foreignDirsBox_);
  layout->addLayout(bottom);

  setCentralWidget(central);
  updateDatabaseSize();
}

void TMainForm::start() {
  QString catalogue = QString::fromStdString(registry_.ReadText(kCataloguePathSetting));
  if (catalogue.isEmpty()) {
    // Nothing configured yet: a catalogue in the user's data folder.
    catalogue = QString::fromStdString(platform::DefaultCataloguePath());
    QDir().mkpath(QFileInfo(catalogue).absolutePath());
  }
  engine_.DatabasePath = ToUtf8(catalogue);

  QString group = QString::fromStdString(registry_.ReadText(kShownGroupSetting));
  if (group.isEmpty())
    group = FromUtf8(kGroupAll);
  setGroupCaption(group);
  engine_.GroupFilter = ToUtf8(group);

  const std::int64_t fontSize = registry_.ReadInteger(kFontSizeSetting);
  if (fontSize > 0) {
    QFont font = discView_->font();
    font.setPointSize(static_cast<int>(std::min<std::int64_t>(fontSize, 200)));
    discView_->setFont(font);
  }

  {
    const QSignalBlocker blocker(foreignDirsBox_);
    foreignDirsBox_->setChecked(registry_.ReadBool(kForeignDirectoriesSetting));
  }
  connect(foreignDirsBox_, &QCheckBox::toggled, this, &TMainForm::storeForeignDirectories,
          Qt::UniqueConnection);

  try {
    // "Audio CD" is always one of the kinds on offer.
    registry_.WriteText(std::string(kAudioCdLabel), "", std::string(kGroupKindsKey));
    countStart();
    registry_.WriteText(kProgramPathSetting, platform::ProgramPath());
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
  }
  rebuildGroupMenu();

  updateCaption();
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::countStart() {
  const std::optional<std::string> previous = registry_.Read("", kStartCountSetting);
  if (!previous || previous->empty()) {
    registry_.WriteText(kStartCountSetting, "1");
  } else {
    registry_.WriteInteger(kStartCountSetting, registry_.ReadInteger(kStartCountSetting) + 1);
  }
}

void TMainForm::rebuildGroupMenu() {
  groupMenu_->clear();
  auto addGroup = [this](const QString& name) {
    QAction* action = groupMenu_->addAction(WithoutMnemonics(name));
    action->setData(name);
    connect(action, &QAction::triggered, this, [this, name] { chooseGroup(name); });
  };
  addGroup(FromUtf8(kGroupAll));
  addGroup(FromUtf8(kGroupLent));
  addGroup(FromUtf8(kGroupNotLent));
  groupMenu_->addSeparator();

  std::vector<std::string> kinds;
  try {
    kinds = registry_.ValueNames(std::string(kGroupKindsKey));
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
  }
  std::sort(kinds.begin(), kinds.end());
  for (const std::string& kind : kinds)
    addGroup(QString::fromStdString(kind));
}

void TMainForm::showGroupMenu() {
  groupMenu_->popup(groupButton_->mapToGlobal(QPoint(0, groupButton_->height())));
}

void TMainForm::chooseGroup(const QString& group) {
  setGroupCaption(group);
  engine_.GroupFilter = ToUtf8(group);
  runOperation(OperationCode::kListCds);
  updateDiscCount();
}

void TMainForm::setGroupCaption(const QString& group) {
  groupButton_->setText(WithoutMnemonics(group));
}

void TMainForm::askForDatabase(bool newDatabase) {
  if (!chooseDatabaseFile)
    return;
  const QString path = chooseDatabaseFile(newDatabase);
  if (!path.isEmpty())
    openDatabase(path);
}

QString TMainForm::defaultChooseDatabaseFile(bool newDatabase) {
  QString folder = QString::fromStdString(PathHead(registry_.ReadText(kCataloguePathSetting)));
  if (folder.isEmpty())
    folder = QString::fromStdString(PathHead(engine_.DatabasePath));
  const QString filter = QStringLiteral("Databáze Rondotheka (*.big);;Všechny soubory (*)");
  if (newDatabase) {
    // An existing file chosen here is opened, never overwritten.
    return QFileDialog::getSaveFileName(this, QStringLiteral("Nová databáze"), folder, filter,
                                        nullptr, QFileDialog::DontConfirmOverwrite);
  }
  return QFileDialog::getOpenFileName(this, QStringLiteral("Otevřít databázi"), folder, filter);
}

void TMainForm::openDatabase(const QString& path) {
  engine_.DatabasePath = ToUtf8(path);
  // Nothing cached from the previous database may leak into this one.
  engine_.LoadedSerial.clear();
  engine_.LoadedDiscName.clear();
  engine_.BlockCache.Clear();
  engine_.DirStack.clear();
  engine_.CurrentDepth = 0;
  clearDiscList();

  updateCaption();
  runOperation(OperationCode::kListCds);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::clearDiscList() {
  DiscListAboutToChange();
  engine_.Discs.rows.clear();
  DiscListChanged();
}

void TMainForm::openSelectedDisc() {
  Engine::Opened opened = Engine::Opened::kNothing;
  try {
    opened = engine_.OpenSelectedDisc();
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
    updateDiscCount();
    return;
  }
  switch (opened) {
    case Engine::Opened::kGroupList:
    case Engine::Opened::kMultigroup:
      updateDiscCount();
      break;
    case Engine::Opened::kDisc:
      // The disc's contents get their own view; until then the list stays.
    case Engine::Opened::kNothing:
      break;
  }
}

std::optional<bool> TMainForm::runOperation(OperationCode code) {
  try {
    return engine_.RunOperation(code);
  } catch (const std::exception& e) {
    // A refill cut short still has to end for the views.
    if (model_->Resetting())
      DiscListChanged();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return std::nullopt;
  }
}

void TMainForm::updateCaption() {
  setWindowTitle(kWindowCaptionPrefix + QString::fromStdString(PathTail(engine_.DatabasePath)));
}

void TMainForm::updateDatabaseSize() {
  const std::string size =
      engine_.DatabasePath.empty() ? "0 B" : FileSizeText(engine_.DatabasePath, true);
  sizeLabel_->setText(QStringLiteral("Velikost databáze: ") + QString::fromStdString(size));
}

void TMainForm::updateDiscCount() {
  countLabel_->setText(QString::number(engine_.Discs.rows.size()));
}

void TMainForm::storeForeignDirectories(bool checked) {
  try {
    registry_.WriteBool(kForeignDirectoriesSetting, checked);
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
  }
}

void TMainForm::syncSelection(const QItemSelection& selected, const QItemSelection& deselected) {
  if (model_->Resetting())
    return;
  auto& rows = engine_.Discs.rows;
  auto mark = [&rows](const QItemSelection& ranges, bool on) {
    for (const QItemSelectionRange& range : ranges) {
      const int last = std::min(range.bottom(), static_cast<int>(rows.size()) - 1);
      for (int row = std::max(range.top(), 0); row <= last; ++row) {
        rows[static_cast<std::size_t>(row)].selected = on;
      }
    }
  };
  mark(deselected, false);
  mark(selected, true);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == discView_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      openSelectedDisc();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::Confirm(const std::string& text) {
  const QString question = FromUtf8(text);
  if (confirmHook)
    return confirmHook(question);
  return QMessageBox::question(this, QString::fromUtf8(kApplicationTitle),
                               QString(question).replace(QStringLiteral("\r\n"), "\n"),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

void TMainForm::ShowMessage(const std::string& text) {
  const QString message = FromUtf8(text);
  if (messageHook) {
    messageHook(message);
    return;
  }
  const QString shown = QString(message).replace(QStringLiteral("\r\n"), "\n");
  const bool failure = message.startsWith(QString::fromUtf8(kFailurePrefix)) ||
                       message.startsWith(FromUtf8(msg::kErrorPrefix));
  if (failure) {
    QMessageBox::warning(this, QString::fromUtf8(kApplicationTitle), shown);
  } else {
    QMessageBox::information(this, QString::fromUtf8(kApplicationTitle), shown);
  }
}

void TMainForm::ProcessPendingEvents() {
  QCoreApplication::processEvents();
}

void TMainForm::DiscListAboutToChange() {
  model_->BeginReset();
}

void TMainForm::DiscListChanged() {
  model_->EndReset();
}

void TMainForm::PathLabelChanged(const std::string& text) {
  pathLabel_->setText(FromUtf8(text));
}

}  // namespace rondo::gui
