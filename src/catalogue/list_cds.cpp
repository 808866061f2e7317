// SPDX-License-Identifier: GPL-3.0-or-later
// The disc list: listing the discs of the selected group, listing a
// multigroup's members, the duplicate test, and opening a row.
#include <algorithm>
#include <numeric>

#include "catalogue/collation.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "shell/sizes.h"
#include "shell/text.h"

namespace rondo {

namespace {

// The names of a disc's Groups field: the 50 bytes split at ";", zero bytes
// skipped. Compared exactly, letter case included.
bool InDiscGroups(const FixedText<50>& groups, std::string_view group) {
  std::string name;
  for (char c : groups.raw) {
    if (c == '\0')
      continue;
    if (c == ';') {
      if (name == group)
        return true;
      name.clear();
    } else {
      name += c;
    }
  }
  return name == group;
}

bool IsReturnedOrEmpty(const CdHeader& h) {
  const Cp1250Text lending = h.Lending.Text();
  return lending.empty() || lending.bytes.find(kReturnedMark) != std::string::npos;
}

bool PassesFilter(const CdHeader& h, const Cp1250Text& filter) {
  if (filter.bytes == ToCp1250(kGroupAll).bytes)
    return true;
  if (InDiscGroups(h.Groups, filter.bytes))
    return true;
  if (filter.bytes == ToCp1250(kGroupLent).bytes)
    return !IsReturnedOrEmpty(h);
  if (filter.bytes == ToCp1250(kGroupNotLent).bytes)
    return IsReturnedOrEmpty(h);
  return false;
}

}  // namespace

DiscRow Engine::MakeDiscRow(const CdHeader& h, bool plainSizes) const {
  const DateTimeFormat& dt = format_.dateTime;
  const bool multigroup = h.IsMultigroup();
  DiscRow row;
  auto& c = row.cells;
  c[kColDescription] = ToUtf8(h.Description.Text());
  c[kColGroups] = ToUtf8(h.Groups.Text());
  c[kColSerial] = ToUtf8(h.Serial.Text());
  c[kColLending] = ToUtf8(h.Lending.Text());
  if (h.LendDate != 0.0)
    c[kColLendDate] = DateTimeText(h.LendDate, dt);
  c[kColVolumeLabel] = ToUtf8(h.VolumeLabel.Text());
  c[kColFileCount] = std::to_string(h.FileCount);
  c[kColDirCount] = std::to_string(h.DirCount);
  c[kColCdSize] =
      plainSizes ? std::to_string(h.CdSize) : SizeToText(h.CdSize, format_.decimalPoint);
  if (!multigroup) {
    c[kColBlockSize] =
        plainSizes ? std::to_string(h.BlockSize) : SizeToText(h.BlockSize, format_.decimalPoint);
    c[kColCreated] = DateTimeText(h.Created, dt);
    c[kColScanTime] = TimeText(h.Finished - h.Created, dt);
  }
  auto& v = row.values;
  v.fill(kNoValue);
  if (h.LendDate != 0.0)
    v[kColLendDate] = h.LendDate;
  v[kColFileCount] = h.FileCount;
  v[kColDirCount] = h.DirCount;
  v[kColCdSize] = h.CdSize;
  if (!multigroup) {
    v[kColBlockSize] = h.BlockSize;
    v[kColCreated] = h.Created;
    v[kColScanTime] = h.Finished - h.Created;
  }
  row.icon =
      multigroup ? kMultigroupIconIndex : (h.IsAudioCd() ? kAudioCdIconIndex : kDiscIconIndex);
  return row;
}

void SortDiscRows(std::vector<DiscRow>& rows, std::size_t column, bool descending) {
  if (column >= kDiscColumnCount)
    return;
  // ".." of a multigroup view stays where it is, first.
  const std::size_t from =
      !rows.empty() && rows.front().Caption() == kUpRowCaption && rows.front().icon == kNoIcon ? 1
                                                                                               : 0;
  const std::size_t n = rows.size() - from;
  const bool byValue = SortsByValue(column);
  // One key per row, computed once: comparing keys is far cheaper than
  // comparing texts in the locale at every step.
  std::vector<std::string> keys;
  if (!byValue) {
    keys.reserve(n);
    for (std::size_t i = from; i < rows.size(); ++i)
      keys.push_back(NaturalCollationKey(rows[i].cells[column]));
  }
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  const auto less = [&](std::size_t a, std::size_t b) {
    if (byValue)
      return rows[from + a].values[column] < rows[from + b].values[column];
    return keys[a] < keys[b];
  };
  if (descending) {
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return less(b, a); });
  } else {
    std::stable_sort(order.begin(), order.end(), less);
  }
  std::vector<DiscRow> sorted;
  sorted.reserve(rows.size());
  for (std::size_t i = 0; i < from; ++i)
    sorted.push_back(std::move(rows[i]));
  for (std::size_t i : order)
    sorted.push_back(std::move(rows[from + i]));
  rows = std::move(sorted);
}

