// SPDX-License-Identifier: GPL-3.0-or-later
// The widths of a list's columns: each column is as wide as its caption and
// its text need in the list's font, never narrower than its usual width;
// a column the user has sized by hand keeps that width, also in the next
// run, until the font size changes.
#pragma once

#include <QObject>
#include <string>
#include <vector>

class QTreeView;
class QTreeWidget;

namespace rondo {
class Registry;
}

namespace rondo::gui {

class ColumnLayout : public QObject {
  Q_OBJECT

 public:
  // minimumWidths: one per column. setting: the value name the user's
  // widths are stored under.
  ColumnLayout(QTreeView* view, std::vector<int> minimumWidths, std::string setting);

  // Rows measured besides the header: a long list is measured by a sample,
  // so that opening it stays quick.
  static constexpr int kSampleRows = 256;

  // Sizes the columns for the rows and font shown now.
  void Fit();
  // The width a column needs for its caption and the sampled rows.
  int NeededWidth(int column) const;
  // Whether the user has given the column its width by hand.
  bool SetByUser(int column) const;

  void Load(Registry& registry);
  void Save(Registry& registry) const;

 private:
  void sectionResized(int column, int oldWidth, int newWidth);

  QTreeView* view_;
  std::vector<int> minimum_;
  std::string setting_;
  // 0 for a column that fits its content.
  std::vector<int> userWidths_;
  // The font size the user's widths were chosen at.
  int userFont_ = 0;
  bool fitting_ = false;
};

// For a small list filled at once (a QTreeWidget): each column but the last
// as wide as its caption and texts need in the list's font (with room for an
// icon in the first), never narrower than minimum's width for it.
void FitTreeWidgetColumns(QTreeWidget* list, const std::vector<int>& minimum);

}  // namespace rondo::gui
