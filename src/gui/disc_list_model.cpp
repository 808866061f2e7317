// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/disc_list_model.h"
#include "gui/qt_text.h"

#include "gui/icon_cache.h"

#include "shell/text.h"

namespace rondo::gui {

namespace {}  // namespace

DiscListModel::DiscListModel(const DiscList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
  for (std::size_t i = 0; i < kDiscColumnCount; ++i) {
    headers_[i] = FromUtf8(kDiscListColumns[i].caption);
  }
  // Built once and shared by every row; drawn, so sharp at any scale.
  discIcon_ = DiscIcon();
  audioCdIcon_ = AudioDiscIcon();
  multigroupIcon_ = MultigroupIcon();
  // A row without a picture (".." of a multigroup) gets a blank one, so
  // that every row keeps the height of a row with an icon.
  noIcon_ = BlankIcon();
}

int DiscListModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || resetting_)
    return 0;
  return static_cast<int>(shownOnly_ ? shownOnly_->size() : list_.rows.size());
}

int DiscListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kDiscColumnCount);
}

QVariant DiscListModel::data(const QModelIndex& index, int role) const {
  // While the engine refills the rows a view may still ask (a message box
  // shown in the middle runs the event loop); it gets nothing.
  if (resetting_ || !index.isValid() || index.row() < 0 || index.column() < 0)
    return {};
  if (index.row() >= rowCount())
    return {};
  const std::size_t row = ListRow(index.row());
  const auto column = static_cast<std::size_t>(index.column());
  if (row >= list_.rows.size() || column >= kDiscColumnCount)
    return {};

  switch (role) {
    case Qt::DisplayRole:
      // A stored name may hold control characters: shown, never acted on.
      return FromUtf8(ControlPictures(list_.rows[row].cells[column]));
    case Qt::TextAlignmentRole:
      if (kDiscListColumns[column].rightAligned) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      }
      return {};
    case Qt::DecorationRole:
      if (column == kColDescription)
        return IconFor(list_.rows[row].icon);
      return {};
    default:
      return {};
  }
}

QVariant DiscListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= kDiscColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const auto column = static_cast<std::size_t>(section);
  if (role == Qt::DisplayRole)
    return headers_[column];
  if (role == Qt::TextAlignmentRole && kDiscListColumns[column].rightAligned) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool DiscListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                  int role) {
  if (orientation != Qt::Horizontal || section < 0 ||
      static_cast<std::size_t>(section) >= kDiscColumnCount ||
      (role != Qt::EditRole && role != Qt::DisplayRole))
    return false;
  headers_[static_cast<std::size_t>(section)] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

void DiscListModel::BeginReset() {
  if (resetting_)
    return;
  beginResetModel();
  resetting_ = true;
}

void DiscListModel::ShowOnly(std::optional<std::vector<std::uint32_t>> rows) {
  if (resetting_)
    shownOnly_ = std::move(rows);
}

void DiscListModel::EndReset() {
  if (!resetting_)
    beginResetModel();
  resetting_ = false;
  endResetModel();
}

const QIcon& DiscListModel::IconFor(int icon) const {
  switch (icon) {
    case kDiscIconIndex:
      return discIcon_;
    case kAudioCdIconIndex:
      return audioCdIcon_;
    case kMultigroupIconIndex:
      return multigroupIcon_;
    default:
      return noIcon_;
  }
}

}  // namespace rondo::gui
