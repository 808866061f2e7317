// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/conversion.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "catalogue/format/byte_stream.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/records.h"
#include "catalogue/format/safe_replace.h"
#include "shell/text.h"

namespace rondo {

namespace {

// The previous format's disc head: the same fields as today's head, but a
// 30-byte identifier (its first 9 bytes the serial) and a block length that
// counts 248 bytes for a head that takes 249.
constexpr std::size_t kOldHeaderSize = 249;
constexpr std::size_t kOldLengthBase = 248;
constexpr std::size_t kOldLengthAt = 30;
constexpr std::size_t kOldLabelAt = 34;
constexpr std::size_t kOldDescriptionAt = 84;
constexpr std::size_t kHeadRestAt = kOldLabelAt;  // from the label on, as today
constexpr std::size_t kLabelWidth = 50;
constexpr std::size_t kDescriptionWidth = 50;

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::string FieldText(const std::uint8_t* p, std::size_t width) {
  std::size_t n = 0;
  while (n < width && p[n] != 0)
    ++n;
  return std::string(reinterpret_cast<const char*>(p), n);
}

struct OldDisc {
  std::uint64_t at = 0;         // offset of the old head
  std::uint32_t oldLength = 0;  // as stored
  bool multigroup = false;
  std::uint32_t directories = 0;  // directory records actually found
  std::uint64_t newLength = 0;
};

[[noreturn]] void NotOld(const std::string& why, std::uint64_t at) {
  ThrowDamaged("není to databáze verze 3.x (" + why + ")", at);
}

// Checks the whole old file and notes where each disc lies and how long it
// becomes. Nothing is written until this has passed.
std::vector<OldDisc> Survey(FileStream& in) {
  std::vector<OldDisc> discs;
  const std::uint64_t size = in.Size();
  if (size >= kMagic.size()) {
    std::string start(kMagic.size(), '\0');
    in.Seek(0);
    in.Read(start.data(), start.size());
    if (start == kMagic) {
      throw AlreadyCurrentFormat("Databáze už má současný formát, není co převádět.");
    }
  }
  std::vector<std::uint8_t> head(kOldHeaderSize);
  std::vector<std::uint8_t> items;
  std::uint64_t at = 0;
  while (at < size) {
    if (size - at < kOldHeaderSize)
      NotOld("hlavička CD je useknutá", at);
    in.Seek(at);
    in.Read(head.data(), head.size());
    OldDisc disc;
    disc.at = at;
    disc.oldLength = Le32(&head[kOldLengthAt]);
    disc.multigroup = FieldText(&head[kOldLabelAt], kLabelWidth) == kMultiGroupLabel;
    // A negative stored length reads as a huge one and fails here too.
    if (disc.oldLength < kOldLengthBase)
      NotOld("délka bloku je menší než hlavička", at);
    const std::uint64_t itemBytes = disc.oldLength - kOldLengthBase;
    if (itemBytes > size - at - kOldHeaderSize)
      NotOld("blok sahá za konec souboru", at);
    if (disc.multigroup) {
      if (itemBytes != kMemberListSize)
        NotOld("multiskupina nemá seznam 20 členů", at);
    } else {
      // Every record must fit its block exactly; count the directories.
      items.resize(static_cast<std::size_t>(itemBytes));
      in.Read(items.data(), items.size());
      std::size_t p = 0;
      while (p < items.size()) {
        if (items.size() - p < kItemPrefixSize)
          NotOld("záznam položky je useknutý", at);
        const std::size_t recordLength =
            kItemPrefixSize + kFileRecordFixed + items[p + 1] + items[p + 2];
        if (items.size() - p < recordLength)
          NotOld("záznam položky přesahuje blok", at);
        if ((items[p] & 0x02) != 0)
          ++disc.directories;
        p += recordLength;
      }
    }
    disc.newLength = static_cast<std::uint64_t>(disc.oldLength) - 20;
    if (disc.newLength > kCdHeaderSize && !disc.multigroup)
      disc.newLength += 4ull * disc.directories;
    if (disc.newLength > 0xFFFFFFFFu)
      NotOld("blok je pro současný formát příliš dlouhý", at);
    discs.push_back(disc);
    at += kOldHeaderSize + itemBytes;
  }
  return discs;
}

}  // namespace

void ConvertOldCatalogue(const std::string& path, const ConversionProgress& progress) {
  const WriteLock lock(path, progress.wait);
  std::error_code ec;
  if (!std::filesystem::exists(lock.Target(), ec)) {
    ReplacementFile created(lock.Target());
    WriteDatabaseHeader(created.Stream(), DatabaseHeader::Current());
    created.Commit();
    return;
  }
  FileStream in(lock.Target(), FileStream::Mode::kReadOnly);
  if (in.Size() == 0)
    NotOld("soubor je prázdný", 0);
  const std::vector<OldDisc> discs = Survey(in);

  ReplacementFile replacement(lock.Target());
  FileStream& out = replacement.Stream();
  std::uint64_t total = kDatabaseHeaderSize;
  for (const auto& d : discs)
    total += d.newLength;
  out.Reserve(total);
  WriteDatabaseHeader(out, DatabaseHeader::Current());

  std::vector<std::uint8_t> head(kOldHeaderSize);
  std::vector<std::uint8_t> items;
  std::vector<std::uint8_t> converted;
  for (const OldDisc& d : discs) {
    in.Seek(d.at);
    in.Read(head.data(), head.size());
    if (progress.disc) {
      progress.disc(ToUtf8(Cp1250Text(FieldText(&head[kOldDescriptionAt], kDescriptionWidth))),
                    d.oldLength);
    }
    // The new head: the serial, the new length, everything else as it was.
    std::uint8_t newHead[kCdHeaderSize];
    std::memcpy(newHead, head.data(), kSerialWidth);
    const auto length = static_cast<std::uint32_t>(d.newLength);
    for (int i = 0; i < 4; ++i)
      newHead[kSerialWidth + i] = static_cast<std::uint8_t>(length >> (8 * i));
    std::memcpy(newHead + kSerialWidth + 4, head.data() + kHeadRestAt,
                kOldHeaderSize - kHeadRestAt);
    out.Write(newHead, sizeof newHead);

    items.resize(static_cast<std::size_t>(d.oldLength - kOldLengthBase));
    in.Read(items.data(), items.size());
    if (d.multigroup) {
      out.Write(items.data(), items.size());
      continue;
    }
    // Records go over as they are; a directory record gains a zero subtree
    // length at its end.
    converted.clear();
    converted.reserve(items.size() + 4 * d.directories);
    std::size_t p = 0;
    while (p < items.size()) {
      const std::size_t recordLength =
          kItemPrefixSize + kFileRecordFixed + items[p + 1] + items[p + 2];
      const bool directory = (items[p] & 0x02) != 0;
      converted.insert(converted.end(), items.begin() + static_cast<std::ptrdiff_t>(p),
                       items.begin() + static_cast<std::ptrdiff_t>(p + recordLength));
      if (directory)
        converted.insert(converted.end(), 4, 0);
      p += recordLength;
      if (progress.converted)
        progress.converted(converted.size());
    }
    out.Write(converted.data(), converted.size());
  }
  replacement.Commit();
}

}  // namespace rondo
