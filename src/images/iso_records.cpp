// SPDX-License-Identifier: GPL-3.0-or-later
#include "images/iso_records.h"

#include <algorithm>
#include <unordered_set>

#include "platform/volume_serial.h"

namespace rondo::images {

namespace {

constexpr std::uint64_t kFirstDescriptor = 16;
constexpr std::uint64_t kMostDescriptors = 64;
constexpr std::size_t kRootRecord = 156;  // in a volume descriptor
constexpr std::size_t kRecordHead = 33;   // a directory record before its name
// Larger directories than this are not believed (a real one of 100,000
// entries takes about 6 MB).
constexpr std::uint64_t kLargestDirectory = 64ull << 20;
// The deepest directory the catalogue can store below the root.
constexpr int kDeepest = 255;
// Problems of one kind named one by one before the rest is only counted.
constexpr std::size_t kProblemsNamed = 20;

unsigned Byte(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]);
}

std::uint32_t Le32(std::string_view b, std::size_t at) {
  return Byte(b, at) | Byte(b, at + 1) << 8 | Byte(b, at + 2) << 16 |
         static_cast<std::uint32_t>(Byte(b, at + 3)) << 24;
}

bool IsDescriptor(std::string_view sector) {
  return sector.size() == kIsoBlock && sector.substr(1, 5) == "CD001";
}

// The Rock Ridge name in a record's system use area: the NM entries joined.
// Empty when there is none (or it continues in an area elsewhere).
std::string RockRidgeName(std::string_view area) {
  std::string name;
  std::size_t p = 0;
  while (p + 4 <= area.size()) {
    const unsigned a = Byte(area, p), b = Byte(area, p + 1), len = Byte(area, p + 2);
    if (a < 'A' || a > 'Z' || b < 'A' || b > 'Z' || len < 4 || p + len > area.size())
      break;
    if (a == 'N' && b == 'M' && Byte(area, p + 3) == 1 && len >= 5) {
      const unsigned flags = Byte(area, p + 4);
      if (flags == 0 || flags == 1)
        name.append(area.substr(p + 5, len - 5));
    }
    p += len;
  }
  return name;
}

std::string JolietName(std::string_view id) {
  if (id.size() > 206)  // what the longest Joliet names of mkisofs take
    id = id.substr(0, 206);
  id = id.substr(0, id.size() & ~std::size_t{1});
  if (id.size() > 4 && id.substr(id.size() - 4) == std::string_view("\0;\0001", 4))
    id.remove_suffix(4);
  return platform::Utf16BeToUtf8(id);
}

// The seven-byte recording time of a directory record: years since 1900,
// month, day, hour, minute, second, offset from GMT in quarter hours.
std::int64_t RecordTime(std::string_view t) {
  const int year = 1900 + static_cast<int>(Byte(t, 0));
  const unsigned month = std::clamp(Byte(t, 1), 1u, 12u), day = std::clamp(Byte(t, 2), 1u, 31u);
  // Days from 1970-01-01 to the date (the proleptic Gregorian calendar).
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = std::int64_t{era} * 146097 + doe - 719468;
  const int offset = static_cast<signed char>(t[6]);
  return days * 86400 + Byte(t, 3) * 3600 + Byte(t, 4) * 60 + Byte(t, 5) - offset * 15 * 60;
}

class Walker {
 public:
  Walker(int fd, std::uint64_t imageSize, IsoNames names, IsoWalk& out)
      : fd_(fd), imageSize_(imageSize), names_(names), out_(out) {}

