// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics figures from the disc heads and the details from every
// disc's items.
#include "catalogue/statistics.h"

#include <gtest/gtest.h>

#include "catalogue/engine.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::Item;

class StatisticsTest : public ::testing::Test {
 protected:
  StatisticsTest() : engine(host) { engine.DatabasePath = (dir / "k.big").string(); }

  std::vector<std::string> Values() {
    engine.RunOperation(OperationCode::kDatabaseStatistics);
    std::vector<std::string> values;
    for (const auto& f : StatisticsFigures(engine.Statistics, engine.Format()))
      values.push_back(f.value);
    return values;
  }

  test::TempDir dir;
  test::FakeHost host;
  Engine engine;
};

TEST_F(StatisticsTest, EmptyCatalogueShowsItsSizeAndVersion) {
  const auto figures = StatisticsFigures(DatabaseStatistics{}, engine.Format());
  const auto initial = InitialStatisticsFigures();
  ASSERT_EQ(figures.size(), 9u);
  ASSERT_EQ(initial.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i)
    EXPECT_EQ(figures[i].label, initial[i].label);
  EXPECT_EQ(initial[0].label, "Počet CD:");
  EXPECT_EQ(initial[8].label, "Dat na CD celkem:");

  EXPECT_EQ(Values(), (std::vector<std::string>{"0", "0", "0", "   75.00 B", "4.0", "00:00:00", "0",
                                                "0", "    0.00 MB"}));
}

TEST_F(StatisticsTest, CountsKindsAndSumsTheHeads) {
  CatalogueBytes c;
  // Two members of a multigroup: 10 hours each, one just under a mebibyte.
  c.AddDisc({.serial = "A-1",
             .created = 45000.0,
             .finished = 45000.0 + 10.0 / 24,
             .files = 3,
             .dirs = 1,
             .cdSize = 1048575,
             .inMultigroup = true});
  c.AddDisc({.serial = "A-2",
             .created = 45001.0,
             .finished = 45001.0 + 10.0 / 24,
             .files = 4,
             .dirs = 2,
             .cdSize = 3 * 1048576 + 5,
             .inMultigroup = true});
  // The multigroup adds its sums again and no time.
  c.AddMultigroup({.serial = "1-2",
                   .label = "Multi Group",
                   .created = 0,
                   .finished = 0,
                   .files = 7,
                   .dirs = 3,
                   .cdSize = 4 * 1048576},
                  {"A-1", "A-2"});
  // An audio disc of 5 hours, 1 second: the total passes a day.
  c.AddDisc({.serial = "B-1",
             .label = "Audio CD",
             .created = 45002.0,
             .finished = 45002.0 + (5 * 3600 + 1) / 86400.0,
             .files = 1,
             .cdSize = 1048576});
  c.Save(engine.DatabasePath);
  const auto values = Values();
  EXPECT_EQ(values[0], "2");  // the members; not the audio disc
  EXPECT_EQ(values[1], "1");
  EXPECT_EQ(values[2], "1");
  EXPECT_EQ(values[4], "4.0");
  EXPECT_EQ(values[5], "01:00:01");  // 25:00:01 shown as a time of day
  EXPECT_EQ(values[6], "15");        // 3 + 4 + 7 (the multigroup again) + 1
  EXPECT_EQ(values[7], "6");
  EXPECT_EQ(values[8], "    8.00 MB");  // 0 + 3 + 4 + 1: the 1048575 bytes add nothing
  // Recomputed from zero every time.
  EXPECT_EQ(Values(), values);
  EXPECT_EQ(engine.Statistics.fileSize, c.Bytes().size());
}

