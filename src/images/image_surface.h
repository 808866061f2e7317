// SPDX-License-Identifier: GPL-3.0-or-later
// The surface check of a disc image file: every file of the image is read
// from where the image records it, so a damaged or truncated image shows
// which files it has lost.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>

#include "acquisition/surface_check.h"
#include "images/disc_image.h"

struct udfread;

namespace rondo::images {

class ImageSurfaceFiles : public SurfaceFiles {
 public:
  // Reads the image's tree; throws ImageError as DiscImage does.
  explicit ImageSurfaceFiles(const std::string& path);
  ~ImageSurfaceFiles() override;

  bool List(const std::string& dir, std::vector<SurfaceEntry>& entries) override;
  std::optional<std::uint64_t> Size(const std::string& path) override;
  std::unique_ptr<SurfaceFile> Open(const std::string& path) override;
  // The image file's device while it is there.
  std::optional<std::uint64_t> Device(const std::string& path) override;

  const DiscImage& Image() const { return image_; }

 private:
  DiscImage image_;
  std::unordered_map<std::string, std::uint64_t> sizes_;  // of the files listed
  udfread* udf_ = nullptr;                                // open while a UDF tree is checked
};

}  // namespace rondo::images
