// SPDX-License-Identifier: GPL-3.0-or-later
// A disc image file (ISO 9660 with Joliet or Rock Ridge, UDF up to 2.60 with
// the Blu-ray metadata partition) read as a disc, without mounting it: the
// scanner walks it through the same FileTree interface as a mounted medium
// and stores what scanning the mounted image would store.
//
// Which tree is read: the Joliet tree when the image has one (as Windows
// does), else the Rock Ridge names of the primary tree, else the bare ISO
// 9660 names without their ";1". A UDF tree is taken instead when the image
// has no Joliet tree, or when its names are longer than those of the ISO
// tree (a name cut short to fit Joliet).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "acquisition/drives.h"
#include "acquisition/file_tree.h"
#include "images/iso_records.h"

namespace rondo::images {

// An image that cannot be read as a disc at all; the text is for the user.
class ImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A regular file that starts like an ISO 9660 or UDF image (volume
// descriptors from sector 16 on). Says nothing about the rest of it.
bool LooksLikeDiscImage(const std::string& path);

enum class ImageTreeKind { kJoliet, kRockRidge, kIso9660, kUdf };

class DiscImage : public FileTree {
 public:
  // Reads the whole directory tree of the image at path; the scanner then
  // names its directories path, path + "/DIR" and so on. Throws ImageError
  // when the file holds no tree that can be read.
  explicit DiscImage(const std::string& path);

  bool List(const std::string& path, std::vector<TreeEntry>& entries) override;

  const std::string& Path() const { return path_; }
  // Label and serial as Windows shows them for the mounted image.
  const VolumeInfo& Volume() const { return volume_; }
  ImageTreeKind Tree() const { return kind_; }
  // One line for the scan log: which tree was read.
  std::string TreeText() const;
  // What could not be read (the tree is then incomplete), one line each.
  const std::vector<std::string>& Problems() const { return problems_; }
  // Where the file at a path below the image (as List names it) lies in an
  // ISO 9660 image; empty for a UDF tree (read through libudfread) or an
  // unknown path.
  std::vector<Extent> Extents(const std::string& path) const;

 private:
  struct Directory {
    std::vector<TreeEntry> entries;
    // Where each entry's data lies in an ISO 9660 image (its first extent),
    // in the entries' order; empty for a UDF tree.
    std::vector<Extent> extents;
    bool complete = true;
  };
  void ReadIsoTree(int fd, std::uint64_t size, const IsoDescriptors& descriptors, bool rockRidge);
  // The path below the image ("" for its root, "a/b"); false for a path
  // that does not lie in it.
  bool Relative(const std::string& path, std::string& relative) const;

  std::string path_;
  VolumeInfo volume_;
  ImageTreeKind kind_ = ImageTreeKind::kIso9660;
  std::unordered_map<std::string, Directory> dirs_;
  // The entries of the directory Extents asked about last, by name: the
  // surface check asks about every file of a directory in turn.
  mutable std::string indexedDir_ = "/";  // no directory's name
  mutable std::unordered_map<std::string_view, std::size_t> index_;
  // The further extents of multi-extent files, by path below the image.
  std::unordered_map<std::string, std::vector<Extent>> moreExtents_;
  std::vector<std::string> problems_;
};

}  // namespace rondo::images
