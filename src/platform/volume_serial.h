// SPDX-License-Identifier: GPL-3.0-or-later
// Volume serials and labels read from the bytes of a medium, so that a disc
// scanned here gets the serial Windows shows for it. Everything here works on
// bytes, on an open file or on a path, never on a mounted file system, so a
// device (/dev/sr0) and an image file are read alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/drives.h"

namespace rondo::platform {

inline constexpr std::size_t kSectorSize = 2048;     // ISO 9660 logical sector
inline constexpr std::size_t kBootSectorSize = 512;  // FAT, exFAT and NTFS

// An open file descriptor, closed when it goes out of scope.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int Get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Opens a file or device for reading (close-on-exec); empty on failure.
UniqueFd OpenForReading(const std::string& path);

// Reads exactly size bytes at offset, retrying short reads and interrupted
// calls; false on an error or when the file ends first.
bool ReadAt(int fd, std::uint64_t offset, char* buffer, std::size_t size);

// The serial Windows derives from an ISO 9660 volume descriptor: its 2048
// bytes summed into four byte-wide running totals (byte i into total i mod 4,
// each wrapping at 256), the totals joined high to low.
std::uint32_t DescriptorSerial(std::string_view descriptor);

// A supplementary volume descriptor (type 2, version 1) carrying one of the
// three Joliet escape sequences (%/@, %/C, %/E) at offset 88.
bool IsJolietDescriptor(std::string_view descriptor);

// UTF-16 big-endian (Joliet's UCS-2) to UTF-8; a stray surrogate becomes
// U+FFFD.
std::string Utf16BeToUtf8(std::string_view bytes);

// Reads the volume descriptors of an ISO 9660 medium from sector 16 on, up to
// the set terminator, a read failure or 64 sectors, and takes the first Joliet
// descriptor when there is one, else the primary one: its serial (above) and
// its volume identifier as the label. nullopt when there is no ISO 9660 volume.
std::optional<VolumeInfo> ReadIso9660Volume(int fd);
// The same for a device or an image file given by its path.
std::optional<VolumeInfo> ReadIso9660Image(const std::string& path);

// The volume a FAT12/16/32, exFAT or NTFS boot sector (its first 512 bytes)
// describes: its 32-bit serial, and for FAT the label kept in the boot sector
// ("NO NAME" counts as none). nullopt for anything else.
std::optional<VolumeInfo> VolumeFromBootSector(std::string_view sector);
std::optional<VolumeInfo> ReadBootSector(const std::string& path);

// The serial hidden in a udev (blkid) file-system UUID: "1A2B-3C4D" for FAT
// and exFAT, 16 hex digits for NTFS (the low 32 bits, its last 8 digits).
// ISO 9660 "UUIDs" are dates and other forms carry no serial: nullopt.
std::optional<std::uint32_t> SerialFromUdevUuid(const std::string& uuid,
                                                const std::string& fileSystem);

// A serial for media that carry none of their own (ext4, btrfs, network
// shares, plain folders): the 32-bit FNV-1a hash (offset basis 2166136261,
// prime 16777619) of the bytes of the file system's UUID or of a folder's
// absolute path. It depends on nothing but the text, so it is the same on
// every run and every machine.
std::uint32_t StableSerial(std::string_view text);

}  // namespace rondo::platform
