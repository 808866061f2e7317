// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/volume_serial.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace rondo::platform {

namespace {

unsigned Byte(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]);
}

std::uint32_t Le16(std::string_view bytes, std::size_t at) {
  return Byte(bytes, at) | Byte(bytes, at + 1) << 8;
}

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
  return Le16(bytes, at) | Le16(bytes, at + 2) << 16;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Identifiers written by old burning programs sometimes hold bytes above
// 0x7F although only d-characters are allowed there; reading them as
// Latin-1 keeps the label valid UTF-8.
std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (char c : bytes)
    AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
    text.pop_back();
  return text;
}

bool IsPrimaryDescriptor(std::string_view d) {
  return Byte(d, 0) == 1 && d.substr(1, 5) == "CD001";
}

// What mkfs.fat writes into every BIOS parameter block: a sector size Windows
// accepts, a power-of-two cluster, reserved sectors and one or two FATs.
bool PlausibleBiosParameterBlock(std::string_view s) {
  const std::uint32_t bytesPerSector = Le16(s, 0x0B);
  const unsigned sectorsPerCluster = Byte(s, 0x0D);
  const unsigned fats = Byte(s, 0x10);
  const bool sectorSize = bytesPerSector == 512 || bytesPerSector == 1024 ||
                          bytesPerSector == 2048 || bytesPerSector == 4096;
  const bool clusterSize =
      sectorsPerCluster != 0 && (sectorsPerCluster & (sectorsPerCluster - 1)) == 0;
  return sectorSize && clusterSize && Le16(s, 0x0E) != 0 && (fats == 1 || fats == 2);
}

bool ExtendedBootSignature(unsigned value) {
  return value == 0x29 || value == 0x28;
}

// A FAT volume described by the extended boot record at `record` (0x24 for
// FAT12/16, 0x40 for FAT32): drive number, reserved, signature, serial,
// label, file-system type. Only signature 0x29 carries the label.
VolumeInfo FatVolume(std::string_view s, std::size_t record, bool typeNamed) {
  VolumeInfo info;
  info.fileSystem = "vfat";
  info.serial = Le32(s, record + 3);
  if (typeNamed || Byte(s, record + 2) == 0x29) {
    std::string label = TrimRight(Latin1ToUtf8(s.substr(record + 7, 11)));
    if (label != "NO NAME")
      info.label = std::move(label);
  }
  return info;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other)
    Reset(other.Release());
  return *this;
}

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = fd;
}

UniqueFd OpenForReading(const std::string& path) {
  return UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
}

bool ReadAt(int fd, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::uint32_t DescriptorSerial(std::string_view descriptor) {
  std::uint8_t totals[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < descriptor.size(); ++i)
    totals[i % 4] = static_cast<std::uint8_t>(totals[i % 4] + Byte(descriptor, i));
  return std::uint32_t{totals[0]} << 24 | std::uint32_t{totals[1]} << 16 |
         std::uint32_t{totals[2]} << 8 | totals[3];
}

bool IsJolietDescriptor(std::string_view d) {
  if (d.size() < 91 || Byte(d, 0) != 2 || d.substr(1, 5) != "CD001" || Byte(d, 6) != 1)
    return false;
  const std::string_view escape = d.substr(88, 3);
  return escape == "%/@" || escape == "%/C" || escape == "%/E";
}

std::string Utf16BeToUtf8(std::string_view bytes) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const std::uint32_t unit = Byte(bytes, 2 * i) << 8 | Byte(bytes, 2 * i + 1);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
      const std::uint32_t low = Byte(bytes, 2 * i + 2) << 8 | Byte(bytes, 2 * i + 3);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
  }
  return out;
}