  void Directory(const std::string& path, std::uint64_t offset, std::uint64_t size, int depth) {
    const std::string shown = "/" + path;
    if (size > kLargestDirectory || offset > imageSize_ || size > imageSize_ - offset) {
      out_.absurd = true;
      Problem(directoryProblems_, "Adresář " + shown + " leží mimo obraz; vynechán.");
      return;
    }
    if (!visited_.insert(offset).second) {
      Problem(directoryProblems_, "Adresář " + shown + " vede zpět do stromu; vynechán.");
      return;
    }
    std::string data(size, '\0');
    if (!platform::ReadAt(fd_, offset, data.data(), data.size())) {
      Problem(directoryProblems_, "Adresář " + shown + " nelze přečíst; vynechán.");
      return;
    }
    std::vector<IsoRecord>& records = out_.dirs[path];
    std::vector<std::pair<std::string, Extent>> subdirs;
    std::size_t pos = 0;
    bool continued = false;  // the last record said the file goes on
    while (pos < data.size()) {
      const std::size_t len = Byte(data, pos);
      if (len == 0) {  // the rest of the sector is padding
        pos = (pos / kIsoBlock + 1) * kIsoBlock;
        continue;
      }
      const bool fits = len > kRecordHead && pos + len <= data.size();
      const std::size_t nameLen = fits ? Byte(data, pos + 32) : 0;
      if (!fits || kRecordHead + nameLen > len) {
        Problem(directoryProblems_, "Adresář " + shown + " má poškozený záznam; čten jen po něj.");
        break;
      }
      const std::string_view record = std::string_view(data).substr(pos, len);
      pos += len;
      const std::string_view id = record.substr(kRecordHead, nameLen);
      if (nameLen == 1 && (id[0] == '\0' || id[0] == '\1')) {
        continued = false;
        continue;  // "." and ".."
      }
      const unsigned flags = Byte(record, 25);
      const Extent extent{Le32(record, 2) * kIsoBlock, Le32(record, 10)};
      std::string name;
      if (names_ == IsoNames::kJoliet) {
        name = JolietName(id);
      } else if (names_ == IsoNames::kRockRidge) {
        const std::size_t area = kRecordHead + nameLen + (nameLen % 2 == 0 ? 1 : 0);
        if (area < record.size())
          name = RockRidgeName(record.substr(area));
        if (name.empty())
          name = IsoName(id);
      } else {
        name = IsoName(id);
      }
      if (name.empty() || name == "." || name == ".." ||
          name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        // No file system could show it; kept under a name it can.
        Problem(nameProblems_, "Položka v adresáři " + shown + " má neplatné jméno „" + name +
                                   "“; uložena jako „_“.");
        std::replace(name.begin(), name.end(), '/', '_');
        std::replace(name.begin(), name.end(), '\0', '_');
        if (name.empty() || name == "." || name == "..")
          name = "_";
      }
      if (continued && !records.empty() && records.back().name == name) {
        records.back().more.push_back(extent);
      } else {
        IsoRecord r;
        r.name = std::move(name);
        r.directory = (flags & 0x02) != 0;
        r.hidden = (flags & 0x01) != 0;
        r.extent = extent;
        r.time = RecordTime(record.substr(18, 7));
        records.push_back(std::move(r));
      }
      continued = (flags & 0x80) != 0;
      IsoRecord& r = records.back();
      if (r.directory) {
        subdirs.emplace_back(r.name, extent);
      } else if (extent.size > 0 &&
                 (extent.offset > imageSize_ || extent.size > imageSize_ - extent.offset)) {
        Problem(fileProblems_, "Soubor " + (path.empty() ? "" : shown) + "/" + r.name +
                                   " leží za koncem obrazu (obraz je zkrácený nebo poškozený).");
      }
    }
    if (depth >= kDeepest)
      return;
    for (const auto& [name, extent] : subdirs)
      Directory(path.empty() ? name : path + "/" + name, extent.offset, extent.size, depth + 1);
  }

  void Finish() {
    for (std::size_t* count : {&directoryProblems_, &fileProblems_, &nameProblems_}) {
      if (*count > kProblemsNamed)
        out_.problems.push_back("… a dalších " + std::to_string(*count - kProblemsNamed) +
                                " podobných chyb.");
    }
  }

 private:
  void Problem(std::size_t& count, std::string line) {
    if (++count <= kProblemsNamed)
      out_.problems.push_back(std::move(line));
  }

  int fd_;
  std::uint64_t imageSize_;
  IsoNames names_;
  IsoWalk& out_;
  std::unordered_set<std::uint64_t> visited_;
  std::size_t directoryProblems_ = 0;
  std::size_t fileProblems_ = 0;
  std::size_t nameProblems_ = 0;
};

}  // namespace

std::string IsoName(std::string_view id) {
  if (id.size() > 2 && id.substr(id.size() - 2) == ";1")
    id.remove_suffix(2);
  if (id.size() > 1 && id.back() == '.')
    id.remove_suffix(1);
  return std::string(id);
}

IsoDescriptors ReadIsoDescriptors(int fd, std::uint64_t imageSize) {
  IsoDescriptors found;
  std::string sector(kIsoBlock, '\0');
  for (std::uint64_t n = kFirstDescriptor; n < kFirstDescriptor + kMostDescriptors; ++n) {
    if ((n + 1) * kIsoBlock > imageSize ||
        !platform::ReadAt(fd, n * kIsoBlock, sector.data(), sector.size()))
      break;
    if (!IsDescriptor(sector))
      break;
    const unsigned type = Byte(sector, 0);
    if (type == 255) {
      found.terminated = true;
      break;
    }
    if (found.primary.empty() && type == 1)
      found.primary = sector;
    if (found.joliet.empty() && platform::IsJolietDescriptor(sector))
      found.joliet = sector;
  }
  return found;
}

bool HasRockRidge(int fd, std::uint64_t imageSize, std::string_view primary) {
  if (primary.size() != kIsoBlock)
    return false;
  const std::uint64_t offset = Le32(primary, kRootRecord + 2) * kIsoBlock;
  std::string record(kIsoBlock, '\0');
  if (offset + kIsoBlock > imageSize || !platform::ReadAt(fd, offset, record.data(), kIsoBlock))
    return false;
  // The first record is "." (name length 1, so no padding byte); the SP
  // entry starts its system use area.
  const std::size_t len = Byte(record, 0);
  return len >= kRecordHead + 1 + 7 && Byte(record, 32) == 1 &&
         record.compare(kRecordHead + 1, 6, std::string("SP\x07\x01\xbe\xef", 6)) == 0;
}

IsoWalk WalkIsoTree(int fd, std::uint64_t imageSize, std::string_view descriptor, IsoNames names) {
  IsoWalk walk;
  if (descriptor.size() != kIsoBlock)
    return walk;
  if ((Byte(descriptor, 128) | Byte(descriptor, 129) << 8) != kIsoBlock) {
    walk.problems.push_back("Obraz má jinou velikost logického bloku než 2048 bajtů.");
    return walk;
  }
  Walker walker(fd, imageSize, names, walk);
  walker.Directory("", Le32(descriptor, kRootRecord + 2) * kIsoBlock,
                   Le32(descriptor, kRootRecord + 10), 0);
  walker.Finish();
  return walk;
}

}  // namespace rondo::images