void Engine::SortDiscList(int column, bool descending) {
  if (column < 0 || static_cast<std::size_t>(column) >= kDiscColumnCount)
    return;
  DiscSortColumn = column;
  DiscSortDescending = descending;
  DiscsSorted = true;
  host_.DiscListAboutToChange();
  SortDiscRows(Discs.rows, static_cast<std::size_t>(column), descending);
  host_.DiscListChanged();
}

void Engine::SortDiscsByCaption() {
  SortDiscRows(Discs.rows, static_cast<std::size_t>(DiscSortColumn), DiscSortDescending);
  DiscsSorted = true;
}

void Engine::ClickDiscColumn(int column) {
  SortDiscList(column, DiscsSorted && column == DiscSortColumn && !DiscSortDescending);
}

void Engine::ListCds(FileStream& file) {
  ShownMultigroup.clear();
  host_.DiscListAboutToChange();
  Discs.rows.clear();
  const Cp1250Text filter = ToCp1250(GroupFilter);
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (h.InMultigroup != 0)
      continue;
    if (PassesFilter(h, filter))
      Discs.rows.push_back(MakeDiscRow(h, false));
  }
  SortDiscsByCaption();
  host_.DiscListChanged();
}

void Engine::ShowMultigroup(FileStream& file) {
  ShownMultigroup = PendingSerial;
  const Cp1250Text wanted = ToCp1250(PendingSerial);
  std::vector<FixedText<9>> members;
  {
    EntryWalker walker(file);
    CdHeader h;
    while (walker.Next(h)) {
      if (h.Serial.Text() != wanted)
        continue;
      // Only a multigroup's block is a member list; an ordinary disc's block
      // holds items and would give nonsense serials.
      if (h.IsMultigroup())
        members = ReadMembers(file, walker.BlockLength());
      break;
    }
  }

  host_.DiscListAboutToChange();
  Discs.rows.clear();
  DiscsSorted = false;  // members in file order
  DiscRow up;
  up.cells[kColDescription] = std::string(kUpRowCaption);
  up.icon = kNoIcon;
  Discs.rows.push_back(std::move(up));
  struct Done {
    EngineHost& host;
    ~Done() { host.DiscListChanged(); }
  } done{host_};

  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    const bool member = std::any_of(members.begin(), members.end(),
                                    [&](const FixedText<9>& m) { return m == h.Serial; });
    if (member)
      Discs.rows.push_back(MakeDiscRow(h, true));
  }
}

bool Engine::SerialExists(FileStream& file) {
  const Cp1250Text wanted = ToCp1250(PendingSerial);
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (h.Serial.Text() == wanted)
      return true;
  }
  return false;
}

Engine::Opened Engine::OpenSelectedDisc() {
  const DiscRow* row = Discs.FirstSelected();
  if (row == nullptr)
    return Opened::kNothing;
  if (row->Caption() == kUpRowCaption) {
    RunOperation(OperationCode::kListCds);
    return Opened::kGroupList;
  }
  if (row->cells[kColVolumeLabel] == kMultiGroupLabel) {
    PendingSerial = row->cells[kColSerial];
    RunOperation(OperationCode::kShowMultigroup);
    return Opened::kMultigroup;
  }
  OpenDiscRoot(row->cells[kColSerial], row->Caption());
  return Opened::kDisc;
}

void Engine::OpenDiscRoot(const std::string& serial, const std::string& caption) {
  if (serial != LoadedSerial) {
    LoadedSerial = serial;
    LoadedDiscName = caption;
    try {
      RunOperation(OperationCode::kLoadCdBlock);
    } catch (...) {
      // Nothing valid is cached: the next opening must read the block again.
      LoadedSerial.clear();
      BlockCache.Clear();
      throw;
    }
  }
  DirStack.assign(1, TOneDir{"*Top*", "0 B"});
  CurrentDepth = 0;
  RunOperation(OperationCode::kShowDiscRoot);
}

}  // namespace rondo
