// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its start, the catalogue it opens, its events and what
// the engine reports to it. Its menus, disc commands and lists are in the
// main_window_*.cpp files beside it.
#include "gui/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <system_error>

#include "catalogue/disc_filter.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TDatabazeInfoForm.h"
#include "gui/TDuplicityForm.h"
#include "gui/TInfoForm.h"
#include "gui/TKontrolaForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TMePujceneForm.h"
#include "gui/TOnForm.h"
#include "gui/TPrevodForm.h"
#include "gui/TPridaniCDForm.h"
#include "gui/TPujcitForm.h"
#include "gui/TSearchForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/TSplashForm.h"
#include "gui/TSpravaSkupForm.h"
#include "gui/catalogue_watch.h"
#include "gui/column_layout.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "gui/main_window_parts.h"
#include "gui/qt_text.h"
#include "gui/qt_translations.h"
#include "gui/window_placement.h"
#include "platform/environment.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "shell/delay.h"
#include "shell/paths.h"
#include "shell/sizes.h"
#include "shell/typed_text.h"

namespace rondo::gui {

using namespace main_window;

namespace {

// A setting that must be a whole number in [low, high]; empty otherwise.
std::optional<int> NumberSetting(const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
    return std::nullopt;
  return value;
}

}  // namespace

TMainForm::TMainForm(Registry& registry, QWidget* parent)
    : QMainWindow(parent),
      registry_(registry),
      engine_(*this, platform::CurrentDisplayFormat()),
      icons_(std::make_unique<IconCache>()),
      ownFileTree_(std::make_unique<platform::LinuxFileTree>()),
      fileTree_(ownFileTree_.get()) {
  setObjectName(QStringLiteral("TMainForm"));
  model_ = new DiscListModel(engine_.Discs, this);
  dirModel_ = new DirListModel(engine_.Dirs, *icons_, this);
  chooseDatabaseFile = [this](bool newDatabase) { return defaultChooseDatabaseFile(newDatabase); };
  chooseRescanSource = &TMainForm::defaultChooseRescanSource;
  engine_.Settings = &registry_;
  lockWait_ = new LockWaitWindow(this);
  // Every window of the program opens where the user left it.
  qApp->installEventFilter(new WindowPlacement(registry_, this));
  watcher_ = new CatalogueWatcher(this);
  connect(watcher_, &CatalogueWatcher::changed, this, &TMainForm::catalogueChangedOutside);

  buildMenus();
  buildCentralWidget();
  buildContextMenus();
  buildTimers();
  buildKeys();
  setGroupCaption(FromUtf8(kGroupAll));
  resize(900, 560);
}

TMainForm::~TMainForm() {
  if (MainLngSupp() == language_)
    SetMainLngSupp(nullptr);
  // The child widgets outlive the engine (QObject deletes them after the
  // members are gone) and may still lay out while hiding; they must no
  // longer reach the engine's rows through the models.
  discView_->setModel(nullptr);
  dirView_->setModel(nullptr);
}

void TMainForm::start() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  guarded([this] { programFolder_ = WithTrailingBackslash(PathHead(platform::ProgramPath())); });

  // A first start of this version shows the settings once.
  bool newVersion = false;
  guarded([this, &newVersion] {
    newVersion = registry_.ReadText(kProgramVersionSetting) != kApplicationTitle;
  });
  if (newVersion) {
    openSettings();
    guarded([this] { registry_.WriteText(kProgramVersionSetting, kApplicationTitle); });
  }

  showSplash();
  guarded([this] { registry_.WriteText(kProgramPathSetting, platform::ProgramPath()); });

  std::string catalogue = commandLineCatalogue();
  if (catalogue.empty())
    guarded([this, &catalogue] { catalogue = registry_.ReadText(kCataloguePathSetting); });
  if (catalogue.empty()) {
    ShowMessage(kNoDatabasePrompt);
    openSettings();
    guarded([this, &catalogue] { catalogue = registry_.ReadText(kCataloguePathSetting); });
  }
  // An empty path stays empty: the listing then says that none is set.
  engine_.DatabasePath = catalogue;

