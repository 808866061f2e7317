// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/registry.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/catalogue_builder.h"

namespace rondo {
namespace {

TEST(Registry, MissingValuesHaveTheirDefaults) {
  MemoryRegistry registry;
  EXPECT_EQ(registry.ReadText("Cesta"), "");
  EXPECT_FALSE(registry.ReadBool("ZobrAdresare"));
  EXPECT_EQ(registry.ReadInteger("VelikostFontu"), 0);
  registry.WriteText("VelikostFontu", "velké");
  EXPECT_EQ(registry.ReadInteger("VelikostFontu"), 0);
  registry.WriteInteger("VelikostFontu", -12);
  EXPECT_EQ(registry.ReadInteger("VelikostFontu"), -12);
  registry.WriteBool("ZobrAdresare", true);
  EXPECT_TRUE(registry.ReadBool("ZobrAdresare"));
  // Subkeys are separate.
  EXPECT_EQ(registry.ReadText("ZobrAdresare", "Druhy CD"), "");
}

TEST(Registry, FileKeepsEveryTextAndIsSharedBetweenInstances) {
  test::TempDir dir;
  const std::string path = (dir / "nested/registry.ini").string();
  FileRegistry first(path);
  const std::string awkward = "a=b\\c\nřádek\r\n[x]";
  first.WriteText("Cesta", "/data/Sbírka disků.big");
  first.WriteText("Poznámka", awkward);
  first.Write("Druhy CD", "Audio CD", "");
  first.Write("Druhy CD", "=zvláštní;[jméno]", "");
  first.Write("Druhy CD", "Hry", "");
  first.Delete("Druhy CD", "Hry");

  FileRegistry second(path);
  EXPECT_EQ(second.ReadText("Cesta"), "/data/Sbírka disků.big");
  EXPECT_EQ(second.ReadText("Poznámka"), awkward);
  EXPECT_EQ(second.ValueNames("Druhy CD"),
            (std::vector<std::string>{"Audio CD", "=zvláštní;[jméno]"}));
  EXPECT_EQ(second.Read("Druhy CD", "Audio CD"), std::optional<std::string>(""));

  // A change by one program is seen by the other without restarting it.
  second.WriteText("Cesta", "/jinde.big");
  EXPECT_EQ(first.ReadText("Cesta"), "/jinde.big");
  EXPECT_EQ(first.ReadText("Poznámka"), awkward);

  // No temporary files are left beside the settings.
  EXPECT_EQ(test::FilesIn(dir / "nested").size(), 1u);
}

}  // namespace
}  // namespace rondo
