// SPDX-License-Identifier: GPL-3.0-or-later
// Browsing a stored disc: listing, visibility, moving through the tree,
// sorting and damaged blocks.
#include <gtest/gtest.h>

#include "catalogue/engine.h"
#include "catalogue/format/errors.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::Item;
using Names = std::vector<std::string>;

CatalogueItem WithAttributes(CatalogueItem item, std::uint32_t attributes) {
  item.record.Attributes = attributes;
  return item;
}

class BrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.DatabasePath = (dir / "katalog.big").string();
    engine.SetFormat({{"%d.%m.%Y", "%H:%M:%S"}, "."});
    CatalogueBytes catalogue;
    catalogue
        .AddDisc({.serial = "AAAA-0001", .description = "CD1"},
                 {
                     Item(true, "Alfa", 1, 300),
                     Item(true, "Beta", 2, 100),
                     Item(false, "hluboko.txt", 3, 100),
                     Item(false, "a.txt", 2, 200, "Zápis^Práce;All"),
                     Item(true, "Cizí", 1, 50, "^Jiné"),
                     Item(false, "v cizí.txt", 2, 50),
                     WithAttributes(Item(false, "readme.txt", 1, 1000, "Přečti^"), 0x27),
                     Item(false, "hra.exe", 1, 10, "^Hry;All"),
                     Item(false, "tajné.txt", 1, 5, "^Tajné"),
                     Item(true, "Prázdný", 1, 0),
                 })
        .AddDisc({.serial = "AAAA-0002", .description = "Starý"},
                 {Item(false, "bez úrovně.txt", 0, 1), Item(false, "také.txt", 0, 2)})
        .AddDisc({.serial = "AAAA-0003", .description = "Dvojčata"},
                 {Item(true, "Dvojče", 1, 7), Item(false, "první.txt", 2, 7),
                  Item(true, "Dvojče", 1, 7), Item(false, "druhý.txt", 2, 7)});
    catalogue.Save(engine.DatabasePath);
    engine.RunOperation(OperationCode::kListCds);
  }

  void OpenDisc(const std::string& caption) {
    for (auto& row : engine.Discs.rows)
      row.selected = row.Caption() == caption;
    ASSERT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kDisc);
  }
  Engine::Navigated Click(const std::string& caption) {
    for (auto& row : engine.Dirs.rows)
      row.selected = row.Caption() == caption;
    return engine.OpenSelectedItem();
  }
  Names Captions() {
    Names names;
    for (const auto& row : engine.Dirs.rows)
      names.push_back(row.Caption());
    return names;
  }
  const DirRow& Row(const std::string& caption) {
    for (const auto& row : engine.Dirs.rows) {
      if (row.Caption() == caption)
        return row;
    }
    throw std::runtime_error("no row " + caption);
  }

  test::TempDir dir;
  test::FakeHost host;
  Engine engine{host};
};

TEST_F(BrowseTest, RootListsVisibleItemsInBlockOrderAndCountsHiddenOnes) {
  OpenDisc("CD1");
  // Under "All" the items naming only other groups are hidden; the count row
  // stands above "..", the rest in block order.
  EXPECT_EQ(Captions(),
            (Names{"Skryté položky!", "..", "Alfa", "readme.txt", "hra.exe", "Prázdný"}));
  EXPECT_EQ(Row("Skryté položky!").cells[kDirColSize], "2");
  EXPECT_EQ(Row("Skryté položky!").Icon(), kDirIconNone);
  EXPECT_EQ(Row("..").Icon(), kDirIconUp);
  EXPECT_EQ(Row("Alfa").Icon(), kDirIconFolder);
  EXPECT_EQ(Row("hra.exe").Icon(), kDirIconFile);
  EXPECT_EQ(host.pathLabels.back(), "[CD1] ");

  const DirRow& readme = Row("readme.txt");
  EXPECT_EQ(readme.cells[kDirColSize], " 1000.00 B");
  EXPECT_EQ(readme.cells[kDirColAttributes], "rhsa");
  EXPECT_EQ(readme.cells[kDirColTime], "18.06.2020  06:00:00");
  EXPECT_EQ(readme.cells[kDirColComment], "Přečti");
  EXPECT_EQ(readme.cells[kDirColGroups], "");
  EXPECT_EQ(Row("hra.exe").cells[kDirColComment], "");
  EXPECT_EQ(Row("hra.exe").cells[kDirColGroups], "Hry;All");

  // With the check box every item is shown and nothing is counted.
  engine.ShowForeignItems = true;
  engine.RunOperation(OperationCode::kShowDiscRoot);
  EXPECT_EQ(Captions(),
            (Names{"..", "Alfa", "Cizí", "readme.txt", "hra.exe", "tajné.txt", "Prázdný"}));

  // A group name is compared without regard to ASCII case.
  engine.ShowForeignItems = false;
  engine.GroupFilter = "hry";
  engine.RunOperation(OperationCode::kShowDiscRoot);
  EXPECT_EQ(Row("Skryté položky!").cells[kDirColSize], "2");
  EXPECT_NO_THROW(Row("hra.exe"));
}

