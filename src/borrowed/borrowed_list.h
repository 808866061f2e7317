// SPDX-License-Identifier: GPL-3.0-or-later
// The list of discs borrowed from other people: its own small file of
// fixed 159-byte records in the program's folder, independent of the
// catalogue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/format/write_lock.h"

namespace rondo {

inline constexpr std::size_t kBorrowedRecordSize = 159;
inline constexpr const char* kBorrowedFileName = "mnoupujcene.big";

struct BorrowedDisc {
  std::string description;  // texts in UTF-8; stored in code page 1250,
  std::string group;        // cut to 50 bytes
  std::string from;
  double date = 0.0;       // OLE date of the borrowing
  std::uint8_t count = 1;  // number of discs

  friend bool operator==(const BorrowedDisc&, const BorrowedDisc&) = default;
};

struct BorrowedList {
  std::vector<BorrowedDisc> discs;
  // Bytes after the last whole record (a damaged file); not listed.
  std::uint64_t strayBytes = 0;
};

// The record bytes of one entry, and back.
std::vector<std::uint8_t> EncodeBorrowedDisc(const BorrowedDisc& disc);
BorrowedDisc DecodeBorrowedDisc(const std::uint8_t* record);

// Reads the list; a missing file is an empty list. Throws IoError.
BorrowedList LoadBorrowedList(const std::string& path);

// Appends one entry. The list is written beside the old one and renamed
// over it, holding the write lock (waiting as wait allows). When the file
// ends in a partial record, the file as it was is first kept whole beside
// it (DamagedCopyPath) and the new list has the whole records and the new
// one, so the new entry is readable and nothing is lost. Returns the name
// of that copy when it happened. Throws IoError; a failure leaves the file
// as it was.
std::optional<std::string> AppendBorrowedDisc(const std::string& path, const BorrowedDisc& disc,
                                              const LockWaiter& wait = {});

// Where a damaged list is kept before it is rewritten: "<path>.poskozeny",
// or ".poskozeny.2", ".3"… when that is taken, so an earlier copy is never
// overwritten.
std::string DamagedCopyPath(const std::string& path);

// Removes every entry whose description equals description exactly (case
// counts). The list is written beside the old one and renamed over it,
// under the write lock. Returns the number removed; nothing is written when
// it is 0. A partial record at the end is kept as it was. Throws IoError.
std::size_t RemoveBorrowedDiscs(const std::string& path, const std::string& description,
                                const LockWaiter& wait = {});

// The icon of a row: the audio disc when the group, lowered in its ASCII
// letters, contains "audio cd"; else one disc for counts below 2; else
// several discs.
enum class BorrowedIcon { kAudio, kSingle, kSeveral };
BorrowedIcon IconOf(const BorrowedDisc& disc);

}  // namespace rondo
