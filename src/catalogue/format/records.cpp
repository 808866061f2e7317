// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/format/records.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#include "catalogue/format/errors.h"

namespace rondo {

namespace {

// Little-endian field transfer, independent of the host's byte order.
template <typename T>
void PutUnsigned(std::uint8_t* out, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

template <typename T>
T GetUnsigned(const std::uint8_t* in) {
  T value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    value = static_cast<T>(value | (static_cast<T>(in[i]) << (8 * i)));
  }
  return value;
}

void PutDouble(std::uint8_t* out, double value) {
  PutUnsigned<std::uint64_t>(out, std::bit_cast<std::uint64_t>(value));
}

double GetDouble(const std::uint8_t* in) {
  return std::bit_cast<double>(GetUnsigned<std::uint64_t>(in));
}

template <std::size_t N>
void PutFixed(std::uint8_t* out, const FixedText<N>& field) {
  std::memcpy(out, field.raw.data(), N);
}

template <std::size_t N>
void GetFixed(const std::uint8_t* in, FixedText<N>& field) {
  std::memcpy(field.raw.data(), in, N);
}

// Stored offsets of the CdHeader fields.
enum CdOffset : std::size_t {
  kSerialAt = 0,
  kBlockSizeAt = 9,
  kVolumeLabelAt = 13,
  kDescriptionAt = 63,
  kGroupsAt = 113,
  kLendingAt = 163,
  kLendDateAt = 193,
  kCreatedAt = 201,
  kFileCountAt = 209,
  kDirCountAt = 211,
  kFinishedAt = 213,
  kReservedCountAt = 221,
  kCdSizeAt = 223,
  kInMultigroupAt = 227,
};

std::uint8_t LengthByte(const TDynamicArray& array, const char* what) {
  if (array.size() > 255) {
    throw std::length_error(std::string(what) + " je delší než 255 bajtů");
  }
  return static_cast<std::uint8_t>(array.size());
}

// Name, Size, Attributes, Comment, Time, Level: the part both records share.
void WriteCommonFields(ByteStream& stream, const ItemRecord& r) {
  LengthByte(r.Name, "Jméno");
  LengthByte(r.Comment, "Komentář");
  std::vector<std::uint8_t> out(kFileRecordFixed + r.Name.size() + r.Comment.size());
  std::uint8_t* p = out.data();
  std::memcpy(p, r.Name.chars.data(), r.Name.size());
  p += r.Name.size();
  PutUnsigned<std::uint32_t>(p, r.Size);
  PutUnsigned<std::uint32_t>(p + 4, r.Attributes);
  p += 8;
  std::memcpy(p, r.Comment.chars.data(), r.Comment.size());
  p += r.Comment.size();
  PutDouble(p, r.Time);
  p[8] = r.Level;
  stream.Write(out.data(), out.size());
}

std::uint32_t ReadCommonFields(ByteStream& stream, const ItemPrefix& prefix, ItemRecord& r) {
  const std::size_t length = kFileRecordFixed + prefix.NameLength + prefix.CommentLength;
  std::uint8_t buffer[kFileRecordFixed + 255 + 255];
  stream.Read(buffer, length);
  const std::uint8_t* p = buffer;
  r.Name.chars.assign(reinterpret_cast<const char*>(p), prefix.NameLength);
  p += prefix.NameLength;
  r.Size = GetUnsigned<std::uint32_t>(p);
  r.Attributes = GetUnsigned<std::uint32_t>(p + 4);
  p += 8;
  r.Comment.chars.assign(reinterpret_cast<const char*>(p), prefix.CommentLength);
  p += prefix.CommentLength;
  r.Time = GetDouble(p);
  r.Level = p[8];
  return static_cast<std::uint32_t>(length);
}

}  // namespace

namespace {

std::uint32_t RecordLength(const ItemPrefix& prefix) {
  return static_cast<std::uint32_t>((prefix.IsDirectory() ? kDirRecordFixed : kFileRecordFixed) +
                                    prefix.NameLength + prefix.CommentLength);
}

// What is wrong, with the disc named by the caller ("" leaves it out).
std::string ItemsDamageText(const ItemsDamage& d, const std::string& disc) {
  const std::string where = " (pozice " + std::to_string(d.at) + " v bloku o délce " +
                            std::to_string(d.blockLength) + " B).";
  if (d.endMark) {
    return "Databázový soubor je poškozený: v bloku CD" + disc +
           " stojí značka konce položek, za kterou je ještě " +
           std::to_string(d.blockLength - d.at - kItemPrefixSize) + " B" + where;
  }
  return "Databázový soubor je poškozený: položka v bloku CD" + disc + " sahá za konec bloku" +
         where;
}

}  // namespace

DamagedItems::DamagedItems(const ItemsDamage& d)
    : DamagedCatalogue(ItemsDamageText(d, "")), damage(d) {}

std::string DamagedItemsText(const ItemsDamage& damage, const std::string& description,
                             const std::string& serial) {
  return ItemsDamageText(damage, " „" + description + "“ (" + serial + ")");
}

bool ReadItem(ByteStream& block, ItemPrefix& prefix, ItemRecord& record) {
  const std::uint64_t at = block.Position();
  const std::uint64_t end = block.Size();
  if (at >= end)
    return false;
  if (end - at < kItemPrefixSize)
    throw DamagedItems({at, false, end});
  prefix = ReadItemPrefix(block);
  if (prefix.IsEndMark()) {
    if (block.Position() == end)
      return false;
    block.Seek(at);
    throw DamagedItems({at, true, end});
  }
  if (end - block.Position() < RecordLength(prefix)) {
    block.Seek(at);
    throw DamagedItems({at, false, end});
  }
  ReadCommonFields(block, prefix, record);
  if (prefix.IsDirectory()) {
    std::uint8_t b[4];
    block.Read(b, sizeof b);
    record.SubtreeLength = GetUnsigned<std::uint32_t>(b);
  } else {
    record.SubtreeLength = 0;
  }
  return true;
}

void ThrowDamaged(const std::string& detail, std::uint64_t position) {
  throw DamagedCatalogue("Databázový soubor je poškozený: " + detail + " (pozice " +
                         std::to_string(position) + ").");
}

DatabaseHeader DatabaseHeader::Current() {
  DatabaseHeader h;
  std::memcpy(h.Magic.data(), kMagic.data(), kMagic.size());
  return h;
}

bool DatabaseHeader::IsCurrentFormat() const {
  return std::string_view(Magic.data(), Magic.size()) == kMagic;
}

DatabaseHeader ReadDatabaseHeader(ByteStream& stream) {
  std::uint8_t buffer[kDatabaseHeaderSize];
  if (stream.ReadSome(buffer, sizeof buffer) != sizeof buffer) {
    ThrowDamaged("soubor je kratší než hlavička databáze (75 bajtů)", 0);
  }
  DatabaseHeader h;
  std::memcpy(h.Magic.data(), buffer, 23);
  h.VersionMajor = buffer[23];
  h.VersionMinor = buffer[24];
  std::memcpy(h.HeaderReserved.data(), buffer + 25, 50);
  return h;
}

void WriteDatabaseHeader(ByteStream& stream, const DatabaseHeader& header) {
  std::uint8_t buffer[kDatabaseHeaderSize];
  std::memcpy(buffer, header.Magic.data(), 23);
  buffer[23] = header.VersionMajor;
  buffer[24] = header.VersionMinor;
  std::memcpy(buffer + 25, header.HeaderReserved.data(), 50);
  stream.Write(buffer, sizeof buffer);
}

CdHeader ReadCdHeader(ByteStream& stream) {
  std::uint8_t b[kCdHeaderSize];
  stream.Read(b, sizeof b);
  CdHeader h;
  GetFixed(b + kSerialAt, h.Serial);
  h.BlockSize = GetUnsigned<std::uint32_t>(b + kBlockSizeAt);
  GetFixed(b + kVolumeLabelAt, h.VolumeLabel);
  GetFixed(b + kDescriptionAt, h.Description);
  GetFixed(b + kGroupsAt, h.Groups);
  GetFixed(b + kLendingAt, h.Lending);
  h.LendDate = GetDouble(b + kLendDateAt);
  h.Created = GetDouble(b + kCreatedAt);
  h.FileCount = GetUnsigned<std::uint16_t>(b + kFileCountAt);
  h.DirCount = GetUnsigned<std::uint16_t>(b + kDirCountAt);
  h.Finished = GetDouble(b + kFinishedAt);
  h.ReservedCount = GetUnsigned<std::uint16_t>(b + kReservedCountAt);
  h.CdSize = GetUnsigned<std::uint32_t>(b + kCdSizeAt);
  h.InMultigroup = b[kInMultigroupAt];
  return h;
}

void WriteCdHeader(ByteStream& stream, const CdHeader& h) {
  std::uint8_t b[kCdHeaderSize];
  PutFixed(b + kSerialAt, h.Serial);
  PutUnsigned<std::uint32_t>(b + kBlockSizeAt, h.BlockSize);
  PutFixed(b + kVolumeLabelAt, h.VolumeLabel);
  PutFixed(b + kDescriptionAt, h.Description);
  PutFixed(b + kGroupsAt, h.Groups);
  PutFixed(b + kLendingAt, h.Lending);
  PutDouble(b + kLendDateAt, h.LendDate);
  PutDouble(b + kCreatedAt, h.Created);
  PutUnsigned<std::uint16_t>(b + kFileCountAt, h.FileCount);
  PutUnsigned<std::uint16_t>(b + kDirCountAt, h.DirCount);
  PutDouble(b + kFinishedAt, h.Finished);
  PutUnsigned<std::uint16_t>(b + kReservedCountAt, h.ReservedCount);
  PutUnsigned<std::uint32_t>(b + kCdSizeAt, h.CdSize);
  b[kInMultigroupAt] = h.InMultigroup;
  stream.Write(b, sizeof b);
}

ItemPrefix ReadItemPrefix(ByteStream& stream) {
  std::uint8_t b[kItemPrefixSize];
  stream.Read(b, sizeof b);
  return ItemPrefix{b[0], b[1], b[2]};
}

void WriteItemPrefix(ByteStream& stream, const ItemPrefix& prefix) {
  const std::uint8_t b[kItemPrefixSize] = {prefix.Kind, prefix.NameLength, prefix.CommentLength};
  stream.Write(b, sizeof b);
}

std::uint32_t ReadDirRecord(ByteStream& stream, const ItemPrefix& prefix, TDirInfo& dir) {
  const std::uint32_t common = ReadCommonFields(stream, prefix, dir);
  std::uint8_t b[4];
  stream.Read(b, sizeof b);
  dir.SubtreeLength = GetUnsigned<std::uint32_t>(b);
  return common + 4;
}

std::uint32_t ReadFileRecord(ByteStream& stream, const ItemPrefix& prefix, TFileInfo& file) {
  return ReadCommonFields(stream, prefix, file);
}

void WriteDirRecord(ByteStream& stream, const TDirInfo& dir) {
  WriteCommonFields(stream, dir);
  std::uint8_t b[4];
  PutUnsigned<std::uint32_t>(b, dir.SubtreeLength);
  stream.Write(b, sizeof b);
}

void WriteFileRecord(ByteStream& stream, const TFileInfo& file) {
  WriteCommonFields(stream, file);
}

void WriteDirItem(ByteStream& stream, const TDirInfo& dir) {
  WriteItemPrefix(stream,
                  {0x02, LengthByte(dir.Name, "Jméno"), LengthByte(dir.Comment, "Komentář")});
  WriteDirRecord(stream, dir);
}

void WriteFileItem(ByteStream& stream, const TFileInfo& file) {
  WriteItemPrefix(stream,
                  {0x00, LengthByte(file.Name, "Jméno"), LengthByte(file.Comment, "Komentář")});
  WriteFileRecord(stream, file);
}

MemberList ReadMemberListBlock(ByteStream& stream) {
  std::uint8_t b[kMemberListSize];
  stream.Read(b, sizeof b);
  MemberList list;
  for (std::size_t i = 0; i < kMemberSlots; ++i) {
    GetFixed(b + i * kSerialWidth, list.Slots[i]);
  }
  return list;
}

void WriteMemberList(ByteStream& stream, const MemberList& members) {
  std::uint8_t b[kMemberListSize];
  for (std::size_t i = 0; i < kMemberSlots; ++i) {
    PutFixed(b + i * kSerialWidth, members.Slots[i]);
  }
  stream.Write(b, sizeof b);
}

std::vector<FixedText<9>> UsedMembers(const MemberList& members) {
  std::vector<FixedText<9>> used;
  for (const auto& slot : members.Slots) {
    if (slot.raw[0] == 0)
      break;
    used.push_back(slot);
  }
  return used;
}

}  // namespace rondo
