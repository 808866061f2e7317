// SPDX-License-Identifier: GPL-3.0-or-later
// Files stored on more than one disc: which groups, in which order, with
// which copies, through the command that prints them.
#include <gtest/gtest.h>

#include <sstream>

#include "catalogue/duplicates.h"
#include "catalogue/engine.h"
#include "cli/cli.h"
#include "settings/registry.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::Item;
using Rows = std::vector<std::string>;

CatalogueItem At(CatalogueItem item, double time) {
  item.record.Time = time;
  return item;
}

class DuplicatesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A: photos, with a second copy of one file on the same disc; B: a
    // backup of A in other letter cases; C: more photos. Names that differ
    // only in diacritics ("Zlut.txt") are different names.
    CatalogueBytes catalogue;
    catalogue
        .AddDisc({.serial = "AAAA-0001", .description = "Fotky", .groups = "Fotky"},
                 {Item(true, "Léto", 1, 1032), Item(false, "Moře.jpg", 2, 1000),
                  Item(false, "moře.JPG", 2, 1000), Item(false, "solo.txt", 2, 7),
                  Item(false, "ŽLUŤ.txt", 1, 50), At(Item(false, "a.bin", 1, 10), 44001.0),
                  Item(false, "b.bin", 1, 25), Item(false, "solo.txt", 1, 7)})
        .AddDisc({.serial = "BBBB-0002", .description = "Zálohy", .groups = "Zálohy"},
                 {Item(false, "MOŘE.JPG", 1, 1000), Item(false, "žluť.TXT", 1, 50),
                  Item(false, "Zlut.txt", 1, 50), At(Item(false, "a.bin", 1, 10), 44002.0),
                  Item(false, "b.bin", 1, 25), Item(false, "big.iso", 1, 5000),
                  Item(true, "x", 1, 999), Item(false, "Moře.jpg", 2, 999)})
        // A multigroup holds members, not files: its block is never walked.
        .AddMultigroup({.serial = "1-1", .description = "Sada"}, {"AAAA-0001", "BBBB-0002"})
        .AddDisc({.serial = "CCCC-0003", .description = "Další fotky", .groups = "Fotky"},
                 {Item(false, "big.iso", 1, 5000), Item(false, "moře.jpg", 1, 1000),
                  Item(false, "b.bin", 1, 25)});
    catalogue.Save(Db());
  }

  std::string Db() const { return (dir / "katalog.big").string(); }

  // The rows without their last column (the time, written as the locale
  // writes dates).
  Rows Run(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    args.insert(args.begin(), {"--db", Db(), "duplicates"});
    status = RunCli(args, registry, out, err);
    errors = err.str();
    Rows rows;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
      rows.push_back(line.substr(0, line.rfind('\t')));
    return rows;
  }

  test::TempDir dir;
  MemoryRegistry registry;
  int status = -1;
  std::string errors;
};

