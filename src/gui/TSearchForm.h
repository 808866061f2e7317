// SPDX-License-Identifier: GPL-3.0-or-later
// The search window "Vyhledávání...": a wildcard pattern, the depth, the
// kind of items, the groups of discs, and the list of everything found in
// the whole catalogue. The window is the search's host: the engine reads the
// options from it while it walks and adds rows that the list shows.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>

#include "catalogue/engine.h"
#include "catalogue/search.h"
#include "settings/registry.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace rondo::gui {

class ColumnLayout;
class SearchResultsModel;
class StoppableRun;
class TQELCheckBox;
class TQELRadioButton;
class TQELSpinEdit;

class TSearchForm : public QDialog, public SearchHost {
  Q_OBJECT

 public:
  TSearchForm(Engine& engine, Registry& registry, QWidget* parent = nullptr);
  ~TSearchForm() override;

  // Opens the export file in the desktop's viewer for it; false when none
  // took it. Tests replace it.
  std::function<bool(const QString& path)> openInViewer;
  // Asks where the export goes, proposing a path; "" when the user
  // cancelled. The default is the save dialog; tests replace it.
  std::function<QString(const QString& proposed)> chooseExportFile;
  // The folder proposed for "Hledani.txt": the user's documents folder.
  QString exportFolder;
  // Asks where the results go as a table (CSV or HTML); the default is the
  // save dialog, tests replace it.
  std::function<QString(const QString& proposed)> chooseTableFile;
  // Called with every record read, before the window lets its events run
  // (tests press buttons in the middle of a search from here).
  std::function<void()> recordHook;
  // Shows a result row (an index into the engine's results) in its place
  // in the main window; Enter or a double click on a row calls it and
  // closes the window. The results stay for the next opening.
  std::function<void(std::size_t row)> showHit;

  // SearchHost.
  std::uint64_t OptionsVersion() override { return version_; }
  std::string Pattern() override { return options_.pattern; }
  SearchKind Kind() override { return options_.kind; }
  bool MatchCase() override { return options_.matchCase; }
  std::optional<int> DepthLimit() override { return options_.depth; }
  bool UseDirectoryGroups() override { return options_.directoryGroups; }
  bool UseCache() override { return options_.cache; }
  std::vector<std::string> ChosenGroups() override { return options_.groups; }
  bool Busy() override;
  void DiscStarted(const std::string& description, std::uint64_t blockLength) override;
  void DiscPassed() override;
  void RecordRead(std::uint64_t consumed) override;

  QLineEdit* patternEdit() const { return pattern_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* exportButton() const { return export_; }
  // What "Export..." offers: "> Notepad" and the table.
  QMenu* exportMenu() const { return exportMenu_; }
  QPushButton* closeButton() const { return close_; }
  QPushButton* addGroupButton() const { return add_; }
  QPushButton* removeGroupButton() const { return remove_; }
  QPushButton* newGroupButton() const { return fresh_; }
  QListWidget* chosenList() const { return chosen_; }
  QListWidget* availableList() const { return available_; }
  QRadioButton* allKinds() const { return kindAll_; }
  QRadioButton* directoriesOnly() const { return kindDirs_; }
  QRadioButton* filesOnly() const { return kindFiles_; }
  TQELRadioButton* maximumDepth() const { return maxDepth_; }
  TQELRadioButton* limitedDepth() const { return limitedDepth_; }
  TQELSpinEdit* depth() const { return depth_; }
  TQELCheckBox* directoryGroups() const { return dirGroups_; }
  TQELCheckBox* useCache() const { return cache_; }
  TQELCheckBox* wrapPattern() const { return wrap_; }
  QCheckBox* matchCase() const { return case_; }
  QLabel* currentDiscLabel() const { return currentDisc_; }
  QLabel* discCountLabel() const { return discCount_; }
  QLabel* itemCountLabel() const { return itemCount_; }
  QLabel* foundLabel() const { return found_; }
  QProgressBar* gauge() const { return gauge_; }
  QTreeView* resultView() const { return results_; }

 public slots:
  // "Start" / "Zastavit".
  void startOrStop();
  void addGroup();     // "<"
  void removeGroup();  // ">"
  void newGroup();     // "N"
  // "> Notepad": writes Hledani.txt and opens it.
  void exportToViewer();
  // "> Tabulka CSV nebo HTML...": the results with all their values.
  void exportTable();

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showSortIndicator();
  // Sorts new results as the user last sorted results, also in an earlier
  // run; they stay in the order found until the user first sorts.
  void applyRememberedSort();
  struct Options {
    std::string pattern;
    SearchKind kind = SearchKind::kAll;
    bool matchCase = false;
    std::optional<int> depth;
    bool directoryGroups = true;
    bool cache = true;
    std::vector<std::string> groups;
  };

  void optionsChanged();
  void search();
  void stop();
  void setIdleLabels();
  void syncView();
  void showMessage(const QString& text);
  void sortResults(int column);
  void showHitAt(const QModelIndex& index);

  Engine& engine_;
  Registry& registry_;
  SearchResultsModel* model_ = nullptr;

  // The options as the search reads them, refreshed by every change of a
  // control; the version tells the running search to read them again.
  Options options_;
  std::uint64_t version_ = 1;
  std::unique_ptr<StoppableRun> run_;
  QElapsedTimer sinceSync_;
  qint64 syncEvery_ = 0;
  std::uint64_t blockLength_ = 0;
  std::uint64_t discs_ = 0;
  std::uint64_t records_ = 0;

  QLineEdit* pattern_ = nullptr;
  TQELRadioButton* maxDepth_ = nullptr;
  TQELRadioButton* limitedDepth_ = nullptr;
  TQELSpinEdit* depth_ = nullptr;
  TQELCheckBox* dirGroups_ = nullptr;
  QRadioButton* kindAll_ = nullptr;
  QRadioButton* kindDirs_ = nullptr;
  QRadioButton* kindFiles_ = nullptr;
  TQELCheckBox* cache_ = nullptr;
  QCheckBox* case_ = nullptr;
  TQELCheckBox* wrap_ = nullptr;
  QListWidget* chosen_ = nullptr;
  QListWidget* available_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* fresh_ = nullptr;
  QLabel* currentDisc_ = nullptr;
  QLabel* discCount_ = nullptr;
  QLabel* itemCount_ = nullptr;
  QLabel* found_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QTreeView* results_ = nullptr;
  // The result columns' widths: fitted to the hits, or the user's.
  ColumnLayout* columns_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* export_ = nullptr;
  QMenu* exportMenu_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace rondo::gui
