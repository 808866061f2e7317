// SPDX-License-Identifier: GPL-3.0-or-later
// The content search: what it finds, where it looks and what it skips.
#include "catalogue/search.h"

#include <gtest/gtest.h>

#include <cstring>

#include "catalogue/block_reader.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_builder.h"
#include "catalogue/wild_match.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::Item;
using Names = std::vector<std::string>;

class FakeSearch : public FixedSearchHost {
 public:
  FakeSearch() { version = 1; }
  void DiscPassed() override { ++discs; }
  void RecordRead(std::uint64_t) override {
    ++records;
    if (stopAfter && records >= *stopAfter)
      busy = false;
  }

  std::optional<int> stopAfter;
  int discs = 0;
  int records = 0;
};

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.DatabasePath = (dir / "katalog.big").string();
    engine.SetFormat({{"%d.%m.%Y", "%H:%M:%S"}, ","});
    engine.Search = &search;
    CatalogueBytes catalogue;
    catalogue
        .AddDisc({.serial = "AAAA-0001",
                  .description = "Fotky abc",
                  .groups = "Rodina;Fotky",
                  .lending = "Pepa",
                  .label = "FOTKY",
                  .lendDate = 45000.5,
                  .files = 4,
                  .dirs = 3},
                 {
                     Item(true, "Léto", 1, 30),
                     Item(true, "Moře abc", 2, 20),
                     Item(false, "pláž.jpg", 3, 20, "Krásná^"),
                     Item(false, "abc.txt", 2, 10),
                     Item(true, "Soukromé", 1, 5, "^Tajné"),
                     Item(false, "abc tajné.txt", 2, 5),
                     Item(false, "ABC.doc", 1, 7),
                 })
        .AddDisc(
            {.serial = "AAAA-0002", .description = "Hry", .groups = "Hry", .files = 1, .dirs = 0},
            {Item(false, "abc.exe", 1, 1)})
        .AddMultigroup({.serial = "1-1", .description = "Sada abc"}, {"AAAA-0002"})
        .AddDisc({.serial = "AAAA-0003", .description = "Holý abc"});
    catalogue.Save(engine.DatabasePath);
  }

  Names Run() {
    engine.Found.Clear();
    search.busy = true;
    search.records = 0;
    search.discs = 0;
    ++search.version;
    engine.RunOperation(OperationCode::kSearch);
    Names names;
    for (std::size_t i = 0; i < engine.Found.size(); ++i) {
      names.push_back(engine.Found.Cell(i, kSearchName, engine.Format().dateTime, ","));
    }
    return names;
  }
  std::string Cell(std::size_t row, std::size_t column) {
    return engine.Found.Cell(row, column, engine.Format().dateTime, ",");
  }

  test::TempDir dir;
  test::FakeHost host;
  Engine engine{host};
  FakeSearch search;
};

TEST_F(SearchTest, FindsDiscsDirectoriesAndFilesInWalkOrder) {
  search.pattern = "*abc*";
  const Names all = Run();
  EXPECT_EQ(all, (Names{"Fotky abc", "Moře abc", "abc.txt", "abc tajné.txt", "ABC.doc", "abc.exe",
                        "Sada abc", "Holý abc"}));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(engine.Found.Icon(0), kDiscIconIndex);
  EXPECT_EQ(engine.Found.Icon(1), 1);
  EXPECT_EQ(engine.Found.Icon(2), -1);
  EXPECT_EQ(engine.Found.Icon(6), kMultigroupIconIndex);

  // The ten columns of a file row, and a disc row that carries only its name.
  EXPECT_EQ(Cell(2, kSearchSize), "   10,00 B");
  EXPECT_EQ(Cell(2, kSearchAttributes), "a");
  EXPECT_EQ(Cell(2, kSearchTime), "18.06.2020  06:00:00");
  EXPECT_EQ(Cell(2, kSearchLocation), "Léto");
  EXPECT_EQ(Cell(2, kSearchDisc), "Fotky abc");
  EXPECT_EQ(Cell(2, kSearchLending), "Pepa");
  EXPECT_EQ(Cell(2, kSearchLendDate), "15.03.2023  12:00:00");
  EXPECT_EQ(Cell(2, kSearchVolumeLabel), "FOTKY");
  EXPECT_EQ(Cell(0, kSearchDisc), "");
  EXPECT_EQ(engine.Found.ExportLine(0), "\\Fotky abc");
  EXPECT_EQ(engine.Found.ExportLine(2), "\\Léto\\abc.txt");
  EXPECT_EQ(engine.Found.ExportLine(4), "\\ABC.doc");

  search.pattern = "*.jpg";
  ASSERT_EQ(Run(), Names{"pláž.jpg"});
  EXPECT_EQ(Cell(0, kSearchLocation), "Léto\\Moře abc");
  EXPECT_EQ(Cell(0, kSearchComment), "Krásná");

  // With a group chosen, a directory of other groups is listed itself but
  // its contents are skipped, unless directory groups are switched off.
  search.pattern = "*abc*";
  search.groups = {"Rodina"};
  EXPECT_EQ(Run(), (Names{"Fotky abc", "Moře abc", "abc.txt", "ABC.doc"}));
  search.pattern = "*";
  const Names everything = Run();
  EXPECT_NE(std::find(everything.begin(), everything.end(), "Soukromé"), everything.end());
  EXPECT_EQ(std::find(everything.begin(), everything.end(), "abc tajné.txt"), everything.end());
  search.pattern = "*abc*";
  search.directoryGroups = false;
  EXPECT_EQ(Run().size(), 5u);
}

