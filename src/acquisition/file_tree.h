// What the scanner needs to know about a disc's directories: their entries in
// the order the file system returns them, with size, attributes and time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rondo {

struct TreeEntry {
  std::string name;  // UTF-8, as the file system gives it
  bool directory = false;
  // A symbolic link to a directory: stored as a directory but never entered,
  // so a scan cannot loop or leave the disc.
  bool linkToDirectory = false;
  bool sizeKnown = true;
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;  // 1 read-only, 2 hidden, 4 system, 0x10 directory, 0x20 archive
  double time = 0.0;             // last write, local time, two-second resolution
};

class FileTree {
 public:
  virtual ~FileTree() = default;
  // The entries of the directory at path ("." and ".." left out), in the
  // file system's order. False when the directory cannot be listed.
  virtual bool List(const std::string& path, std::vector<TreeEntry>& entries) = 0;
};

}  // namespace rondo
