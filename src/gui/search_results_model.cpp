// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/search_results_model.h"

#include "shell/text.h"

namespace rondo::gui {

SearchResultsModel::SearchResultsModel(Engine& engine, QObject* parent)
    : QAbstractTableModel(parent), engine_(engine) {}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

int SearchResultsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kSearchColumnCount);
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const {
  // A view may ask between the results being cleared and the reset.
  if (!index.isValid() || index.row() >= shown_ ||
      static_cast<std::size_t>(index.row()) >= engine_.Found.size()) {
    return {};
  }
  const auto row = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  if (column >= kSearchColumnCount)
    return {};
  switch (role) {
    case Qt::DisplayRole: {
      const DisplayFormat& f = engine_.Format();
      // A stored name may hold control characters: shown, never acted on.
      return QString::fromStdString(
          ControlPictures(engine_.Found.Cell(row, column, f.dateTime, f.decimalPoint)));
    }
    case Qt::TextAlignmentRole:
      if (kSearchColumns[column].rightAligned)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case Qt::DecorationRole: {
      if (column != kSearchName)
        return {};
      const int icon = engine_.Found.Icon(row);
      if (icon == 1)
        return icons_.folderIcon();
      if (icon < 0) {
        const DisplayFormat& f = engine_.Format();
        return icons_.fileIcon(engine_.Found.Cell(row, kSearchName, f.dateTime, f.decimalPoint));
      }
      return discIcons_.IconFor(icon);
    }
    default:
      return {};
  }
}

bool SearchResultsModel::setHeaderData(int section, Qt::Orientation orientation,
                                       const QVariant& value, int role) {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(kSearchColumnCount) ||
      (role != Qt::EditRole && role != Qt::DisplayRole))
    return false;
  while (headerOverrides_.size() <= section)
    headerOverrides_.push_back(QString());
  headerOverrides_[section] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

QVariant SearchResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      section >= static_cast<int>(kSearchColumnCount)) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const ListColumn& column = kSearchColumns[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) {
    if (section < headerOverrides_.size() && !headerOverrides_[section].isNull())
      return headerOverrides_[section];
    return QString::fromUtf8(column.caption.data(), static_cast<qsizetype>(column.caption.size()));
  }
  if (role == Qt::TextAlignmentRole && column.rightAligned)
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
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

void SearchResultsModel::clickColumn(int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= kSearchColumnCount)
    return;
  reorder([this, column] { return engine_.Found.ClickColumn(static_cast<std::size_t>(column)); });
}

void SearchResultsModel::sortBy(int column, bool descending) {
  if (column < 0 || static_cast<std::size_t>(column) >= kSearchColumnCount)
    return;
  reorder([this, column, descending] {
    return engine_.Found.Sort(static_cast<std::size_t>(column), descending);
  });
}

void SearchResultsModel::reorder(const std::function<std::vector<std::size_t>()>& sort) {
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const std::vector<std::size_t> order = sort();
  std::vector<int> placeOf(order.size());
  for (std::size_t now = 0; now < order.size(); ++now)
    placeOf[order[now]] = static_cast<int>(now);
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& index : before) {
    const auto row = static_cast<std::size_t>(index.row());
    after.push_back(row < placeOf.size() ? this->index(placeOf[row], index.column())
                                         : QModelIndex());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void SearchResultsModel::reset() {
  beginResetModel();
  shown_ = static_cast<int>(engine_.Found.size());
  endResetModel();
}

}  // namespace rondo::gui