  guarded([this] {
    languageFile_ = registry_.ReadText(kLanguageSetting);
    if (languageFile_.empty())
      languageFile_ = kDefaultLanguageFile;
  });
  startLanguage();
  engine_.BlockCache.Clear();
  updateDatabaseSize();

  guarded([this] { foreignDirsBox_->LoadFromRegistry(registry_); });
  engine_.ShowForeignItems = foreignDirsBox_->isChecked();
  itemsMenu_->menuAction()->setVisible(false);

  rebuildGroupMenu();
  updateCaption();

  QString group;
  guarded(
      [this, &group] { group = QString::fromStdString(registry_.ReadText(kShownGroupSetting)); });
  if (group.isEmpty())
    group = FromUtf8(kGroupAll);
  setGroupCaption(group);
  engine_.GroupFilter = ToUtf8(group);

  guarded([this] {
    discColumns_->Load(registry_);
    dirColumns_->Load(registry_);
    const auto column = registry_.ReadInteger(kDiscSortSetting);
    if (column >= 0 && static_cast<std::size_t>(column) < kDiscColumnCount) {
      engine_.DiscSortColumn = static_cast<int>(column);
      engine_.DiscSortDescending = registry_.ReadBool(kDiscSortDescendingSetting);
    }
  });
  applyFontSize();
  // On a first start the catalogue and its folders are not there yet.
  if (createCatalogue(engine_.DatabasePath))
    runOperation(OperationCode::kListCds);
  watcher_->Watch(engine_.DatabasePath);
  updateDiscCount();
  updateDatabaseSize();
  // The borrowed-discs window beside the list, without waiting for it.
  bool showBorrowedAtStart = false;
  guarded([this, &showBorrowedAtStart] {
    showBorrowedAtStart = registry_.ReadBool("ZobrazovatMePujcene");
  });
  if (showBorrowedAtStart) {
    TMePujceneForm* form = makeBorrowedWindow(this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setModal(false);
    form->setGeometry(3, 28, 275, 200);
    startupBorrowed_ = form;
    form->show();
  }
}

std::string TMainForm::commandLineCatalogue() {
  if (startFile.isEmpty())
    return {};
  const std::string path = ToUtf8(QFileInfo(startFile).absoluteFilePath());
  // Opened, never made: a mistyped name must not leave a new catalogue
  // behind. What cannot be opened is said as the listing would say it.
  try {
    OpenCatalogue(path, false);
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return {};
  }
  return path;
}

void TMainForm::guarded(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    ShowMessage(kFailurePrefix + std::string(e.what()));
  }
}

void TMainForm::showSplash() {
  if (splashMilliseconds <= 0)
    return;
  TSplashForm splash;
  splash.centreOnScreen();
  splash.show();
  splash.raise();
  DelayMs(static_cast<std::uint32_t>(splashMilliseconds),
          [] { QCoreApplication::processEvents(); });
  splash.close();
}

void TMainForm::openSettings() {
  {
    TOnForm form(registry_, this);
    form.exec();
    // "O.K." has stored the values; Escape has left them as they were.
  }
  applyFontSize();
}

void TMainForm::applyFontSize() {
  std::string text;
  guarded([this, &text] { text = registry_.ReadText(kFontSizeSetting); });
  const std::optional<int> size = NumberSetting(text, kSmallestFontSize, kLargestFontSize);
  if (!size)
    return;  // not a size: the lists keep their font
  for (QTreeView* view : {discView_, dirView_}) {
    QFont font = view->font();
    font.setPointSize(*size);
    view->setFont(font);
  }
  discColumns_->Fit();
  dirColumns_->Fit();
}

