// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: the disc list of the chosen group with the group
// selector above it and the database facts below it; a double click on a
// disc puts the directory list of the stored disc in the disc list's place.
// The window is the engine's host: it answers the engine's questions, shows
// its messages and resets its views when the engine refills the lists.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/drives.h"
#include "acquisition/file_tree.h"
#include "catalogue/engine.h"
#include "catalogue/engine_host.h"
#include "gui/TPosunDatForm.h"
#include "gui/TPrepocetForm.h"
#include "settings/registry.h"
#include "version.h"

class QAction;
class QItemSelection;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeView;

namespace rondo::gui {

class DirListModel;
class DiscListModel;
class IconCache;
class ColumnLayout;
class TQELCheckBox;

// The application title, "QEL Rondotheka <version>": message boxes carry it
// and "VerzeProgramu" holds the one that last ran. Put together at compile
// time so that it stays a plain C string.
inline constexpr auto kApplicationTitleText = [] {
  constexpr std::string_view kName = "QEL Rondotheka ";
  constexpr std::string_view kNumber = kVersion;
  std::array<char, kName.size() + kNumber.size() + 1> text{};
  std::copy(kName.begin(), kName.end(), text.begin());
  std::copy(kNumber.begin(), kNumber.end(), text.begin() + kName.size());
  return text;
}();
inline constexpr const char* kApplicationTitle = kApplicationTitleText.data();
// The window caption is this followed by the file name of the database.
inline constexpr const char* kWindowCaptionPrefix = "QEL Rondotheka - ";
// Shown when no database is configured yet, before the settings open.
inline constexpr const char* kNoDatabasePrompt =
    "Nastavte si prosím cestu k databázi, jež chtece při startu otevírat!\r\nMůže se jednat o "
    "novou databázy, nastavte cestu kde má být vytvořena, program vše zařídí.";
// The language file used when the settings name none.
inline constexpr const char* kDefaultLanguageFile = "czech.lng";

class TMainForm : public QMainWindow, public EngineHost {
  Q_OBJECT

 public:
  explicit TMainForm(Registry& registry, QWidget* parent = nullptr);
  ~TMainForm() override;

  // The start-up: reads the settings (asking for the missing ones in the
  // settings window), shows the splash, opens the database and lists the
  // discs. Kept out of the constructor so the caller decides when it runs.
  void start();

  // How long the splash stays up at start; 0 skips it.
  int splashMilliseconds = 1000;
  // Whether closing this window ends the application: true for the
  // program's own window, false for windows that tests create.
  bool quitOnClose = true;
  // The command given on the command line: "add" starts with adding a
  // disc, "search" with the search (and the program ends with the search
  // window). Acted on when the window is first shown.
  QString startArgument;
  // A catalogue named on the command line ("rondotheka FILE.big"), opened
  // for this run in place of the one in the settings, which stays the one
  // opened next time. A file that cannot be opened is reported and the
  // settings' catalogue opens instead.
  QString startFile;

  // Asks for a database file: the "Nová databáze..." command passes true,
  // "Otevřít databázi..." false. An empty result means the user cancelled.
  // The default shows a file dialog; tests put their own answer here.
  std::function<QString(bool newDatabase)> chooseDatabaseFile;
  // When set, answers the engine's Yes/No questions instead of a message box.
  std::function<bool(const QString& text)> confirmHook;
  // When set, receives the messages instead of a message box.
  std::function<void(const QString& text)> messageHook;
  // When set, answers where an export of a list goes ("" = cancelled)
  // instead of the save dialog.
  std::function<QString(const QString& proposed)> exportFileHook;
  // When set, answers the one-line text prompt (nullopt = "Storno") and the
  // group picker (nullopt = "Zrušit") instead of showing them.
  std::function<std::optional<QString>(const TextPrompt& prompt)> textHook;
  std::function<std::optional<QStringList>(const QStringList& chosen)> groupsHook;
  // When set, receives the search window instead of it being shown modally.
  std::function<void(class TSearchForm& form)> searchHook;
  // When set, receives the duplicates window instead of it being shown
  // modally.
  std::function<void(class TDuplicityForm& form)> duplicatesHook;
  // When set, receives the statistics, conversion and borrowed-discs windows
  // instead of their being shown modally.
  std::function<void(QDialog& form)> modalHook;
  // When set, answers the root "Aktualizovat CD..." reads the disc from
  // ("" = cancelled) instead of the dialog offering the drives.
  std::function<QString(const QString& description)> rescanRootHook;
  // Asks for the folder (image false) or the disc image file (image true)
  // that dialog's "Složka…" and "Obraz disku…" read the disc from; over is
  // the dialog. An empty result means the user cancelled. The default shows
  // a file dialog; tests put their own answer here.
  std::function<QString(QWidget* over, bool image)> chooseRescanSource;
  // The borrowed-discs list file; the program's own unless set.
  std::string borrowedListPath;
  // One folder the language files are read from and written to; unless
  // set, the program's folders (platform::LanguageFolders(), written into
  // platform::WritableDataFolder()).
  QString languageFolder;

