// SPDX-License-Identifier: GPL-3.0-or-later
// The directory list of a browsed disc as the main window's second table
// shows it. Like the disc list, the rows live in the engine (its DirList);
// the model reads them for the rows the view paints, and the icons come from
// an IconCache by extension, so a directory of 100,000 files costs no more
// to show than one of ten.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>

#include "catalogue/dir_list.h"

namespace rondo::gui {

class IconCache;

class DirListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  DirListModel(const DirList& list, IconCache& icons, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Column captions from a language file.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                     int role = Qt::EditRole) override;

  // The engine refills or re-sorts the rows between these two calls; the
  // same rules as the disc list's: a second Begin is ignored, an End
  // without a Begin still resets the views.
  void BeginReset();
  void EndReset();
  bool Resetting() const { return resetting_; }

 private:
  const DirList& list_;
  IconCache& icons_;
  bool resetting_ = false;
  std::array<QString, kDirColumnCount> headers_;
};

}  // namespace rondo::gui
