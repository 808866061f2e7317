#include "platform/volume_serial.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace rondo::platform {

namespace {

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

bool ReadAt(int fd, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n <= 0)
      return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string TrimRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
    text.pop_back();
  return text;
}

// UCS-2 big-endian to UTF-8.
std::string Ucs2ToUtf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned c =
        (static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

bool IsJoliet(std::string_view d) {
  if (d[0] != 2 || d[6] != 1)
    return false;
  const std::string_view escape = d.substr(88, 3);
  return escape == "%/@" || escape == "%/C" || escape == "%/E";
}

}  // namespace

std::uint32_t DescriptorSerial(std::string_view descriptor) {
  std::uint8_t totals[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < descriptor.size(); ++i) {
    totals[i % 4] =
        static_cast<std::uint8_t>(totals[i % 4] + static_cast<unsigned char>(descriptor[i]));
  }
  return std::uint32_t{totals[0]} << 24 | std::uint32_t{totals[1]} << 16 |
         std::uint32_t{totals[2]} << 8 | totals[3];
}

std::optional<VolumeInfo> ReadIso9660(const std::string& path) {
  const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0)
    return std::nullopt;
  std::string primary;
  std::string joliet;
  std::string sector(kSectorSize, '\0');
  // Sixteen system sectors, then the descriptor set up to its terminator.
  for (std::uint64_t n = 16; n < 16 + 64; ++n) {
    if (!ReadAt(fd.get(), n * kSectorSize, sector.data(), kSectorSize))
      break;
    if (sector.compare(1, 5, "CD001") != 0)
      break;
    const auto type = static_cast<unsigned char>(sector[0]);
    if (type == 255)
      break;
    if (type == 1 && primary.empty())
      primary = sector;
    if (joliet.empty() && IsJoliet(sector))
      joliet = sector;
  }
  if (primary.empty() && joliet.empty())
    return std::nullopt;
  VolumeInfo info;
  info.fileSystem = "iso9660";
  if (!joliet.empty()) {
    info.serial = DescriptorSerial(joliet);
    info.label = TrimRight(Ucs2ToUtf8(std::string_view(joliet).substr(40, 32)));
  } else {
    info.serial = DescriptorSerial(primary);
    info.label = TrimRight(primary.substr(40, 32));
  }
  return info;
}

std::optional<VolumeInfo> VolumeFromBootSector(std::string_view s) {
  if (s.size() < 512)
    return std::nullopt;
  VolumeInfo info;
  auto label = [&](std::size_t at) {
    std::string text = TrimRight(std::string(s.substr(at, 11)));
    return text == "NO NAME" ? std::string() : text;
  };
  if (s.substr(3, 8) == "NTFS    ") {
    info.fileSystem = "ntfs";
    info.serial = Le32(s, 0x48);
    return info;
  }
  if (s.substr(3, 8) == "EXFAT   ") {
    info.fileSystem = "exfat";
    info.serial = Le32(s, 100);
    return info;
  }
  const bool signature =
      static_cast<unsigned char>(s[510]) == 0x55 && static_cast<unsigned char>(s[511]) == 0xAA;
  if (!signature)
    return std::nullopt;
  if (s.substr(0x52, 5) == "FAT32") {
    info.fileSystem = "vfat";
    info.serial = Le32(s, 0x43);
    info.label = label(0x47);
    return info;
  }
  if (s.substr(0x36, 5) == "FAT12" || s.substr(0x36, 5) == "FAT16" ||
      static_cast<unsigned char>(s[0x26]) == 0x29) {
    info.fileSystem = "vfat";
    info.serial = Le32(s, 0x27);
    info.label = label(0x2B);
    return info;
  }
  return std::nullopt;
}

std::optional<VolumeInfo> ReadBootSector(const std::string& path) {
  const Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0)
    return std::nullopt;
  std::string sector(512, '\0');
  if (!ReadAt(fd.get(), 0, sector.data(), sector.size()))
    return std::nullopt;
  return VolumeFromBootSector(sector);
}

std::optional<std::uint32_t> SerialFromUdevUuid(const std::string& uuid,
                                                const std::string& fileSystem) {
  auto hex = [](std::string_view digits) -> std::optional<std::uint32_t> {
    std::uint32_t value = 0;
    for (char c : digits) {
      int d = -1;
      if (c >= '0' && c <= '9')
        d = c - '0';
      if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      if (d < 0)
        return std::nullopt;
      value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return value;
  };
  if ((fileSystem == "vfat" || fileSystem == "exfat" || fileSystem == "msdos") &&
      uuid.size() == 9 && uuid[4] == '-') {
    return hex(uuid.substr(0, 4) + uuid.substr(5, 4));
  }
  if (fileSystem == "ntfs" || fileSystem == "ntfs3") {
    if (uuid.size() == 16)
      return hex(std::string_view(uuid).substr(8));
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
