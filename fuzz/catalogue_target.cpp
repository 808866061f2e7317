// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue reader: every operation that only reads the file, browsing
// through the discs' trees, the search, the duplicates, the statistics, and
// the structure recalculation on a copy.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/engine.h"
#include "catalogue/format/records.h"
#include "catalogue/search.h"
#include "catalogue/statistics.h"
#include "catalogue/wild_match.h"
#include "fuzz_support.h"
#include "support/fake_host.h"
#include "targets.h"

namespace rondo::fuzz {

namespace {

// The option byte, bit by bit.
constexpr std::uint8_t kShowForeign = 0x01;
constexpr std::uint8_t kFilterShift = 1;  // two bits: the group filter
constexpr std::uint8_t kKindShift = 3;    // two bits: the search kind
constexpr std::uint8_t kMatchCase = 0x20;
constexpr std::uint8_t kDepthLimit = 0x40;
constexpr std::uint8_t kNoCache = 0x80;

constexpr std::array<const char*, 8> kPatterns = {"*",   "*a*",    "*.txt", "?*",
                                                  "*[*", "**?*x*", "Hry",   "*\xc3\xa9*"};

// The first name of a disc's groups text, or "" when it has none.
std::string FirstGroup(const std::string& groups) {
  return groups.substr(0, groups.find(';'));
}

template <typename F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception&) {
    // Damage reported as the engine reports it.
  }
}

void Select(std::vector<DiscRow>& rows, std::size_t index) {
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i].selected = i == index;
}

void Select(std::vector<DirRow>& rows, std::size_t index) {
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i].selected = i == index;
}

// Opens the disc at index and walks into its directories and out again: at
// every step the next directory row by the step's number, with a step up now
// and then.
void Browse(Engine& engine, std::size_t index, std::uint8_t options) {
  Guarded([&] { engine.RunOperation(OperationCode::kListCds); });
  if (index >= engine.Discs.rows.size())
    return;
  Select(engine.Discs.rows, index);
  Engine::Opened opened = Engine::Opened::kNothing;
  Guarded([&] { opened = engine.OpenSelectedDisc(); });
  if (opened != Engine::Opened::kDisc)
    return;
  for (int step = 0; step < 12; ++step) {
    auto& rows = engine.Dirs.rows;
    std::vector<std::size_t> dirs;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].kind == DirRowKind::kDirectory)
        dirs.push_back(i);
    }
    const bool up = dirs.empty() || (step + options) % 5 == 4;
    std::size_t target = 0;
    if (up) {
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].kind == DirRowKind::kUp)
          target = i;
      }
    } else {
      target = dirs[(static_cast<std::size_t>(step) + index) % dirs.size()];
    }
    if (target >= rows.size())
      break;
    Select(rows, target);
    Engine::Navigated moved = Engine::Navigated::kNothing;
    Guarded([&] { moved = engine.OpenSelectedItem(); });
    if (moved == Engine::Navigated::kLeftBrowsing || moved == Engine::Navigated::kNothing)
      break;
    engine.SortDirList(step % 5);
    (void)engine.PathLabelText();
  }
  engine.LeaveBrowsing();
}

// The disc list's rows as texts, to compare two listings.
std::vector<std::array<std::string, kDiscColumnCount>> Cells(const DiscList& list) {
  std::vector<std::array<std::string, kDiscColumnCount>> cells;
  for (const auto& row : list.rows)
    cells.push_back(row.cells);
  return cells;
}

}  // namespace

