// SPDX-License-Identifier: GPL-3.0-or-later
// The drives and the file tree of the add-disc window with an image file as
// one more source: an image counts as a drive with a medium in it, its
// volume is the image's, and its tree is read from the image. Everything
// else goes to the drives and tree given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "acquisition/drives.h"
#include "acquisition/file_tree.h"
#include "images/disc_image.h"

namespace rondo::images {

class ImageSources : public Drives, public FileTree {
 public:
  ImageSources(Drives& drives, FileTree& tree) : drives_(drives), tree_(tree) {}

  // An existing regular file that starts like a disc image.
  static bool IsImageFile(const std::string& path);
  // The image at path, read once and again only when the file changes;
  // throws ImageError.
  const DiscImage& Open(const std::string& path);

  std::vector<DriveInfo> List() override { return drives_.List(); }
  bool HasMedia(const std::string& root) override;
  std::optional<VolumeInfo> Volume(const std::string& root) override;
  bool Eject(const std::string& root, std::string& error) override;

  bool List(const std::string& path, std::vector<TreeEntry>& entries) override;
  std::string Canonical(const std::string& path) override;

 private:
  // The open image that path lies in, or null.
  DiscImage* ImageOf(const std::string& path);

  Drives& drives_;
  FileTree& tree_;
  std::unique_ptr<DiscImage> image_;
  std::int64_t imageTime_ = 0;
  std::uint64_t imageSize_ = 0;
};

}  // namespace rondo::images
