// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_file_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <memory>
#include <utility>

#include "shell/dates.h"

namespace rondo::platform {

namespace {

constexpr long kMsdosSuperMagic = 0x4d44;

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(-1); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = fd;
  }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

constexpr int kEnterFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kPathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Opens a directory. A path too long for the system (a deep tree of long
// names) is opened one name at a time, each relative to the one before.
int OpenDirectory(const std::string& path) {
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  const int fd = ::open(path.c_str(), flags);
  if (fd >= 0 || errno != ENAMETOOLONG)
    return fd;
  int at = ::open(path.starts_with('/') ? "/" : ".", flags);
  std::size_t begin = 0;
  while (at >= 0 && begin < path.size()) {
    std::size_t end = path.find('/', begin);
    if (end == std::string::npos)
      end = path.size();
    if (end > begin) {
      const std::string name = path.substr(begin, end - begin);
      const int next = ::openat(at, name.c_str(), flags);
      ::close(at);
      at = next;
    }
    begin = end + 1;
  }
  return at;
}

// The path made absolute with every link in it resolved; empty when that
// cannot be found out.
std::string RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

std::string ReadLinkAt(int dir, const std::string& name) {
  std::string text(256, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(dir, name.c_str(), text.data(), text.size());
    if (n < 0)
      return {};
    if (static_cast<std::size_t>(n) < text.size()) {
      text.resize(static_cast<std::size_t>(n));
      return text;
    }
    text.resize(text.size() * 2);
  }
}

std::deque<std::string> Names(const std::string& path) {
  std::deque<std::string> names;
  for (std::size_t begin = 0; begin <= path.size();) {
    const std::size_t end = std::min(path.find('/', begin), path.size());
    if (end > begin)
      names.push_back(path.substr(begin, end - begin));
    begin = end + 1;
  }
  return names;
}

// Where the link name in the directory dir (whose real path is dirPath)
// leads, every link on the way resolved as the system resolves them but one
// name at a time from an open directory, so that it works at any depth (a
// path longer than the system takes in one piece included). Empty when it
// leads nowhere: a missing name, a loop.
std::string ResolveLink(int dir, const std::string& dirPath, const std::string& name) {
  constexpr int kMaxLinks = 40;  // what the system follows before it gives up
  Fd at(::openat(dir, ".", kPathFlags));
  std::string path = dirPath == "/" ? "" : dirPath;  // "" is the root
  std::deque<std::string> rest{name};
  int links = 0;
  while (at.get() >= 0 && !rest.empty()) {
    const std::string part = std::move(rest.front());
    rest.pop_front();
    if (part == ".")
      continue;
    if (part == "..") {
      const std::size_t slash = path.rfind('/');
      path.erase(slash == std::string::npos ? 0 : slash);
      at.reset(::openat(at.get(), "..", kPathFlags));
      continue;
    }
    struct stat st {};
    if (::fstatat(at.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      return {};
    if (S_ISLNK(st.st_mode)) {
      const std::string target = ReadLinkAt(at.get(), part);
      if (++links > kMaxLinks || target.empty())
        return {};
      const std::deque<std::string> names = Names(target);
      rest.insert(rest.begin(), names.begin(), names.end());
      if (target.front() == '/') {
        at.reset(::open("/", kPathFlags));
        path.clear();
      }
      continue;
    }
    path += "/" + part;
    if (S_ISDIR(st.st_mode))
      at.reset(::openat(at.get(), part.c_str(), kPathFlags | O_NOFOLLOW));
    else if (!rest.empty())
      return {};  // a file in the middle of the path
  }
  if (at.get() < 0)
    return {};
  return path.empty() ? "/" : path;
}

}  // namespace

std::string LinuxFileTree::Canonical(const std::string& path) {
  const std::string resolved = RealPath(path);
  return resolved.empty() ? path : resolved;
}

int LinuxFileTree::OpenForListing(const std::string& path, std::string& real) {
  std::string below;  // the names from the walk's root down to path
  const bool inWalk =
      !walkRoot_.empty() &&
      (path == walkRoot_ || (path.starts_with(walkRoot_) &&
                             (walkRoot_.ends_with('/') || path[walkRoot_.size()] == '/')));
  if (inWalk) {
    below = path.substr(walkRoot_.size());
  } else {
    walkRoot_ = path;
    walkRootReal_ = Canonical(path);
  }
  // The root as the caller names it, links and all; below it nothing but
  // real directories.
  Fd fd(OpenDirectory(walkRoot_));
  real = walkRootReal_;
  for (const std::string& name : Names(below)) {
    if (fd.get() < 0)
      break;
    fd.reset(::openat(fd.get(), name.c_str(), kEnterFlags));
    real += (real.ends_with('/') ? "" : "/") + name;
  }
  return fd.release();
}

bool LinuxFileTree::List(const std::string& path, std::vector<TreeEntry>& entries) {
  entries.clear();
  std::string real;
  const int fd = OpenForListing(path, real);
  if (fd < 0)
    return false;
  std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
  if (!dir) {
    ::close(fd);
    return false;
  }
  struct statvfs vfs {};
  const bool readOnlyMedium = ::fstatvfs(fd, &vfs) == 0 && (vfs.f_flag & ST_RDONLY) != 0;
  struct statfs fs {};
  const bool fat = ::fstatfs(fd, &fs) == 0 && fs.f_type == kMsdosSuperMagic;

  for (;;) {
    errno = 0;
    const dirent* d = ::readdir(dir.get());
    if (d == nullptr) {
      if (errno != 0)
        return false;  // a damaged directory: what was read stays
      break;
    }
    const std::string name = d->d_name;
    if (name == "." || name == "..")
      continue;
    TreeEntry entry;
    entry.name = name;
    struct stat st {};
    if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      entry.sizeKnown = false;
      entries.push_back(std::move(entry));
      continue;
    }
    if (S_ISLNK(st.st_mode)) {
      entry.link = true;
      entry.linkTarget = ResolveLink(fd, real, name);
      struct stat target {};
      if (::fstatat(fd, d->d_name, &target, 0) != 0) {
        entry.sizeKnown = false;  // a dangling link
      } else if (S_ISDIR(target.st_mode)) {
        entry.directory = true;
        entry.linkToDirectory = true;
      } else {
        entry.size = static_cast<std::uint64_t>(target.st_size);
      }
    } else if (S_ISDIR(st.st_mode)) {
      entry.directory = true;
    } else {
      entry.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    }
    entry.time = FileWriteTime(st.st_mtim.tv_sec);

    std::uint32_t attributes = 0;
    if (readOnlyMedium || (st.st_mode & S_IWUSR) == 0)
      attributes |= 0x01;
    if (name[0] == '.')
      attributes |= 0x02;
    if (entry.directory)
      attributes |= 0x10;
    if (!entry.directory && !readOnlyMedium && S_ISREG(st.st_mode))
      attributes |= 0x20;
    if (fat && !S_ISLNK(st.st_mode)) {
      const Fd item(::openat(fd, d->d_name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
      __u32 fatAttributes = 0;
      if (item.get() >= 0 && ::ioctl(item.get(), FAT_IOCTL_GET_ATTRIBUTES, &fatAttributes) == 0) {
        attributes = fatAttributes & 0x3F;
      }
    }
    entry.attributes = attributes;
    entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace rondo::platform