TEST_F(SearchTest, KindCaseDepthAndDiscGroups) {
  search.pattern = "*abc*";
  search.kind = SearchKind::kFiles;
  EXPECT_EQ(Run(), (Names{"abc.txt", "abc tajné.txt", "ABC.doc", "abc.exe"}));
  search.kind = SearchKind::kDirectories;
  EXPECT_EQ(Run(), Names{"Moře abc"});
  search.kind = SearchKind::kAll;
  search.matchCase = true;
  EXPECT_EQ(Run().size(), 7u);  // "ABC.doc" no longer

  search.matchCase = false;
  search.depth = 1;  // the root's items and directories only
  EXPECT_EQ(Run(), (Names{"Fotky abc", "ABC.doc", "abc.exe", "Sada abc", "Holý abc"}));

  search.depth.reset();
  search.groups = {"fotky"};  // a piece of the disc's groups text
  EXPECT_EQ(Run(), (Names{"Fotky abc", "Moře abc", "abc.txt", "ABC.doc"}));
  EXPECT_EQ(search.discs, 1);
  search.groups = {"Půjčené"};
  EXPECT_EQ(Run().front(), "Fotky abc");
  search.groups = {"Nepůjčené"};
  EXPECT_EQ(Run(), (Names{"abc.exe", "Sada abc", "Holý abc"}));
  search.groups = {"Tajné"};  // no disc has it
  EXPECT_EQ(Run(), Names{});
}

TEST_F(SearchTest, WithAndWithoutCacheAndStopping) {
  search.pattern = "*";
  search.directoryGroups = false;
  const Names cached = Run();
  search.cache = false;
  EXPECT_EQ(Run(), cached);
  EXPECT_EQ(cached.size(), 12u);

  search.stopAfter = 3;
  const Names partial = Run();
  // The record being read when "Zastavit" came is still finished.
  EXPECT_EQ(partial, (Names{"Fotky abc", "Léto", "Moře abc", "pláž.jpg"}));
}

