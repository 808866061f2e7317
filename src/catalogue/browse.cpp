// SPDX-License-Identifier: GPL-3.0-or-later
// Browsing a stored disc: caching its data block, listing its root or one of
// its directories, moving through the tree and sorting the rows.
#include <algorithm>
#include <numeric>

#include "catalogue/browsed_path.h"
#include "catalogue/collation.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "shell/sizes.h"
#include "shell/text.h"

namespace rondo {

namespace {

// Refills the directory list; the view is told when the refill ends, also
// when it ends with an error (the rows read so far stay).
class DirListRefill {
 public:
  explicit DirListRefill(Engine& engine) : engine_(engine) {
    engine_.Host().DirListAboutToChange();
    engine_.Dirs.rows.clear();
    engine_.DirsSorted = false;
    // Made whole in one expression: GCC 12 at -O3 loses track of a name
    // assigned to the row's empty cell afterwards and warns it may be unset.
    engine_.Dirs.rows.push_back(DirRow{.cells = {std::string("..")}, .kind = DirRowKind::kUp});
  }
  ~DirListRefill() { engine_.Host().DirListChanged(); }
  DirListRefill(const DirListRefill&) = delete;
  DirListRefill& operator=(const DirListRefill&) = delete;

 private:
  Engine& engine_;
};

}  // namespace

// Adds the row of a visible item, or counts it in "Skryté položky!".
void Engine::AddItemRow(const ItemRecord& item, bool directory, const Cp1250Text& group,
                        std::uint32_t at) {
  auto& rows = Dirs.rows;
  const bool visible = ShowForeignItems || InGroupList(item.Comment, group);
  if (!visible) {
    if (rows.empty() || rows.front().kind != DirRowKind::kHiddenItems) {
      DirRow hidden;
      hidden.cells[kDirColName] = std::string(kHiddenItemsCaption);
      hidden.kind = DirRowKind::kHiddenItems;
      rows.insert(rows.begin(), std::move(hidden));
    }
    DirRow& hidden = rows.front();
    ++hidden.size;
    hidden.cells[kDirColSize] = std::to_string(hidden.size);
    return;
  }
  DirRow row;
  row.kind = directory ? DirRowKind::kDirectory : DirRowKind::kFile;
  row.size = item.Size;
  row.attributes = item.Attributes;
  row.time = item.Time;
  row.at = at;
  row.cells[kDirColName] = ToUtf8(CharArrayToStr(item.Name));
  row.cells[kDirColSize] = SizeToText(item.Size, format_.decimalPoint);
  row.cells[kDirColAttributes] = AttributeLetters(item.Attributes);
  row.cells[kDirColTime] = DateTimeText(item.Time, format_.dateTime);
  const std::string comment = CharArrayToStr(item.Comment).bytes;
  const std::size_t caret = comment.find('^');
  if (caret == std::string::npos) {
    row.cells[kDirColGroups] = ToUtf8(Cp1250Text(comment));
  } else {
    row.cells[kDirColComment] = ToUtf8(Cp1250Text(comment.substr(0, caret)));
    row.cells[kDirColGroups] = ToUtf8(Cp1250Text(comment.substr(caret + 1)));
  }
  rows.push_back(std::move(row));
}

void Engine::LoadCdBlock(FileStream& file) {
  BlockCache.Clear();
  ++blockLoads_;
  const Cp1250Text wanted = ToCp1250(LoadedSerial);
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (h.Serial.Text() != wanted)
      continue;
    loadedDescription_ = ToUtf8(h.Description.Text());
    // The walker has checked that the whole block lies inside the file.
    std::vector<std::uint8_t>& bytes = BlockCache.Bytes();
    bytes.resize(static_cast<std::size_t>(walker.BlockLength()));
    const std::size_t got = file.ReadSome(bytes.data(), bytes.size());
    bytes.resize(got);
    return;
  }
}

void Engine::ShowDiscRoot() {
  DirListRefill refill(*this);
  listedLoad_ = blockLoads_;
  CurrentDepth = 0;
  BlockCache.Seek(0);
  const Cp1250Text group = ToCp1250(GroupFilter);
  ItemPrefix prefix;
  ItemRecord item;
  try {
    for (std::uint64_t at = 0; ReadItem(BlockCache, prefix, item); at = BlockCache.Position()) {
      if (item.Level == 1)
        AddItemRow(item, prefix.IsDirectory(), group, static_cast<std::uint32_t>(at));
    }
  } catch (const DamagedItems& e) {
    throw DamagedCatalogue(DamagedItemsText(e.damage, loadedDescription_, LoadedSerial));
  }
  const bool onlyUp = std::none_of(Dirs.rows.begin(), Dirs.rows.end(),
                                   [](const DirRow& r) { return r.kind != DirRowKind::kUp; });
  if (onlyUp) {
    DirRow none;
    none.cells[kDirColName] = std::string(kNoStructureCaption);
    none.kind = DirRowKind::kNoStructure;
    Dirs.rows.push_back(std::move(none));
  }
}

