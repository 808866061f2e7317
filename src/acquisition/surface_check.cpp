// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/surface_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <filesystem>

#include "catalogue/engine.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/entry_walker.h"
#include "shell/text.h"

namespace rondo {

namespace {

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/')
    return dir + name;
  return dir + "/" + name;
}

SurfaceEntry::Kind KindOf(mode_t mode) {
  if (S_ISDIR(mode))
    return SurfaceEntry::Kind::kDirectory;
  if (S_ISREG(mode))
    return SurfaceEntry::Kind::kFile;
  return SurfaceEntry::Kind::kSkipped;
}

class PosixFile : public SurfaceFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  // Reads until the block is full or the file ends, so that every block
  // but the last has the full size.
  long long Read(char* buffer, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got = ::read(fd_, buffer + done, n - done);
      if (got < 0) {
        if (errno == EINTR)
          continue;
        return -1;
      }
      if (got == 0)
        break;
      done += static_cast<std::size_t>(got);
    }
    return static_cast<long long>(done);
  }

 private:
  int fd_;
};

// One run of the check.
class SurfaceWalk {
 public:
  SurfaceWalk(const std::string& root, SurfaceCheckHost& host, SurfaceFiles& files)
      : root_(root), host_(host), files_(files), buffer_(kSurfaceBlockSize) {}

  SurfaceCheckResult Run() {
    const std::optional<std::uint64_t> device = files_.Device(root_);
    std::vector<SurfaceEntry> entries;
    if (!device || !files_.List(root_, entries)) {
      Report(kCannotOpenDir, root_);
      result_.rootUnreadable = true;
      return result_;
    }
    device_ = *device;
    Directory(root_, std::move(entries));
    return result_;
  }

 private:
  // False when the check has ended (stopped, or the medium is gone).
  bool Directory(const std::string& dir, std::vector<SurfaceEntry> entries) {
    for (const SurfaceEntry& entry : entries) {
      if (entry.kind != SurfaceEntry::Kind::kDirectory)
        continue;
      if (!StillRunning())
        return false;
      const std::string path = JoinPath(dir, entry.name);
      std::vector<SurfaceEntry> inner;
      if (!files_.List(path, inner)) {
        if (!Failed(kCannotOpenDir, path))
          return false;
        continue;
      }
      if (!Directory(path, std::move(inner)))
        return false;
    }
    for (const SurfaceEntry& entry : entries) {
      if (entry.kind != SurfaceEntry::Kind::kFile)
        continue;
      if (!StillRunning())
        return false;
      if (!ReadFile(JoinPath(dir, entry.name)))
        return false;
    }
    return true;
  }

  bool ReadFile(const std::string& path) {
    const std::optional<std::uint64_t> size = files_.Size(path);
    if (!size)
      return Failed(kCannotOpenFile, path);
    host_.File(path, *size);
    // A file listed a moment ago may be gone by now; it cannot be opened
    // either way, which is what the line says.
    const std::unique_ptr<SurfaceFile> file = files_.Open(path);
    if (!file)
      return Failed(kCannotOpenFile, path);
    while (true) {
      const long long got = file->Read(buffer_.data(), buffer_.size());
      if (got < 0)
        return Failed(kCannotReadFile, path);
      if (got == 0)
        break;
      result_.bytes += static_cast<std::uint64_t>(got);
      host_.Block(static_cast<std::size_t>(got));
      if (!StillRunning())
        return false;
    }
    ++result_.files;
    return true;
  }

  bool StillRunning() {
    if (host_.Running())
      return true;
    result_.stopped = true;
    return false;
  }

  void Report(const char* text, const std::string& path) {
    ++result_.errors;
    host_.Error(text + path);
  }

  // Reports the failure; false when it came from the medium having left
  // the drive (the root is gone, or something else is mounted there now),
  // which ends the check.
  bool Failed(const char* text, const std::string& path) {
    Report(text, path);
    const std::optional<std::uint64_t> device = files_.Device(root_);
    if (!device || *device != device_) {
      result_.mediumGone = true;
      return false;
    }
    return true;
  }

  const std::string& root_;
  SurfaceCheckHost& host_;
  SurfaceFiles& files_;
  std::vector<char> buffer_;
  std::uint64_t device_ = 0;
  SurfaceCheckResult result_;
};

}  // namespace

bool PosixSurfaceFiles::List(const std::string& dir, std::vector<SurfaceEntry>& entries) {
  entries.clear();
  DIR* handle = ::opendir(dir.c_str());
  if (handle == nullptr)
    return false;
  bool ok = true;
  while (true) {
    errno = 0;
    const dirent* item = ::readdir(handle);
    if (item == nullptr) {
      ok = errno == 0;
      break;
    }
    const std::string name = item->d_name;
    if (name == "." || name == "..")
      continue;
    SurfaceEntry entry;
    entry.name = name;
    switch (item->d_type) {
      case DT_DIR:
        entry.kind = SurfaceEntry::Kind::kDirectory;
        break;
      case DT_REG:
        entry.kind = SurfaceEntry::Kind::kFile;
        break;
      case DT_UNKNOWN: {
        // Some file systems do not say; the entry itself is asked, never
        // what a link points to.
        struct stat st {};
        if (::fstatat(::dirfd(handle), item->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
          entry.kind = KindOf(st.st_mode);
        else
          entry.kind = SurfaceEntry::Kind::kFile;  // reported when it cannot be opened
        break;
      }
      default:
        entry.kind = SurfaceEntry::Kind::kSkipped;
        break;
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(handle);
  return ok;
}

std::optional<std::uint64_t> PosixSurfaceFiles::Size(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::unique_ptr<SurfaceFile> PosixSurfaceFiles::Open(const std::string& path) {
  // O_NONBLOCK keeps the open itself from waiting should a FIFO have taken
  // the file's place since it was listed; only a regular file is read.
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<PosixFile>(fd);
}

std::optional<std::uint64_t> PosixSurfaceFiles::Device(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(st.st_dev);
}

SurfaceCheckResult CheckSurface(const std::string& root, SurfaceCheckHost& host,
                                SurfaceFiles& files) {
  return SurfaceWalk(root, host, files).Run();
}

SurfaceCheckResult CheckSurface(const std::string& root, SurfaceCheckHost& host) {
  PosixSurfaceFiles files;
  return CheckSurface(root, host, files);
}

std::optional<CdHeader> FindDiscHeader(const std::string& cataloguePath,
                                       const std::string& serial) {
  if (cataloguePath.empty())
    return std::nullopt;
  try {
    std::error_code error;
    if (!std::filesystem::exists(cataloguePath, error) && !error) {
      // The program keeps to its habit of creating the catalogue it is
      // pointed at; a new one holds no disc.
      CreateCatalogueIfEmpty(cataloguePath, {});
      return std::nullopt;
    }
    FileStream file(cataloguePath, FileStream::Mode::kReadOnly);
    if (file.Size() < kDatabaseHeaderSize)
      return std::nullopt;
    file.Seek(0);
    if (!ReadDatabaseHeader(file).IsCurrentFormat())
      return std::nullopt;
    const Cp1250Text wanted = ToCp1250(serial);
    // The walk goes on to the end: a catalogue damaged anywhere is not
    // trusted for any of its discs.
    std::optional<CdHeader> found;
    EntryWalker walker(file);
    CdHeader header;
    while (walker.Next(header)) {
      if (!found && header.Serial.Text() == wanted)
        found = header;
    }
    return found;
  } catch (const std::exception&) {
    // Neither an unreadable nor a damaged catalogue knows the disc.
  }
  return std::nullopt;
}

}  // namespace rondo
