#include "platform/linux_drives.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "platform/volume_serial.h"

extern char** environ;

namespace rondo::platform {

namespace {

namespace fs = std::filesystem;

std::string DecodeOctal(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string_view digits = text.substr(i + 1, 3);
      if (digits.size() == 3 &&
          std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                 (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

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

// Runs a program (found on PATH) with the given arguments, no shell; true
// when it ran and exited with 0.
bool RunProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> copies = args;
  for (auto& a : copies)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    return false;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// "KEY=value" lines of the udev database entry of a block device.
std::string UdevValue(const std::string& data, const std::string& key) {
  std::istringstream in(data);
  for (std::string line; std::getline(in, line);) {
    if (StartsWith(line, "E:" + key + "="))
      return line.substr(key.size() + 3);
  }
  return {};
}

// Undoes udev's \x20 escapes.
std::string UdevUnescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsOptical(const MountEntry& m) {
  return m.fileSystem == "iso9660" || m.fileSystem == "udf" ||
         StartsWith(fs::path(m.source).filename().string(), "sr");
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::istringstream in{std::string(text)};
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::vector<std::string> parts;
    for (std::string f; fields >> f;)
      parts.push_back(f);
    const auto dash = std::find(parts.begin(), parts.end(), "-");
    if (parts.size() < 10 || dash == parts.end() || parts.end() - dash < 3)
      continue;
    MountEntry m;
    const std::string& device = parts[2];
    const auto colon = device.find(':');
    if (colon != std::string::npos) {
      m.major = static_cast<unsigned>(std::strtoul(device.c_str(), nullptr, 10));
      m.minor = static_cast<unsigned>(std::strtoul(device.c_str() + colon + 1, nullptr, 10));
    }
    m.mountPoint = DecodeOctal(parts[4]);
    m.readOnly = StartsWith(parts[5], "ro");
    m.fileSystem = *(dash + 1);
    m.source = DecodeOctal(*(dash + 2));
    mounts.push_back(std::move(m));
  }
  return mounts;
}

bool IsUserVolume(const MountEntry& m) {
  static const std::set<std::string> kPseudo = {
      "proc",          "sysfs",           "devtmpfs",       "devpts",     "cgroup",
      "cgroup2",       "securityfs",      "pstore",         "bpf",        "debugfs",
      "tracefs",       "configfs",        "fusectl",        "mqueue",     "hugetlbfs",
      "autofs",        "binfmt_misc",     "efivarfs",       "rpc_pipefs", "nsfs",
      "fuse.portal",   "fuse.gvfsd-fuse", "ramfs_internal", "selinuxfs",  "nfsd",
      "tmpfs_internal"};
  if (kPseudo.count(m.fileSystem) != 0)
    return false;
  for (const char* system : {"/proc", "/sys", "/dev", "/run"}) {
    if (m.mountPoint == system || StartsWith(m.mountPoint, std::string(system) + "/")) {
      // Removable media appear below /run/media on some desktops.
      if (!StartsWith(m.mountPoint, "/run/media/"))
        return false;
    }
  }
  if (m.fileSystem == "squashfs" && StartsWith(m.mountPoint, "/snap/"))
    return false;
  return true;
}

DriveType ClassifyMount(const MountEntry& m, const std::string& sysRoot) {
  if (IsOptical(m))
    return DriveType::kCdRom;
  static const std::set<std::string> kRemote = {"nfs", "nfs4", "cifs", "smb3",      "smbfs",
                                                "9p",  "afs",  "ceph", "glusterfs", "davfs"};
  if (kRemote.count(m.fileSystem) != 0)
    return DriveType::kRemote;
  if (StartsWith(m.fileSystem, "fuse.") && m.fileSystem != "fuse.ntfs-3g" &&
      m.fileSystem != "fuse.exfat") {
    return DriveType::kRemote;
  }
  if (m.fileSystem == "tmpfs" || m.fileSystem == "ramfs" ||
      StartsWith(fs::path(m.source).filename().string(), "zram")) {
    return DriveType::kRamDisk;
  }
  if (m.major != 0) {
    // The disk the partition belongs to: /sys/dev/block/M:m is a link into
    // /sys/devices/.../sdb/sdb1; the removable flag sits on the disk.
    const std::string link =
        sysRoot + "/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
    std::error_code ec;
    fs::path device = fs::canonical(link, ec);
    for (int up = 0; !ec && up < 2; ++up) {
      const std::string flag = ReadFile((device / "removable").string());
      if (!flag.empty())
        return flag[0] == '1' ? DriveType::kRemovable : DriveType::kFixed;
      device = device.parent_path();
    }
  }
  return DriveType::kFixed;
}

LinuxDrives::LinuxDrives(std::string mountInfoPath, std::string sysRoot, std::string udevData)
    : mountInfoPath_(std::move(mountInfoPath)),
      sysRoot_(std::move(sysRoot)),
      udevData_(std::move(udevData)) {}

std::vector<MountEntry> LinuxDrives::Mounts() const {
  return ParseMountInfo(ReadFile(mountInfoPath_));
}

std::optional<MountEntry> LinuxDrives::MountOf(const std::string& path) const {
  std::error_code ec;
  const std::string absolute = fs::weakly_canonical(fs::absolute(path, ec), ec).string();
  std::optional<MountEntry> best;
  for (const auto& m : Mounts()) {
    const bool inside =
        absolute == m.mountPoint || m.mountPoint == "/" || StartsWith(absolute, m.mountPoint + "/");
    if (inside && (!best || m.mountPoint.size() >= best->mountPoint.size()))
      best = m;
  }
  return best;
}

std::vector<DriveInfo> LinuxDrives::List() {
  std::vector<DriveInfo> drives;
  std::set<std::string> seen;
  for (const auto& m : Mounts()) {
    if (!IsUserVolume(m) || !seen.insert(m.mountPoint).second)
      continue;
    DriveInfo d;
    d.root = m.mountPoint;
    d.device = StartsWith(m.source, "/dev/") ? m.source : std::string();
    d.type = ClassifyMount(m, sysRoot_);
    d.fileSystem = m.fileSystem;
    struct statvfs vfs {};
    if (::statvfs(m.mountPoint.c_str(), &vfs) == 0) {
      d.size = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
      d.free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    }
    drives.push_back(std::move(d));
  }
  return drives;
}

bool LinuxDrives::HasMedia(const std::string& root) {
  DIR* dir = ::opendir(root.c_str());
  if (dir == nullptr)
    return false;
  ::closedir(dir);
  const auto mount = MountOf(root);
  if (mount && IsOptical(*mount) && StartsWith(mount->source, "/dev/")) {
    const Fd fd(::open(mount->source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() >= 0) {
      const int status = ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
      if (status >= 0 && status != CDS_DISC_OK && status != CDS_NO_INFO)
        return false;
    }
  }
  return true;
}

std::optional<VolumeInfo> LinuxDrives::Volume(const std::string& root) {
  std::error_code ec;
  if (!fs::is_directory(root, ec))
    return std::nullopt;
  const std::string absolute = fs::weakly_canonical(fs::absolute(root, ec), ec).string();
  const auto mount = MountOf(absolute);
  const std::string fileSystem = mount ? mount->fileSystem : std::string();
  const std::string folderName = fs::path(absolute).filename().string();

  if (!mount || mount->mountPoint != absolute) {
    // A plain folder scanned as a disc.
    return VolumeInfo{folderName.empty() ? absolute : folderName, StableSerial(absolute),
                      fileSystem};
  }
  std::optional<VolumeInfo> read;
  if (StartsWith(mount->source, "/dev/")) {
    if (fileSystem == "iso9660" || fileSystem == "udf")
      read = ReadIso9660(mount->source);
    if (!read && (fileSystem == "vfat" || fileSystem == "exfat" || fileSystem == "ntfs" ||
                  fileSystem == "ntfs3" || fileSystem == "fuse.ntfs-3g" || fileSystem == "msdos")) {
      read = ReadBootSector(mount->source);
    }
  }
  const std::string udev = mount->major != 0
                               ? ReadFile(udevData_ + "/b" + std::to_string(mount->major) + ":" +
                                          std::to_string(mount->minor))
                               : std::string();
  const std::string uuid = UdevValue(udev, "ID_FS_UUID");
  std::string label = UdevUnescape(UdevValue(udev, "ID_FS_LABEL_ENC"));
  if (label.empty())
    label = UdevValue(udev, "ID_FS_LABEL");
  if (read) {
    read->fileSystem = fileSystem;
    if (read->label.empty())
      read->label = label;
    return read;
  }
  VolumeInfo info;
  info.fileSystem = fileSystem;
  info.label = label.empty() ? folderName : label;
  if (const auto fromUuid = SerialFromUdevUuid(uuid, fileSystem)) {
    info.serial = *fromUuid;
  } else {
    info.serial = StableSerial(uuid.empty() ? absolute : uuid);
  }
  return info;
}

bool LinuxDrives::Eject(const std::string& root, std::string& error) {
  const auto mount = MountOf(root);
  if (!mount || mount->mountPoint != fs::weakly_canonical(root).string() ||
      !StartsWith(mount->source, "/dev/")) {
    error = "Disk nelze vysunout: „" + root + "“ není připojené médium.";
    return false;
  }
  const std::string& device = mount->source;
  // The desktop's own way first: udisks needs no root rights.
  if (RunProgram({"udisksctl", "unmount", "--no-user-interaction", "-b", device})) {
    if (RunProgram({"eject", device}) ||
        RunProgram({"udisksctl", "power-off", "--no-user-interaction", "-b", device})) {
      return true;
    }
    return true;  // unmounted; the drive may simply have no tray
  }
  if (::umount2(mount->mountPoint.c_str(), 0) != 0) {
    error = std::string("Disk nelze vysunout: ") + std::strerror(errno);
    return false;
  }
  const Fd fd(::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() >= 0 && IsOptical(*mount))
    ::ioctl(fd.get(), CDROMEJECT, 0);
  return true;
}

}  // namespace rondo::platform
