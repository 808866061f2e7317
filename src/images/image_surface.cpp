// SPDX-License-Identifier: GPL-3.0-or-later
#include "images/image_surface.h"

#include <sys/stat.h>
#include <udfread/udfread.h>

#include "platform/volume_serial.h"

namespace rondo::images {

namespace {

// A file of an ISO 9660 image: its extents read one after the other. The
// image ending before the file does is a read error.
class ExtentFile : public SurfaceFile {
 public:
  ExtentFile(platform::UniqueFd fd, std::vector<Extent> extents)
      : fd_(std::move(fd)), extents_(std::move(extents)) {}

  long long Read(char* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n && current_ < extents_.size()) {
      const Extent& e = extents_[current_];
      const std::uint64_t left = e.size - offset_;
      const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, n - done));
      if (chunk > 0 && !platform::ReadAt(fd_.Get(), e.offset + offset_, buffer + done, chunk))
        return -1;
      done += chunk;
      offset_ += chunk;
      if (offset_ == e.size) {
        ++current_;
        offset_ = 0;
      }
    }
    return static_cast<long long>(done);
  }

 private:
  platform::UniqueFd fd_;
  std::vector<Extent> extents_;
  std::size_t current_ = 0;
  std::uint64_t offset_ = 0;
};

// A file of a UDF tree, read through libudfread; fewer bytes than its size
// says is a read error.
class UdfFile : public SurfaceFile {
 public:
  UdfFile(UDFFILE* file, std::uint64_t size) : file_(file), left_(size) {}
  ~UdfFile() override { udfread_file_close(file_); }
  UdfFile(const UdfFile&) = delete;
  UdfFile& operator=(const UdfFile&) = delete;

  long long Read(char* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n && left_ > 0) {
      const ssize_t got = udfread_file_read(file_, buffer + done, n - done);
      if (got <= 0)
        return -1;
      done += static_cast<std::size_t>(got);
      left_ -= std::min<std::uint64_t>(left_, static_cast<std::uint64_t>(got));
    }
    return static_cast<long long>(done);
  }

 private:
  UDFFILE* file_;
  std::uint64_t left_;
};

}  // namespace

ImageSurfaceFiles::ImageSurfaceFiles(const std::string& path) : image_(path) {
  if (image_.Tree() == ImageTreeKind::kUdf) {
    udf_ = udfread_init();
    if (udf_ != nullptr && udfread_open(udf_, path.c_str()) < 0) {
      udfread_close(udf_);
      udf_ = nullptr;
    }
  }
}

ImageSurfaceFiles::~ImageSurfaceFiles() {
  if (udf_ != nullptr)
    udfread_close(udf_);
}

bool ImageSurfaceFiles::List(const std::string& dir, std::vector<SurfaceEntry>& entries) {
  entries.clear();
  std::vector<TreeEntry> listed;
  const bool ok = image_.List(dir, listed);
  if (listed.empty() && !ok)
    return false;
  for (const TreeEntry& e : listed) {
    SurfaceEntry entry;
    entry.name = e.name;
    if (e.link)
      entry.kind = SurfaceEntry::Kind::kSkipped;
    else if (e.directory)
      entry.kind = SurfaceEntry::Kind::kDirectory;
    else
      entry.kind = SurfaceEntry::Kind::kFile;
    if (entry.kind == SurfaceEntry::Kind::kFile)
      sizes_[(dir.ends_with('/') ? dir : dir + "/") + e.name] = e.size;
    entries.push_back(std::move(entry));
  }
  return ok;
}

std::optional<std::uint64_t> ImageSurfaceFiles::Size(const std::string& path) {
  const auto it = sizes_.find(path);
  if (it == sizes_.end())
    return std::nullopt;
  return it->second;
}

std::unique_ptr<SurfaceFile> ImageSurfaceFiles::Open(const std::string& path) {
  const std::optional<std::uint64_t> size = Size(path);
  if (!size)
    return nullptr;
  if (image_.Tree() == ImageTreeKind::kUdf) {
    if (udf_ == nullptr || !path.starts_with(image_.Path()))
      return nullptr;
    const std::string inside = path.substr(image_.Path().size());
    UDFFILE* file = udfread_file_open(udf_, inside.c_str());
    if (file == nullptr)
      return nullptr;
    return std::make_unique<UdfFile>(file, *size);
  }
  std::vector<Extent> extents = image_.Extents(path);
  std::uint64_t recorded = 0;
  for (const Extent& e : extents)
    recorded += e.size;
  if (recorded != *size)
    return nullptr;  // a file the records do not place
  platform::UniqueFd fd = platform::OpenForReading(image_.Path());
  if (!fd)
    return nullptr;
  return std::make_unique<ExtentFile>(std::move(fd), std::move(extents));
}

std::optional<std::uint64_t> ImageSurfaceFiles::Device(const std::string&) {
  struct stat st {};
  if (::stat(image_.Path().c_str(), &st) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(st.st_dev);
}

}  // namespace rondo::images
