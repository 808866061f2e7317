// SPDX-License-Identifier: GPL-3.0-or-later
// The structure recalculation: every directory's SubtreeLength, written in
// place, nothing else changed.
#include <gtest/gtest.h>

#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/messages.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::Item;

// Bytes of a file item with a name of n ASCII letters and no comment.
constexpr std::uint32_t FileItem(std::uint32_t nameLength) {
  return 3 + 17 + nameLength;
}
constexpr std::uint32_t DirItem(std::uint32_t nameLength) {
  return 3 + 21 + nameLength;
}

class CancellingHost : public test::FakeHost {
 public:
  bool RecalcCancelRequested() override { return cancel; }
  void RecalcStarted() override { ++started; }
  void RecalcFinished() override { ++finished; }
  bool cancel = false;
  int started = 0;
  int finished = 0;
};

class RecalcTest : public ::testing::Test {
 protected:
  void SetUp() override { engine.DatabasePath = (dir / "katalog.big").string(); }
  void Recalc(const std::string& serial) {
    engine.RecalcSerial = serial;
    engine.RunOperation(OperationCode::kRecalculateStructure);
  }
  // SubtreeLength of every directory of the disc, in block order.
  std::vector<std::uint32_t> Lengths(const std::string& serial) {
    FileStream file(engine.DatabasePath, FileStream::Mode::kReadOnly);
    EntryWalker walker(file);
    CdHeader h;
    std::vector<std::uint32_t> lengths;
    while (walker.Next(h)) {
      if (h.Serial.Text().bytes != serial)
        continue;
      const std::uint64_t end = walker.BlockStart() + walker.BlockLength();
      MemoryStream block;
      block.Bytes().resize(static_cast<std::size_t>(end - file.Position()));
      file.Read(block.Bytes().data(), block.Bytes().size());
      try {
        while (!block.Eof()) {
          const ItemPrefix p = ReadItemPrefix(block);
          TDirInfo d;
          TFileInfo f;
          if (p.IsDirectory()) {
            ReadDirRecord(block, p, d);
            lengths.push_back(d.SubtreeLength);
          } else {
            ReadFileRecord(block, p, f);
          }
        }
      } catch (const IoError&) {
        // a damaged block: the directories before the damage are what counts
      }
      break;
    }
    return lengths;
  }
  void Save(const std::vector<std::pair<std::string, std::vector<CatalogueItem>>>& discs) {
    CatalogueBytes catalogue;
    for (const auto& [serial, items] : discs) {
      catalogue.AddRaw(BuildCdEntry(test::MakeHeader({.serial = serial}), items, false));
    }
    catalogue.AddMultigroup({.serial = "1-1"}, {discs.front().first});
    catalogue.AddDisc({.serial = "BARE-0001"});
    catalogue.Save(engine.DatabasePath);
  }

  test::TempDir dir;
  CancellingHost host;
  Engine engine{host};
};

TEST_F(RecalcTest, LengthsCoverExactlyTheItemsInside) {
  const std::vector<CatalogueItem> items = {
      Item(true, "D1", 1, 30),      // holds a, b
      Item(false, "a", 2, 10),      //
      Item(false, "b", 2, 20),      //
      Item(true, "D2", 1, 9),       // holds S (with s) and c, then the root's r follows
      Item(true, "S", 2, 4),        //
      Item(false, "s", 3, 4),       //
      Item(false, "c", 2, 5),       //
      Item(true, "Prázdný", 1, 0),  // empty
      Item(true, "Nuly", 1, 0),     // size 0 although it holds an empty file
      Item(false, "n", 2, 0),       //
      Item(false, "r", 1, 1),       //
      Item(true, "Konec", 1, 7),    // last in the block
      Item(false, "k", 2, 7),
  };
  Save({{"AAAA-0001", items}});
  const auto before = test::ReadAll(engine.DatabasePath);
  Recalc("AAAA-0001");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(Lengths("AAAA-0001"),
            (std::vector<std::uint32_t>{2 * FileItem(1), DirItem(1) + 2 * FileItem(1), FileItem(1),
                                        0, 0, FileItem(1)}));
  EXPECT_EQ(host.started, 1);
  EXPECT_EQ(host.finished, 1);

  // Only SubtreeLength fields changed, and running again changes nothing.
  const auto after = test::ReadAll(engine.DatabasePath);
  ASSERT_EQ(after.size(), before.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < after.size(); ++i)
    differing += after[i] != before[i];
  EXPECT_LE(differing, 4u * 4u);
  Recalc("All");
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), after);

  // The result is what an entry built with computed lengths holds.
  CatalogueBytes reference;
  reference.AddDisc({.serial = "AAAA-0001"}, items)
      .AddMultigroup({.serial = "1-1"}, {"AAAA-0001"})
      .AddDisc({.serial = "BARE-0001"});
  EXPECT_EQ(after, reference.Bytes());
}

