// SPDX-License-Identifier: GPL-3.0-or-later
// The add-disc window: pick a drive (a mounted volume, or any folder through
// "..."), name the disc, choose its groups and press "Start". The disc is
// scanned, appended to the catalogue, its directory structure recalculated
// and, when wanted, the medium ejected. The second page takes comments and
// groups for single items before the scan; the third shows the medium's
// files. With "Automatika" on the window works by itself: every newly
// inserted medium is counted down from three ticks and stored under its own
// label.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/drives.h"
#include "acquisition/file_tree.h"
#include "catalogue/engine.h"
#include "images/image_sources.h"
#include "settings/registry.h"

class QCheckBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeView;
class QTreeWidget;

namespace rondo::gui {

class TInformaceForm;
class TKontrolaForm;
class TQELCheckBox;

// Columns of the drive list.
enum DriveColumn : int {
  kDriveColRoot = 0,
  kDriveColLabel = 1,
  kDriveColSize = 2,
  kDriveColFree = 3,
  kDriveColType = 4,
  kDriveColFs = 5,
  kDriveColSerial = 6,
  kDriveColumnCount = 7,
};

// One row of the drive list: the cells it has, root first. A drive with the
// same label as the drive above it gets only the root and "---"; a drive
// without a medium has no serial cell.
struct DriveRow {
  QStringList cells;

  QString root() const { return cells.value(kDriveColRoot); }
  QString label() const { return cells.value(kDriveColLabel); }
  QString serial() const { return cells.value(kDriveColSerial); }
  // A row with everything the drive could tell (its own label).
  bool full() const { return cells.size() > kDriveColType + 1; }
  friend bool operator==(const DriveRow&, const DriveRow&) = default;
};

class TPridaniCDForm : public QDialog {
  Q_OBJECT

 public:
  TPridaniCDForm(Engine& engine, Registry& registry, Drives& drives, FileTree& tree,
                 QWidget* parent = nullptr);
  ~TPridaniCDForm() override;

  // Readies the window for showing: the first page, the last drive of the
  // list chosen, the stored options loaded.
  void prepare();
  // Stores the five remembered options; the main window calls this once
  // the window has closed.
  void saveOptions(Registry& registry);

  // Status texts the window shows (and the scan adds its own lines).
  static constexpr const char* kStatusWorking = "Pracuji...";
  static constexpr const char* kStatusDone = "Hotovo...";
  static constexpr const char* kStatusEjecting = "Vysunuji CD...";
  static constexpr const char* kStatusWaiting = "Čekám na médium...";
  static constexpr const char* kStatusReady = "Připraven...";
  static constexpr const char* kStatusCountdown = "Odpočet...";
  static constexpr const char* kStatusProcessing = "Zpracovávám...";
  static constexpr const char* kStatusRecalculating = "Přepočítání adr. struktury...";

  // How long the finished disc stays on show before the recalculation.
  std::uint32_t storeDelayMs = 1000;
  // The serial of the disc stored last; automatic mode skips that medium.
  QString lastStoredSerial;

  // The dialogs the window opens, replaceable so that a test can answer
  // them. Empty results mean the user cancelled.
  std::function<QString(const QString& caption, const QString& start)> chooseDirectoryHook;
  std::function<QString(const QString& caption, const QString& start)> chooseFileHook;
  std::function<std::optional<QString>(const QString& caption, const QString& label)> askTextHook;
  // The group picker for "Přidat adresář" on the group page: the stored
  // form of the chosen groups ("A;B"), nullopt when cancelled.
  std::function<std::optional<QString>()> chooseGroupsHook;
  std::function<void(const QString& text)> messageHook;
  // Receives the surface check window of "Kontrola CD" instead of its
  // being shown modally.
  std::function<void(TKontrolaForm& form)> surfaceCheckHook;

  // The rows as shown and as last read from the drives.
  const std::vector<DriveRow>& shownRows() const { return shownRows_; }
  const std::vector<DriveRow>& workingRows() const { return workingRows_; }
  // The folder chosen with "...", kept as the last row of the lists.
  const QString& chosenFolder() const { return chosenFolder_; }
  bool running() const { return running_; }
  // The status lines of the last (or the running) scan, as the Informace
  // window showed them.
  const QStringList& runLog() const { return runLog_; }
  QString statusText() const;