  // The drives and the file listing the add-disc window works with. The
  // program gives the machine's own; without drives "Přidat..." has nothing
  // to offer and does nothing. The file tree defaults to the real one.
  void setDrives(Drives* drives) { drives_ = drives; }
  void setFileTree(FileTree* tree);
  Drives* drives() const { return drives_; }
  FileTree& fileTree() const { return *fileTree_; }

  // EngineHost.
  bool Confirm(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void ProcessPendingEvents() override;
  void DiscListAboutToChange() override;
  void DiscListChanged() override;
  void DirListAboutToChange() override;
  void DirListChanged() override;
  void PathLabelChanged(const std::string& text) override;
  std::optional<std::string> AskText(const TextPrompt& prompt) override;
  std::optional<std::vector<std::string>> PickGroups(
      const std::vector<std::string>& chosen) override;
  void GroupListChanged() override;
  void RecalcStarted() override;
  void RecalcDisc(const std::string& description, std::uint16_t dirs, std::uint16_t files) override;
  void RecalcProgress(int bar, std::uint64_t position, std::uint64_t maximum) override;
  bool RecalcCancelRequested() override;
  void RecalcFinished() override;
  void ShiftStarted() override;
  void ShiftProgress(int bar, std::uint64_t position, std::uint64_t maximum) override;
  void ShiftFinished() override;
  bool ConvertOldDatabase(const std::string& path) override;
  bool KeepWaitingForLock(const std::string& path, std::chrono::milliseconds waited) override;

  // The recalculation's progress window while one runs, otherwise null.
  TPrepocetForm* recalcWindow() const { return recalcForm_; }
  TPosunDatForm* shiftWindow() const { return shiftForm_; }
  // The borrowed-discs window opened at start, while it is open.
  QDialog* startupBorrowedWindow() const { return startupBorrowed_; }

  Engine& engine() { return engine_; }
  DiscListModel* discModel() const { return model_; }
  DirListModel* dirModel() const { return dirModel_; }
  IconCache& iconCache() const { return *icons_; }
  ColumnLayout* discColumns() const { return discColumns_; }
  ColumnLayout* dirColumns() const { return dirColumns_; }
  QTreeView* discView() const { return discView_; }
  QTreeView* dirView() const { return dirView_; }
  QLineEdit* discFilter() const { return filterEdit_; }
  QStackedWidget* listStack() const { return listStack_; }
  QLabel* pathLabel() const { return pathLabel_; }
  QPushButton* groupButton() const { return groupButton_; }
  QMenu* groupMenu() const { return groupMenu_; }
  QToolBar* commandBar() const { return commandBar_; }
  QLabel* databaseSizeLabel() const { return sizeLabel_; }
  QLabel* discCountLabel() const { return countLabel_; }
  TQELCheckBox* foreignDirectoriesBox() const { return foreignDirsBox_; }
  QMenu* programMenu() const { return programMenu_; }
  QMenu* itemsMenu() const { return itemsMenu_; }  // "[Soubory a Adresáře]"
  QMenu* discContextMenu() const { return discContextMenu_; }
  QMenu* dirContextMenu() const { return dirContextMenu_; }
  QAction* newDatabaseAction() const { return newDatabaseAction_; }
  QAction* openDatabaseAction() const { return openDatabaseAction_; }
  QAction* quitAction() const { return quitAction_; }
  // A command of the menus by its objectName ("actionAddCd", ...).
  QAction* command(const QString& objectName) const;
  // The tool bar's button of a command.
  QToolButton* toolButton(const QString& objectName) const;
  QTimer* timerProPridaniCD() const { return timerProPridaniCD_; }
  QTimer* timerProKonecProgramu() const { return timerProKonecProgramu_; }
  QTimer* timerProKonec() const { return timerProKonec_; }

  // True while a disc is browsed (the directory list is shown).
  bool browsing() const;
  // The program's folder with its trailing separator, found at start.
  const std::string& programFolder() const { return programFolder_; }
  // The language file named in the settings (kept for the language files).
  const std::string& languageFile() const { return languageFile_; }
  class TLngINISupp* language() const {
    return language_;
  }

 public slots:
  // Switches to the database at path (UTF-8 on disk): lists its discs and
  // refreshes the caption, the size and the count.
  void openDatabase(const QString& path);
  // Shows the discs of a group ("All", "Půjčené", "Nepůjčené" or a name);
  // browsing a disc ends first.
  void chooseGroup(const QString& group);
  // Opens the first selected disc-list row: a multigroup, ".." or a disc.
  void openSelectedDisc();
  // Opens the selected directory-list row: a directory, or "..".
  void openSelectedItem();
  // Shows a search result row in its place: the disc browsed down to the
  // hit's folder with the hit selected.
  void showSearchHit(std::size_t row);
  // Shows a place in the catalogue (a search hit, a duplicate's copy) the
  // same way.
  void showPlace(const SearchResults::Place& place);
  // A click on a directory-list column header.
  void sortDirList(int column);
  // Rebuilds the group menu (and counts the start, as every build does).
  void rebuildGroupMenu();
  // Pops the group menu up below the selector.
  void showGroupMenu();
  // The settings window, as "Aplikace..." opens it; the font size applies
  // when it closes.
  void openSettings();
  // "Správa skupin...".
  void manageGroups();
  // "Co je nového..." and "O aplikaci...".
  void showWhatsNew();
  void showAbout();
  // "Přidat..." and "V obsahu databáze...".
  void addCd();
  void searchDatabase();
  // "Duplicity...".
  void showDuplicates();
  // "Exportovat seznam CD..." and "Exportovat seznam...": the disc list or
  // the browsed directory to CSV or HTML.
  void exportDiscs();
  void exportItems();
  // "Přepočítat adresářovou strukturu u všech CD...".
  void recalculateAll();
  // "Kontrola povrchu CD...".
  void checkSurface();
  // The disc commands: "Ubrat, zrušit multiskupinu...", "Půjčit...",
  // "Vráceno", "Vyčistit", "Přejmenovat...", "Změnit skupinu...",
  // "Vytvořit multi skupinu z vybraných CD...", "Importovat skupiny z této
  // databáze...".
  void removeCds();
  void lendCds();
  void returnCds();
  void clearLending();
  void renameCd();
  void changeCdGroups();
  void createMultigroup();
  void importGroups();
  // "Aktualizovat CD...": the selected disc scanned again from a root the
  // user chooses, and what changed shown.
  void rescanCd();
  // "Informace o databázi...", "Převody verzí..." and "Mé půjčené...".
  void showDatabaseInfo();
  void convertVersions();
  void showBorrowed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private slots:
  void askForDatabase(bool newDatabase);
  void syncDiscSelection(const QItemSelection& selected, const QItemSelection& deselected);
  void syncDirSelection(const QItemSelection& selected, const QItemSelection& deselected);
  void foreignDirectoriesClicked(bool checked);

 private:
  void buildMenus();
  void buildContextMenus();
  void buildCentralWidget();
  void buildTimers();
  // Shortcuts of the commands, and the keys of the two lists.
  void buildKeys();
  bool handleListKey(bool discList, int key, Qt::KeyboardModifiers modifiers);
  QAction* addCommand(QMenu* menu, const char* objectName, const QString& text, bool enabled);
  QString defaultChooseDatabaseFile(bool newDatabase);
  static QString defaultChooseRescanSource(QWidget* over, bool image);
  // Makes a catalogue that is not there yet, with the folders it lies in, as
  // "rondotheka-cli init" does; says why when it cannot. True when the
  // catalogue may be listed.
  bool createCatalogue(const std::string& path);
  // Every operation the window starts goes through here: a failure of the
  // file (a folder instead of a file, no permission, a damaged catalogue)
  // becomes a message and the window carries on. Empty when it failed.
  std::optional<bool> runOperation(OperationCode code);
  // Runs one step and turns its failure into "Chyba: " + text.
  void guarded(const std::function<void()>& step);
  // startFile as an absolute path when it opens; empty (the reason said)
  // when it does not, and when there is none.
  std::string commandLineCatalogue();
  // Ends a refill that an error cut short, so the views are whole again.
  void finishPendingResets();
  void showDirList();
  void showDiscList();
  // The commands acting on the selected discs: off while a disc is browsed.
  void enableDiscCommands(bool enabled);
  void leaveBrowsing();
  void clearLists();
  void showSplash();
  void applyFontSize();
  void setGroupCaption(const QString& group);
  void updateCaption();
  void updateDatabaseSize();
  void updateDiscCount();
  void showInformation(int kind);
  void actOnStartArgument();
  // Hands the language file to the language component and applies it.
  void startLanguage();
  // Shows a modal window (or hands it to modalHook).
  void runModal(QDialog& form);
  class TMePujceneForm* makeBorrowedWindow(QWidget* parent);
  // Another program changed the open catalogue: shown again in place.
  void catalogueChangedOutside();

  Registry& registry_;
  Engine engine_;
  std::unique_ptr<IconCache> icons_;
  DiscListModel* model_ = nullptr;
  DirListModel* dirModel_ = nullptr;
  std::string programFolder_;
  std::string languageFile_ = kDefaultLanguageFile;
  bool shownBefore_ = false;
  Drives* drives_ = nullptr;
  std::unique_ptr<FileTree> ownFileTree_;
  FileTree* fileTree_ = nullptr;
  TPrepocetForm* recalcForm_ = nullptr;
  TPosunDatForm* shiftForm_ = nullptr;
  QPointer<QDialog> startupBorrowed_;
  class TLngINISupp* language_ = nullptr;
  class LockWaitWindow* lockWait_ = nullptr;
  class CatalogueWatcher* watcher_ = nullptr;
  ThrottledEvents shiftEvents_;
  ThrottledEvents recalcEvents_;

  QStackedWidget* listStack_ = nullptr;
  QTreeView* discView_ = nullptr;
  QTreeView* dirView_ = nullptr;
  // Column widths of the two lists: fitted to their texts, or the user's.
  ColumnLayout* discColumns_ = nullptr;
  ColumnLayout* dirColumns_ = nullptr;
  // "Filtr:" above the disc list.
  QLineEdit* filterEdit_ = nullptr;
  // The search window, kept with its results for the next search.
  class TSearchForm* searchForm_ = nullptr;
  // The duplicates window, kept with its groups likewise.
  class TDuplicityForm* duplicityForm_ = nullptr;
  QLabel* pathLabel_ = nullptr;
  QPushButton* groupButton_ = nullptr;
  QMenu* groupMenu_ = nullptr;
  QToolBar* commandBar_ = nullptr;
  QLabel* sizeLabel_ = nullptr;
  QLabel* countLabel_ = nullptr;
  TQELCheckBox* foreignDirsBox_ = nullptr;
  QMenu* programMenu_ = nullptr;
  QMenu* itemsMenu_ = nullptr;
  QMenu* discContextMenu_ = nullptr;
  QMenu* dirContextMenu_ = nullptr;
  QAction* newDatabaseAction_ = nullptr;
  QAction* openDatabaseAction_ = nullptr;
  QAction* quitAction_ = nullptr;
  QTimer* timerProPridaniCD_ = nullptr;
  QTimer* timerProKonecProgramu_ = nullptr;
  QTimer* timerProKonec_ = nullptr;
};

}  // namespace rondo::gui
