// SPDX-License-Identifier: GPL-3.0-or-later
// The search results as the search window's table shows them. The rows live
// in the engine's SearchResults; every text is made when it is painted, so
// a million rows cost no more than the rows on screen.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <vector>

#include "catalogue/disc_list.h"
#include "catalogue/engine.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"

namespace rondo::gui {

class SearchResultsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit SearchResultsModel(Engine& engine, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Column captions from a language file.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                     int role = Qt::EditRole) override;

  // Shows the rows the search added since the last call.
  void rowsAppended();
  // Starts over (the results were cleared).
  void reset();
  // A click on a column header: the engine sorts the rows by the column
  // (the same column again reverses them); the selection moves with its
  // rows.
  void clickColumn(int column);
  // Sorts by a column in the order given (the order remembered from the
  // last run), keeping the selection with its rows.
  void sortBy(int column, bool descending);

 private:
  // Applies the order sort makes (for each row's new place, its old one).
  void reorder(const std::function<std::vector<std::size_t>()>& sort);
  Engine& engine_;
  // File icons by extension; disc rows use the disc list's own icons.
  mutable IconCache icons_;
  DiscList noDiscs_;
  DiscListModel discIcons_{noDiscs_};
  int shown_ = 0;
  QStringList headerOverrides_;
};

}  // namespace rondo::gui
