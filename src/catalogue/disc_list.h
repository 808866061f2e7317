// SPDX-License-Identifier: GPL-3.0-or-later
// The disc list as data: rows of display texts with their icon and
// selection. The GUI shows it through a model; the command line prints it.
#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace rondo {

struct ListColumn {
  std::string_view caption;
  int width;
  bool rightAligned;
};

inline constexpr std::size_t kDiscColumnCount = 12;

enum DiscColumnIndex : std::size_t {
  kColDescription = 0,
  kColGroups = 1,
  kColSerial = 2,
  kColLending = 3,
  kColLendDate = 4,
  kColVolumeLabel = 5,
  kColFileCount = 6,
  kColDirCount = 7,
  kColCdSize = 8,
  kColBlockSize = 9,
  kColCreated = 10,
  kColScanTime = 11,
};

inline constexpr std::array<ListColumn, kDiscColumnCount> kDiscListColumns = {{
    {"CD - Popis", 180, false},
    {"Skupina", 80, false},
    {"Serial", 100, false},
    {"Půjčeno", 120, false},
    {"Datum půjčení/vrácení", 130, false},
    {"Originální jméno", 150, false},
    {"Souborů", 70, true},
    {"Adresářů", 70, true},
    {"Velikost CD", 115, true},
    {"Velikost datového bloku", 150, true},
    {"Vytvořeno", 130, false},
    {"Čas vytváření", 60, true},
}};

// Row icons of the disc list.
enum DiscIcon : int {
  kNoIcon = -1,
  kDiscIconIndex = 0,
  kAudioCdIconIndex = 3,
  kMultigroupIconIndex = 4,
};

inline constexpr std::string_view kUpRowCaption = "..";

// An empty cell of a column that sorts by value: before every value.
inline constexpr double kNoValue = std::numeric_limits<double>::lowest();

// The columns that sort by the value behind the text (dates, counts,
// sizes, the scan time); the others sort by their text.
inline constexpr bool SortsByValue(std::size_t column) {
  return column == kColLendDate || column == kColFileCount || column == kColDirCount ||
         column == kColCdSize || column == kColBlockSize || column == kColCreated ||
         column == kColScanTime;
}

struct DiscRow {
  std::array<std::string, kDiscColumnCount> cells;  // UTF-8
  // What the columns that sort by value hold, kNoValue for an empty cell.
  std::array<double, kDiscColumnCount> values{};
  int icon = kDiscIconIndex;
  bool selected = false;

  const std::string& Caption() const { return cells[kColDescription]; }
};

struct DiscList {
  std::vector<DiscRow> rows;

  // The first selected row, or nullptr.
  const DiscRow* FirstSelected() const {
    for (const auto& row : rows) {
      if (row.selected)
        return &row;
    }
    return nullptr;
  }
};

// Orders the disc rows by a column: texts in the user's collation with
// numbers in natural order, the other columns by value. ".." (the way back
// from a multigroup) stays first. Stable: equal rows keep their order.
void SortDiscRows(std::vector<DiscRow>& rows, std::size_t column, bool descending);

}  // namespace rondo
