// SPDX-License-Identifier: GPL-3.0-or-later
// The records of the catalogue file, their in-memory forms, and the readers
// and writers that move them field by field through a ByteStream.
//
// File layout: a 75-byte DatabaseHeader, then one CdEntry per disc back to
// back: a 228-byte CdHeader and a data block of BlockSize - 228 bytes. An
// ordinary disc's block holds its directory tree in pre-order, each item an
// ItemPrefix and a TDirInfo or TFileInfo; a multigroup's block is a
// 180-byte MemberList. Integers are little-endian, date-times OLE doubles,
// texts code page 1250 in zero-padded fixed fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/format/byte_stream.h"
#include "catalogue/format/errors.h"
#include "shell/fields.h"
#include "shell/text.h"

namespace rondo {

inline constexpr std::string_view kMagic = "QEL Rondotheka Database";
inline constexpr std::size_t kDatabaseHeaderSize = 75;
inline constexpr std::size_t kCdHeaderSize = 228;
inline constexpr std::size_t kItemPrefixSize = 3;
inline constexpr std::size_t kFileRecordFixed = 17;
inline constexpr std::size_t kDirRecordFixed = 21;
inline constexpr std::size_t kSerialWidth = 9;
inline constexpr std::size_t kMemberSlots = 20;
inline constexpr std::size_t kMemberListSize = kSerialWidth * kMemberSlots;           // 180
inline constexpr std::size_t kMultigroupBlockSize = kCdHeaderSize + kMemberListSize;  // 408
inline constexpr std::string_view kMultiGroupLabel = "Multi Group";
inline constexpr std::string_view kAudioCdLabel = "Audio CD";
// "Vráceno:" in code page 1250: a lending note holding it means returned.
inline constexpr std::string_view kReturnedMark =
    "Vr\xE1"
    "ceno:";

// A zero-padded text field of N bytes, kept as the raw bytes read so that a
// record written back carries exactly what it held.
template <std::size_t N>
struct FixedText {
  std::array<char, N> raw{};

  Cp1250Text Text() const { return FixedCharsToStr(raw); }
  void Set(const Cp1250Text& text) { StrToFixedChars(raw, N - 1, text); }
  friend bool operator==(const FixedText&, const FixedText&) = default;
};

struct DatabaseHeader {
  std::array<char, 23> Magic{};
  std::uint8_t VersionMajor = 4;
  std::uint8_t VersionMinor = 0;
  std::array<std::uint8_t, 50> HeaderReserved{};

  static DatabaseHeader Current();
  bool IsCurrentFormat() const;
  friend bool operator==(const DatabaseHeader&, const DatabaseHeader&) = default;
};

// In-memory field order; the reader and writer use the stored order
// (Created comes before FileCount and DirCount on disk).
struct CdHeader {
  FixedText<9> Serial;
  std::uint32_t BlockSize = 0;
  FixedText<50> VolumeLabel;
  FixedText<50> Description;
  FixedText<50> Groups;
  FixedText<30> Lending;
  double LendDate = 0.0;
  std::uint16_t FileCount = 0;
  std::uint16_t DirCount = 0;
  double Created = 0.0;
  double Finished = 0.0;
  std::uint16_t ReservedCount = 0;
  std::uint32_t CdSize = 0;
  std::uint8_t InMultigroup = 0;

  bool IsMultigroup() const { return VolumeLabel.Text().bytes == kMultiGroupLabel; }
  bool IsAudioCd() const { return VolumeLabel.Text().bytes == kAudioCdLabel; }
  friend bool operator==(const CdHeader&, const CdHeader&) = default;
};

struct ItemPrefix {
  std::uint8_t Kind = 0;  // bit 1: a directory record follows; bit 0: end of items
  std::uint8_t NameLength = 0;
  std::uint8_t CommentLength = 0;

