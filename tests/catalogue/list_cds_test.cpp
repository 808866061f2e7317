// SPDX-License-Identifier: GPL-3.0-or-later
// The disc list: filters, the twelve columns, multigroups and opening rows.
#include <gtest/gtest.h>

#include <clocale>

#include "catalogue/disc_filter.h"
#include "catalogue/engine.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::DiscSpec;

class ListCdsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.DatabasePath = (dir / "katalog.big").string();
    CatalogueBytes catalogue;
    catalogue.AddDisc({.serial = "0000-0001", .description = "Quake", .groups = "Hry;Filmy"})
        .AddDisc({.serial = "0000-0002",
                  .description = "Matrix",
                  .groups = "Filmy",
                  .lending = "Pepa",
                  .lendDate = 45000.75})
        .AddDisc({.serial = "0000-0003",
                  .description = "Bach",
                  .groups = "Hudba",
                  .lending = "Vráceno: Pepa"})
        .AddDisc({.serial = "0000-0004", .description = "Beatles", .label = "Audio CD"})
        .AddDisc(
            {.serial = "0000-0005", .description = "Díl 1", .cdSize = 2048, .inMultigroup = true})
        .AddDisc({.serial = "0000-0006", .description = "Díl 2", .inMultigroup = true})
        .AddMultigroup({.serial = "77-88", .description = "Encyklopedie", .groups = "Hry"},
                       {"0000-0005", "0000-0006"});
    catalogue.Save(engine.DatabasePath);
  }

  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (const auto& row : engine.Discs.rows)
      captions.push_back(row.Caption());
    return captions;
  }
  std::vector<std::string> List(const std::string& group) {
    engine.GroupFilter = group;
    engine.RunOperation(OperationCode::kListCds);
    return Captions();
  }
  const DiscRow& Row(const std::string& caption) {
    for (const auto& row : engine.Discs.rows) {
      if (row.Caption() == caption)
        return row;
    }
    throw std::runtime_error("no row " + caption);
  }

  test::TempDir dir;
  test::FakeHost host;
  Engine engine{host};
};

using Names = std::vector<std::string>;

TEST_F(ListCdsTest, FiltersByGroupAndLendingState) {
  // Member discs never appear in the group list; the rest sorted by caption
  // (the C locale's order: byte order).
  EXPECT_EQ(List("All"), (Names{"Bach", "Beatles", "Encyklopedie", "Matrix", "Quake"}));
  EXPECT_EQ(List("Hry"), (Names{"Encyklopedie", "Quake"}));
  EXPECT_EQ(List("Filmy"), (Names{"Matrix", "Quake"}));
  EXPECT_EQ(List("hry"), Names{});  // group names are compared with their case
  EXPECT_EQ(List("Hry;Filmy"), Names{});
  EXPECT_EQ(List("Půjčené"), Names{"Matrix"});
  EXPECT_EQ(List("Nepůjčené"), (Names{"Bach", "Beatles", "Encyklopedie", "Quake"}));
  EXPECT_EQ(List("Nezařazeno"), Names{});
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(ListCdsTest, RowsCarryTheTwelveColumnsAndIcons) {
  engine.SetFormat({{"%d.%m.%Y", "%H:%M:%S"}, ","});
  List("All");
  const DiscRow& matrix = Row("Matrix");
  EXPECT_EQ(matrix.cells[kColGroups], "Filmy");
  EXPECT_EQ(matrix.cells[kColSerial], "0000-0002");
  EXPECT_EQ(matrix.cells[kColLending], "Pepa");
  EXPECT_EQ(matrix.cells[kColLendDate], "15.03.2023  18:00:00");
  EXPECT_EQ(matrix.cells[kColVolumeLabel], "DATA");
  EXPECT_EQ(matrix.cells[kColFileCount], "0");
  EXPECT_EQ(matrix.cells[kColCdSize], "    0,00 B");
  EXPECT_EQ(matrix.cells[kColBlockSize], "  228,00 B");
  EXPECT_EQ(matrix.cells[kColCreated], "15.03.2023  12:00:00");
  EXPECT_EQ(matrix.cells[kColScanTime], "00:01:30");
  EXPECT_EQ(matrix.icon, kDiscIconIndex);

  EXPECT_EQ(Row("Quake").cells[kColLendDate], "");  // never lent
  EXPECT_EQ(Row("Beatles").icon, kAudioCdIconIndex);

  const DiscRow& multi = Row("Encyklopedie");
  EXPECT_EQ(multi.icon, kMultigroupIconIndex);
  EXPECT_EQ(multi.cells[kColVolumeLabel], "Multi Group");
  EXPECT_EQ(multi.cells[kColBlockSize], "");
  EXPECT_EQ(multi.cells[kColCreated], "");
  EXPECT_EQ(multi.cells[kColScanTime], "");
}

TEST_F(ListCdsTest, MultigroupViewListsMembersWithPlainSizes) {
  List("All");
  for (auto& row : engine.Discs.rows)
    row.selected = row.Caption() == "Encyklopedie";
  EXPECT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kMultigroup);
  EXPECT_EQ(engine.PendingSerial, "77-88");
  ASSERT_EQ(Captions(), (Names{"..", "Díl 1", "Díl 2"}));  // file order, ".." first
  EXPECT_EQ(engine.Discs.rows[0].cells[kColSerial], "");
  EXPECT_EQ(Row("Díl 1").cells[kColCdSize], "2048");
  EXPECT_EQ(Row("Díl 1").cells[kColBlockSize], "228");

  // ".." goes back to the group list.
  engine.Discs.rows[0].selected = true;
  EXPECT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kGroupList);
  EXPECT_EQ(Captions().size(), 5u);

  // A member that is no longer stored is simply missing; an ordinary disc's
  // block is never read as a member list.
  engine.PendingSerial = "0000-0001";
  engine.RunOperation(OperationCode::kShowMultigroup);
  EXPECT_EQ(Captions(), Names{".."});
}

