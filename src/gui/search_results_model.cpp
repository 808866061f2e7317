#include "gui/search_results_model.h"

#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"

namespace rondo::gui {

SearchResultsModel::SearchResultsModel(const Engine& engine, IconCache& icons,
                                       const DiscListModel& discIcons, QObject* parent)
    : QAbstractTableModel(parent), engine_(engine), icons_(icons), discIcons_(discIcons) {}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

int SearchResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kSearchColumnCount);
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shown_ ||
      static_cast<std::size_t>(index.row()) >= engine_.Found.size()) {
    return {};
  }
  const auto row = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  if (role == Qt::DisplayRole) {
    const DisplayFormat& f = engine_.Format();
    return QString::fromStdString(engine_.Found.Cell(row, column, f.dateTime, f.decimalPoint));
  }
  if (role == Qt::TextAlignmentRole && kSearchColumns[column].rightAligned) {
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role == Qt::DecorationRole && column == kSearchName) {
    const int icon = engine_.Found.Icon(row);
    if (icon == 1)
      return icons_.folderIcon();
    if (icon < 0) {
      const DisplayFormat& f = engine_.Format();
      return icons_.fileIcon(engine_.Found.Cell(row, kSearchName, f.dateTime, f.decimalPoint));
    }
    return discIcons_.IconFor(icon);
  }
  return {};
}

QVariant SearchResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(kSearchColumnCount)) {
    return {};
  }
  if (role == Qt::DisplayRole) {
    const auto caption = kSearchColumns[static_cast<std::size_t>(section)].caption;
    return QString::fromUtf8(caption.data(), static_cast<int>(caption.size()));
  }
  return {};
}

void SearchResultsModel::rowsAppended() {
  const int total = static_cast<int>(engine_.Found.size());
  if (total <= shown_)
    return;
  beginInsertRows(QModelIndex(), shown_, total - 1);
  shown_ = total;
  endInsertRows();
}

void SearchResultsModel::reset() {
  beginResetModel();
  shown_ = static_cast<int>(engine_.Found.size());
  endResetModel();
}

}  // namespace rondo::gui