TEST_F(SearchTest, UncomputedLengthsSkipNothingAndEveryDamagedDiscIsNamed) {
  // SubtreeLength 0: a too-deep directory's contents are still searched.
  CatalogueBytes raw;
  raw.AddRaw(BuildCdEntry(test::MakeHeader({.serial = "B-1", .files = 1, .dirs = 1}),
                          {Item(true, "A", 1, 5), Item(false, "uvnitř.txt", 2, 5)}, false));
  // A disc whose last record runs past its block.
  auto broken =
      BuildCdEntry(test::MakeHeader({.serial = "B-2", .files = 2}),
                   {Item(false, "první.txt", 1, 1), Item(false, "druhý.txt", 1, 1)}, false);
  broken[broken.size() - 28] = 200;  // the second name's length byte
  raw.AddRaw(broken);
  // A directory whose SubtreeLength points past its block.
  auto skipping = BuildCdEntry(test::MakeHeader({.serial = "B-3", .files = 1, .dirs = 1}),
                               {Item(true, "D", 1, 5), Item(false, "f.txt", 2, 5)}, true);
  skipping[228 + 3 + 1 + 17 + 1] = 0xFF;  // SubtreeLength's high byte... of "D"
  raw.AddRaw(skipping);
  // Sixteen items, the sixth's name length one short: the walk goes out of
  // step and meets the block's end (or an end mark) inside a record.
  std::vector<CatalogueItem> sixteen;
  for (int i = 0; i < 16; ++i)
    sixteen.push_back(Item(false, "soubor" + std::to_string(i) + ".txt", 1, 1));
  auto shifted = BuildCdEntry(test::MakeHeader({.serial = "B-4", .files = 16}), sixteen, false);
  shifted[228 + 5 * (3 + 17 + 11) + 1] = 10;
  raw.AddRaw(shifted);
  // An end mark before the block's end, in a disc without a ".txt" name
  // (no record of it is read: nothing in it could be found) and in one with.
  for (const std::string extension : {".jpg", ".txt"}) {
    auto marked = BuildCdEntry(
        test::MakeHeader({.serial = extension == ".jpg" ? "B-5" : "B-6", .files = 2}),
        {Item(false, "a" + extension, 1, 1), Item(false, "b" + extension, 1, 1)}, false);
    marked[228 + 3 + 17 + 5] = 0x01;  // the second item's kind
    raw.AddRaw(marked);
  }
  // The same end mark in discs whose blocks (above a megabyte) are read
  // whole only with the cache on: one without a ".txt" name, one with ".txt"
  // across the end of its first megabyte (inside names the walk never gets to).
  std::vector<CatalogueItem> many = {Item(false, "a.jpg", 1, 1), Item(false, "b.jpg", 1, 1)};
  for (int i = 0; i < 5000; ++i)
    many.push_back(Item(false, std::string(200, 'p') + std::to_string(i) + ".jpg", 1, 1));
  for (const bool across : {false, true}) {
    auto large = BuildCdEntry(test::MakeHeader({.serial = across ? "B-8" : "B-7", .files = 5002}),
                              many, false);
    ASSERT_GT(large.size(), 228 + BlockReader::kWindow + 2);
    large[228 + 3 + 17 + 5] = 0x01;
    if (across)
      std::memcpy(&large[228 + BlockReader::kWindow - 2], ".txt", 4);
    raw.AddRaw(large);
  }
  raw.AddDisc({.serial = "B-9", .files = 1}, {Item(false, "poslední.txt", 1, 1)});
  raw.Save(engine.DatabasePath);

  search.pattern = "*.txt";
  search.depth = 1;
  const Names found = Run();
  EXPECT_EQ(found, (Names{"uvnitř.txt", "první.txt", "soubor0.txt", "soubor1.txt", "soubor2.txt",
                          "soubor3.txt", "soubor4.txt", "a.txt", "poslední.txt"}));
  ASSERT_EQ(host.messages.size(), 1u);
  const std::string said = host.messages[0];
  EXPECT_EQ(said.rfind("Nastala chyba! - Databázový soubor je poškozený: ", 0), 0u);
  for (const char* serial : {"(B-2)", "(B-3)", "(B-4)", "(B-6)", "(B-8)"})
    EXPECT_NE(said.find(serial), std::string::npos) << serial << " in " << said;
  for (const char* serial : {"(B-1)", "(B-5)", "(B-7)", "(B-9)"})
    EXPECT_EQ(said.find(serial), std::string::npos) << serial << " in " << said;
  // Blocks read in windows find and name the same.
  search.cache = false;
  EXPECT_EQ(Run(), found);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1], said);
}

TEST_F(SearchTest, SortingTheHitsAndShowingOneInItsPlace) {
  search.pattern = "*abc*";
  Run();
  const auto names = [this] {
    Names n;
    for (std::size_t i = 0; i < engine.Found.size(); ++i)
      n.push_back(Cell(i, kSearchName));
    return n;
  };
  engine.Found.ClickColumn(kSearchSize);  // by bytes; disc rows have none
  EXPECT_EQ(names(), (Names{"Fotky abc", "Sada abc", "Holý abc", "abc.exe", "abc tajné.txt",
                            "ABC.doc", "abc.txt", "Moře abc"}));
  engine.Found.ClickColumn(kSearchSize);
  EXPECT_EQ(names().front(), "Moře abc");
  EXPECT_EQ(engine.Found.SortDescending(), true);
  engine.Found.ClickColumn(kSearchLocation);
  EXPECT_EQ(Cell(engine.Found.size() - 1, kSearchLocation), "Soukromé");
  EXPECT_EQ(engine.Found.SortColumn(), std::optional<std::size_t>(kSearchLocation));

  search.pattern = "*.jpg";
  Run();
  const SearchResults::Place place = engine.Found.PlaceOf(0);
  EXPECT_EQ(place.serial, "AAAA-0001");
  EXPECT_EQ(place.folders, (Names{"Léto", "Moře abc"}));
  engine.RunOperation(OperationCode::kListCds);
  ASSERT_EQ(engine.ShowSearchHit(place), Engine::HitShown::kBrowsed);
  EXPECT_EQ(engine.PathLabel, "[Fotky abc] \\Léto\\Moře abc");
  ASSERT_NE(engine.Dirs.FirstSelected(), nullptr);
  EXPECT_EQ(engine.Dirs.FirstSelected()->Caption(), "pláž.jpg");
  EXPECT_EQ(engine.Discs.FirstSelected()->Caption(), "Fotky abc");

  // A multigroup's hit is its row; a disc no longer stored is gone.
  search.pattern = "Sada*";
  Run();
  EXPECT_EQ(engine.ShowSearchHit(engine.Found.PlaceOf(0)), Engine::HitShown::kDiscList);
  EXPECT_TRUE(engine.DirStack.empty());
  EXPECT_EQ(engine.Discs.FirstSelected()->Caption(), "Sada abc");
  SearchResults::Place gone = place;
  gone.serial = "FFFF-FFFF";
  EXPECT_EQ(engine.ShowSearchHit(gone), Engine::HitShown::kGone);
}

