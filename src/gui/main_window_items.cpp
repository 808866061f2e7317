// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's lists: browsing a disc's folders, the selections the
// commands act on, and showing a search hit in its folder.
#include "gui/TMainForm.h"

#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTreeView>
#include <algorithm>
#include <exception>

#include "catalogue/disc_filter.h"
#include "catalogue/messages.h"
#include "gui/QELControls.h"
#include "gui/TLngINISupp.h"
#include "gui/TSearchForm.h"
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

// The engine row a view row shows: the same index, unless the view shows
// only some of the rows (the disc list's filter).
struct SameRow {
  std::size_t operator()(int row) const { return static_cast<std::size_t>(row); }
};

// Marks the engine rows of a view's selection change.
template <typename Rows, typename ToList = SameRow>
void MarkSelection(Rows& rows, const QItemSelection& selected, const QItemSelection& deselected,
                   ToList toList = {}) {
  auto mark = [&rows, &toList](const QItemSelection& ranges, bool on) {
    for (const QItemSelectionRange& range : ranges) {
      for (int row = std::max(range.top(), 0); row <= range.bottom(); ++row) {
        const std::size_t at = toList(row);
        if (at < rows.size())
          rows[at].selected = on;
      }
    }
  };
  mark(deselected, false);
  mark(selected, true);
}

// After a refill or a re-sort the view shows again the rows the engine has
// marked as selected, so what the user sees is what the commands act on.
template <typename Rows, typename ToList = SameRow>
void ShowEngineSelection(QTreeView* view, const Rows& rows, ToList toList = {}) {
  QAbstractItemModel* model = view->model();
  QItemSelection selection;
  int first = -1;
  const int count = model->rowCount();
  const auto selectedAt = [&](int row) {
    const std::size_t at = toList(row);
    return at < rows.size() && rows[at].selected;
  };
  for (int row = 0; row < count;) {
    if (!selectedAt(row)) {
      ++row;
      continue;
    }
    int end = row;
    while (end + 1 < count && selectedAt(end + 1))
      ++end;
    selection.select(model->index(row, 0), model->index(end, model->columnCount() - 1));
    if (first < 0)
      first = row;
    row = end + 1;
  }
  if (first < 0)
    return;
  view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  view->selectionModel()->setCurrentIndex(model->index(first, 0), QItemSelectionModel::NoUpdate);
  view->scrollTo(model->index(first, 0));
}

// The header shows the column and order the engine sorted the rows by, or
// no indicator while the rows are in the order they were listed.
void ShowSortIndicator(QTreeView* view, bool sorted, int column, bool descending) {
  view->header()->setSortIndicatorShown(sorted);
  if (sorted)
    view->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

}  // namespace

void TMainForm::searchDatabase() {
  // The settings the window loads may fail to be read or written; that is
  // reported like any other failure.
  guarded([this] {
    // The form writes its export next to the program when it may, else into
    // the user's data folder; it decides that itself. It is kept, with its
    // results, for the next search.
    if (searchForm_ == nullptr) {
      searchForm_ = new TSearchForm(engine_, registry_, this);
      // Started only to search, the program ends with the search window:
      // there is no main window to show a hit in.
      if (startArgument.compare(QStringLiteral("search"), Qt::CaseInsensitive) != 0)
        searchForm_->showHit = [this](std::size_t row) { showSearchHit(row); };
    }
    TSearchForm& form = *searchForm_;
    if (registry_.ReadBool("MaximalizovatHledani"))
      form.setWindowState(Qt::WindowMaximized);
    if (searchHook) {
      searchHook(form);
      return;
    }
    form.exec();
  });
}

void TMainForm::showSearchHit(std::size_t row) {
  if (row >= engine_.Found.size() || engine_.Busy())
    return;
  showPlace(engine_.Found.PlaceOf(row));
}

void TMainForm::showPlace(const SearchResults::Place& place) {
  if (engine_.Busy())
    return;
  Engine::HitShown shown = Engine::HitShown::kGone;
  try {
    shown = engine_.ShowSearchHit(place);
  } catch (const std::exception& e) {
    finishPendingResets();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return;
  }
  finishPendingResets();
  switch (shown) {
    case Engine::HitShown::kGone:
      ShowMessage("CD „" + place.disc + "“ (" + place.serial + ") už v databázi není.");
      break;
    case Engine::HitShown::kDiscList:
      if (browsing())
        showDiscList();
      break;
    case Engine::HitShown::kBrowsed:
      showDirList();
      break;
  }
  activateWindow();
}

void TMainForm::clearLists() {
  DiscListAboutToChange();
  engine_.Discs.rows.clear();
  DiscListChanged();
  DirListAboutToChange();
  engine_.Dirs.rows.clear();
  DirListChanged();
}