TEST_F(BrowseTest, EnteringAndLeavingDirectories) {
  OpenDisc("CD1");
  EXPECT_EQ(Click("Alfa"), Engine::Navigated::kEntered);
  EXPECT_EQ(Captions(), (Names{"..", "Beta", "a.txt"}));
  EXPECT_EQ(engine.CurrentDepth, 1);
  EXPECT_EQ(host.pathLabels.back(), "[CD1] \\Alfa");
  EXPECT_EQ(Row("a.txt").cells[kDirColComment], "Zápis");
  EXPECT_EQ(Row("a.txt").cells[kDirColGroups], "Práce;All");

  EXPECT_EQ(Click("Beta"), Engine::Navigated::kEntered);
  EXPECT_EQ(Captions(), (Names{"..", "hluboko.txt"}));
  EXPECT_EQ(host.pathLabels.back(), "[CD1] \\Alfa\\Beta");

  // Files and the special rows do nothing.
  EXPECT_EQ(Click("hluboko.txt"), Engine::Navigated::kNothing);
  EXPECT_EQ(engine.DirStack.size(), 3u);

  EXPECT_EQ(Click(".."), Engine::Navigated::kWentUp);
  EXPECT_EQ(Captions(), (Names{"..", "Beta", "a.txt"}));
  EXPECT_EQ(Click(".."), Engine::Navigated::kWentUp);
  // Back at the root, now sorted: directories by name, the count row, files.
  EXPECT_EQ(Captions(),
            (Names{"..", "Alfa", "Prázdný", "Skryté položky!", "hra.exe", "readme.txt"}));
  EXPECT_EQ(engine.CurrentDepth, 0);
  EXPECT_EQ(host.pathLabels.back(), "[CD1] ");
  EXPECT_EQ(Click("Skryté položky!"), Engine::Navigated::kNothing);

  EXPECT_EQ(Click("Prázdný"), Engine::Navigated::kEntered);
  EXPECT_EQ(Captions(), Names{".."});
  Click("..");
  EXPECT_EQ(Click(".."), Engine::Navigated::kLeftBrowsing);
  EXPECT_TRUE(engine.Dirs.rows.empty());
  EXPECT_TRUE(engine.DirStack.empty());
  EXPECT_EQ(host.pathLabels.back(), "");
}

TEST_F(BrowseTest, DiscsWithoutStructureAndTwinDirectories) {
  OpenDisc("Starý");
  EXPECT_EQ(Captions(), (Names{"..", "Toto CD nebylo vytvořeno s popisem struktury."}));
  EXPECT_EQ(Click("Toto CD nebylo vytvořeno s popisem struktury."), Engine::Navigated::kNothing);

  // Two siblings with the same name and size: each lists its own contents;
  // a position known only by name and size lists the first.
  OpenDisc("Dvojčata");
  EXPECT_EQ(Captions(), (Names{"..", "Dvojče", "Dvojče"}));
  engine.Dirs.rows[2].selected = true;
  EXPECT_EQ(engine.OpenSelectedItem(), Engine::Navigated::kEntered);
  EXPECT_EQ(Captions(), (Names{"..", "druhý.txt"}));
  engine.DirStack.back().At.reset();
  engine.RunOperation(OperationCode::kShowDirectory);
  EXPECT_EQ(Captions(), (Names{"..", "první.txt"}));
}

TEST_F(BrowseTest, OpeningTheSameDiscAgainUsesTheCachedBlock) {
  OpenDisc("CD1");
  // Another catalogue under the same path: the disc keeps its serial but its
  // block now holds different items.
  CatalogueBytes other;
  other.AddDisc({.serial = "AAAA-0001", .description = "CD1"}, {Item(false, "jiný.txt", 1, 1)});
  other.Save(engine.DatabasePath);
  engine.RunOperation(OperationCode::kListCds);
  OpenDisc("CD1");
  EXPECT_NO_THROW(Row("Alfa"));  // still the cached block
  EXPECT_EQ(engine.LoadedDiscName, "CD1");
}