int CatalogueTarget(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::uint8_t options = data[0];
  ClearScratch();
  const std::string path = ScratchPath("katalog.big");
  WriteFile(path, data + 1, size - 1);

  test::FakeHost host;  // answers every question with No
  Engine engine(host);
  engine.DatabasePath = path;
  engine.ShowForeignItems = (options & kShowForeign) != 0;

  // The whole list first, to learn the serials and a group to filter by.
  Guarded([&] { engine.RunOperation(OperationCode::kListCds); });
  const DiscList all = engine.Discs;
  const std::vector<std::string> listMessages = host.messages;
  std::string group;
  for (const auto& row : all.rows) {
    group = FirstGroup(row.cells[kColGroups]);
    if (!group.empty())
      break;
  }

  switch ((options >> kFilterShift) & 3) {
    case 0:
      engine.GroupFilter = std::string(kGroupAll);
      break;
    case 1:
      engine.GroupFilter = std::string(kGroupLent);
      break;
    case 2:
      engine.GroupFilter = std::string(kGroupNotLent);
      break;
    default:
      engine.GroupFilter = group;
      break;
  }
  Guarded([&] { engine.RunOperation(OperationCode::kListCds); });

  // Every multigroup's members, and the duplicate test for each serial and
  // for one no disc has.
  for (const auto& row : all.rows) {
    engine.PendingSerial = row.cells[kColSerial];
    if (row.cells[kColVolumeLabel] == kMultiGroupLabel)
      Guarded([&] { engine.RunOperation(OperationCode::kShowMultigroup); });
    bool exists = false;
    Guarded([&] { exists = engine.RunOperation(OperationCode::kSerialExists); });
  }
  engine.PendingSerial = "\xc5\xbd-nic";
  Guarded([&] { engine.RunOperation(OperationCode::kSerialExists); });

  // A few discs opened and browsed.
  for (std::size_t i = 0; i < std::min<std::size_t>(all.rows.size(), 4); ++i)
    Browse(engine, (i * 7 + options) % all.rows.size(), options);

  // The search.
  FixedSearchHost search;
  search.pattern = kPatterns[(options ^ size) % kPatterns.size()];
  search.kind = static_cast<SearchKind>(((options >> kKindShift) & 3) % 3);
  search.matchCase = (options & kMatchCase) != 0;
  if ((options & kDepthLimit) != 0)
    search.depth = 1 + static_cast<int>(size % 3);
  search.directoryGroups = (options & kShowForeign) == 0;
  search.cache = (options & kNoCache) == 0;
  if (((options >> kFilterShift) & 3) == 3 && !group.empty())
    search.groups = {group, std::string(kGroupLent)};
  engine.Search = &search;
  Guarded([&] { engine.RunOperation(OperationCode::kSearch); });
  for (std::size_t i = 0; i < engine.Found.size(); ++i) {
    for (std::size_t c = 0; c < kSearchColumnCount; ++c)
      (void)engine.Found.Cell(i, c, engine.Format().dateTime, ",");
    (void)engine.Found.Icon(i);
    (void)engine.Found.ExportLine(i);
  }
  // "*text*" is decided by where the text occurs in each block: its rows
  // are the rows of "*" whose names hold the text.
  const CompiledPattern compiled(ToCp1250(search.pattern).bytes, '*', '?', search.matchCase);
  if (!compiled.ContainedText().empty()) {
    const auto rows = [&] {
      std::vector<std::string> found;
      for (std::size_t i = 0; i < engine.Found.size(); ++i) {
        const SearchResults::Row& r = engine.Found.row(i);
        const std::string name =
            r.kind == SearchRowKind::kDisc ? engine.Found.disc(r).description.bytes : r.name;
        if (compiled.Matches(name))
          found.push_back(std::to_string(r.at) + engine.Found.Location(i) + "\\" + name);
      }
      return found;
    };
    const std::vector<std::string> text = rows();
    search.pattern = "*";
    engine.Found.Clear();
    Guarded([&] { engine.RunOperation(OperationCode::kSearch); });
    Check(rows() == text, "the search for a text differs from its names among all names");
  }

  // The duplicates, every copy made ready to show as the window shows it.
  FixedDuplicateHost duplicates;
  duplicates.options.by = static_cast<DuplicateKey>(size % 3);
  duplicates.options.minSize = options & 0x0F;
  if (((options >> kFilterShift) & 3) == 3 && !group.empty())
    duplicates.options.groups = {group};
  engine.DuplicateSearch = &duplicates;
  Guarded([&] { engine.RunOperation(OperationCode::kFindDuplicates); });
  for (const auto& g : engine.Duplicates.Groups()) {
    Check(g.discs >= 2 && g.discs <= g.copies, "a duplicate group spans fewer than two discs");
    for (std::size_t i = 0; i < g.copies; ++i) {
      const auto& copy = engine.Duplicates.CopyOf(g, i);
      (void)engine.Duplicates.Location(copy);
      (void)engine.Duplicates.PlaceOf(copy);
    }
  }

  // The statistics and their details.
  Guarded([&] { engine.RunOperation(OperationCode::kDatabaseStatistics); });
  Guarded([&] {
    (void)StatisticsFigures(engine.Statistics, engine.Format());
    (void)LoadDatabaseDetails(path, engine.Format());
  });

  // The recalculation writes, so it runs on a copy. It changes only the
  // subtree lengths, so the copy must list exactly as the original did.
  // Copied through the streams, which retry a read or write a signal
  // interrupts (the kernel copy of copy_file gave up on those).
  const std::string copy = ScratchPath("kopie.big");
  const std::string original = ReadFile(path);
  WriteFile(copy, reinterpret_cast<const std::uint8_t*>(original.data()), original.size());
  engine.DatabasePath = copy;
  engine.RecalcSerial = "All";
  Guarded([&] { engine.RunOperation(OperationCode::kRecalculateStructure); });
  engine.GroupFilter = std::string(kGroupAll);
  host.messages.clear();
  Guarded([&] { engine.RunOperation(OperationCode::kListCds); });
  Check(Cells(engine.Discs) == Cells(all), "the recalculated copy lists other discs");
  Check(host.messages == listMessages, "the recalculated copy lists with other messages");
  return 0;
}

}  // namespace rondo::fuzz