TEST_F(DuplicatesTest, GroupsInTheOrderOfTheSpaceTheExtraCopiesTake) {
  // big.iso 5000 x 1, Moře 1000 x 2, b.bin 25 x 2 before ŽLUŤ 50 x 1 (more
  // discs), a.bin 10 x 1; the same-disc copy of Moře is listed, solo.txt
  // (twice on one disc) is not a group.
  EXPECT_EQ(Run({}), (Rows{
                         "1\t5000\tbig.iso\tBBBB-0002\tZálohy\t",
                         "1\t5000\tbig.iso\tCCCC-0003\tDalší fotky\t",
                         "2\t1000\tMoře.jpg\tAAAA-0001\tFotky\tLéto",
                         "2\t1000\tmoře.JPG\tAAAA-0001\tFotky\tLéto",
                         "2\t1000\tMOŘE.JPG\tBBBB-0002\tZálohy\t",
                         "2\t1000\tmoře.jpg\tCCCC-0003\tDalší fotky\t",
                         "3\t25\tb.bin\tAAAA-0001\tFotky\t",
                         "3\t25\tb.bin\tBBBB-0002\tZálohy\t",
                         "3\t25\tb.bin\tCCCC-0003\tDalší fotky\t",
                         "4\t50\tŽLUŤ.txt\tAAAA-0001\tFotky\t",
                         "4\t50\tžluť.TXT\tBBBB-0002\tZálohy\t",
                         "5\t10\ta.bin\tAAAA-0001\tFotky\t",
                         "5\t10\ta.bin\tBBBB-0002\tZálohy\t",
                     }));
  EXPECT_EQ(status, kExitOk) << errors;

  const auto firstColumns = [](const Rows& rows) {
    Rows kept;
    for (const auto& row : rows) {
      const std::size_t second = row.find('\t', row.find('\t') + 1);
      const std::size_t third = row.find('\t', second + 1);
      kept.push_back(row.substr(0, row.find('\t')) + " " + row.substr(second + 1, third - second) +
                     row.substr(row.find('\t', third + 1) + 1));
    }
    return kept;
  };
  // Different times part the a.bin copies.
  EXPECT_EQ(Run({"--by", "name+size+time"}).size(), 11u);
  // By name alone the copy of 999 bytes in "x" joins Moře.
  const Rows byName = Run({"--by", "name"});
  ASSERT_EQ(byName.size(), 14u);
  EXPECT_EQ(byName[5], "2\t999\tMoře.jpg\tBBBB-0002\tZálohy\tx");
  EXPECT_EQ(firstColumns(Run({"--min-size", "50"})),
            (Rows{"1 big.iso\tZálohy\t", "1 big.iso\tDalší fotky\t", "2 Moře.jpg\tFotky\tLéto",
                  "2 moře.JPG\tFotky\tLéto", "2 MOŘE.JPG\tZálohy\t", "2 moře.jpg\tDalší fotky\t",
                  "3 ŽLUŤ.txt\tFotky\t", "3 žluť.TXT\tZálohy\t"}));
  // Only the discs of a group (as search --group chooses them).
  EXPECT_EQ(firstColumns(Run({"--group", "fotky"})),
            (Rows{"1 Moře.jpg\tFotky\tLéto", "1 moře.JPG\tFotky\tLéto", "1 moře.jpg\tDalší fotky\t",
                  "2 b.bin\tFotky\t", "2 b.bin\tDalší fotky\t"}));
  EXPECT_EQ(Run({"--group", "Zálohy"}), Rows{});
  EXPECT_EQ(status, kExitOk);

  for (const auto& wrong : std::vector<std::vector<std::string>>{
           {"--by", "size"}, {"--min-size", "-1"}, {"--min-size"}, {"navíc"}}) {
    Run(wrong);
    EXPECT_EQ(status, kExitUsage) << wrong[0];
  }
}

TEST_F(DuplicatesTest, KeysSharingAHashMakeNoFalseGroup) {
  const auto groups = [this](DuplicateKey by, std::uint64_t hashMask) {
    test::FakeHost host;
    Engine engine(host);
    engine.DatabasePath = Db();
    FixedDuplicateHost options;
    options.options.by = by;
    options.options.hashMask = hashMask;
    engine.DuplicateSearch = &options;
    engine.RunOperation(OperationCode::kFindDuplicates);
    Rows texts;
    for (const auto& group : engine.Duplicates.Groups()) {
      std::string text;
      for (std::size_t i = 0; i < group.copies; ++i) {
        const auto& copy = engine.Duplicates.CopyOf(group, i);
        text += engine.Duplicates.Name(copy) + "@" + ToUtf8(engine.Duplicates.DiscOf(copy).serial) +
                " ";
      }
      texts.push_back(text);
    }
    return texts;
  };
  EXPECT_EQ(groups(DuplicateKey::kNameSize, ~std::uint64_t{0}).size(), 5u);
  for (const auto by : {DuplicateKey::kName, DuplicateKey::kNameSize, DuplicateKey::kNameSizeTime})
    EXPECT_EQ(groups(by, 0), groups(by, ~std::uint64_t{0}));
}

TEST_F(DuplicatesTest, DamagedDiscIsNamedAndTheRestCompared) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001"}, {Item(false, "a.txt", 1, 5)});
  // The second record runs past its block.
  auto broken = BuildCdEntry(test::MakeHeader({.serial = "BBBB-0002", .files = 2}),
                             {Item(false, "a.txt", 1, 5), Item(false, "druhý.txt", 1, 1)}, false);
  broken[broken.size() - 28] = 200;
  catalogue.AddRaw(broken);
  catalogue.Save(Db());

  test::FakeHost host;
  Engine engine(host);
  engine.DatabasePath = Db();
  FixedDuplicateHost options;
  engine.DuplicateSearch = &options;
  engine.RunOperation(OperationCode::kFindDuplicates);
  ASSERT_EQ(engine.Duplicates.Groups().size(), 1u);
  EXPECT_EQ(engine.Duplicates.Groups()[0].discs, 2u);
  const auto place =
      engine.Duplicates.PlaceOf(engine.Duplicates.CopyOf(engine.Duplicates.Groups()[0], 1));
  EXPECT_EQ(place.serial, "BBBB-0002");
  EXPECT_EQ(place.name, "a.txt");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].rfind("Nastala chyba! - Databázový soubor je poškozený: ", 0), 0u);
  EXPECT_NE(host.messages[0].find("(BBBB-0002)"), std::string::npos) << host.messages[0];
}

}  // namespace
}  // namespace rondo
