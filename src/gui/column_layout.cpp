// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/column_layout.h"

#include <QHeaderView>
#include <QStyle>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <charconv>
#include <sstream>
#include <string>

#include "settings/registry.h"

namespace rondo::gui {

namespace {

int FontSize(const QWidget& widget) {
  return qRound(widget.font().pointSizeF() * 10);
}

}  // namespace

ColumnLayout::ColumnLayout(QTreeView* view, std::vector<int> minimumWidths, std::string setting)
    : QObject(view),
      view_(view),
      minimum_(std::move(minimumWidths)),
      setting_(std::move(setting)),
      userWidths_(minimum_.size(), 0) {
  connect(view_->header(), &QHeaderView::sectionResized, this, &ColumnLayout::sectionResized);
}

void ColumnLayout::sectionResized(int column, int, int newWidth) {
  if (fitting_ || column < 0 || static_cast<std::size_t>(column) >= userWidths_.size())
    return;
  userWidths_[static_cast<std::size_t>(column)] = newWidth;
  userFont_ = FontSize(*view_);
}

bool ColumnLayout::SetByUser(int column) const {
  return column >= 0 && static_cast<std::size_t>(column) < userWidths_.size() &&
         userWidths_[static_cast<std::size_t>(column)] > 0;
}

int ColumnLayout::NeededWidth(int column) const {
  const QHeaderView* header = view_->header();
  int width = header->sectionSizeHint(column);
  // Room for the sort indicator, so a caption is not cut once it shows.
  if (!header->isSortIndicatorShown())
    width += header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header) +
             header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  const QAbstractItemModel* model = view_->model();
  const int rows = model->rowCount();
  // The first rows and then rows spread evenly over the rest.
  const int step =
      rows <= kSampleRows ? 1 : std::max(1, (rows - kSampleRows / 2) / (kSampleRows / 2));
  for (int row = 0; row < rows;) {
    width = std::max(width, view_->sizeHintForIndex(model->index(row, column)).width());
    row += row < kSampleRows / 2 ? 1 : step;
  }
  return width;
}

void ColumnLayout::Fit() {
  if (userFont_ != 0 && userFont_ != FontSize(*view_)) {
    // Widths chosen for another font size would cut the texts now.
    std::fill(userWidths_.begin(), userWidths_.end(), 0);
    userFont_ = 0;
  }
  fitting_ = true;
  for (std::size_t i = 0; i < minimum_.size(); ++i) {
    const int column = static_cast<int>(i);
    const int width =
        userWidths_[i] > 0 ? userWidths_[i] : std::max(minimum_[i], NeededWidth(column));
    if (view_->header()->sectionSize(column) != width)
      view_->header()->resizeSection(column, width);
  }
  fitting_ = false;
}

void ColumnLayout::Load(Registry& registry) {
  // "font size;width,width,…", 0 for a column that fits its content.
  const std::string text = registry.ReadText(setting_);
  const std::size_t semicolon = text.find(';');
  if (semicolon == std::string::npos)
    return;
  std::vector<int> widths;
  std::istringstream list(text.substr(semicolon + 1));
  std::string item;
  while (std::getline(list, item, ',')) {
    int width = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), width);
    if (error != std::errc() || end != item.data() + item.size() || width < 0 || width > 10000)
      return;
    widths.push_back(width);
  }
  if (widths.size() != userWidths_.size())
    return;
  int font = 0;
  std::from_chars(text.data(), text.data() + semicolon, font);
  userWidths_ = std::move(widths);
  userFont_ = font;
}

void ColumnLayout::Save(Registry& registry) const {
  std::string text = std::to_string(userFont_) + ';';
  for (std::size_t i = 0; i < userWidths_.size(); ++i) {
    if (i > 0)
      text += ',';
    text += std::to_string(userWidths_[i]);
  }
  registry.WriteText(setting_, text);
}

void FitTreeWidgetColumns(QTreeWidget* list, const std::vector<int>& minimum) {
  QHeaderView* header = list->header();
  const QFontMetrics metrics = list->fontMetrics();
  const int padding = metrics.averageCharWidth() * 2;
  for (int column = 0; column + 1 < header->count(); ++column) {
    int width = column < static_cast<int>(minimum.size()) ? minimum[column] : 0;
    width = std::max(width, header->sectionSizeHint(column));
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      const QTreeWidgetItem* item = list->topLevelItem(row);
      int needed = metrics.horizontalAdvance(item->text(column)) + padding;
      if (!item->icon(column).isNull())
        needed += list->iconSize().isValid() ? list->iconSize().width() + padding
                                             : metrics.height() + padding;
      width = std::max(width, needed);
    }
    header->resizeSection(column, width);
  }
}

}  // namespace rondo::gui
