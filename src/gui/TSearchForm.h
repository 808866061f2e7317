// The search window "Vyhledávání...": a wildcard pattern, the depth, the
// kind of items, the groups of discs, and the list of everything found in
// the whole catalogue. The window is the search's host: the engine reads the
// options from it while it walks and adds rows that the list shows.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

#include "catalogue/engine.h"
#include "catalogue/search.h"
#include "settings/registry.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace rondo::gui {

class DiscListModel;
class IconCache;
class SearchResultsModel;
class TQELCheckBox;
class TQELRadioButton;
class TQELSpinEdit;

class TSearchForm : public QDialog, public SearchHost {
  Q_OBJECT

 public:
  TSearchForm(Engine& engine, Registry& registry, QWidget* parent = nullptr);
  ~TSearchForm() override;

  // Opens the export file in the desktop's text viewer; tests replace it.
  std::function<void(const QString& path)> openInViewer;
  // The folder "Hledani.txt" is written to.
  QString programFolder;
  // Called with every record read (tests stop a search from here).
  std::function<void()> recordHook;

  // SearchHost.
  std::uint64_t OptionsVersion() override { return version_; }
  std::string Pattern() override;
  SearchKind Kind() override;
  bool MatchCase() override;
  std::optional<int> DepthLimit() override;
  bool UseDirectoryGroups() override;
  bool UseCache() override;
  std::vector<std::string> ChosenGroups() override;
  bool Busy() override { return busy_; }
  void DiscStarted(const std::string& description, std::uint64_t blockLength) override;
  void DiscPassed() override;
  void RecordRead(std::uint64_t consumed) override;

  QLineEdit* patternEdit() const { return pattern_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* exportButton() const { return export_; }
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
  QLabel* foundLabel() const { return found_; }
  QTreeView* resultView() const { return results_; }

 public slots:
  void startOrStop();
  void addGroup();     // "<"
  void removeGroup();  // ">"
  void newGroup();     // "N"
  // "> Notepad": writes Hledani.txt and opens it.
  void exportToViewer();

 protected:
  void done(int result) override;

 private:
  void optionsChanged() { ++version_; }
  void stop();
  void setIdleLabels();
  void syncRows();

  Engine& engine_;
  Registry& registry_;
  std::unique_ptr<IconCache> icons_;
  DiscList noDiscs_;
  DiscListModel* discIcons_ = nullptr;
  SearchResultsModel* model_ = nullptr;
  std::uint64_t version_ = 1;
  bool busy_ = false;
  bool closeAfterSearch_ = false;
  QElapsedTimer sinceEvents_;
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
  QLabel* currentDisc_ = nullptr;
  QLabel* discCount_ = nullptr;
  QLabel* itemCount_ = nullptr;
  QLabel* found_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QTreeView* results_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* export_ = nullptr;
};

}  // namespace rondo::gui
