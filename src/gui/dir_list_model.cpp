// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/dir_list_model.h"

#include <QIcon>

#include "gui/icon_cache.h"
#include "gui/qt_text.h"
#include "shell/text.h"

namespace rondo::gui {

namespace {}  // namespace

DirListModel::DirListModel(const DirList& list, IconCache& icons, QObject* parent)
    : QAbstractTableModel(parent), list_(list), icons_(icons) {
  for (std::size_t i = 0; i < kDirColumnCount; ++i)
    headers_[i] = FromUtf8(kDirListColumns[i].caption);
}

int DirListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || resetting_)
    return 0;
  return static_cast<int>(list_.rows.size());
}

int DirListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kDirColumnCount);
}

QVariant DirListModel::data(const QModelIndex& index, int role) const {
  if (resetting_ || !index.isValid() || index.row() < 0 || index.column() < 0)
    return {};
  const auto row = static_cast<std::size_t>(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  if (row >= list_.rows.size() || column >= kDirColumnCount)
    return {};
  const DirRow& item = list_.rows[row];

  switch (role) {
    case Qt::DisplayRole:
      // A stored name may hold control characters: shown, never acted on.
      return FromUtf8(ControlPictures(item.cells[column]));
    case Qt::TextAlignmentRole:
      if (kDirListColumns[column].rightAligned)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      return {};
    case Qt::DecorationRole:
      if (column != kDirColName)
        return {};
      switch (item.Icon()) {
        case kDirIconUp:
        case kDirIconFolder:
          return icons_.folderIcon();
        case kDirIconFile:
          return icons_.fileIcon(item.Caption());
        default:
          // "Skryté položky!" and the like: a blank picture, so the rows
          // keep the height of rows with icons (the view takes every row's
          // height from the first one).
          return icons_.blankIcon();
      }
    default:
      return {};
  }
}

QVariant DirListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= kDirColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const auto column = static_cast<std::size_t>(section);
  if (role == Qt::DisplayRole)
    return headers_[column];
  if (role == Qt::TextAlignmentRole && kDirListColumns[column].rightAligned)
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool DirListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                 int role) {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= kDirColumnCount ||
      (role != Qt::EditRole && role != Qt::DisplayRole))
    return false;
  headers_[static_cast<std::size_t>(section)] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

void DirListModel::BeginReset() {
  if (resetting_)
    return;
  beginResetModel();
  resetting_ = true;
}

void DirListModel::EndReset() {
  if (!resetting_)
    beginResetModel();
  resetting_ = false;
  endResetModel();
}

}  // namespace rondo::gui
