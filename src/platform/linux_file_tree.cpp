#include "platform/linux_file_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>

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
  ~Fd() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Last write time in local time, cut to the two-second steps FAT keeps.
double WriteTime(const struct stat& st) {
  std::time_t seconds = st.st_mtim.tv_sec;
  std::tm local{};
  if (::localtime_r(&seconds, &local) == nullptr)
    return 0.0;
  LocalDateTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec - local.tm_sec % 2;
  return EncodeOleDate(t);
}

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

// Where a link leads, resolved whole; empty when it leads nowhere.
std::string LinkTarget(const std::string& linkPath) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(linkPath.c_str(), nullptr),
                                                       &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

std::string LinuxFileTree::Canonical(const std::string& path) {
  const std::string resolved = LinkTarget(path);
  return resolved.empty() ? path : resolved;
}

bool LinuxFileTree::List(const std::string& path, std::vector<TreeEntry>& entries) {
  entries.clear();
  const int fd = OpenDirectory(path);
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
      entry.linkTarget = LinkTarget(path + "/" + name);
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
    entry.time = WriteTime(st);

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
