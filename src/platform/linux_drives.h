// The mounted volumes of a Linux machine as drives.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "acquisition/drives.h"

namespace rondo::platform {

struct MountEntry {
  unsigned major = 0;
  unsigned minor = 0;
  std::string mountPoint;  // octal escapes decoded
  std::string fileSystem;
  std::string source;  // e.g. /dev/sr0
  bool readOnly = false;
};

// The lines of /proc/self/mountinfo.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Whether a mount is something a user would call a drive (not proc, sysfs,
// the runtime tmpfs mounts and their kin).
bool IsUserVolume(const MountEntry& mount);

// The drive type of a mount; sysRoot is where /sys lives (tests use a fake
// tree) for the removable flag of the underlying disk.
DriveType ClassifyMount(const MountEntry& mount, const std::string& sysRoot = "/sys");

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
  // The mount a path lies on (the longest mount point that is a prefix).
  std::optional<MountEntry> MountOf(const std::string& path) const;

  std::string mountInfoPath_;
  std::string sysRoot_;
  std::string udevData_;
};

}  // namespace rondo::platform