bool TMainForm::browsing() const {
  return listStack_->currentWidget() == dirView_;
}

void TMainForm::showDirList() {
  listStack_->setCurrentWidget(dirView_);
  enableDiscCommands(false);
  foreignDirsBox_->setEnabled(false);
  itemsMenu_->menuAction()->setVisible(true);
  dirView_->setFocus();
}

void TMainForm::showDiscList() {
  listStack_->setCurrentWidget(discView_);
  enableDiscCommands(true);
  foreignDirsBox_->setEnabled(true);
  itemsMenu_->menuAction()->setVisible(false);
  pathLabel_->setText(FromUtf8(engine_.PathLabel));
  discView_->setFocus();
}

void TMainForm::leaveBrowsing() {
  guarded([this] { engine_.LeaveBrowsing(); });
  finishPendingResets();
  showDiscList();
}

void TMainForm::openSelectedDisc() {
  if (browsing())
    return;
  Engine::Opened opened = Engine::Opened::kNothing;
  try {
    opened = engine_.OpenSelectedDisc();
  } catch (const std::exception& e) {
    finishPendingResets();
    // A disc whose stored tree breaks off is still shown as far as it goes.
    if (!engine_.DirStack.empty())
      showDirList();
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
      showDirList();
      break;
    case Engine::Opened::kNothing:
      break;
  }
}

void TMainForm::openSelectedItem() {
  if (!browsing())
    return;
  Engine::Navigated navigated = Engine::Navigated::kNothing;
  try {
    navigated = engine_.OpenSelectedItem();
  } catch (const std::exception& e) {
    // The rows read before the error stay in the list.
    finishPendingResets();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return;
  }
  if (navigated == Engine::Navigated::kLeftBrowsing)
    showDiscList();
}

void TMainForm::sortDirList(int column) {
  guarded([this, column] { engine_.ClickDirColumn(column); });
  finishPendingResets();
}

std::optional<bool> TMainForm::runOperation(OperationCode code) {
  try {
    const bool result = engine_.RunOperation(code);
    // A change shows the file it wrote: nothing to show again for it.
    if (ChangesCatalogue(code))
      watcher_->Seen();
    return result;
  } catch (const std::exception& e) {
    finishPendingResets();
    ShowMessage(kFailurePrefix + std::string(e.what()));
    return std::nullopt;
  }
}

void TMainForm::finishPendingResets() {
  if (model_->Resetting())
    DiscListChanged();
  if (dirModel_->Resetting())
    DirListChanged();
}

void TMainForm::updateCaption() {
  setWindowTitle(kWindowCaptionPrefix + QString::fromStdString(PathTail(engine_.DatabasePath)));
}

void TMainForm::updateDatabaseSize() {
  sizeLabel_->setText(QString::fromStdString(FileSizeText(engine_.DatabasePath, true)));
}

void TMainForm::updateDiscCount() {
  countLabel_->setText(QString::number(engine_.Discs.rows.size()));
}

void TMainForm::foreignDirectoriesClicked(bool checked) {
  engine_.ShowForeignItems = checked;
  guarded([this] { foreignDirsBox_->SaveToRegistry(registry_); });
}

void TMainForm::syncDiscSelection(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
  if (!model_->Resetting())
    MarkSelection(engine_.Discs.rows, selected, deselected,
                  [this](int row) { return model_->ListRow(row); });
}

void TMainForm::syncDirSelection(const QItemSelection& selected, const QItemSelection& deselected) {
  if (!dirModel_->Resetting())
    MarkSelection(engine_.Dirs.rows, selected, deselected);
}

void TMainForm::DiscListAboutToChange() {
  model_->BeginReset();
}

void TMainForm::DiscListChanged() {
  // The filter's rows; the others lose their selection, so the commands act
  // on what is shown.
  const DiscFilter filter(ToUtf8(filterEdit_->text()));
  model_->ShowOnly(filter.Empty() ? std::nullopt : std::optional(filter.Apply(engine_.Discs)));
  model_->EndReset();
  ShowEngineSelection(discView_, engine_.Discs.rows,
                      [this](int row) { return model_->ListRow(row); });
  ShowSortIndicator(discView_, engine_.DiscsSorted, engine_.DiscSortColumn,
                    engine_.DiscSortDescending);
  discColumns_->Fit();
}

void TMainForm::DirListAboutToChange() {
  dirModel_->BeginReset();
}

void TMainForm::DirListChanged() {
  dirModel_->EndReset();
  ShowEngineSelection(dirView_, engine_.Dirs.rows);
  ShowSortIndicator(dirView_, engine_.DirsSorted, engine_.SortColumn, engine_.SortDescending);
  dirColumns_->Fit();
}

void TMainForm::PathLabelChanged(const std::string& text) {
  pathLabel_->setText(FromUtf8(text));
}

}  // namespace rondo::gui
