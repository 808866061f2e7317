// The main window: the disc list of the chosen group with the group
// selector above it and the database facts below it. The window is the
// engine's host: it answers the engine's questions, shows its messages and
// resets its views when the engine refills the lists.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "catalogue/engine.h"
#include "catalogue/engine_host.h"
#include "settings/registry.h"

class QAction;
class QCheckBox;
class QItemSelection;
class QLabel;
class QMenu;
class QPushButton;
class QTreeView;

namespace rondo::gui {

class DiscListModel;

// Shown in the title of message boxes.
inline constexpr const char* kApplicationTitle = "QEL Rondotheka 4.4";
// The window caption is this followed by the file name of the database.
inline constexpr const char* kWindowCaptionPrefix = "QEL Rondotheka - ";

class TMainForm : public QMainWindow, public EngineHost {
  Q_OBJECT

 public:
  explicit TMainForm(Registry& registry, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Reads the settings, opens the database and lists the discs. Kept out of
  // the constructor so the caller decides when the first listing happens.
  void start();

  // Asks for a database file: the "Nová databáze..." command passes true,
  // "Otevřít databázi..." false. An empty result means the user cancelled.
  // The default shows a file dialog; tests put their own answer here.
  std::function<QString(bool newDatabase)> chooseDatabaseFile;
  // When set, answers the engine's Yes/No questions instead of a message box.
  std::function<bool(const QString& text)> confirmHook;
  // When set, receives the messages instead of a message box.
  std::function<void(const QString& text)> messageHook;

  // EngineHost.
  bool Confirm(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  void ProcessPendingEvents() override;
  void DiscListAboutToChange() override;
  void DiscListChanged() override;
  void PathLabelChanged(const std::string& text) override;

  Engine& engine() { return engine_; }
  DiscListModel* discModel() const { return model_; }
  QTreeView* discView() const { return discView_; }
  QLabel* pathLabel() const { return pathLabel_; }
  QPushButton* groupButton() const { return groupButton_; }
  QMenu* groupMenu() const { return groupMenu_; }
  QLabel* databaseSizeLabel() const { return sizeLabel_; }
  QLabel* discCountLabel() const { return countLabel_; }
  QCheckBox* foreignDirectoriesBox() const { return foreignDirsBox_; }
  QMenu* programMenu() const { return programMenu_; }
  QAction* newDatabaseAction() const { return newDatabaseAction_; }
  QAction* openDatabaseAction() const { return openDatabaseAction_; }
  QAction* quitAction() const { return quitAction_; }

 public slots:
  // Switches to the database at path (UTF-8 on disk): lists its discs and
  // refreshes the caption, the size and the count.
  void openDatabase(const QString& path);
  // Shows the discs of a group ("All", "Půjčené", "Nepůjčené" or a name).
  void chooseGroup(const QString& group);
  // Opens the first selected row: a multigroup, the ".." row or a disc.
  void openSelectedDisc();
  // Rebuilds the group menu from the fixed entries and the registry.
  void rebuildGroupMenu();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private slots:
  void askForDatabase(bool newDatabase);
  void showGroupMenu();
  void syncSelection(const QItemSelection& selected, const QItemSelection& deselected);
  void storeForeignDirectories(bool checked);

 private:
  void buildMenus();
  void buildCentralWidget();
  QString defaultChooseDatabaseFile(bool newDatabase);
  // Every operation the window starts goes through here: a failure of the
  // file (a folder instead of a file, no permission, a damaged catalogue)
  // becomes a message and the window carries on. Empty when it failed.
  std::optional<bool> runOperation(OperationCode code);
  void clearDiscList();
  void updateCaption();
  void updateDatabaseSize();
  void updateDiscCount();
  void setGroupCaption(const QString& group);
  void countStart();

  Registry& registry_;
  Engine engine_;
  DiscListModel* model_ = nullptr;

  QTreeView* discView_ = nullptr;
  QLabel* pathLabel_ = nullptr;
  QPushButton* groupButton_ = nullptr;
  QMenu* groupMenu_ = nullptr;
  QLabel* sizeLabel_ = nullptr;
  QLabel* countLabel_ = nullptr;
  QCheckBox* foreignDirsBox_ = nullptr;
  QMenu* programMenu_ = nullptr;
  QAction* newDatabaseAction_ = nullptr;
  QAction* openDatabaseAction_ = nullptr;
  QAction* quitAction_ = nullptr;
};

}  // namespace rondo::gui
