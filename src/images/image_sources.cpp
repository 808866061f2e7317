// SPDX-License-Identifier: GPL-3.0-or-later
#include "images/image_sources.h"

#include <sys/stat.h>

namespace rondo::images {

bool ImageSources::IsImageFile(const std::string& path) {
  return !path.empty() && LooksLikeDiscImage(path);
}

const DiscImage& ImageSources::Open(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw ImageError("Obraz disku „" + path + "“ nelze otevřít.");
  const std::int64_t time =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (!image_ || image_->Path() != path || imageTime_ != time || imageSize_ != size) {
    image_.reset();
    image_ = std::make_unique<DiscImage>(path);
    imageTime_ = time;
    imageSize_ = size;
  }
  return *image_;
}

bool ImageSources::HasMedia(const std::string& root) {
  return IsImageFile(root) || drives_.HasMedia(root);
}

std::optional<VolumeInfo> ImageSources::Volume(const std::string& root) {
  if (!IsImageFile(root))
    return drives_.Volume(root);
  try {
    return Open(root).Volume();
  } catch (const ImageError&) {
    return std::nullopt;
  }
}

bool ImageSources::Eject(const std::string& root, std::string& error) {
  if (IsImageFile(root)) {
    error.clear();  // nothing to eject
    return false;
  }
  return drives_.Eject(root, error);
}

DiscImage* ImageSources::ImageOf(const std::string& path) {
  if (!image_)
    return nullptr;
  const std::string& root = image_->Path();
  const bool inside = path == root || (path.starts_with(root) && path.size() > root.size() &&
                                       path[root.size()] == '/');
  return inside ? image_.get() : nullptr;
}

bool ImageSources::List(const std::string& path, std::vector<TreeEntry>& entries) {
  if (IsImageFile(path))
    Open(path);
  if (DiscImage* image = ImageOf(path))
    return image->List(path, entries);
  return tree_.List(path, entries);
}

std::string ImageSources::Canonical(const std::string& path) {
  return ImageOf(path) != nullptr ? path : tree_.Canonical(path);
}

}  // namespace rondo::images
