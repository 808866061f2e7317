// Listing directories of a disc on Linux for the scanner.
#pragma once

#include "acquisition/file_tree.h"

namespace rondo::platform {

// Entries in readdir order. Attributes as the disc would show them: read-only
// when the owner cannot write or the medium is mounted read-only, hidden for
// names starting with ".", directory 0x10, archive for regular files on
// writable media; on FAT media the real attribute bits. Symbolic links are
// never followed into directories; a link to a file has the target's size.
// Paths longer than the system's limit are opened one directory at a time.
class LinuxFileTree : public FileTree {
 public:
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override;
  std::string Canonical(const std::string& path) override;
};

}  // namespace rondo::platform
