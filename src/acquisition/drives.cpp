// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/drives.h"

#include <cstdio>

namespace rondo {

std::string DriveTypeText(DriveType type) {
  switch (type) {
    case DriveType::kRemovable:
      return "Removable/Floppy";
    case DriveType::kFixed:
      return "Fixed";
    case DriveType::kRemote:
      return "Remote drive";
    case DriveType::kCdRom:
      return "CD-ROM drive";
    case DriveType::kRamDisk:
      return "RAM Disk";
    case DriveType::kUnknown:
      break;
  }
  return "Unknown";
}

std::string SerialText(std::uint32_t serial) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                static_cast<unsigned>(serial & 0xFFFF));
  return text;
}

}  // namespace rondo
