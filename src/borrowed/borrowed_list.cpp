// SPDX-License-Identifier: GPL-3.0-or-later
#include "borrowed/borrowed_list.h"

#include <cstring>
#include <filesystem>
#include <span>

#include "catalogue/format/byte_stream.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "shell/fields.h"
#include "shell/text.h"

namespace rondo {

namespace {

constexpr std::size_t kTextWidth = 50;
constexpr std::size_t kDateAt = 150;
constexpr std::size_t kCountAt = 158;

void PutText(std::uint8_t* at, const std::string& utf8) {
  StrToFixedChars(std::span<char>(reinterpret_cast<char*>(at), kTextWidth), kTextWidth - 1,
                  ToCp1250(utf8));
}

std::string GetText(const std::uint8_t* at) {
  return ToUtf8(
      FixedCharsToStr(std::span<const char>(reinterpret_cast<const char*>(at), kTextWidth)));
}

std::vector<std::uint8_t> ReadWhole(FileStream& file) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
  file.Seek(0);
  if (!bytes.empty())
    file.Read(bytes.data(), bytes.size());
  return bytes;
}

}  // namespace

std::vector<std::uint8_t> EncodeBorrowedDisc(const BorrowedDisc& disc) {
  std::vector<std::uint8_t> record(kBorrowedRecordSize, 0);
  PutText(&record[0], disc.description);
  PutText(&record[kTextWidth], disc.group);
  PutText(&record[2 * kTextWidth], disc.from);
  std::memcpy(&record[kDateAt], &disc.date, sizeof disc.date);  // little-endian host
  record[kCountAt] = disc.count;
  return record;
}

BorrowedDisc DecodeBorrowedDisc(const std::uint8_t* record) {
  BorrowedDisc disc;
  disc.description = GetText(record);
  disc.group = GetText(record + kTextWidth);
  disc.from = GetText(record + 2 * kTextWidth);
  std::memcpy(&disc.date, record + kDateAt, sizeof disc.date);
  disc.count = record[kCountAt];
  return disc;
}

BorrowedList LoadBorrowedList(const std::string& path) {
  BorrowedList list;
  RefuseSpecialFile(path);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    return list;
  FileStream file(path, FileStream::Mode::kReadOnly);
  const std::vector<std::uint8_t> bytes = ReadWhole(file);
  const std::size_t whole = bytes.size() / kBorrowedRecordSize;
  list.discs.reserve(whole);
  for (std::size_t i = 0; i < whole; ++i)
    list.discs.push_back(DecodeBorrowedDisc(&bytes[i * kBorrowedRecordSize]));
  list.strayBytes = bytes.size() % kBorrowedRecordSize;
  return list;
}

std::string DamagedCopyPath(const std::string& path) {
  const std::string first = path + ".poskozeny";
  std::error_code ec;
  std::string copy = first;
  for (int n = 2;
       std::filesystem::symlink_status(copy, ec).type() != std::filesystem::file_type::not_found;
       ++n) {
    copy = first + "." + std::to_string(n);
  }
  return copy;
}

std::optional<std::string> AppendBorrowedDisc(const std::string& path, const BorrowedDisc& disc,
                                              const LockWaiter& wait) {
  const std::vector<std::uint8_t> record = EncodeBorrowedDisc(disc);
  const WriteLock lock(path, wait);
  std::vector<std::uint8_t> bytes;
  std::error_code ec;
  if (std::filesystem::exists(lock.Target(), ec)) {
    FileStream file(lock.Target(), FileStream::Mode::kReadOnly);
    bytes = ReadWhole(file);
  }
  std::optional<std::string> kept;
  if (bytes.size() % kBorrowedRecordSize != 0) {
    // A partial record at the end: keep the file whole beside it, then
    // write the whole records and the new one anew.
    kept = DamagedCopyPath(lock.Target());
    ReplacementFile copy(*kept, lock.Target());
    copy.Stream().Write(bytes.data(), bytes.size());
    copy.Commit();
  }
  ReplacementFile replacement(lock.Target());
  const std::size_t whole = bytes.size() - bytes.size() % kBorrowedRecordSize;
  replacement.Stream().Write(bytes.data(), whole);
  replacement.Stream().Write(record.data(), record.size());
  replacement.Commit();
  return kept;
}

std::size_t RemoveBorrowedDiscs(const std::string& path, const std::string& description,
                                const LockWaiter& wait) {
  const WriteLock lock(path, wait);
  std::error_code ec;
  if (!std::filesystem::exists(lock.Target(), ec))
    return 0;
  FileStream file(lock.Target(), FileStream::Mode::kReadOnly);
  const std::vector<std::uint8_t> bytes = ReadWhole(file);
  const std::size_t whole = bytes.size() / kBorrowedRecordSize;
  std::vector<std::uint8_t> kept;
  kept.reserve(bytes.size());
  std::size_t removed = 0;
  for (std::size_t i = 0; i < whole; ++i) {
    const std::uint8_t* record = &bytes[i * kBorrowedRecordSize];
    if (GetText(record) == description) {
      ++removed;
      continue;
    }
    kept.insert(kept.end(), record, record + kBorrowedRecordSize);
  }
  if (removed == 0)
    return 0;
  kept.insert(kept.end(), bytes.begin() + static_cast<std::ptrdiff_t>(whole * kBorrowedRecordSize),
              bytes.end());
  ReplacementFile replacement(lock.Target());
  replacement.Stream().Write(kept.data(), kept.size());
  replacement.Commit();
  return removed;
}

BorrowedIcon IconOf(const BorrowedDisc& disc) {
  if (AsciiLower(disc.group).find("audio cd") != std::string::npos)
    return BorrowedIcon::kAudio;
  return disc.count < 2 ? BorrowedIcon::kSingle : BorrowedIcon::kSeveral;
}

}  // namespace rondo
