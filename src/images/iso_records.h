// SPDX-License-Identifier: GPL-3.0-or-later
// What libarchive leaves out of an ISO 9660 tree: the order of the records
// in each directory (a mounted disc lists them in that order), the hidden
// flag (bit 0 of the file flags) and where each file's extents lie (for the
// surface check and to notice an image cut short). Only the directory
// records of the chosen tree are read, each one checked against the
// directory's and the image's bounds; names, sizes and times come from
// libarchive.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rondo::images {

inline constexpr std::uint64_t kIsoBlock = 2048;

struct Extent {
  std::uint64_t offset = 0;  // bytes from the start of the image
  std::uint64_t size = 0;
};

struct IsoRecord {
  std::string name;  // as the tree names it, UTF-8 for Joliet
  bool directory = false;
  bool hidden = false;
  Extent extent;
  std::vector<Extent> more;  // the further extents of a multi-extent file
  std::int64_t time = 0;     // recorded, seconds since 1970 UTC
};

// The volume descriptors from sector 16 to the set terminator.
struct IsoDescriptors {
  std::string primary;  // 2048 bytes each, empty when absent
  std::string joliet;
  bool terminated = false;  // the set ended with a terminator
};

IsoDescriptors ReadIsoDescriptors(int fd, std::uint64_t imageSize);

enum class IsoNames { kJoliet, kRockRidge, kIso9660 };

// True when the root directory of the primary descriptor carries the SUSP
// indicator Rock Ridge entries need.
bool HasRockRidge(int fd, std::uint64_t imageSize, std::string_view primary);

struct IsoWalk {
  // Directory path below the root ("" for the root, "a/b") to its records.
  std::unordered_map<std::string, std::vector<IsoRecord>> dirs;
  std::vector<std::string> problems;  // Czech, one line each
  // A directory record claims a size no directory has, or a place outside
  // the image: such a tree is not handed to libarchive, which would try to
  // hold the whole claimed size in memory.
  bool absurd = false;
};

// Walks the tree whose root record is in descriptor. Directories that loop,
// lie outside the image or are damaged are reported and left out.
IsoWalk WalkIsoTree(int fd, std::uint64_t imageSize, std::string_view descriptor, IsoNames names);

// An ISO 9660 identifier without its version (";1") and a trailing dot.
std::string IsoName(std::string_view identifier);

}  // namespace rondo::images