  QTabWidget* pages() const { return pages_; }
  QLineEdit* driveEdit() const { return driveEdit_; }
  QPushButton* browseButton() const { return browse_; }
  QPushButton* imageButton() const { return image_; }
  QTreeWidget* driveList() const { return driveList_; }
  QPushButton* refreshButton() const { return refresh_; }
  QLineEdit* nameEdit() const { return nameEdit_; }
  QListWidget* chosenGroupsList() const { return chosenGroups_; }
  QListWidget* availableGroupsList() const { return availableGroups_; }
  QPushButton* addGroupButton() const { return addGroup_; }        // "<"
  QPushButton* removeGroupButton() const { return removeGroup_; }  // ">"
  QPushButton* newGroupButton() const { return newGroup_; }        // "N"
  TQELCheckBox* withoutStructureBox() const { return withoutStructure_; }
  TQELCheckBox* closeWhenDoneBox() const { return closeWhenDone_; }
  TQELCheckBox* watchMediaBox() const { return watchMedia_; }
  TQELCheckBox* renameOnInsertBox() const { return renameOnInsert_; }
  TQELCheckBox* ejectWhenDoneBox() const { return ejectWhenDone_; }
  QCheckBox* automaticBox() const { return automatic_; }
  QLabel* countdownLabel() const { return countdown_; }
  QLabel* dirsValue() const { return dirsValue_; }
  QLabel* filesValue() const { return filesValue_; }
  QLabel* sizeValue() const { return sizeValue_; }
  QLabel* elapsedValue() const { return elapsedValue_; }
  QLabel* remainingValue() const { return remainingValue_; }
  QLabel* duplicateWarning() const { return duplicate_; }
  QLineEdit* pathEdit() const { return pathEdit_; }
  QProgressBar* positionBar() const { return positionBar_; }
  QProgressBar* itemsBar() const { return itemsBar_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* ejectButton() const { return eject_; }
  QPushButton* surfaceCheckButton() const { return surfaceCheck_; }
  QPushButton* closeButton() const { return close_; }
  QLabel* statusLabel() const { return status_; }
  QTreeWidget* commentList() const { return comments_; }
  QPushButton* addCommentFileButton() const { return addCommentFile_; }
  QPushButton* addCommentDirButton() const { return addCommentDir_; }
  QPushButton* removeCommentButton() const { return removeComment_; }
  QTreeWidget* groupRowList() const { return groupRows_; }
  QPushButton* addGroupDirButton() const { return addGroupDir_; }
  QPushButton* removeGroupRowButton() const { return removeGroupRow_; }
  QTreeView* explorerView() const { return explorer_; }
  QFileSystemModel* explorerModel() const { return explorerModel_; }
  QTimer* mediaTimer() const { return mediaTimer_; }
  QTimer* elapsedTimer() const { return elapsedTimer_; }
  // The Informace window while a scan runs, otherwise null.
  TInformaceForm* informaceWindow() const { return informace_; }

  static constexpr int kExplorerPage = 2;

 public slots:
  // "Start": scans the chosen drive into the catalogue.
  void startScan();
  // "Obnovit": reads the drives again.
  void refreshDrives();
  // One second of the media watch.
  void mediaTick();
  // One second of a running scan.
  void elapsedTick();
  // Whether the chosen drive holds a readable medium (and whether that disc
  // is in the catalogue already); sets the buttons and the third page.
  void checkDrive();
  // "...": any folder, scanned as a disc.
  void browseForFolder();
  // Makes a folder the chosen drive, listed as the last row.
  void useFolder(const QString& folder);
  // "Obraz disku…": an ISO 9660 or UDF image file, read as a disc without
  // mounting it.
  void browseForImage();
  // Makes an image file the chosen drive (a file that is no image is
  // refused with a message); false when it was refused.
  bool useImage(const QString& path);
  // "Vysunout CD".
  void ejectMedium();
  // "Kontrola CD": the surface check, the chosen drive selected in it.
  void checkSurface();
  // The group lists: "<", ">", "N".
  void addSelectedGroup();
  void removeSelectedGroup();
  void addNewGroup();
  // The item pages' buttons.
  void addCommentForFile();
  void addCommentForDirectory();
  void removeSelectedComments();
  void addGroupsForDirectory();
  void removeSelectedGroupRows();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // An image file (or a folder) dropped on the window is chosen as the
  // drive.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void reject() override;

 private slots:
  void driveRowChosen();
  void automaticToggled(bool on);

 private:
  class Progress;
  friend class Progress;

  void buildProcessingPage(QWidget* page);
  void buildItemsPage(QWidget* page);
  void buildExplorerPage(QWidget* page);
  void installDefaultHooks();
  void fillAvailableGroups();
  // Reads the drives (and the chosen folder) into the working rows.
  void buildWorkingRows();
  void showWorkingRows();
  // The row whose root is exactly the drive field, or null.
  const DriveRow* rowOfDriveField() const;
  void setStatus(const QString& text);
  void showMessage(const QString& text);
  void showExplorer(bool visible, const QString& root);
  void setIdleButtons();
  // Ejects the medium at root when it is one that can be ejected (a disc, a
  // removable medium); anything else is left alone without a word. failure
  // is the message to show, empty when there is nothing to say.
  bool ejectDrive(const QString& root, QString& failure);
  void runScan();
  std::vector<std::string> chosenGroups() const;
  QString startFolder() const;

  Engine& engine_;
  Registry& registry_;
  // The drives and tree given, with an image file as one more source.
  images::ImageSources sources_;
  Drives& drives_;
  FileTree& tree_;

  std::vector<DriveRow> shownRows_;
  std::vector<DriveRow> workingRows_;
  QString chosenFolder_;
  // The drives of the last reading whose medium can be ejected.
  QStringList ejectableRoots_;
  bool running_ = false;
  bool fillingList_ = false;
  int elapsedSeconds_ = 0;
  int entryPercent_ = 0;
  QStringList runLog_;
  // The last answer of the catalogue to "is this serial stored?".
  bool serialChecked_ = false;
  QString checkedSerial_;
  std::string checkedPath_;
  bool checkedFound_ = false;

  QTabWidget* pages_ = nullptr;
  QLineEdit* driveEdit_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* image_ = nullptr;
  QTreeWidget* driveList_ = nullptr;
  QPushButton* refresh_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QListWidget* chosenGroups_ = nullptr;
  QListWidget* availableGroups_ = nullptr;
  QPushButton* addGroup_ = nullptr;
  QPushButton* removeGroup_ = nullptr;
  QPushButton* newGroup_ = nullptr;
  TQELCheckBox* withoutStructure_ = nullptr;
  TQELCheckBox* closeWhenDone_ = nullptr;
  TQELCheckBox* watchMedia_ = nullptr;
  TQELCheckBox* renameOnInsert_ = nullptr;
  TQELCheckBox* ejectWhenDone_ = nullptr;
  QCheckBox* automatic_ = nullptr;
  QLabel* countdown_ = nullptr;
  QLabel* dirsValue_ = nullptr;
  QLabel* filesValue_ = nullptr;
  QLabel* sizeValue_ = nullptr;
  QLabel* elapsedValue_ = nullptr;
  QLabel* remainingValue_ = nullptr;
  QLabel* duplicate_ = nullptr;
  QLineEdit* pathEdit_ = nullptr;
  QProgressBar* positionBar_ = nullptr;
  QProgressBar* itemsBar_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* eject_ = nullptr;
  QPushButton* surfaceCheck_ = nullptr;
  QPushButton* close_ = nullptr;
  QLabel* status_ = nullptr;
  QTreeWidget* comments_ = nullptr;
  QPushButton* addCommentFile_ = nullptr;
  QPushButton* addCommentDir_ = nullptr;
  QPushButton* removeComment_ = nullptr;
  QTreeWidget* groupRows_ = nullptr;
  QPushButton* addGroupDir_ = nullptr;
  QPushButton* removeGroupRow_ = nullptr;
  QTreeView* explorer_ = nullptr;
  QFileSystemModel* explorerModel_ = nullptr;
  QString explorerRoot_;
  QTimer* mediaTimer_ = nullptr;
  QTimer* elapsedTimer_ = nullptr;
  TInformaceForm* informace_ = nullptr;
};

}  // namespace rondo::gui
