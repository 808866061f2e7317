// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/tree_helpers.h"

#include <vector>

#include "shell/paths.h"

namespace rondo {

namespace {

// Counts what a scan would store: no deeper than 255 levels, and what
// could be read of a directory that cannot be listed whole.
void Walk(FileTree& tree, const std::string& dir, char separator, int level, TreeCounts& counts) {
  std::vector<TreeEntry> entries;
  (void)tree.List(dir, entries);
  for (const auto& entry : entries) {
    if (entry.name == "." || entry.name == "..")
      continue;
    ++counts.items;
    if (entry.directory) {
      ++counts.dirs;
      if (!entry.linkToDirectory && level < 255) {
        Walk(tree, WithTrailingBackslash(dir, separator) + entry.name, separator, level + 1,
             counts);
      }
    } else {
      ++counts.files;
      if (entry.sizeKnown)
        counts.bytes += entry.size;
    }
  }
}

}  // namespace

std::uint64_t DirTreeSize(FileTree& tree, const std::string& dir, char separator) {
  return CountTree(tree, dir, separator).bytes;
}

TreeCounts CountTree(FileTree& tree, const std::string& dir, char separator) {
  TreeCounts counts;
  Walk(tree, dir, separator, 1, counts);
  return counts;
}

bool DriveHasMedia(Drives& drives, const std::string& root) {
  return drives.HasMedia(root);
}

bool IsEjectCandidate(const DriveInfo& drive) {
  return drive.type == DriveType::kCdRom || drive.type == DriveType::kRemovable;
}

bool EjectDisc(Drives& drives, const std::string& root, std::string& error) {
  return drives.Eject(root, error);
}

}  // namespace rondo
