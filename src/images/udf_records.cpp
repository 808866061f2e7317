// SPDX-License-Identifier: GPL-3.0-or-later
#include "images/udf_records.h"

#include <algorithm>
#include <limits>

#include "platform/volume_serial.h"

namespace rondo::images {

namespace {

// Blocks (64 MiB) more than any directory holds: the copy stops growing
// there.
constexpr std::size_t kMostRecorded = (64u << 20) / kUdfBlock;

constexpr int kFileIdentifier = 257;
constexpr int kAllocationExtent = 258;
constexpr int kFileEntry = 261;
constexpr int kExtendedFileEntry = 266;
constexpr std::uint8_t kDirectoryFileType = 4;

std::uint32_t U8(std::string_view b, std::size_t at) {
  return static_cast<unsigned char>(b[at]);
}
std::uint32_t U16(std::string_view b, std::size_t at) {
  return U8(b, at) | U8(b, at + 1) << 8;
}
std::uint32_t U32(std::string_view b, std::size_t at) {
  return U16(b, at) | U16(b, at + 2) << 16;
}
std::uint64_t U64(std::string_view b, std::size_t at) {
  return U32(b, at) | static_cast<std::uint64_t>(U32(b, at + 4)) << 32;
}

// The tag identifier of the descriptor tag a block starts with, or -1 when
// its checksum does not hold.
int Tag(std::string_view b) {
  if (b.size() < 16)
    return -1;
  unsigned sum = 0;
  for (std::size_t i = 0; i < 16; ++i)
    sum += i == 4 ? 0 : U8(b, i);
  return (sum & 0xFF) == U8(b, 4) ? static_cast<int>(U16(b, 0)) : -1;
}

bool IsFileEntry(std::string_view b) {
  const int tag = Tag(b);
  return (tag == kFileEntry || tag == kExtendedFileEntry) && b.size() >= 216;
}

// Where a File Entry's extended attributes begin and what its allocation
// descriptors (or embedded data) take.
struct Layout {
  std::size_t base;
  std::uint32_t extended;
  std::uint32_t allocation;
};

Layout EntryLayout(std::string_view fe) {
  const bool extended = Tag(fe) == kExtendedFileEntry;
  const std::size_t at = extended ? 208 : 168;
  return {extended ? 216u : 176u, U32(fe, at), U32(fe, at + 4)};
}

// A name of an OSTA CS0 d-string as libudfread gives it: every character
// (8 or 16 bits wide) written on its own in UTF-8, a zero as C0 80.
std::string Cs0Name(std::string_view d) {
  std::string out;
  if (d.empty())
    return out;
  const std::uint32_t id = U8(d, 0);
  const std::size_t width = id == 8 || id == 254 ? 1 : id == 16 || id == 255 ? 2 : 0;
  if (width == 0)
    return out;
  for (std::size_t i = 1; i + width <= d.size(); i += width) {
    const std::uint32_t c = width == 1 ? U8(d, i) : U8(d, i) << 8 | U8(d, i + 1);
    if (c != 0 && c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

RecordingUdfInput::RecordingUdfInput(int fd, std::uint64_t size) : fd_(fd), size_(size) {
  raw_.base.close = nullptr;
  raw_.base.read = &RecordingUdfInput::Read;
  raw_.base.size = &RecordingUdfInput::Size;
  raw_.self = this;
}

void RecordingUdfInput::Start() {
  blocks_.clear();
  recording_ = true;
}

std::vector<std::string> RecordingUdfInput::Stop() {
  recording_ = false;
  return std::move(blocks_);
}

int RecordingUdfInput::Read(udfread_block_input* input, std::uint32_t lba, void* buffer,
                            std::uint32_t blocks, int) {
  RecordingUdfInput& self = *reinterpret_cast<Raw*>(input)->self;
  const std::uint64_t first = static_cast<std::uint64_t>(lba) * kUdfBlock;
  if (first >= self.size_)
    return 0;
  const std::uint64_t whole = (self.size_ - first) / kUdfBlock;
  const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>(blocks, whole));
  char* out = static_cast<char*>(buffer);
  if (n == 0 || !platform::ReadAt(self.fd_, first, out, std::size_t{n} * kUdfBlock))
    return 0;
  for (std::uint32_t i = 0; self.recording_ && i < n && self.blocks_.size() < kMostRecorded; ++i)
    self.blocks_.emplace_back(out + std::size_t{i} * kUdfBlock, kUdfBlock);
  return static_cast<int>(n);
}

std::uint32_t RecordingUdfInput::Size(udfread_block_input* input) {
  const RecordingUdfInput& self = *reinterpret_cast<Raw*>(input)->self;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>(self.size_ / kUdfBlock, std::numeric_limits<std::uint32_t>::max()));
}

std::optional<std::time_t> UdfModificationTime(std::string_view block) {
  if (!IsFileEntry(block))
    return std::nullopt;
  const std::string_view t = block.substr(Tag(block) == kExtendedFileEntry ? 92 : 84, 12);
  // Type 1 is local time with its offset from UTC in minutes (a signed
  // 12-bit number; -2047 says none was recorded); other types are taken
  // as UTC.
  const std::uint32_t typeAndZone = U16(t, 0);
  int zone = static_cast<int>(typeAndZone & 0xFFF);
  if (zone >= 0x800)
    zone -= 0x1000;
  if (typeAndZone >> 12 != 1 || zone < -1440 || zone > 1440)
    zone = 0;
  std::tm fields{};
  const int year = static_cast<std::int16_t>(U16(t, 2));
  fields.tm_year = year - 1900;
  fields.tm_mon = static_cast<int>(U8(t, 4)) - 1;
  fields.tm_mday = static_cast<int>(U8(t, 5));
  fields.tm_hour = static_cast<int>(U8(t, 6));
  fields.tm_min = static_cast<int>(U8(t, 7));
  fields.tm_sec = static_cast<int>(U8(t, 8));
  if (year < 1 || fields.tm_mon < 0 || fields.tm_mon > 11 || fields.tm_mday < 1 ||
      fields.tm_mday > 31 || fields.tm_hour > 23 || fields.tm_min > 59 || fields.tm_sec > 59)
    return std::nullopt;
  const std::time_t utc = ::timegm(&fields);
  if (utc == static_cast<std::time_t>(-1))
    return std::nullopt;
  return utc - static_cast<std::time_t>(zone) * 60;
}

std::uint8_t UdfDirectoryRecords::Take(const std::string& name) {
  const auto it = characteristics.find(name);
  if (it == characteristics.end() || it->second.empty())
    return 0;
  const std::uint8_t c = it->second.front();
  it->second.erase(it->second.begin());
  return c;
}

UdfDirectoryRecords ParseUdfDirectory(const std::vector<std::string>& blocks, int afterBlock) {
  UdfDirectoryRecords out;
  std::size_t at = 0;
  if (afterBlock != 0) {
    while (at < blocks.size() && Tag(blocks[at]) != afterBlock)
      ++at;
  }
  while (at < blocks.size() &&
         !(IsFileEntry(blocks[at]) && U8(blocks[at], 27) == kDirectoryFileType))
    ++at;
  if (at == blocks.size())
    return out;
  const std::string_view fe = blocks[at];
  out.time = UdfModificationTime(fe);

  // The records: embedded in the File Entry, or in the blocks read after
  // it (past any allocation extent descriptors), as long as the directory.
  const std::uint64_t length = U64(fe, 56);
  std::string data;
  const Layout layout = EntryLayout(fe);
  if ((U16(fe, 34) & 7) == 3) {
    if (layout.base + std::uint64_t{layout.extended} <= fe.size()) {
      const std::size_t begin = layout.base + layout.extended;
      data = fe.substr(begin, std::min<std::size_t>(layout.allocation, fe.size() - begin));
    }
  } else {
    std::size_t next = at + 1;
    while (next < blocks.size() && Tag(blocks[next]) == kAllocationExtent)
      ++next;
    for (; next < blocks.size() && data.size() < length; ++next)
      data += blocks[next];
  }
  if (data.size() > length)
    data.resize(static_cast<std::size_t>(length));

  const std::string_view d = data;
  for (std::size_t p = 0; p + 38 <= d.size();) {
    const std::string_view fid = d.substr(p);
    if (Tag(fid) != kFileIdentifier)
      break;
    const std::uint8_t characteristic = static_cast<std::uint8_t>(U8(fid, 18));
    const std::size_t nameLength = U8(fid, 19);
    const std::size_t use = U16(fid, 36);
    if (38 + use + nameLength > fid.size())
      break;
    if ((characteristic & kUdfParent) == 0 && nameLength > 0) {
      const std::string name = Cs0Name(fid.substr(38 + use, nameLength));
      if (!name.empty())
        out.characteristics[name].push_back(characteristic);
    }
    p += (38 + use + nameLength + 3) & ~std::size_t{3};
  }
  return out;
}

}  // namespace rondo::images
