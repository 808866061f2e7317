// SPDX-License-Identifier: GPL-3.0-or-later
// The disc list as the main window's table shows it. The rows live in the
// engine's DiscList; the model only reads them, so a list of a hundred
// thousand discs costs nothing beyond the rows the view actually paints.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "catalogue/disc_list.h"

namespace rondo::gui {

class DiscListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit DiscListModel(const DiscList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Column captions from a language file.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                     int role = Qt::EditRole) override;

  // The engine refills the list between these two calls. A second Begin
  // before the End is ignored, an End without a Begin still resets the
  // views, so an interrupted refill can never leave the views half updated.
  void BeginReset();
  void EndReset();
  bool Resetting() const { return resetting_; }

  // Shows only these rows of the list (the filter's), or all of them;
  // only between BeginReset and EndReset.
  void ShowOnly(std::optional<std::vector<std::uint32_t>> rows);
  // The list row a view row shows.
  std::size_t ListRow(int viewRow) const {
    return shownOnly_ ? (*shownOnly_)[static_cast<std::size_t>(viewRow)]
                      : static_cast<std::size_t>(viewRow);
  }

  // The shared icon of a row icon index (kDiscIconIndex, kAudioCdIconIndex,
  // kMultigroupIconIndex); an empty icon for kNoIcon and unknown indexes.
  const QIcon& IconFor(int icon) const;

 private:
  const DiscList& list_;
  bool resetting_ = false;
  std::optional<std::vector<std::uint32_t>> shownOnly_;
  std::array<QString, kDiscColumnCount> headers_;
  QIcon discIcon_;
  QIcon audioCdIcon_;
  QIcon multigroupIcon_;
  QIcon noIcon_;
};

}  // namespace rondo::gui