void TMainForm::rebuildGroupMenu() {
  groupMenu_->clear();
  std::vector<std::string> entries;
  guarded([this, &entries] {
    CountStart(registry_);
    entries = GroupMenuEntries(registry_);
  });
  for (const std::string& entry : entries) {
    if (entry == kMenuSeparator) {
      groupMenu_->addSeparator();
      continue;
    }
    const QString name = QString::fromStdString(entry);
    QAction* action = groupMenu_->addAction(WithoutMnemonics(ShownGroupName(name)));
    action->setData(name);
    connect(action, &QAction::triggered, this, [this, name] { chooseGroup(name); });
  }
}

void TMainForm::showGroupMenu() {
  groupMenu_->popup(QPoint(x() + 10, y() + groupButton_->geometry().top() + 60));
}

void TMainForm::chooseGroup(const QString& group) {
  setGroupCaption(group);
  engine_.GroupFilter = ToUtf8(group);
  if (browsing())
    leaveBrowsing();
  runOperation(OperationCode::kListCds);
  updateDiscCount();
}

void TMainForm::setGroupCaption(const QString& group) {
  groupButton_->setText(WithoutMnemonics(ShownGroupName(group)));
}

void TMainForm::manageGroups() {
  {
    TSpravaSkupForm form(registry_, this);
    form.exec();
  }
  rebuildGroupMenu();
  runOperation(OperationCode::kListCds);
  updateDiscCount();
}

void TMainForm::showWhatsNew() {
  showInformation(static_cast<int>(TInfoForm::Kind::kWhatsNew));
}

void TMainForm::showAbout() {
  showInformation(static_cast<int>(TInfoForm::Kind::kAbout));
}

void TMainForm::showInformation(int kind) {
  ProgramFacts facts;
  if (auto* file = dynamic_cast<FileRegistry*>(&registry_))
    facts.settingsFile = QString::fromStdString(file->Path());
  else
    facts.settingsFile = QString::fromStdString(platform::RegistryFilePath());
  facts.databasePath = QString::fromStdString(engine_.DatabasePath);
  facts.programFolder = QString::fromStdString(programFolder_);
  TInfoForm form(static_cast<TInfoForm::Kind>(kind), facts, this);
  form.exec();
}

void TMainForm::setFileTree(FileTree* tree) {
  fileTree_ = tree != nullptr ? tree : ownFileTree_.get();
}

void TMainForm::askForDatabase(bool newDatabase) {
  if (!chooseDatabaseFile)
    return;
  const QString path = chooseDatabaseFile(newDatabase);
  if (path.isEmpty())
    return;
  // A new catalogue that cannot be made leaves the open one open.
  if (newDatabase && !createCatalogue(ToUtf8(path)))
    return;
  openDatabase(path);
}

bool TMainForm::createCatalogue(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  std::error_code error;
  // An existing file (or none named) is the listing's business: it gives an
  // empty file its header and says what is wrong with anything else.
  if (path.empty() || fs::exists(file, error) || fs::is_symlink(file, error))
    return true;
  const std::string refused =
      kFailurePrefix + std::string("databázi „") + path + "“ nelze vytvořit: ";
  const fs::path folder = file.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error)) {
    fs::create_directories(folder, error);
    if (error) {
      ShowMessage(refused + "složku „" + folder.string() + "“ nelze založit (" + error.message() +
                  "). Zvolte prosím jiné místo.");
      return false;
    }
  }
  try {
    CreateCatalogueIfEmpty(path, [this, &path](std::chrono::milliseconds waited) {
      return KeepWaitingForLock(path, waited);
    });
  } catch (const std::exception& e) {
    std::string reason = e.what();
    if (!reason.empty() && reason.back() != '.')
      reason += '.';
    ShowMessage(refused + reason + " Zvolte prosím jiné místo.");
    return false;
  }
  return true;
}

