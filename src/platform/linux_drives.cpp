// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux_drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "platform/volume_serial.h"

extern char** environ;

namespace rondo::platform {

namespace {

namespace fs = std::filesystem;

constexpr const char* kEjectFailed = "Disk nelze vysunout: ";

// Kernel interfaces and desktop plumbing, never drives.
constexpr std::string_view kPseudoFileSystems[] = {
    "proc",          "sysfs",          "devtmpfs", "devpts",      "cgroup",
    "cgroup2",       "securityfs",     "pstore",   "bpf",         "debugfs",
    "tracefs",       "configfs",       "fusectl",  "mqueue",      "hugetlbfs",
    "autofs",        "binfmt_misc",    "efivarfs", "rpc_pipefs",  "nsfs",
    "selinuxfs",     "nfsd",           "overlay",  "fuse.portal", "fuse.lxcfs",
    "fuse.snapfuse", "fuse.gvfsd-fuse"};

constexpr std::string_view kNetworkFileSystems[] = {
    "nfs",  "nfs4",  "cifs", "smb3",   "smbfs",    "9p",        "virtiofs", "afs",
    "ceph", "ncpfs", "coda", "lustre", "orangefs", "glusterfs", "davfs"};

// FUSE file systems (fuse.<name>) that reach other machines.
constexpr std::string_view kNetworkFuse[] = {
    "sshfs",    "rclone",  "curlftpfs", "davfs",     "davfs2",    "s3fs",      "gcsfuse",
    "goofys",   "httpfs",  "httpfs2",   "httpdirfs", "glusterfs", "ceph-fuse", "cephfs",
    "smbnetfs", "ftpfs",   "afpfs",     "afpfs-ng",  "onedriver", "webdavfs",  "wdfs",
    "mfs",      "moosefs", "juicefs",   "seaweedfs"};

template <std::size_t N>
bool OneOf(std::string_view value, const std::string_view (&list)[N]) {
  return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Whether path is folder itself or lies below it.
bool IsUnder(std::string_view path, std::string_view folder) {
  if (folder == "/")
    return StartsWith(path, "/");
  return path == folder ||
         (StartsWith(path, folder) && path.size() > folder.size() && path[folder.size()] == '/');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (true) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos)
      return parts;
    text.remove_prefix(at + 1);
  }
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// The kernel writes space, tab, newline and backslash in mountinfo paths as
// three octal digits after a backslash (\040 for a space).
std::string DecodeOctalEscapes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
        text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
      out += static_cast<char>((text[i + 1] - '0') << 6 | (text[i + 2] - '0') << 3 |
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

int HexDigit(char c) {
  if (IsDigit(c))
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// udev writes unsafe bytes of a label as \xHH.
std::string DecodeHexEscapes(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) << 4 | HexDigit(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BaseName(std::string_view path) {
  const auto slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsDevicePath(std::string_view source) {
  return StartsWith(source, "/dev/");
}

// The kernel name of a mount's device (sdb1, sr0, nvme0n1p2), empty when the
// source is no device.
std::string DeviceName(const MountEntry& m) {
  return IsDevicePath(m.source) ? BaseName(m.source) : std::string();
}

// name = prefix followed by a number (sr0, zram1).
bool IsNumbered(std::string_view name, std::string_view prefix) {
  return name.size() > prefix.size() && StartsWith(name, prefix) &&
         std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     IsDigit);
}

bool IsOptical(const MountEntry& m) {
  const std::string name = DeviceName(m);
  return m.fileSystem == "iso9660" || m.fileSystem == "udf" || IsNumbered(name, "sr") ||
         IsNumbered(name, "scd");
}

// Mounts whose source names another machine: sshfs "user@host:path", rclone
// "remote:", anything with a URL.
bool LooksNetworked(std::string_view source) {
  if (source.find("://") != std::string_view::npos)
    return true;
  const auto colon = source.find(':');
  return !StartsWith(source, "/") && colon != std::string_view::npos && colon > 0 &&
         source.substr(0, colon).find('/') == std::string_view::npos;
}

bool IsRemote(const MountEntry& m) {
  if (OneOf(m.fileSystem, kNetworkFileSystems))
    return true;
  if (m.fileSystem == "fuse" || StartsWith(m.fileSystem, "fuse.")) {
    const std::string_view subtype =
        m.fileSystem == "fuse" ? std::string_view() : std::string_view(m.fileSystem).substr(5);
    return OneOf(subtype, kNetworkFuse) || LooksNetworked(m.source);
  }
  return false;
}

bool IsRamDisk(const MountEntry& m) {
  const std::string name = DeviceName(m);
  return m.fileSystem == "tmpfs" || m.fileSystem == "ramfs" || IsNumbered(name, "zram") ||
         IsNumbered(name, "ram");
}

// The disk a partition name belongs to: sdb1 -> sdb, nvme0n1p2 -> nvme0n1,
// mmcblk0p1 -> mmcblk0. Used only when sysfs links do not say it.
std::string ParentDiskName(std::string name) {
  while (!name.empty() && IsDigit(name.back()))
    name.pop_back();
  if (name.size() >= 2 && name.back() == 'p' && IsDigit(name[name.size() - 2]))
    name.pop_back();
  return name;
}

// "1" or "0" in a sysfs removable file; nullopt when there is none.
std::optional<bool> ReadRemovableFlag(const fs::path& file) {
  const std::string text = ReadFile(file.string());
  if (text.empty())
    return std::nullopt;
  return text[0] == '1';
}

// The removable flag of the disk under a mount. A partition's sysfs folder
// lies inside its disk's folder, which holds the flag.
std::optional<bool> DiskRemovable(const MountEntry& m, const std::string& sysRoot) {
  const fs::path sys(sysRoot);
  auto fromDeviceFolder = [&](const fs::path& link) -> std::optional<bool> {
    std::error_code ec;
    const fs::path folder = fs::canonical(link, ec);
    if (ec)
      return std::nullopt;
    if (auto flag = ReadRemovableFlag(folder / "removable"))
      return flag;
    return ReadRemovableFlag(folder.parent_path() / "removable");
  };
  auto byNumbers = [&](unsigned major, unsigned minor) {
    return fromDeviceFolder(sys / "dev" / "block" /
                            (std::to_string(major) + ":" + std::to_string(minor)));
  };
  // The device node's own numbers first: btrfs and fuseblk mounts show
  // anonymous 0:N numbers in mountinfo.
  struct stat node {};
  if (IsDevicePath(m.source) && ::stat(m.source.c_str(), &node) == 0 && S_ISBLK(node.st_mode)) {
    if (auto flag = byNumbers(::major(node.st_rdev), ::minor(node.st_rdev)))
      return flag;
  }
  if (m.major != 0) {
    if (auto flag = byNumbers(m.major, m.minor))
      return flag;
  }
  const std::string name = DeviceName(m);
  if (name.empty())
    return std::nullopt;
  if (auto flag = fromDeviceFolder(sys / "class" / "block" / name))
    return flag;
  if (auto flag = ReadRemovableFlag(sys / "block" / name / "removable"))
    return flag;
  return ReadRemovableFlag(sys / "block" / ParentDiskName(name) / "removable");
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec)
    return path;
  fs::path canonical = fs::weakly_canonical(absolute, ec);
  std::string text = (ec ? absolute : canonical).string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  return text;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  bool ready = ::posix_spawn_file_actions_init(&actions) == 0;
  ~SpawnActions() {
    if (ready)
      ::posix_spawn_file_actions_destroy(&actions);
  }
};

// Runs a program found on PATH with the given arguments, no shell, its
// standard streams on /dev/null; true when it ran and exited with 0.
bool RunProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  SpawnActions spawn;
  if (!spawn.ready ||
      ::posix_spawn_file_actions_addopen(&spawn.actions, 0, "/dev/null", O_RDONLY, 0) != 0 ||
      ::posix_spawn_file_actions_addopen(&spawn.actions, 1, "/dev/null", O_WRONLY, 0) != 0 ||
      ::posix_spawn_file_actions_addopen(&spawn.actions, 2, "/dev/null", O_WRONLY, 0) != 0) {
    return false;
  }
  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], &spawn.actions, nullptr, argv.data(), environ) != 0)
    return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool OpenTray(const std::string& device) {
  const UniqueFd fd(::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  return fd && ::ioctl(fd.Get(), CDROMEJECT, 0) == 0;
}

std::string UnmountFailure(int error, const std::string& root) {
  switch (error) {
    case EBUSY:
      return "médium se právě používá; zavřete soubory a okna, která s ním pracují.";
    case EPERM:
    case EACCES:
      return "k odpojení média chybí oprávnění.";
    case EINVAL:
      return "„" + root + "“ není přípojný bod.";
    default:
      return std::strerror(error);
  }
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  for (std::string_view line : Split(text, '\n')) {
    const std::vector<std::string_view> f = Split(line, ' ');
    // Six fixed fields, optional ones, "-", type, source, super options.
    const auto dash = std::find(f.begin() + std::min<std::size_t>(f.size(), 6), f.end(), "-");
    if (f.size() < 9 || dash == f.end() || f.end() - dash < 3)
      continue;
    MountEntry m;
    const auto colon = f[2].find(':');
    if (!ParseNumber(f[0], m.id) || !ParseNumber(f[1], m.parentId) ||
        colon == std::string_view::npos || !ParseNumber(f[2].substr(0, colon), m.major) ||
        !ParseNumber(f[2].substr(colon + 1), m.minor)) {
      continue;
    }
    m.root = DecodeOctalEscapes(f[3]);
    m.mountPoint = DecodeOctalEscapes(f[4]);
    const auto options = Split(f[5], ',');
    m.readOnly = std::find(options.begin(), options.end(), "ro") != options.end();
    m.fileSystem = DecodeOctalEscapes(dash[1]);
    m.source = DecodeOctalEscapes(dash[2]);
    mounts.push_back(std::move(m));
  }
  return mounts;
}

bool IsUserVolume(const MountEntry& m) {
  if (m.mountPoint == "/")
    return true;
  if (OneOf(m.fileSystem, kPseudoFileSystems))
    return false;
  if (IsUnder(m.mountPoint, "/proc") || IsUnder(m.mountPoint, "/sys"))
    return false;
  // /run and /dev hold the runtime tmpfs mounts and desktop plumbing; only
  // devices mounted there (/run/media/<user>/<label>) are drives.
  if ((IsUnder(m.mountPoint, "/run") || IsUnder(m.mountPoint, "/dev")) && !IsDevicePath(m.source))
    return false;
  if (m.fileSystem == "squashfs" &&
      (IsUnder(m.mountPoint, "/snap") || IsUnder(m.mountPoint, "/var/lib/snapd/snap"))) {
    return false;
  }
  return true;
}

DriveType ClassifyMount(const MountEntry& m, const std::string& sysRoot) {
  if (IsOptical(m))
    return DriveType::kCdRom;
  if (IsRemote(m))
    return DriveType::kRemote;
  if (IsRamDisk(m))
    return DriveType::kRamDisk;
  if (DiskRemovable(m, sysRoot).value_or(false))
    return DriveType::kRemovable;
  return DriveType::kFixed;
}

UdevFileSystem ParseUdevData(std::string_view text) {
  UdevFileSystem result;
  std::string plainLabel;
  std::string encodedLabel;
  for (std::string_view line : Split(text, '\n')) {
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (StartsWith(line, "E:ID_FS_TYPE="))
      result.type = line.substr(13);
    else if (StartsWith(line, "E:ID_FS_UUID="))
      result.uuid = line.substr(13);
    else if (StartsWith(line, "E:ID_FS_LABEL="))
      plainLabel = line.substr(14);
    else if (StartsWith(line, "E:ID_FS_LABEL_ENC="))
      encodedLabel = DecodeHexEscapes(line.substr(18));
  }
  result.label = encodedLabel.empty() ? plainLabel : encodedLabel;
  return result;
}

LinuxDrives::LinuxDrives(std::string mountInfoPath, std::string sysRoot, std::string udevData)
    : mountInfoPath_(std::move(mountInfoPath)),
      sysRoot_(std::move(sysRoot)),
      udevData_(std::move(udevData)) {}

std::vector<MountEntry> LinuxDrives::Mounts() const {
  return ParseMountInfo(ReadFile(mountInfoPath_));
}

std::optional<MountEntry> LinuxDrives::MountOf(const std::vector<MountEntry>& mounts,
                                               const std::string& absolute) {
  const MountEntry* best = nullptr;
  for (const auto& m : mounts) {
    if (IsUnder(absolute, m.mountPoint) &&
        (best == nullptr || m.mountPoint.size() >= best->mountPoint.size())) {
      best = &m;
    }
  }
  if (best == nullptr)
    return std::nullopt;
  return *best;
}

UdevFileSystem LinuxDrives::Udev(const MountEntry& mount) const {
  unsigned major = mount.major;
  unsigned minor = mount.minor;
  struct stat node {};
  if (IsDevicePath(mount.source) && ::stat(mount.source.c_str(), &node) == 0 &&
      S_ISBLK(node.st_mode)) {
    major = ::major(node.st_rdev);
    minor = ::minor(node.st_rdev);
  }
  if (major == 0)
    return {};
  return ParseUdevData(
      ReadFile(udevData_ + "/b" + std::to_string(major) + ":" + std::to_string(minor)));
}

std::vector<DriveInfo> LinuxDrives::List() {
  std::vector<DriveInfo> drives;
  std::map<std::string, std::size_t> byRoot;
  for (const auto& m : Mounts()) {
    if (!IsUserVolume(m))
      continue;
    DriveInfo d;
    d.root = m.mountPoint;
    d.device = IsDevicePath(m.source) ? m.source : std::string();
    d.type = ClassifyMount(m, sysRoot_);
    d.fileSystem = m.fileSystem;
    // Containers bind single files (/etc/hosts) from the host's disk; those
    // are no drives. Network mounts are not touched beyond statvfs.
    struct stat st {};
    if (d.type != DriveType::kRemote && ::stat(m.mountPoint.c_str(), &st) == 0 &&
        !S_ISDIR(st.st_mode)) {
      continue;
    }
    struct statvfs vfs {};
    if (::statvfs(m.mountPoint.c_str(), &vfs) == 0) {
      d.size = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
      d.free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    }
    // A later mount on the same point hides the earlier one.
    const auto [at, added] = byRoot.emplace(d.root, drives.size());
    if (added)
      drives.push_back(std::move(d));
    else
      drives[at->second] = std::move(d);
  }
  return drives;
}

bool LinuxDrives::HasMedia(const std::string& root) {
  {
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(root.c_str()));
    if (!dir)
      return false;
    // A mount whose disc was pulled out still opens, but cannot be read.
    errno = 0;
    if (::readdir(dir.get()) == nullptr && errno != 0)
      return false;
  }
  const auto mount = MountOf(Mounts(), AbsolutePath(root));
  if (mount && IsOptical(*mount) && IsDevicePath(mount->source)) {
    const UniqueFd fd(::open(mount->source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd) {
      const int status = ::ioctl(fd.Get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
      // Loop devices and odd drivers cannot tell; the listing has to do.
      if (status >= 0 && status != CDS_NO_INFO)
        return status == CDS_DISC_OK;
    }
  }
  return true;
}

std::optional<VolumeInfo> LinuxDrives::Volume(const std::string& root) {
  std::error_code ec;
  if (root.empty() || !fs::is_directory(root, ec))
    return std::nullopt;
  const std::string absolute = AbsolutePath(root);
  const auto mount = MountOf(Mounts(), absolute);
  const std::string folderName = BaseName(absolute).empty() ? absolute : BaseName(absolute);

  if (!mount || mount->mountPoint != absolute) {
    // A plain folder scanned as a disc: named after itself, with a serial
    // that stays the same as long as the folder keeps its place.
    return VolumeInfo{.label = folderName,
                      .serial = StableSerial(absolute),
                      .fileSystem = mount ? mount->fileSystem : std::string()};
  }

  const UdevFileSystem udev = Udev(*mount);
  std::string type = udev.type.empty() ? mount->fileSystem : udev.type;
  if (type == "ntfs3")
    type = "ntfs";
  // Image files mounted through a loop device show the device; any absolute
  // source that is a readable file is read alike.
  const bool readable = StartsWith(mount->source, "/") && !StartsWith(mount->source, "//");
  if (readable && (type == "iso9660" || type == "udf")) {
    if (auto read = ReadIso9660Image(mount->source)) {
      // The descriptor's label is the one Windows shows for the disc.
      if (read->label.empty())
        read->label = udev.label;
      read->fileSystem = type;
      return read;
    }
  }
  const bool bootSector =
      type == "vfat" || type == "msdos" || type == "exfat" || type == "ntfs" || type == "fuseblk";
  if (readable && bootSector) {
    if (auto read = ReadBootSector(mount->source)) {
      // FAT keeps the label Windows shows in the root folder and does not
      // always update the boot sector's copy; blkid reads the former.
      if (!udev.label.empty())
        read->label = udev.label;
      if (type != "fuseblk")
        read->fileSystem = type;
      return read;
    }
  }
  VolumeInfo info;
  info.fileSystem = type;
  info.label = udev.label.empty() ? folderName : udev.label;
  if (const auto serial = SerialFromUdevUuid(udev.uuid, type))
    info.serial = *serial;
  else
    info.serial = StableSerial(udev.uuid.empty() ? absolute : udev.uuid);
  return info;
}

bool LinuxDrives::Eject(const std::string& root, std::string& error) {
  error.clear();
  try {
    const std::string absolute = AbsolutePath(root);
    const auto mount = MountOf(Mounts(), absolute);
    // Only a disc or a removable medium mounted right there comes out. A
    // folder, a network share or a fixed disk is nothing to eject: no
    // attempt and no complaint, as for a drive that has no door.
    if (!mount || mount->mountPoint != absolute || !IsDevicePath(mount->source))
      return false;
    const DriveType type = ClassifyMount(*mount, sysRoot_);
    if (type != DriveType::kCdRom && type != DriveType::kRemovable)
      return false;
    return EjectMount(*mount, error);
  } catch (const std::exception& e) {
    error = kEjectFailed + std::string(e.what());
    return false;
  }
}

bool LinuxDrives::EjectMount(const MountEntry& mount, std::string& error) {
  const std::string& device = mount.source;
  const bool optical = IsOptical(mount);
  // The desktop's own way first: udisks needs no root rights for media the
  // user mounted.
  if (!RunProgram({"udisksctl", "unmount", "--no-user-interaction", "--block-device", device}) &&
      ::umount2(mount.mountPoint.c_str(), 0) != 0) {
    error = kEjectFailed + UnmountFailure(errno, mount.mountPoint);
    return false;
  }
  if (optical) {
    if (RunProgram({"eject", device}) || OpenTray(device))
      return true;
    error = std::string(kEjectFailed) + "médium je odpojené, ale mechaniku se nepodařilo otevřít.";
    return false;
  }
  // Powering a USB disk off is a courtesy; once unmounted it may be pulled out.
  RunProgram({"udisksctl", "power-off", "--no-user-interaction", "--block-device", device});
  return true;
}

}  // namespace rondo::platform