TEST_F(RecalcTest, OnlyTheFirstDiscOfASharedSerialAndAllDiscs) {
  const std::vector<CatalogueItem> items = {Item(true, "D", 1, 1), Item(false, "f", 2, 1)};
  Save({{"SAME-0001", items}, {"SAME-0001", items}, {"OTHR-0001", items}});
  Recalc("SAME-0001");
  FileStream file(engine.DatabasePath, FileStream::Mode::kReadOnly);
  std::vector<std::uint32_t> firstDirLengths;
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (h.IsMultigroup() || walker.BlockLength() == 0)
      continue;
    const ItemPrefix p = ReadItemPrefix(file);
    TDirInfo d;
    ReadDirRecord(file, p, d);
    firstDirLengths.push_back(d.SubtreeLength);
  }
  EXPECT_EQ(firstDirLengths, (std::vector<std::uint32_t>{FileItem(1), 0, 0}));

  Recalc("All");
  EXPECT_EQ(Lengths("OTHR-0001"), std::vector<std::uint32_t>{FileItem(1)});
  // The multigroup and the header-only disc were left alone.
  CatalogueBytes tail;
  tail.AddMultigroup({.serial = "1-1"}, {"SAME-0001"}).AddDisc({.serial = "BARE-0001"});
  const auto bytes = test::ReadAll(engine.DatabasePath);
  const auto& expectedTail = tail.Bytes();
  EXPECT_TRUE(std::equal(expectedTail.begin() + 75, expectedTail.end(),
                         bytes.end() - static_cast<std::ptrdiff_t>(expectedTail.size() - 75)));
}

TEST_F(RecalcTest, DamagedBlocksCancellingAndReadOnlyFiles) {
  // The last item claims a name longer than the block, or is an end mark
  // with bytes after it: the disc keeps its lengths and is named, the
  // sound disc after it is recalculated.
  for (const std::uint8_t at : {1, 0}) {
    auto entry = BuildCdEntry(
        test::MakeHeader({.serial = "DMGD-0001", .description = "Vadný"}),
        {Item(true, "D", 1, 2), Item(false, "a", 2, 1), Item(false, "b", 2, 1)}, false);
    entry[entry.size() - FileItem(1) + at] = at == 1 ? 250 : 0x01;
    CatalogueBytes catalogue;
    catalogue.AddRaw(entry);
    catalogue.AddRaw(BuildCdEntry(test::MakeHeader({.serial = "GOOD-0001"}),
                                  {Item(true, "D", 1, 1), Item(false, "a", 2, 1)}, false));
    catalogue.Save(engine.DatabasePath);
    host.messages.clear();
    Recalc("All");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].rfind("Chyba: Databázový soubor je poškozený: ", 0), 0u);
    EXPECT_NE(host.messages[0].find("„Vadný“ (DMGD-0001)"), std::string::npos);
    EXPECT_EQ(Lengths("DMGD-0001"), std::vector<std::uint32_t>{0});
    EXPECT_EQ(Lengths("GOOD-0001"), std::vector<std::uint32_t>{FileItem(1)});
  }
  host.messages.clear();

  // A cancelled disc keeps what it had.
  Save({{"CNCL-0001", {Item(true, "D", 1, 1), Item(false, "f", 2, 1)}}});
  host.cancel = true;
  const auto before = test::ReadAll(engine.DatabasePath);
  Recalc("All");
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), before);
  host.cancel = false;

  // A damaged catalogue is reported with "Chyba: " and not written.
  auto bytes = before;
  bytes.resize(bytes.size() - 10);
  test::WriteAll(engine.DatabasePath, bytes);
  Recalc("All");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind(msg::kRecalcErrorPrefix, 0), 0u);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), bytes);
  EXPECT_EQ(host.finished, host.started);
}

}  // namespace
}  // namespace rondo
