// SPDX-License-Identifier: GPL-3.0-or-later
// Searching every stored name for a wildcard pattern, limited by the groups
// of discs and directories and by tree depth. The search window (or the
// command line) supplies the options and receives the rows.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/disc_list.h"
#include "shell/dates.h"
#include "shell/text.h"

namespace rondo {

struct CdHeader;

enum class SearchKind { kAll, kDirectories, kFiles };

// "Vše" in the chosen group list means every disc.
inline constexpr std::string_view kAllGroups = "Vše";

inline constexpr std::size_t kSearchColumnCount = 10;
enum SearchColumnIndex : std::size_t {
  kSearchName = 0,
  kSearchSize = 1,
  kSearchAttributes = 2,
  kSearchTime = 3,
  kSearchComment = 4,
  kSearchLocation = 5,
  kSearchDisc = 6,
  kSearchLending = 7,
  kSearchLendDate = 8,
  kSearchVolumeLabel = 9,
};

inline constexpr std::array<ListColumn, kSearchColumnCount> kSearchColumns = {{
    {"Jméno", 200, false},
    {"Velikost", 80, true},
    {"Atributy", 50, false},
    {"Vytvořeno", 120, false},
    {"Komentář", 150, false},
    {"Umístění", 180, false},
    {"CD", 130, false},
    {"Půjčeno", 80, false},
    {"Datum půjčení", 140, false},
    {"Originální jméno", 100, false},
}};

enum class SearchRowKind : std::uint8_t { kDisc, kDirectory, kFile };

// The rows found, kept compactly: the texts of a row are made when they are
// shown, the discs' own texts once per disc, and each location once.
class SearchResults {
 public:
  struct Disc {
    Cp1250Text serial;
    Cp1250Text description;
    Cp1250Text lending;
    double lendDate = 0.0;
    Cp1250Text volumeLabel;
    int icon = 0;  // 0 disc, 3 audio CD, 4 multigroup
  };
  struct Row {
    SearchRowKind kind = SearchRowKind::kFile;
    std::uint32_t disc = 0;
    std::uint32_t location = 0;
    std::uint32_t size = 0;
    std::uint32_t attributes = 0;
    std::uint32_t at = 0;  // the item's place in its disc's block
    double time = 0.0;
    std::string name;     // code page 1250
    std::string comment;  // code page 1250, the whole comment text
  };

  void Clear();
  std::size_t size() const { return rows_.size(); }
  const Row& row(std::size_t i) const { return rows_[i]; }
  const Disc& disc(const Row& r) const { return discs_[r.disc]; }

  // One cell as the result list shows it (UTF-8).
  std::string Cell(std::size_t row, std::size_t column, const DateTimeFormat& dates,
                   std::string_view decimalPoint) const;
  // The location column: the enclosing directories joined by "\".
  std::string Location(std::size_t row) const;
  // The row's icon: 0, 3 or 4 for a disc, 1 for a directory, -1 for a file
  // (its own icon by its name).
  int Icon(std::size_t row) const;

  // The export file's lines: "\" + location + "\" + name, or "\" + name.
  std::string ExportLine(std::size_t row) const;

  // Where a row was found, to show it in its place (UTF-8).
  struct Place {
    SearchRowKind kind = SearchRowKind::kFile;
    std::string serial;
    std::string disc;  // the disc's description
    bool multigroup = false;
    std::vector<std::string> folders;  // from the disc's root down
    std::string name;
    std::uint32_t at = 0;
  };
  Place PlaceOf(std::size_t row) const;

  // Orders the rows by a column: names and texts in the user's collation
  // with numbers in natural order, sizes and dates by value; a disc row's
  // empty cells come first. Stable. A click on the column sorted by
  // reverses the order.
  // Both return, for each row's new place, the place it had before.
  std::vector<std::size_t> Sort(std::size_t column, bool descending);
  std::vector<std::size_t> ClickColumn(std::size_t column);
  // The column the rows are sorted by, while they are sorted.
  std::optional<std::size_t> SortColumn() const {
    return sorted_ ? std::optional(sortColumn_) : std::nullopt;
  }
  bool SortDescending() const { return descending_; }

  // Used while searching.
  std::uint32_t AddDisc(Disc disc);
  std::uint32_t InternLocation(std::string location);
  void Add(Row row) { rows_.push_back(std::move(row)); }

 private:
  std::vector<Disc> discs_;
  std::vector<std::string> locations_{std::string()};
  std::vector<Row> rows_;
  std::size_t sortColumn_ = 0;
  bool descending_ = false;
  bool sorted_ = false;
};

// What a search asks of its window. Options are read again whenever
// OptionsVersion changes, so changes made during a search apply to the
// records that follow.
class SearchHost {
 public:
  virtual ~SearchHost() = default;

  virtual std::uint64_t OptionsVersion() { return 0; }
  virtual std::string Pattern() = 0;  // UTF-8, as searched (already wrapped)
  virtual SearchKind Kind() = 0;
  virtual bool MatchCase() = 0;
  virtual std::optional<int> DepthLimit() = 0;  // nullopt: "Maximální"
  virtual bool UseDirectoryGroups() = 0;
  virtual bool UseCache() = 0;
  virtual std::vector<std::string> ChosenGroups() = 0;  // UTF-8
  // False once "Zastavit" was pressed.
  virtual bool Busy() = 0;

  // Progress: a disc begins ("Aktuální CD:", the gauge's maximum), passed
  // the group filter ("CD:" + 1), one more record read (gauge, "Položka:"
  // + 1; the window lets its events run here, throttled as it likes).
  virtual void DiscStarted(const std::string& /*description*/, std::uint64_t /*blockLength*/) {}
  virtual void DiscPassed() {}
  virtual void RecordRead(std::uint64_t /*consumed*/) {}
  // Rows were added to the results (the window may show them now or later).
  virtual void RowsAdded() {}
};

// A search whose options are plain values set beforehand: the command line,
// the tests and the fuzzer. It never stops on its own.
class FixedSearchHost : public SearchHost {
 public:
  std::uint64_t OptionsVersion() override { return version; }
  std::string Pattern() override { return pattern; }
  SearchKind Kind() override { return kind; }
  bool MatchCase() override { return matchCase; }
  std::optional<int> DepthLimit() override { return depth; }
  bool UseDirectoryGroups() override { return directoryGroups; }
  bool UseCache() override { return cache; }
  std::vector<std::string> ChosenGroups() override { return groups; }
  bool Busy() override { return busy; }

  std::uint64_t version = 0;
  std::string pattern = "*";
  SearchKind kind = SearchKind::kAll;
  bool matchCase = false;
  std::optional<int> depth;
  bool directoryGroups = true;
  bool cache = true;
  std::vector<std::string> groups{std::string(kAllGroups)};
  bool busy = true;
};

// Whether a name matches a pattern and the rules above apply to a whole
// search: wraps a typed pattern in "*" when it neither begins nor ends with
// one.
std::string WrapPattern(const std::string& pattern);

// Whether a disc belongs to the chosen groups (code page 1250, "Vše"
// already ruled out), as the search limits discs; without matchCase the
// names are compared with ASCII letters lowered.
bool DiscInChosenGroups(const CdHeader& h, const std::vector<Cp1250Text>& chosen, bool matchCase);

}  // namespace rondo
