// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/format/write_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace rondo {

namespace {

constexpr int kMaxLinkHops = 40;

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode))
    return "složka";
  if (S_ISCHR(mode))
    return "znakové zařízení";
  if (S_ISBLK(mode))
    return "blokové zařízení";
  if (S_ISFIFO(mode))
    return "roura (FIFO)";
  if (S_ISSOCK(mode))
    return "socket";
  return "zvláštní soubor";
}

[[noreturn]] void NotAFile(const std::string& path, mode_t mode) {
  throw IoError("„" + path + "“ není obyčejný soubor, ale " + KindOf(mode) +
                "; nic nebylo otevřeno ani změněno.");
}

[[noreturn]] void FailWith(const std::string& what, const std::string& path) {
  throw IoError(what + " „" + path + "“: " + std::strerror(errno));
}

int OpenNoHang(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// The lock file beside target, or target itself where the folder cannot
// hold one.
int OpenLockFile(const std::string& target) {
  const std::string lockPath = FolderOf(target) + "/." + NameOf(target) + ".rondotheka-lock";
  int fd = OpenNoHang(lockPath, O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
    fd = OpenNoHang(lockPath, O_RDONLY | O_NOFOLLOW);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOENT))
    fd = OpenNoHang(target, O_RDONLY);
  if (fd < 0)
    FailWith("nelze zamknout", target);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    FailWith("nelze zamknout", target);
  }
  return fd;
}

void RemoveStaleTemporaries(const std::string& target) {
  const std::string folder = FolderOf(target);
  const std::string prefix = NameOf(TemporaryPrefix(target));
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr)
    return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
      stale.push_back(name);
  }
  // Nobody else can own them: every writer of target holds this lock.
  for (const auto& name : stale)
    ::unlinkat(::dirfd(dir), name.c_str(), 0);
  ::closedir(dir);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  if (slash == 0)
    return "/";
  return path.substr(0, slash);
}

LockWaiter WaitAtMost(std::chrono::milliseconds limit) {
  return [limit](std::chrono::milliseconds waited) { return waited < limit; };
}

void RefuseSpecialFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    NotAFile(path, st.st_mode);
}

std::string ResolveLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
      return current;
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size())
      return current;
    const std::string link(buffer.data(), static_cast<std::size_t>(n));
    current = link.starts_with('/') ? link : FolderOf(current) + "/" + link;
  }
  errno = ELOOP;
  FailWith("nelze otevřít", path);
}

std::string TemporaryPrefix(const std::string& target) {
  return target + ".rondotheka-tmp.";
}

void CheckChangeable(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT)
      return;
    FailWith("nelze zjistit stav", target);
  }
  if (!S_ISREG(st.st_mode))
    NotAFile(target, st.st_mode);
  // Write bits all cleared is the owner's "read-only", also for root.
  if ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
    throw IoError("Soubor „" + target +
                  "“ je jen pro čtení (nebo k zápisu do něj nemáte oprávnění); nic nebylo "
                  "změněno.");
  }
  if (st.st_nlink > 1) {
    throw IoError("Soubor „" + target +
                  "“ má i jiná jména (pevné odkazy: " + std::to_string(st.st_nlink) +
                  "). Změna se zapisuje do nového souboru, který by je od sebe oddělil, proto "
                  "nebylo nic změněno. Zkopírujte soubor, nebo použijte symbolický odkaz.");
  }
}

WriteLock::WriteLock(const std::string& path, const LockWaiter& wait)
    : target_(ResolveLinks(path)) {
  CheckChangeable(target_);
  fd_ = OpenLockFile(target_);
  const auto start = std::chrono::steady_clock::now();
  auto pause = std::chrono::milliseconds(2);
  while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    if (errno != EWOULDBLOCK) {
      const int saved = errno;
      ::close(fd_);
      errno = saved;
      FailWith("nelze zamknout", target_);
    }
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    const bool keepWaiting = wait ? wait(waited) : waited < kDefaultLockWait;
    if (!keepWaiting) {
      ::close(fd_);
      throw CatalogueBusy("Soubor „" + target_ +
                          "“ právě mění jiný program a změna se nedokončila včas; nic nebylo "
                          "změněno. Zkuste to prosím znovu.");
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  try {
    // What the file was while another program held the lock does not count.
    CheckChangeable(target_);
  } catch (...) {
    ::close(fd_);
    throw;
  }
  RemoveStaleTemporaries(target_);
}

WriteLock::~WriteLock() {
  ::close(fd_);
}

}  // namespace rondo
