// Volume serials and labels read from the bytes of a medium, so that a disc
// scanned here gets the serial Windows shows for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/drives.h"

namespace rondo::platform {

inline constexpr std::size_t kSectorSize = 2048;

// The serial Windows derives from an ISO 9660 volume descriptor: its 2048
// bytes summed into four byte-wide running totals (byte i into total i mod 4),
// the totals joined high to low.
std::uint32_t DescriptorSerial(std::string_view descriptor);

// Reads the volume descriptors of an ISO 9660 medium (a device or an image
// file) from sector 16 on: the first Joliet descriptor when there is one,
// else the primary one. nullopt when there is no ISO 9660 volume.
std::optional<VolumeInfo> ReadIso9660(const std::string& path);

// FAT12/16/32, exFAT and NTFS boot sectors (the first 512 bytes).
std::optional<VolumeInfo> VolumeFromBootSector(std::string_view sector);
std::optional<VolumeInfo> ReadBootSector(const std::string& path);

// The serial hidden in a udev file-system UUID: "1A2B-3C4D" for FAT and
// exFAT, 16 hex digits for NTFS (the low 32 bits). Other forms give nullopt.
std::optional<std::uint32_t> SerialFromUdevUuid(const std::string& uuid,
                                                const std::string& fileSystem);

// A stable 32-bit serial for media that carry none of their own: FNV-1a of
// the file system's UUID or of a folder's absolute path.
std::uint32_t StableSerial(std::string_view text);

}  // namespace rondo::platform