  bool IsDirectory() const { return (Kind & 0x02) != 0; }
  bool IsEndMark() const { return (Kind & 0x01) != 0; }
  friend bool operator==(const ItemPrefix&, const ItemPrefix&) = default;
};

// The fields shared by directory and file records.
struct ItemRecord {
  TDynamicArray Name;
  std::uint32_t Size = 0;
  std::uint32_t Attributes = 0;
  TDynamicArray Comment;
  double Time = 0.0;
  std::uint8_t Level = 0;
  std::uint32_t SubtreeLength = 0;  // directories only
  friend bool operator==(const ItemRecord&, const ItemRecord&) = default;
};
struct TDirInfo : ItemRecord {};
struct TFileInfo : ItemRecord {};

// A multigroup's data block: 20 slots of 9 bytes, empty slots zero.
struct MemberList {
  std::array<FixedText<9>, kMemberSlots> Slots{};
  friend bool operator==(const MemberList&, const MemberList&) = default;
};

// One element of the browsing position: a directory name and its size text,
// and where its record was in the disc's block when it was entered, so that
// of two directories alike in name, size and depth the one entered is shown.
struct TOneDir {
  std::string Name;                 // UTF-8, as shown in the directory list
  std::string SizeText;             // as shown in the "Velikost" column
  std::optional<std::uint32_t> At;  // offset of its item in the block
  friend bool operator==(const TOneDir&, const TOneDir&) = default;
};

// One entry of the index the structure recalculation builds while it reads a
// disc's block.
struct TOneMemoryTemp {
  enum : std::uint8_t { kPrefix = 2, kFile = 3, kDirectory = 4 };
  std::uint8_t Kind = 0;
  std::uint32_t RecordLength = 0;
  std::uint8_t FileLevel = 0;
  TDirInfo Dir;
  std::uint8_t NameLength = 0;
  std::uint8_t CommentLength = 0;
  std::uint32_t RecordPosition = 0;
};

// A directory whose SubtreeLength is being summed during recalculation.
struct TNalezenyAdresar {
  TDirInfo Dir;
  std::uint32_t Offset = 0;
  std::uint8_t Closed = 0;
};

DatabaseHeader ReadDatabaseHeader(ByteStream& stream);
void WriteDatabaseHeader(ByteStream& stream, const DatabaseHeader& header);

CdHeader ReadCdHeader(ByteStream& stream);
void WriteCdHeader(ByteStream& stream, const CdHeader& header);

ItemPrefix ReadItemPrefix(ByteStream& stream);
void WriteItemPrefix(ByteStream& stream, const ItemPrefix& prefix);
// Each reader returns the bytes it consumed (lengths + 21 or + 17).
std::uint32_t ReadDirRecord(ByteStream& stream, const ItemPrefix& prefix, TDirInfo& dir);
std::uint32_t ReadFileRecord(ByteStream& stream, const ItemPrefix& prefix, TFileInfo& file);
// Writers of the record without its prefix; the lengths are those of the
// arrays, which must fit in a byte.
void WriteDirRecord(ByteStream& stream, const TDirInfo& dir);
void WriteFileRecord(ByteStream& stream, const TFileInfo& file);
// Prefix and record together, the prefix built from the record.
void WriteDirItem(ByteStream& stream, const TDirInfo& dir);
void WriteFileItem(ByteStream& stream, const TFileInfo& file);
inline std::uint32_t DirRecordLength(const ItemRecord& r) {
  return static_cast<std::uint32_t>(kDirRecordFixed + r.Name.size() + r.Comment.size());
}
inline std::uint32_t FileRecordLength(const ItemRecord& r) {
  return static_cast<std::uint32_t>(kFileRecordFixed + r.Name.size() + r.Comment.size());
}

// Where the items of a disc's block stop fitting it: they must end exactly
// at the block's end.
struct ItemsDamage {
  std::uint64_t at = 0;  // offset in the block of the item that does not fit
  bool endMark = false;  // an end mark with bytes after it (else a cut record)
  std::uint64_t blockLength = 0;
};

class DamagedItems : public DamagedCatalogue {
 public:
  explicit DamagedItems(const ItemsDamage& damage);
  ItemsDamage damage;
};

// "Databázový soubor je poškozený: ..." naming the disc (texts in UTF-8).
std::string DamagedItemsText(const ItemsDamage& damage, const std::string& description,
                             const std::string& serial);

// Reads the item at the read position of a stream that holds exactly one
// disc's data block: its prefix and the directory or file record the prefix
// announces (a file's SubtreeLength is 0). False at the end of the items:
// the block's end, or an end mark that is the block's last three bytes. A
// record cut short by the block's end, or an end mark with bytes after it,
// raises DamagedItems; the read position is then left where it was.
bool ReadItem(ByteStream& block, ItemPrefix& prefix, ItemRecord& record);

// The whole 180-byte block.
MemberList ReadMemberListBlock(ByteStream& stream);
void WriteMemberList(ByteStream& stream, const MemberList& members);
// The used slots, stopping at the first empty one.
std::vector<FixedText<9>> UsedMembers(const MemberList& members);

}  // namespace rondo