TEST_F(SearchTest, TextPatternsFindWhatNameByNameMatchingFinds) {
  // "*text*" is decided by where the text occurs in the whole block; every
  // pattern must still find exactly the rows of "*" whose names it matches.
  const std::string longName = "c" + std::string(96, 'x');  // after the bytes 'a' 'b'
  CatalogueBytes catalogue;
  catalogue
      .AddDisc(
          {.serial = "C-1", .description = "Okraje", .groups = "Rodina", .files = 9, .dirs = 2},
          {
              Item(false, "abcx", 1, 1),  // the text first in the block
              Item(false, "xab", 1, 99),  // 'c' is the size's first byte
              Item(false, longName, 1, 1, std::string(97, 'k') + "^"),
              Item(false, std::string("x\0abc", 5), 1, 1),  // after the name's end
              Item(false, "jen komentář", 1, 1, "abc^"), Item(true, "Čárky aBc", 1, 5),
              Item(false, "čáp.txt", 2, 2), Item(true, "Tajné", 1, 5, "^Tajné"),
              Item(false, "ABC v tajném", 2, 2), Item(false, "Čáp abC", 1, 1),
              Item(false, "konecabc", 1, 1),  // the text last in the block
          })
      .AddDisc({.serial = "C-2", .description = "abc", .groups = "Hry", .files = 1},
               {Item(false, "AbC", 1, 1)});
  catalogue.Save(engine.DatabasePath);

  const auto withLocations = [this] {
    Names rows;
    for (std::size_t i = 0; i < engine.Found.size(); ++i)
      rows.push_back(Cell(i, kSearchLocation) + "\\" + Cell(i, kSearchName));
    return rows;
  };
  for (const bool matchCase : {false, true}) {
    for (const auto kind : {SearchKind::kAll, SearchKind::kFiles, SearchKind::kDirectories}) {
      for (const std::optional<int> depth : {std::optional<int>(), std::optional<int>(1)}) {
        for (const Names& groups : {Names{"Vše"}, Names{"Rodina"}}) {
          search.matchCase = matchCase;
          search.kind = kind;
          search.depth = depth;
          search.groups = groups;
          search.pattern = "*";
          Run();
          const Names all = withLocations();
          for (const char* pattern :
               {"*abc*", "*ABC*", "*c*", "*čá*", "*Čá*", "*a?c*", "abc*", "*abc", "*bc*", "*x*"}) {
            const CompiledPattern compiled(ToCp1250(pattern).bytes, '*', '?', matchCase);
            Names expected;
            for (const std::string& row : all) {
              const std::string name = row.substr(row.rfind("\\") + 1);
              if (compiled.Matches(ToCp1250(name).bytes))
                expected.push_back(row);
            }
            search.pattern = pattern;
            Run();
            ASSERT_EQ(withLocations(), expected) << pattern << (matchCase ? " case" : "");
          }
        }
      }
    }
  }
  // The edges themselves, found or not.
  search = FakeSearch();
  search.pattern = "*abc*";
  EXPECT_EQ(Run(),
            (Names{"abcx", "Čárky aBc", "ABC v tajném", "Čáp abC", "konecabc", "abc", "AbC"}));
}

TEST(SearchPattern, WrappingTypedPatterns) {
  EXPECT_EQ(WrapPattern("abc"), "*abc*");
  EXPECT_EQ(WrapPattern("abc*"), "abc*");
  EXPECT_EQ(WrapPattern("*abc"), "*abc");
  EXPECT_EQ(WrapPattern("a?c"), "*a?c*");
}

}  // namespace
}  // namespace rondo
