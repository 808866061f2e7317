// SPDX-License-Identifier: GPL-3.0-or-later
// Drives as the add-disc window and the surface check see them. On Linux a
// "drive" is a mounted volume, known by its mount point; any folder can be
// scanned as a disc too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rondo {

enum class DriveType {
  kUnknown,
  kRemovable,  // "Removable/Floppy"
  kFixed,      // "Fixed"
  kRemote,     // "Remote drive"
  kCdRom,      // "CD-ROM drive"
  kRamDisk,    // "RAM Disk"
};

// The caption of a drive type in the drive list.
std::string DriveTypeText(DriveType type);

struct VolumeInfo {
  std::string label;  // UTF-8, at most 49 characters once stored
  std::uint32_t serial = 0;
  std::string fileSystem;  // "iso9660", "vfat", "ext4", ...
};

// The nine-character serial text: the high 16 bits as four upper-case hex
// digits, "-", the low 16 bits likewise (1A2B-3C4D).
std::string SerialText(std::uint32_t serial);

struct DriveInfo {
  std::string root;    // mount point (UTF-8), the drive's identifier
  std::string device;  // e.g. /dev/sr0; empty for folders and pseudo devices
  DriveType type = DriveType::kUnknown;
  std::string fileSystem;
  std::uint64_t size = 0;  // bytes
  std::uint64_t free = 0;  // bytes
};

class Drives {
 public:
  virtual ~Drives() = default;
  // The mounted volumes a user would call drives, pseudo file systems left out.
  virtual std::vector<DriveInfo> List() = 0;
  // Whether the root can be listed (for optical drives also: a disc is in).
  virtual bool HasMedia(const std::string& root) = 0;
  // Label, serial and file system of the volume mounted at (or folder) root;
  // nullopt when nothing can be read there.
  virtual std::optional<VolumeInfo> Volume(const std::string& root) = 0;
  // Unmounts and ejects the medium; false with a message in error when it
  // could not be done, false with an empty error when root is nothing that
  // can be ejected (a folder, a network share, a fixed disk).
  virtual bool Eject(const std::string& root, std::string& error) = 0;
};

}  // namespace rondo