TEST_F(ListCdsTest, OpeningADiscRemembersItAndResetsThePosition) {
  List("All");
  EXPECT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kNothing);
  for (auto& row : engine.Discs.rows)
    row.selected = row.Caption() == "Quake";
  EXPECT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kDisc);
  EXPECT_EQ(engine.LoadedSerial, "0000-0001");
  EXPECT_EQ(engine.LoadedDiscName, "Quake");
  ASSERT_EQ(engine.DirStack.size(), 1u);
  EXPECT_EQ(engine.DirStack[0], (TOneDir{"*Top*", "0 B"}));
  EXPECT_EQ(engine.PathLabel, "[Quake] ");
}

TEST_F(ListCdsTest, CaptionsSortInTheLocaleOrder) {
  // Under a Czech or any UTF-8 locale "č" sorts next to "c", not after "z";
  // skip when the machine has no such locale.
  const char* old = std::setlocale(LC_COLLATE, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_COLLATE, "cs_CZ.UTF-8") == nullptr &&
      std::setlocale(LC_COLLATE, "en_US.UTF-8") == nullptr) {
    GTEST_SKIP() << "no UTF-8 collation locale installed";
  }
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "1", .description = "zebra"})
      .AddDisc({.serial = "2", .description = "čtení"})
      .AddDisc({.serial = "3", .description = "Alfa"})
      .AddDisc({.serial = "4", .description = "beta"});
  catalogue.Save(engine.DatabasePath);
  const Names sorted = List("All");
  std::setlocale(LC_COLLATE, saved.c_str());
  EXPECT_EQ(sorted, (Names{"Alfa", "beta", "čtení", "zebra"}));
}

TEST_F(ListCdsTest, HeaderClicksSortByValueOrNaturalTextAndReverse) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "1", .description = "Disk 10", .cdSize = 512})
      .AddDisc({.serial = "2", .description = "Disk 2", .lendDate = 45001.0, .cdSize = 2048})
      .AddDisc({.serial = "3", .description = "Disk 1", .lendDate = 45000.0, .cdSize = 1536 * 1024})
      .AddMultigroup({.serial = "4-4", .description = "Sada"}, {"1", "2"});
  catalogue.Save(engine.DatabasePath);
  EXPECT_EQ(List("All"), (Names{"Disk 1", "Disk 2", "Disk 10", "Sada"}));  // numbers as numbers
  EXPECT_FALSE(engine.DiscSortDescending);
  engine.Discs.rows[1].selected = true;  // "Disk 2"

  engine.ClickDiscColumn(kColCdSize);  // by bytes, not by the text "2,00 KB"
  EXPECT_EQ(Captions(), (Names{"Sada", "Disk 10", "Disk 2", "Disk 1"}));
  engine.ClickDiscColumn(kColCdSize);  // the same column again: reversed
  EXPECT_EQ(Captions(), (Names{"Disk 1", "Disk 2", "Disk 10", "Sada"}));
  EXPECT_TRUE(engine.DiscSortDescending);
  EXPECT_TRUE(Row("Disk 2").selected);   // the selection moves with its row
  engine.ClickDiscColumn(kColLendDate);  // an empty date before every date
  EXPECT_EQ(Captions(), (Names{"Disk 10", "Sada", "Disk 1", "Disk 2"}));
  EXPECT_FALSE(engine.DiscSortDescending);
  // A new listing keeps the order chosen.
  EXPECT_EQ(List("All"), (Names{"Disk 10", "Sada", "Disk 1", "Disk 2"}));

  // A multigroup's members: ".." stays first whatever the order.
  engine.PendingSerial = "4-4";
  engine.RunOperation(OperationCode::kShowMultigroup);
  EXPECT_FALSE(engine.DiscsSorted);
  engine.SortDiscList(kColDescription, true);
  EXPECT_EQ(Captions(), (Names{"..", "Disk 10", "Disk 2"}));
}

TEST_F(ListCdsTest, TheFilterNarrowsByDescriptionSerialLabelOrGroupAndDeselectsTheRest) {
  List("All");
  const auto shown = [this](const char* typed) {
    Names names;
    for (std::uint32_t i : DiscFilter(typed).Apply(engine.Discs))
      names.push_back(engine.Discs.rows[i].Caption());
    return names;
  };
  EXPECT_EQ(shown("MAT"), Names{"Matrix"});     // description, any case
  EXPECT_EQ(shown("0003"), Names{"Bach"});      // serial
  EXPECT_EQ(shown("audio"), Names{"Beatles"});  // label
  for (auto& row : engine.Discs.rows)
    row.selected = true;
  EXPECT_EQ(shown("filmy"), (Names{"Matrix", "Quake"}));  // groups
  EXPECT_EQ(engine.Discs.rows.size(), 5u);                // no row is lost
  EXPECT_FALSE(Row("Bach").selected);                     // hidden rows are not acted on
  EXPECT_TRUE(Row("Quake").selected);
  EXPECT_EQ(shown("").size(), 5u);
  EXPECT_EQ(FoldCase("ŽLUŤOUČKÝ Kůň ĽÍŠKA"), "žluťoučký kůň ľíška");
}

}  // namespace
}  // namespace rondo
