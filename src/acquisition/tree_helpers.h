// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers over the file tree and the drives that the add-disc window
// and the surface check share.
#pragma once

#include <cstdint>
#include <string>

#include "acquisition/drives.h"
#include "acquisition/file_tree.h"

namespace rondo {

// The bytes of all files below dir (every level, hidden ones included).
// Links to directories are not entered.
std::uint64_t DirTreeSize(FileTree& tree, const std::string& dir, char separator = '/');

// The same walk, counting: items (files and directories), directories and
// files below dir, dir itself not counted. Returns the bytes.
struct TreeCounts {
  std::uint64_t items = 0;
  std::uint64_t dirs = 0;
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
};
TreeCounts CountTree(FileTree& tree, const std::string& dir, char separator = '/');

// Whether a medium can be read at root.
bool DriveHasMedia(Drives& drives, const std::string& root);
// Whether ejecting makes sense for the drive: optical and removable media.
bool IsEjectCandidate(const DriveInfo& drive);
// Ejects the medium at root; false with the reason in error.
bool EjectDisc(Drives& drives, const std::string& root, std::string& error);

}  // namespace rondo