TEST_F(BrowseTest, ColumnSorting) {
  OpenDisc("CD1");
  engine.ShowForeignItems = true;
  engine.RunOperation(OperationCode::kShowDiscRoot);
  engine.SortDirList(1);  // size: directories first, each part by number
  EXPECT_EQ(Captions(),
            (Names{"..", "Prázdný", "Cizí", "Alfa", "tajné.txt", "hra.exe", "readme.txt"}));
  engine.SortDirList(5);  // group texts: the empty ones first
  EXPECT_EQ(Captions(),
            (Names{"..", "Prázdný", "Alfa", "Cizí", "readme.txt", "hra.exe", "tajné.txt"}));
  engine.SortDirList(0);  // names without regard to case
  EXPECT_EQ(Captions(),
            (Names{"..", "Alfa", "Cizí", "Prázdný", "hra.exe", "readme.txt", "tajné.txt"}));
  engine.ClickDirColumn(0);  // a second click reverses within directories and files
  EXPECT_EQ(Captions(),
            (Names{"..", "Prázdný", "Cizí", "Alfa", "tajné.txt", "readme.txt", "hra.exe"}));
  EXPECT_TRUE(engine.SortDescending);
  engine.ClickDirColumn(4);  // another column starts ascending; only readme.txt has a comment
  EXPECT_EQ(Captions().back(), "readme.txt");
  EXPECT_EQ(engine.SortColumn, 4);
  EXPECT_FALSE(engine.SortDescending);

  // Dates by value, numbers in names in natural order, case ignored;
  // "Skryté položky!" first of the files in either order.
  std::vector<DirRow> rows(5);
  const std::pair<const char*, double> items[] = {
      {"b 10", 3.0}, {"B 9", 1.0}, {"A", 2.0}, {"Skryté položky!", 0.0}, {"..", 0.0}};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    rows[i].cells[kDirColName] = items[i].first;
    rows[i].time = items[i].second;
  }
  rows[3].kind = DirRowKind::kHiddenItems;
  rows[4].kind = DirRowKind::kUp;
  const auto names = [&rows] {
    Names n;
    for (const auto& r : rows)
      n.push_back(r.Caption());
    return n;
  };
  SortDirRows(rows, 0);
  EXPECT_EQ(names(), (Names{"..", "Skryté položky!", "A", "B 9", "b 10"}));
  SortDirRows(rows, 3, true);
  EXPECT_EQ(names(), (Names{"..", "Skryté položky!", "b 10", "A", "B 9"}));
}

TEST_F(BrowseTest, DamagedBlocksKeepTheRowsReadAndAreReported) {
  // The second item's name claims more bytes than its block holds, or its
  // kind byte is an end mark with the rest of the block after it.
  const std::size_t second = 75 + 228 + 3 + 17 + ToCp1250("první.txt").size();
  for (const auto& [at, value] : {std::pair{second + 1, 200}, std::pair{second, 0x01}}) {
    SCOPED_TRACE(value);
    CatalogueBytes catalogue;
    catalogue.AddDisc({.serial = "BBBB-0001", .description = "Poškozený"},
                      {Item(false, "první.txt", 1, 1), Item(true, "Adresář", 1, 2),
                       Item(false, "druhý.txt", 2, 2)});
    auto bytes = catalogue.Bytes();
    bytes[at] = static_cast<std::uint8_t>(value);
    test::WriteAll(engine.DatabasePath, bytes);
    engine.RunOperation(OperationCode::kListCds);
    for (auto& row : engine.Discs.rows)
      row.selected = true;
    try {
      engine.OpenSelectedDisc();
      ADD_FAILURE() << "the damage went unreported";
    } catch (const DamagedCatalogue& e) {
      EXPECT_NE(std::string(e.what()).find("Databázový soubor je poškozený: "), std::string::npos);
      EXPECT_NE(std::string(e.what()).find("„Poškozený“ (BBBB-0001)"), std::string::npos);
    }
    EXPECT_EQ(Captions(), (Names{"..", "první.txt"}));
    EXPECT_EQ(host.dirResets, host.dirChanges);  // the view was told the refill ended
    EXPECT_EQ(host.pathLabels.back(), "[Poškozený] ");
    EXPECT_EQ(test::ReadAll(engine.DatabasePath), bytes);
  }
}

}  // namespace
}  // namespace rondo