TEST_F(StatisticsTest, DetailsCountGroupsAndFindTheExtremes) {
  CatalogueBytes c;
  c.AddDisc(
      {.serial = "A-1", .description = "Hry", .groups = "Hry;Škola;Hry", .files = 2, .dirs = 1},
      {Item(true, "Doom", 1, 900), Item(false, "doom.wad", 2, 800), Item(false, "readme", 1, 100)});
  c.AddDisc({.serial = "A-2", .description = "Fotky", .files = 3},
            {Item(false, "a.jpg", 1, 10), Item(false, "velký.jpg", 1, 5000),
             Item(false, "c.jpg", 1, 10)});
  c.AddDisc({.serial = "A-3", .description = "Škola", .groups = "Škola"});
  c.AddMultigroup(
      {.serial = "1-1", .description = "Sada", .groups = "Sady", .label = "Multi Group"}, {"A-3"});
  c.Save(engine.DatabasePath);
  std::vector<std::string> seen;
  const DatabaseDetails d = LoadDatabaseDetails(
      engine.DatabasePath, engine.Format(),
      [&](std::uint64_t n, std::uint64_t total, const std::string& name) {
        seen.push_back(std::to_string(n) + " z " + std::to_string(total) + " " + name);
        return true;
      });
  EXPECT_EQ(seen,
            (std::vector<std::string>{"1 z 4 Hry", "2 z 4 Fotky", "3 z 4 Škola", "4 z 4 Sada"}));
  std::vector<std::pair<std::string, std::uint64_t>> groups;
  for (const auto& g : d.groups)
    groups.emplace_back(g.group, g.discs);
  // The multigroup's own groups do not count: its discs count themselves.
  EXPECT_EQ(groups, (std::vector<std::pair<std::string, std::uint64_t>>{
                        {"Hry", 1}, {"Nezařazeno", 1}, {"Škola", 2}}));
  EXPECT_EQ(d.largestFile.path, "[Fotky] \\velký.jpg");
  EXPECT_EQ(d.largestFile.value, "    4.88 kB");
  EXPECT_EQ(d.largestDir.path, "[Hry] \\Doom");
  EXPECT_EQ(d.mostFiles.path, "[Fotky]");
  EXPECT_EQ(d.mostFiles.value, "3");
  EXPECT_TRUE(d.damagedDiscs.empty());

  // Stopping after the first disc keeps what was gathered.
  const DatabaseDetails first =
      LoadDatabaseDetails(engine.DatabasePath, engine.Format(),
                          [](std::uint64_t n, std::uint64_t, const std::string&) { return n < 2; });
  EXPECT_EQ(first.largestFile.path, "[Hry] \\Doom\\doom.wad");
  EXPECT_EQ(first.groups.size(), 2u);
}

TEST_F(StatisticsTest, DetailsReportADamagedBlockAndKeepWhatWasRead) {
  CatalogueBytes c;
  c.AddDisc({.serial = "A-1", .description = "Dobrý"}, {Item(false, "a", 1, 7)});
  // A block whose one record claims a name longer than the block.
  std::vector<std::uint8_t> bad =
      test::CatalogueBytes()
          .AddDisc({.serial = "B-1", .description = "Vadný"}, {Item(false, "b", 1, 9)})
          .Bytes();
  bad.erase(bad.begin(), bad.begin() + kDatabaseHeaderSize);
  bad[kCdHeaderSize + 1] = 200;
  c.AddRaw(bad);
  // An end mark before the block's end hides the larger file after it.
  std::vector<std::uint8_t> marked = test::CatalogueBytes()
                                         .AddDisc({.serial = "C-1", .description = "Značka"},
                                                  {Item(false, "c", 1, 8), Item(false, "d", 1, 99)})
                                         .Bytes();
  marked.erase(marked.begin(), marked.begin() + kDatabaseHeaderSize);
  marked[kCdHeaderSize + 3 + 17 + 1] = 0x01;
  c.AddRaw(marked);
  c.Save(engine.DatabasePath);
  const DatabaseDetails d = LoadDatabaseDetails(engine.DatabasePath, engine.Format());
  EXPECT_EQ(d.damagedDiscs, (std::vector<std::string>{"Vadný", "Značka"}));
  ASSERT_EQ(d.damageReports.size(), 2u);
  EXPECT_EQ(d.damageReports[1].rfind("Databázový soubor je poškozený: ", 0), 0u);
  EXPECT_NE(d.damageReports[1].find("„Značka“ (C-1)"), std::string::npos);
  EXPECT_EQ(d.largestFile.path, "[Značka] \\c");
}

}  // namespace
}  // namespace rondo
