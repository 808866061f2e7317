// SPDX-License-Identifier: GPL-3.0-or-later
// The record writers must produce the golden bytes exactly, and the readers
// must give back every field.
#include <gtest/gtest.h>

#include "catalogue/format/entry_builder.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/records.h"
#include "shell/text.h"
#include "support/catalogue_builder.h"

namespace rondo {
namespace {

std::vector<std::uint8_t> Golden(const std::string& name) {
  return test::ReadAll(std::string(RONDO_TEST_DATA) + "/" + name);
}

CdHeader GoldenHeader() {
  CdHeader h;
  h.Serial.Set(ToCp1250("1A2B-3C4D"));
  h.BlockSize = 0x01020304;
  h.VolumeLabel.Set(ToCp1250("FOTKY_2004"));
  h.Description.Set(ToCp1250("Dovolená Šumava 2004"));
  h.Groups.Set(ToCp1250("Fotky;Rodina"));
  h.Lending.Set(ToCp1250("Půjčeno: Pepa Novák, Brno 1234"));
  h.LendDate = 45000.25;
  h.Created = 38000.5;
  h.FileCount = 0x0102;
  h.DirCount = 0x0304;
  h.Finished = 38000.5125;
  h.ReservedCount = 7;
  h.CdSize = 0xA1B2C3D4;
  return h;
}

TEST(Records, DatabaseHeaderMatchesGoldenAndIsRecognised) {
  MemoryStream out;
  WriteDatabaseHeader(out, DatabaseHeader::Current());
  EXPECT_EQ(out.Bytes(), Golden("database_header.bin"));

  out.Seek(0);
  DatabaseHeader read = ReadDatabaseHeader(out);
  EXPECT_TRUE(read.IsCurrentFormat());
  EXPECT_EQ(read.VersionMajor, 4);
  EXPECT_EQ(read.VersionMinor, 0);

  // One letter of another case is another format.
  out.Bytes()[0] = 'q';
  out.Seek(0);
  EXPECT_FALSE(ReadDatabaseHeader(out).IsCurrentFormat());

  MemoryStream shortFile(std::vector<std::uint8_t>(74, 0));
  EXPECT_THROW(ReadDatabaseHeader(shortFile), DamagedCatalogue);
}

TEST(Records, CdHeaderUsesStoredFieldOrder) {
  MemoryStream out;
  WriteCdHeader(out, GoldenHeader());
  ASSERT_EQ(out.Bytes(), Golden("cd_header.bin"));

  MemoryStream in(Golden("cd_header.bin"));
  const CdHeader h = ReadCdHeader(in);
  EXPECT_EQ(h, GoldenHeader());
  EXPECT_EQ(ToUtf8(h.Description.Text()), "Dovolená Šumava 2004");
  // A text that fills its field is read back whole, without a terminator.
  EXPECT_EQ(ToUtf8(h.Lending.Text()), "Půjčeno: Pepa Novák, Brno 1234");
  EXPECT_EQ(h.FileCount, 0x0102);
  EXPECT_EQ(h.DirCount, 0x0304);
  EXPECT_EQ(h.CdSize, 0xA1B2C3D4u);
  EXPECT_EQ(in.Position(), kCdHeaderSize);
}

TEST(Records, LongTextsAreCutToTheirField) {
  CdHeader h;
  h.Description.Set(ToCp1250(std::string(60, 'x')));
  EXPECT_EQ(h.Description.Text().bytes, std::string(50, 'x'));
  h.Serial.Set(ToCp1250("ABCD-12345678"));
  EXPECT_EQ(h.Serial.Text().bytes, "ABCD-1234");
}

TEST(Records, ItemsMatchGoldenAndReportTheirLength) {
  TDirInfo dir;
  dir.Name.chars = ToCp1250("Obrázky").bytes;
  dir.Size = 123456;
  dir.Attributes = 0x10;
  dir.Comment.chars = ToCp1250("Léto^Fotky;Rodina").bytes;
  dir.Time = 44000.75;
  dir.Level = 2;
  dir.SubtreeLength = 0x0A0B0C0D;
  MemoryStream dirOut;
  WriteDirItem(dirOut, dir);
  EXPECT_EQ(dirOut.Bytes(), Golden("dir_item.bin"));

  TFileInfo file;
  file.Name.chars = ToCp1250("čtení.txt").bytes;
  file.Size = 0xFFFFFFFF;
  file.Attributes = 0x21;
  file.Time = 44000.0;
  file.Level = 3;
  MemoryStream fileOut;
  WriteFileItem(fileOut, file);
  EXPECT_EQ(fileOut.Bytes(), Golden("file_item.bin"));

  MemoryStream in(Golden("dir_item.bin"));
  const ItemPrefix prefix = ReadItemPrefix(in);
  EXPECT_TRUE(prefix.IsDirectory());
  TDirInfo readDir;
  EXPECT_EQ(ReadDirRecord(in, prefix, readDir), 21u + 7 + 17);
  EXPECT_EQ(readDir, dir);
  EXPECT_TRUE(in.Eof());

  MemoryStream fileIn(Golden("file_item.bin"));
  const ItemPrefix filePrefix = ReadItemPrefix(fileIn);
  EXPECT_FALSE(filePrefix.IsDirectory());
  TFileInfo readFile;
  EXPECT_EQ(ReadFileRecord(fileIn, filePrefix, readFile), 17u + 9);
  EXPECT_EQ(readFile, file);

  // A record cut short by the end of its block is a read error.
  auto cut = Golden("file_item.bin");
  cut.pop_back();
  MemoryStream cutIn(cut);
  const ItemPrefix cutPrefix = ReadItemPrefix(cutIn);
  EXPECT_THROW(ReadFileRecord(cutIn, cutPrefix, readFile), IoError);

  // 255 bytes is the longest name a record can carry.
  file.Name.chars.assign(255, 'n');
  MemoryStream longOut;
  EXPECT_NO_THROW(WriteFileItem(longOut, file));
  EXPECT_EQ(longOut.Bytes()[1], 255);
  file.Name.chars.assign(256, 'n');
  EXPECT_THROW(WriteFileItem(longOut, file), std::length_error);
}

TEST(Records, ItemsMustEndExactlyAtTheBlocksEnd) {
  // A directory (3 + 21 + 1 bytes) and a file (3 + 17 + 1): 46 bytes.
  TDirInfo d;
  d.Name.chars = "d";
  d.Level = 1;
  TFileInfo f;
  f.Name.chars = "f";
  f.Level = 2;
  MemoryStream sound;
  WriteDirItem(sound, d);
  WriteFileItem(sound, f);
  const std::vector<std::uint8_t> good = sound.Bytes();
  auto with = [&](std::vector<std::uint8_t> tail, std::size_t cut = 0) {
    auto bytes = good;
    bytes.resize(bytes.size() - cut);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  };
  auto hiding = good;
  hiding.insert(hiding.begin() + 25, {1, 0, 0});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> block;
    std::size_t items;  // read before the end or the damage
    std::optional<ItemsDamage> damage;
  };
  const Case cases[] = {
      {"sound", good, 2, std::nullopt},
      {"an end mark as the last bytes", with({1, 0, 0}), 2, std::nullopt},
      {"an end mark before more bytes", with({1, 0, 0, 7}), 2, ItemsDamage{46, true, 50}},
      {"an end mark hiding the second item", hiding, 1, ItemsDamage{25, true, 49}},
      {"a record cut short", with({}, 1), 1, ItemsDamage{25, false, 45}},
      {"two stray bytes", with({0, 0}), 2, ItemsDamage{46, false, 48}},
      {"a name longer than the rest", with({0, 9, 0, 'x'}), 2, ItemsDamage{46, false, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryStream in(c.block);
    ItemPrefix prefix;
    ItemRecord record;
    std::size_t items = 0;
    std::optional<ItemsDamage> damage;
    try {
      while (ReadItem(in, prefix, record))
        ++items;
    } catch (const DamagedItems& e) {
      damage = e.damage;
      EXPECT_EQ(in.Position(), e.damage.at);
    }
    EXPECT_EQ(items, c.items);
    ASSERT_EQ(damage.has_value(), c.damage.has_value());
    if (damage) {
      EXPECT_EQ(damage->at, c.damage->at);
      EXPECT_EQ(damage->endMark, c.damage->endMark);
      EXPECT_EQ(damage->blockLength, c.damage->blockLength);
    }
  }
}

TEST(Records, MemberListsStopAtTheFirstEmptySlot) {
  MemberList list;
  list.Slots[0].Set(ToCp1250("1234-5678"));
  list.Slots[1].Set(ToCp1250("9-8"));
  list.Slots[2].Set(ToCp1250("0ABC-DEF0"));
  MemoryStream out;
  WriteMemberList(out, list);
  EXPECT_EQ(out.Bytes(), Golden("member_list.bin"));
  EXPECT_EQ(UsedMembers(list).size(), 3u);

  MemoryStream full(Golden("member_list_full.bin"));
  const auto members = ReadMembers(full, kMemberListSize);
  ASSERT_EQ(members.size(), 20u);
  EXPECT_EQ(members.back().Text().bytes, "0019-0133");

  // A block shorter than a member list yields only the slots inside it.
  MemoryStream partial(Golden("member_list_full.bin"));
  EXPECT_EQ(ReadMembers(partial, 20).size(), 2u);
  EXPECT_EQ(partial.Position(), 18u);
}

TEST(Records, BuiltEntriesMatchTheGoldenCatalogue) {
  test::DiscSpec disc;
  disc.serial = "ABCD-0001";
  disc.description = "Hry";
  disc.groups = "Hry";
  disc.label = "HRY_CD";
  disc.created = 44000.5;
  disc.finished = 44000.501;
  disc.files = 2;
  disc.dirs = 1;
  disc.cdSize = 312;
  disc.inMultigroup = true;
  auto dirItem = test::Item(true, "Hry", 1, 300);
  dirItem.record.Attributes = 0x10;
  dirItem.record.Time = 44000.5;
  auto doom = test::Item(false, "doom.exe", 2, 300, "^Hry");
  doom.record.Time = 44000.5;
  auto readme = test::Item(false, "readme.txt", 1, 12);
  readme.record.Attributes = 0x21;
  readme.record.Time = 44000.5;

  test::DiscSpec multi;
  multi.serial = "12-34";
  multi.description = "Sbírka";
  multi.created = multi.finished = 44001.0;
  multi.files = 2;
  multi.dirs = 1;
  multi.cdSize = 312;

  test::CatalogueBytes catalogue;
  catalogue.AddDisc(disc, {dirItem, doom, readme}).AddMultigroup(multi, {"ABCD-0001"});
  EXPECT_EQ(catalogue.Bytes(), Golden("small_catalogue.bin"));

  // Walking it finds both entries with their lengths.
  MemoryStream in(Golden("small_catalogue.bin"));
  EntryWalker walker(in);
  CdHeader h;
  ASSERT_TRUE(walker.Next(h));
  EXPECT_EQ(ToUtf8(h.Description.Text()), "Hry");
  EXPECT_EQ(walker.BlockStart(), kDatabaseHeaderSize + kCdHeaderSize);
  ASSERT_TRUE(walker.Next(h));
  EXPECT_TRUE(h.IsMultigroup());
  EXPECT_EQ(h.BlockSize, kMultigroupBlockSize);
  EXPECT_FALSE(walker.Next(h));
}

TEST(Records, WalkerRefusesLengthsThatDoNotFit) {
  const auto good = Golden("small_catalogue.bin");
  auto walkAll = [](std::vector<std::uint8_t> bytes) {
    MemoryStream in(std::move(bytes));
    EntryWalker walker(in);
    CdHeader h;
    int entries = 0;
    while (walker.Next(h))
      ++entries;
    return entries;
  };
  EXPECT_EQ(walkAll(good), 2);

  auto setBlockSize = [&](std::uint32_t size) {
    auto bytes = good;
    for (int i = 0; i < 4; ++i)
      bytes[75 + 9 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return bytes;
  };
  EXPECT_THROW(walkAll(setBlockSize(0)), DamagedCatalogue);
  EXPECT_THROW(walkAll(setBlockSize(227)), DamagedCatalogue);
  EXPECT_THROW(walkAll(setBlockSize(static_cast<std::uint32_t>(good.size()))), DamagedCatalogue);
  EXPECT_THROW(walkAll(setBlockSize(0xFFFFFFFF)), DamagedCatalogue);

  // A header cut by the end of the file.
  auto truncated = good;
  truncated.resize(good.size() - 300);
  EXPECT_THROW(walkAll(truncated), DamagedCatalogue);

  // A header-only disc (BlockSize 228) is fine.
  test::CatalogueBytes headerOnly;
  headerOnly.AddDisc({});
  EXPECT_EQ(walkAll(headerOnly.Bytes()), 1);
}

}  // namespace
}  // namespace rondo