std::optional<std::uint64_t> Engine::LocateShownDirectory() {
  // A directory is known by its name, its size text and its depth, inside
  // the directories of DirStack: the one entered when its record is still
  // where it was, else the first one there.
  const TOneDir& top = DirStack.back();
  const Cp1250Text name = ToCp1250(top.Name);
  const std::uint16_t depth = CurrentDepth;
  std::optional<std::uint64_t> first;
  EnclosingDirs dirs;
  ItemPrefix prefix;
  ItemRecord item;
  BlockCache.Seek(0);
  for (std::uint64_t at = 0; ReadItem(BlockCache, prefix, item); at = BlockCache.Position()) {
    if (first && top.At && at > *top.At)
      break;
    if (prefix.IsDirectory() && item.Level == depth && CharArrayToStr(item.Name) == name &&
        SizeToText(item.Size, format_.decimalPoint) == top.SizeText &&
        dirs.Are(DirStack, depth, format_.decimalPoint)) {
      if (!top.At || *top.At == at)
        return at;
      if (!first)
        first = at;
    }
    dirs.Pass(item, prefix.IsDirectory());
  }
  return first;
}

void Engine::ShowDirectory() {
  DirListRefill refill(*this);
  listedLoad_ = blockLoads_;
  if (DirStack.empty())
    return;
  const std::uint16_t depth = CurrentDepth;
  const Cp1250Text group = ToCp1250(GroupFilter);
  ItemPrefix prefix;
  ItemRecord item;
  try {
    const std::optional<std::uint64_t> shown = LocateShownDirectory();
    if (!shown)
      return;  // only ".."
    BlockCache.Seek(*shown);
    ReadItem(BlockCache, prefix, item);  // the directory itself is not listed
    for (std::uint64_t at = BlockCache.Position(); ReadItem(BlockCache, prefix, item);
         at = BlockCache.Position()) {
      if (item.Level <= depth)
        break;
      if (item.Level == depth + 1)
        AddItemRow(item, prefix.IsDirectory(), group, static_cast<std::uint32_t>(at));
    }
  } catch (const DamagedItems& e) {
    throw DamagedCatalogue(DamagedItemsText(e.damage, loadedDescription_, LoadedSerial));
  }
}

Engine::Navigated Engine::OpenSelectedItem() {
  const DirRow* row = Dirs.FirstSelected();
  if (row == nullptr)
    return Navigated::kNothing;
  Navigated result = Navigated::kNothing;
  switch (row->kind) {
    case DirRowKind::kUp:
      if (DirStack.size() <= 1) {
        LeaveBrowsing();
        return Navigated::kLeftBrowsing;
      }
      DirStack.pop_back();
      if (CurrentDepth > 0)
        --CurrentDepth;
      RunOperation(DirStack.size() == 1 ? OperationCode::kShowDiscRoot
                                        : OperationCode::kShowDirectory);
      result = Navigated::kWentUp;
      break;
    case DirRowKind::kDirectory:
      DirStack.push_back(TOneDir{row->Caption(), row->cells[kDirColSize], row->at});
      ++CurrentDepth;
      RunOperation(OperationCode::kShowDirectory);
      result = Navigated::kEntered;
      break;
    default:
      return Navigated::kNothing;  // files and the special rows
  }
  SortDirList(0);
  return result;
}

void Engine::LeaveBrowsing() {
  host_.DirListAboutToChange();
  Dirs.rows.clear();
  DirsSorted = false;
  host_.DirListChanged();
  DirStack.clear();
  PathLabel.clear();
  host_.PathLabelChanged(PathLabel);
}

void Engine::SortDirList(int column, bool descending) {
  SortColumn = column;
  SortDescending = descending;
  DirsSorted = true;
  host_.DirListAboutToChange();
  SortDirRows(Dirs.rows, column, descending);
  host_.DirListChanged();
}

void Engine::ClickDirColumn(int column) {
  SortDirList(column, DirsSorted && column == SortColumn && !SortDescending);
}

void SortDirRows(std::vector<DirRow>& rows, int column, bool descending) {
  // Rank: ".." first, then directories, then "Skryté položky!", then every
  // other row; the order chosen applies within a rank.
  auto rank = [](const DirRow& r) {
    switch (r.kind) {
      case DirRowKind::kUp:
        return 0;
      case DirRowKind::kDirectory:
        return 1;
      case DirRowKind::kHiddenItems:
        return 2;
      default:
        return 3;
    }
  };
  std::size_t textColumn = kDirColName;
  if (column == 2)
    textColumn = kDirColAttributes;
  if (column == 4)
    textColumn = kDirColComment;
  if (column == 5)
    textColumn = kDirColGroups;
  const bool byText = column == 0 || column == 2 || column == 4 || column == 5;

  // One key per row, computed once: comparing keys is far cheaper than
  // comparing texts in the locale at every step.
  std::vector<std::string> keys(rows.size());
  if (byText) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rank(rows[i]) == 1 || rank(rows[i]) == 3)
        keys[i] = NaturalCollationKey(AsciiLower(rows[i].cells[textColumn]));
    }
  }
  const auto less = [&](std::size_t ia, std::size_t ib) {
    const DirRow& a = rows[ia];
    const DirRow& b = rows[ib];
    if (column == 1)
      return a.size < b.size;
    if (column == 3)
      return a.time < b.time;
    if (byText)
      return keys[ia] < keys[ib];
    return false;
  };
  std::vector<std::size_t> order(rows.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t ia, std::size_t ib) {
    const int ra = rank(rows[ia]);
    const int rb = rank(rows[ib]);
    if (ra != rb)
      return ra < rb;
    if (ra == 0 || ra == 2)
      return false;
    return descending ? less(ib, ia) : less(ia, ib);
  });
  std::vector<DirRow> sorted;
  sorted.reserve(rows.size());
  for (std::size_t i : order)
    sorted.push_back(std::move(rows[i]));
  rows = std::move(sorted);
}

}  // namespace rondo
