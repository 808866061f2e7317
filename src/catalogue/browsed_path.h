// SPDX-License-Identifier: GPL-3.0-or-later
// The directories that enclose an item of a disc's block, followed through a
// walk of the block in order, and compared with the browsed path (DirStack).
// The browsed directory and the item chosen in it are found again by where
// they are in the tree, never by a look-alike elsewhere on the disc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/format/records.h"
#include "shell/sizes.h"
#include "shell/text.h"

namespace rondo {

class EnclosingDirs {
 public:
  // Whether the directories enclosing an item of this level (the item just
  // read, before Pass) are path[1] to path[level - 1], by name and size text
  // ("*Top*" is path[0]). A path too short to hold them says nothing about
  // them: true.
  bool Are(const std::vector<TOneDir>& path, std::size_t level,
           const std::string& decimalPoint) const {
    if (level == 0 || path.size() < level)
      return true;
    if (dirs_.size() < level - 1)
      return false;
    for (std::size_t i = 0; i + 1 < level; ++i) {
      if (ToUtf8(CharArrayToStr(TDynamicArray{dirs_[i].name})) != path[i + 1].Name ||
          SizeToText(dirs_[i].size, decimalPoint) != path[i + 1].SizeText) {
        return false;
      }
    }
    return true;
  }

  // Every item in block order, after it was looked at.
  void Pass(const ItemRecord& item, bool directory) {
    if (item.Level == 0)
      return;
    if (dirs_.size() >= item.Level)
      dirs_.resize(item.Level - 1u);
    if (directory && dirs_.size() == item.Level - 1u)
      dirs_.push_back({item.Name.chars, item.Size});
  }

 private:
  struct Dir {
    std::string name;  // as stored
    std::uint32_t size = 0;
  };
  std::vector<Dir> dirs_;  // by level, from the root down
};

}  // namespace rondo