QString TMainForm::defaultChooseDatabaseFile(bool newDatabase) {
  QString folder;
  guarded([this, &folder] {
    folder = QString::fromStdString(PathHead(registry_.ReadText(kCataloguePathSetting)));
  });
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
  if (browsing())
    leaveBrowsing();
  engine_.DatabasePath = ToUtf8(path);
  // Nothing cached from the previous database may leak into this one.
  engine_.LoadedSerial.clear();
  engine_.LoadedDiscName.clear();
  engine_.BlockCache.Clear();
  engine_.DirStack.clear();
  engine_.CurrentDepth = 0;
  clearLists();
  // The hits of another catalogue cannot be shown in this one.
  if (searchForm_ != nullptr) {
    searchForm_->deleteLater();
    searchForm_ = nullptr;
  }
  engine_.Found.Clear();
  if (duplicityForm_ != nullptr) {
    duplicityForm_->deleteLater();
    duplicityForm_ = nullptr;
  }
  engine_.Duplicates.Clear();

  updateCaption();
  runOperation(OperationCode::kListCds);
  watcher_->Watch(engine_.DatabasePath);
  updateDatabaseSize();
  updateDiscCount();
}

void TMainForm::catalogueChangedOutside() {
  if (engine_.Busy() || model_->Resetting() || dirModel_->Resetting()) {
    // An operation of this window runs (its events are being let through):
    // look again once it is done.
    QTimer::singleShot(300, this, &TMainForm::catalogueChangedOutside);
    return;
  }
  const bool wasBrowsing = browsing();
  bool stillBrowsing = wasBrowsing;
  try {
    stillBrowsing = engine_.RefreshFromFile(wasBrowsing);
  } catch (const std::exception& e) {
    finishPendingResets();
    // Shown once per change of the file, not in a loop.
    watcher_->Seen();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return;
  }
  finishPendingResets();
  if (wasBrowsing && !stillBrowsing)
    showDiscList();
  updateDatabaseSize();
  updateDiscCount();
}

bool TMainForm::KeepWaitingForLock(const std::string& path, std::chrono::milliseconds waited) {
  return lockWait_->KeepWaiting(path, waited);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == discView_ || watched == dirView_) && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (handleListKey(watched == discView_, key->key(), key->modifiers()))
      return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shownBefore_) {
    shownBefore_ = true;
    actOnStartArgument();
  }
}

