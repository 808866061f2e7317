// SPDX-License-Identifier: GPL-3.0-or-later
// The window "Duplicity...": files stored on more than one disc, with the
// options of the command "duplicates" (what makes files the same, the
// smallest size compared, the groups of discs). The groups found are a
// tree: a row per group (its name, size, the space the extra copies take,
// the number of discs) with its copies below. Enter or a double click on a
// copy shows it in its folder in the main window, as a search hit is shown.
// "Export..." writes the copies as a table (CSV or HTML), one row per copy.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "catalogue/duplicates.h"
#include "catalogue/engine.h"
#include "settings/registry.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace rondo::gui {

class ColumnLayout;
class DuplicatesModel;
class StoppableRun;
class TQELRadioButton;

class TDuplicityForm : public QDialog, public DuplicateHost {
  Q_OBJECT

 public:
  TDuplicityForm(Engine& engine, Registry& registry, QWidget* parent = nullptr);
  ~TDuplicityForm() override;

  // Shows a copy in its folder in the main window; Enter or a double click
  // on a copy row calls it and closes the window (the groups stay for the
  // next opening).
  std::function<void(const SearchResults::Place& place)> showCopy;
  // Asks where the table goes; the default is the save dialog, tests
  // replace it.
  std::function<QString(const QString& proposed)> chooseTableFile;

  // DuplicateHost.
  DuplicateOptions Options() override;
  bool Busy() override;
  void Progress(int pass, std::uint64_t position, std::uint64_t total) override;

  QLineEdit* minSizeEdit() const { return minSize_; }
  TQELRadioButton* byName() const { return byName_; }
  TQELRadioButton* byNameSize() const { return byNameSize_; }
  TQELRadioButton* byNameSizeTime() const { return byNameSizeTime_; }
  // The groups of discs, checkable; none checked compares every disc.
  QListWidget* groupList() const { return groups_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* exportButton() const { return export_; }
  QProgressBar* gauge() const { return gauge_; }
  QLabel* summaryLabel() const { return summary_; }
  QTreeView* resultView() const { return results_; }

 public slots:
  // "Hledat" / "Zastavit".
  void startOrStop();
  // "Export...": the copies of every group with all their values.
  void exportTable();

 protected:
  void done(int result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void search();
  void showCopyAt(const QModelIndex& index);
  void showSummary();

  Engine& engine_;
  Registry& registry_;
  DuplicatesModel* model_ = nullptr;
  std::unique_ptr<StoppableRun> run_;

  QLineEdit* minSize_ = nullptr;
  TQELRadioButton* byName_ = nullptr;
  TQELRadioButton* byNameSize_ = nullptr;
  TQELRadioButton* byNameSizeTime_ = nullptr;
  QListWidget* groups_ = nullptr;
  QLabel* summary_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QTreeView* results_ = nullptr;
  ColumnLayout* columns_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace rondo::gui
