// SPDX-License-Identifier: GPL-3.0-or-later
// Listing directories of a disc on Linux for the scanner.
#pragma once

#include "acquisition/file_tree.h"

namespace rondo::platform {

// Entries in readdir order. Attributes as the disc would show them: read-only
// when the owner cannot write or the medium is mounted read-only, hidden for
// names starting with ".", directory 0x10, archive for regular files on
// writable media; on FAT media the real attribute bits. Symbolic links are
// never followed into directories; a link to a file has the target's size.
//
// A walk starts at the first path listed (or any path outside the walk so
// far), opened as the caller names it. Every directory below it is opened
// from there one name at a time, never through a link: a directory that is
// swapped for a link while the walk runs is not entered, and any depth works
// however long its path. Where a link leads is found the same way. No
// directory stays open between two listings (the medium can be ejected).
class LinuxFileTree : public FileTree {
 public:
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override;
  std::string Canonical(const std::string& path) override;

 private:
  // Opens the directory at path for reading; real gets its path with every
  // link resolved. -1 when it cannot be opened.
  int OpenForListing(const std::string& path, std::string& real);

  std::string walkRoot_;
  std::string walkRootReal_;
};

}  // namespace rondo::platform