void TMainForm::actOnStartArgument() {
  if (startArgument.compare(QStringLiteral("add"), Qt::CaseInsensitive) == 0) {
    timerProPridaniCD_->start();
  } else if (startArgument.compare(QStringLiteral("search"), Qt::CaseInsensitive) == 0) {
    // Started only to search: the search window opens once the main window
    // is on screen, and when it closes the program ends.
    QTimer::singleShot(0, this, [this] {
      searchDatabase();
      timerProKonecProgramu_->start();
    });
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  hide();
  guarded([this] {
    registry_.WriteText(kLanguageSetting, languageFile_);
    discColumns_->Save(registry_);
    dirColumns_->Save(registry_);
    clearLists();
    engine_.BlockCache = MemoryStream();
    engine_.LoadedSerial.clear();
  });
  finishPendingResets();
  event->accept();
  if (quitOnClose)
    timerProKonec_->start();
}

bool TMainForm::Confirm(const std::string& text) {
  const QString question = FromUtf8(text);
  if (confirmHook)
    return confirmHook(question);
  return QMessageBox::question(this, QString::fromUtf8(kApplicationTitle),
                               QString(question).replace(QStringLiteral("\r\n"), "\n"),
                               QMessageBox::Yes | QMessageBox::No,
                               // Every question asks before a change: Enter keeps things.
                               QMessageBox::No) == QMessageBox::Yes;
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

void TMainForm::RecalcStarted() {
  if (recalcForm_ == nullptr) {
    // Started from a modal window (adding a disc), the progress window
    // belongs to that one, or the modal window would block its "Zrušit".
    QWidget* modal = QApplication::activeModalWidget();
    recalcForm_ = new TPrepocetForm(modal != nullptr ? modal : this);
    if (confirmHook)
      recalcForm_->confirmHook = confirmHook;
  }
  // The catalogue is busy: no other command may start meanwhile.
  menuBar()->setEnabled(false);
  centralWidget()->setEnabled(false);
  recalcForm_->show();
  recalcForm_->centreOnScreen();
  recalcForm_->raise();
  recalcEvents_.reset();
  QCoreApplication::processEvents();
}

void TMainForm::RecalcDisc(const std::string& description, std::uint16_t dirs,
                           std::uint16_t files) {
  if (recalcForm_ != nullptr)
    recalcForm_->setDisc(FromUtf8(description), dirs, files);
  recalcEvents_.pump();
}

void TMainForm::RecalcProgress(int bar, std::uint64_t position, std::uint64_t maximum) {
  // Called for every item: the bar counts in thousandths, so most calls
  // change nothing on screen, and the events run only now and then.
  if (recalcForm_ != nullptr)
    recalcForm_->setProgress(bar, position, maximum);
  recalcEvents_.pump();
}

bool TMainForm::RecalcCancelRequested() {
  recalcEvents_.pump();
  return recalcForm_ != nullptr && recalcForm_->cancelRequested();
}

void TMainForm::RecalcFinished() {
  delete recalcForm_;
  recalcForm_ = nullptr;
  menuBar()->setEnabled(true);
  centralWidget()->setEnabled(true);
}

void TMainForm::ShiftStarted() {
  if (shiftForm_ == nullptr)
    shiftForm_ = new TPosunDatForm(this);
  // The catalogue is busy: no other command may start meanwhile.
  menuBar()->setEnabled(false);
  centralWidget()->setEnabled(false);
  shiftForm_->show();
  shiftForm_->raise();
  shiftEvents_.reset();
  QCoreApplication::processEvents();
}

void TMainForm::ShiftProgress(int bar, std::uint64_t position, std::uint64_t maximum) {
  if (shiftForm_ != nullptr)
    shiftForm_->setProgress(bar, position, maximum);
  shiftEvents_.pump();
}

void TMainForm::ShiftFinished() {
  delete shiftForm_;
  shiftForm_ = nullptr;
  menuBar()->setEnabled(true);
  centralWidget()->setEnabled(true);
}

void TMainForm::runModal(QDialog& form) {
  if (modalHook) {
    modalHook(form);
    return;
  }
  form.exec();
}

void TMainForm::showDatabaseInfo() {
  TDatabazeInfoForm form(
      engine_, [this](OperationCode code) { runOperation(code); },
      [this](const QString& text) { ShowMessage(ToUtf8(text)); }, this);
  runModal(form);
}

bool TMainForm::ConvertOldDatabase(const std::string& path) {
  // The window runs the conversion at once and closes when it returns.
  TPrevodForm form(this);
  form.messageHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
  form.setPath(FromUtf8(path));
  form.show();
  const bool converted = form.start();
  form.close();
  return converted;
}

void TMainForm::convertVersions() {
  TPrevodForm form(this);
  form.messageHook = [this](const QString& text) { ShowMessage(ToUtf8(text)); };
  form.setPath(FromUtf8(engine_.DatabasePath));
  runModal(form);
  if (form.converted()) {
    // The open catalogue may be the one converted.
    leaveBrowsing();
    runOperation(OperationCode::kListCds);
    updateDiscCount();
    updateDatabaseSize();
  }
}

TMePujceneForm* TMainForm::makeBorrowedWindow(QWidget* parent) {
  if (borrowedListPath.empty())
    borrowedListPath = platform::BorrowedListPath();
  return new TMePujceneForm(
      registry_, borrowedListPath, engine_.Format(),
      [this](const QString& text) { ShowMessage(ToUtf8(text)); }, parent);
}

void TMainForm::showBorrowed() {
  if (startupBorrowed_ != nullptr) {
    // The window from the start is already there: it comes to the front,
    // larger, rather than a second copy of the same list beside it.
    startupBorrowed_->resize(600, 320);
    startupBorrowed_->raise();
    startupBorrowed_->activateWindow();
    return;
  }
  std::unique_ptr<TMePujceneForm> form(makeBorrowedWindow(this));
  runModal(*form);
}

}  // namespace rondo::gui
