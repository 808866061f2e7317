// SPDX-License-Identifier: GPL-3.0-or-later
// What the scanner needs to know about a disc's directories: their entries in
// the order the file system returns them, with size, attributes and time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rondo {

struct TreeEntry {
  std::string name;  // as the file system gives it: UTF-8 as a rule, any bytes in fact
  bool directory = false;
  // A symbolic link to a directory: stored as a directory but never entered,
  // so a scan cannot loop or leave the disc.
  bool linkToDirectory = false;
  bool link = false;  // a symbolic link, to whatever it leads
  // For a symbolic link: where it leads, absolute and with every link in it
  // resolved; empty when it leads nowhere (or this is no link).
  std::string linkTarget;
  bool sizeKnown = true;
  std::uint64_t size = 0;
  std::uint32_t attributes = 0;  // 1 read-only, 2 hidden, 4 system, 0x10 directory, 0x20 archive
  double time = 0.0;             // last write, local time, two-second resolution
};

class FileTree {
 public:
  virtual ~FileTree() = default;
  // The entries of the directory at path ("." and ".." left out), in the
  // file system's order. False when the directory cannot be listed whole:
  // entries then holds what could be read before the failure (nothing when
  // it could not be opened at all).
  virtual bool List(const std::string& path, std::vector<TreeEntry>& entries) = 0;
  // The path made absolute with every link in it resolved, to compare with
  // linkTarget; the path itself when that cannot be found out.
  virtual std::string Canonical(const std::string& path) { return path; }
};

}  // namespace rondo
