// SPDX-License-Identifier: GPL-3.0-or-later
// The directory list of a browsed disc as data: rows of display texts with
// their kind, the numeric size for sorting and the selection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/disc_list.h"

namespace rondo {

inline constexpr std::size_t kDirColumnCount = 6;

enum DirColumnIndex : std::size_t {
  kDirColName = 0,
  kDirColSize = 1,
  kDirColAttributes = 2,
  kDirColTime = 3,
  kDirColComment = 4,
  kDirColGroups = 5,
};

inline constexpr std::array<ListColumn, kDirColumnCount> kDirListColumns = {{
    {"Jméno", 200, false},
    {"Velikost", 80, true},
    {"Atributy", 50, false},
    {"Vytvořeno", 120, false},
    {"Komentář", 130, false},
    {"Skupina", 100, false},
}};

inline constexpr std::string_view kHiddenItemsCaption = "Skryté položky!";
inline constexpr std::string_view kNoStructureCaption =
    "Toto CD nebylo vytvořeno s popisem struktury.";
inline constexpr std::string_view kTopDirName = "*Top*";
inline constexpr std::string_view kTopDirSize = "0 B";

enum class DirRowKind {
  kUp,  // ".."
  kDirectory,
  kFile,
  kHiddenItems,  // "Skryté položky!" with the count in the size cell
  kNoStructure,  // "Toto CD nebylo vytvořeno s popisem struktury."
};

// Icons of the directory list: the folder for ".." and directories, the
// file's own icon (by its name's extension) for files, none for the special
// rows.
enum DirIcon : int {
  kDirIconNone = -1,
  kDirIconUp = 0,
  kDirIconFolder = 1,
  kDirIconFile = 2,
};

struct DirRow {
  std::array<std::string, kDirColumnCount> cells;  // UTF-8
  DirRowKind kind = DirRowKind::kFile;
  std::uint32_t size = 0;        // the item's size, or the hidden count
  std::uint32_t attributes = 0;  // the item's stored attribute bits
  double time = 0.0;             // the item's date, for sorting
  // Where the item's record is in the block it was listed from: what the
  // row names exactly, also when another item looks the same.
  std::optional<std::uint32_t> at;
  bool selected = false;

  const std::string& Caption() const { return cells[kDirColName]; }
  int Icon() const {
    switch (kind) {
      case DirRowKind::kUp:
        return kDirIconUp;
      case DirRowKind::kDirectory:
        return kDirIconFolder;
      case DirRowKind::kFile:
        return kDirIconFile;
      default:
        return kDirIconNone;
    }
  }
};

struct DirList {
  std::vector<DirRow> rows;

  const DirRow* FirstSelected() const {
    for (const auto& row : rows) {
      if (row.selected)
        return &row;
    }
    return nullptr;
  }
};

// Orders the rows as the directory list shows them: ".." first, directories
// before everything else, "Skryté položky!" first of the rest, then by the
// column: names in the user's collation without regard to letter case and
// with numbers in natural order, sizes and dates by value, the other texts
// without regard to case. descending reverses the order within directories
// and within the rest. Stable.
void SortDirRows(std::vector<DirRow>& rows, int column, bool descending = false);

}  // namespace rondo