std::optional<VolumeInfo> ReadIso9660Volume(int fd) {
  constexpr std::uint64_t kFirstDescriptor = 16;  // after the system area
  constexpr std::uint64_t kMostDescriptors = 64;
  std::string primary;
  std::string joliet;
  std::string sector(kSectorSize, '\0');
  for (std::uint64_t n = kFirstDescriptor; n < kFirstDescriptor + kMostDescriptors; ++n) {
    if (!ReadAt(fd, n * kSectorSize, sector.data(), kSectorSize))
      break;
    if (sector.compare(1, 5, "CD001") != 0)
      break;
    const unsigned type = Byte(sector, 0);
    if (type == 255)  // the set terminator
      break;
    if (primary.empty() && IsPrimaryDescriptor(sector))
      primary = sector;
    if (joliet.empty() && IsJolietDescriptor(sector))
      joliet = sector;
  }
  VolumeInfo info;
  info.fileSystem = "iso9660";
  if (!joliet.empty()) {
    info.serial = DescriptorSerial(joliet);
    info.label = TrimRight(Utf16BeToUtf8(std::string_view(joliet).substr(40, 32)));
  } else if (!primary.empty()) {
    info.serial = DescriptorSerial(primary);
    info.label = TrimRight(Latin1ToUtf8(std::string_view(primary).substr(40, 32)));
  } else {
    return std::nullopt;
  }
  return info;
}

std::optional<VolumeInfo> ReadIso9660Image(const std::string& path) {
  const UniqueFd fd = OpenForReading(path);
  if (!fd)
    return std::nullopt;
  return ReadIso9660Volume(fd.Get());
}

std::optional<VolumeInfo> VolumeFromBootSector(std::string_view s) {
  if (s.size() < kBootSectorSize)
    return std::nullopt;
  const std::string_view oemName = s.substr(3, 8);
  if (oemName == "NTFS    ") {
    // The serial is 64 bits; Windows shows the low half.
    return VolumeInfo{.serial = Le32(s, 0x48), .fileSystem = "ntfs"};
  }
  if (oemName == "EXFAT   ")
    return VolumeInfo{.serial = Le32(s, 100), .fileSystem = "exfat"};

  if (Byte(s, 510) != 0x55 || Byte(s, 511) != 0xAA)
    return std::nullopt;
  const bool plausible = PlausibleBiosParameterBlock(s);
  // FAT32 has neither root directory entries nor a 16-bit FAT size.
  if (s.substr(0x52, 8) == "FAT32   ")
    return FatVolume(s, 0x40, true);
  if (plausible && Le16(s, 0x11) == 0 && Le16(s, 0x16) == 0 &&
      ExtendedBootSignature(Byte(s, 0x42))) {
    return FatVolume(s, 0x40, false);
  }
  const std::string_view type16 = s.substr(0x36, 8);
  if (type16 == "FAT12   " || type16 == "FAT16   " || type16 == "FAT     ")
    return FatVolume(s, 0x24, true);
  if (plausible && ExtendedBootSignature(Byte(s, 0x26)))
    return FatVolume(s, 0x24, false);
  return std::nullopt;
}

std::optional<VolumeInfo> ReadBootSector(const std::string& path) {
  const UniqueFd fd = OpenForReading(path);
  if (!fd)
    return std::nullopt;
  std::string sector(kBootSectorSize, '\0');
  if (!ReadAt(fd.Get(), 0, sector.data(), sector.size()))
    return std::nullopt;
  return VolumeFromBootSector(sector);
}

std::optional<std::uint32_t> SerialFromUdevUuid(const std::string& uuid,
                                                const std::string& fileSystem) {
  auto hex = [](std::string_view digits) -> std::optional<std::uint32_t> {
    std::uint32_t value = 0;
    for (char c : digits) {
      unsigned d = 0;
      if (c >= '0' && c <= '9')
        d = static_cast<unsigned>(c - '0');
      else if (c >= 'A' && c <= 'F')
        d = static_cast<unsigned>(c - 'A' + 10);
      else if (c >= 'a' && c <= 'f')
        d = static_cast<unsigned>(c - 'a' + 10);
      else
        return std::nullopt;
      value = value << 4 | d;
    }
    return value;
  };
  const std::string_view text = uuid;
  if (fileSystem == "vfat" || fileSystem == "msdos" || fileSystem == "exfat") {
    if (text.size() == 9 && text[4] == '-') {
      const auto high = hex(text.substr(0, 4));
      const auto low = hex(text.substr(5, 4));
      if (high && low)
        return *high << 16 | *low;
    }
    return std::nullopt;
  }
  if (fileSystem == "ntfs" || fileSystem == "ntfs3") {
    if (text.size() == 16 && hex(text.substr(0, 8)))
      return hex(text.substr(8));
  }
  return std::nullopt;
}

std::uint32_t StableSerial(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace rondo::platform
