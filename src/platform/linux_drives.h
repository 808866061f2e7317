// SPDX-License-Identifier: GPL-3.0-or-later
// The mounted volumes of a Linux machine as drives. What the kernel and udev
// say is read from files (/proc/self/mountinfo, /sys, /run/udev/data) whose
// places can be changed, so a test can lay out a machine of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/drives.h"

namespace rondo::platform {

// One line of /proc/self/mountinfo.
struct MountEntry {
  int id = 0;
  int parentId = 0;
  unsigned major = 0;      // st_dev of files on the mount; 0:N for virtual and
  unsigned minor = 0;      // some block file systems (btrfs, fuseblk)
  std::string root;        // the part of the file system mounted ("/" for all)
  std::string mountPoint;  // octal escapes (\040 for a space) decoded
  std::string fileSystem;  // e.g. ext4, vfat, iso9660, fuse.sshfs
  std::string source;      // e.g. /dev/sr0, server:/export, //server/share
  bool readOnly = false;
};

// The lines of /proc/self/mountinfo; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Whether a mount is something a user would call a drive: not proc, sysfs and
// their kin, not the runtime tmpfs mounts below /run and /dev, not snap
// packages or container layers. The root "/" always is.
bool IsUserVolume(const MountEntry& mount);

// The drive type of a mount; sysRoot is where /sys lives (tests use a fake
// tree), for the removable flag of the disk under a partition.
DriveType ClassifyMount(const MountEntry& mount, const std::string& sysRoot = "/sys");

// What udev (blkid) found on a block device: the E:ID_FS_* lines of
// /run/udev/data/b<major>:<minor>. The label is ID_FS_LABEL_ENC decoded
// (udev's ID_FS_LABEL has its spaces replaced), else ID_FS_LABEL.
struct UdevFileSystem {
  std::string type;
  std::string uuid;
  std::string label;
};
UdevFileSystem ParseUdevData(std::string_view text);

class LinuxDrives : public Drives {
 public:
  explicit LinuxDrives(std::string mountInfoPath = "/proc/self/mountinfo",
                       std::string sysRoot = "/sys", std::string udevData = "/run/udev/data");

  std::vector<DriveInfo> List() override;
  bool HasMedia(const std::string& root) override;
  std::optional<VolumeInfo> Volume(const std::string& root) override;
  bool Eject(const std::string& root, std::string& error) override;

 private:
  std::vector<MountEntry> Mounts() const;
  // The mount an absolute path lies on: the longest mount point containing
  // it, the last mounted when several share it.
  static std::optional<MountEntry> MountOf(const std::vector<MountEntry>& mounts,
                                           const std::string& absolute);
  UdevFileSystem Udev(const MountEntry& mount) const;
  bool EjectMount(const MountEntry& mount, std::string& error);

  std::string mountInfoPath_;
  std::string sysRoot_;
  std::string udevData_;
};

}  // namespace rondo::platform
