// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "catalogue/disc_list.h"
#include "catalogue/format/records.h"
#include "settings/registry.h"
#include "support/catalogue_builder.h"
#include "version.h"

namespace rondo {
namespace {

using test::CatalogueBytes;

class CliTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    return RunCli(args, registry, out, err);
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    return lines;
  }
  std::string Db() { return (dir / "katalog.big").string(); }

  test::TempDir dir;
  MemoryRegistry registry;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(CliTest, InitCreatesOnceAndLeavesAnExistingCatalogueAlone) {
  EXPECT_EQ(Run({"--db", Db(), "init"}), kExitOk);
  EXPECT_EQ(test::ReadAll(Db()).size(), kDatabaseHeaderSize);
  EXPECT_EQ(registry.ReadText("Cesta"), "");  // an explicit --db configures nothing

  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001"});
  catalogue.Save(Db());
  EXPECT_EQ(Run({"--db=" + Db(), "init"}), kExitOk);
  EXPECT_EQ(test::ReadAll(Db()), catalogue.Bytes());

  std::vector<std::uint8_t> old(200, 'x');
  test::WriteAll(Db(), old);
  EXPECT_EQ(Run({"--db", Db(), "init"}), kExitFailed);
  EXPECT_NE(err.str().find("starý formát"), std::string::npos);
  EXPECT_EQ(test::ReadAll(Db()), old);
}

TEST_F(CliTest, ListPrintsTwelveTabSeparatedColumns) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Hry\tznovu", .groups = "Hry"})
      .AddDisc(
          {.serial = "AAAA-0002", .description = "Filmy", .groups = "Filmy", .lending = "Pepa"});
  catalogue.Save(Db());
  registry.WriteText("Cesta", Db());

  ASSERT_EQ(Run({"list"}), kExitOk) << err.str();
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), '\t'), 11);
  EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')), "Filmy");
  EXPECT_EQ(lines[1].rfind("Hry\\tznovu\tHry\tAAAA-0001\t", 0), 0u);  // the TAB escaped

  ASSERT_EQ(Run({"list", "--group", "Půjčené"}), kExitOk);
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].rfind("Filmy\tFilmy\tAAAA-0002\tPepa\t", 0), 0u);
  EXPECT_EQ(Run({"list", "--group=Nic"}), kExitOk);
  EXPECT_TRUE(Lines().empty());

  EXPECT_EQ(Run({"list", "--bogus"}), kExitUsage);
}

TEST_F(CliTest, ExistsAndMembers) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Člen", .inMultigroup = true})
      .AddMultigroup({.serial = "5-6", .description = "Skupina"}, {"AAAA-0001"});
  catalogue.Save(Db());

  EXPECT_EQ(Run({"--db", Db(), "exists", "AAAA-0001"}), kExitOk);
  EXPECT_EQ(out.str(), "yes\n");
  EXPECT_EQ(Run({"--db", Db(), "exists", "AAAA-0002"}), kExitNo);
  EXPECT_EQ(out.str(), "no\n");

  ASSERT_EQ(Run({"--db", Db(), "members", "5-6"}), kExitOk);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "..\t\t\t\t\t\t\t\t\t\t\t");
  EXPECT_EQ(lines[1].rfind("Člen\t\tAAAA-0001\t", 0), 0u);

  EXPECT_EQ(Run({"--db", Db(), "members", "9-9"}), kExitFailed);
  EXPECT_EQ(Run({"--db", Db(), "exists"}), kExitUsage);
}

TEST_F(CliTest, LsListsADirectoryReachedByItsPath) {
  CatalogueBytes catalogue;
  catalogue
      .AddDisc({.serial = "AAAA-0001", .description = "CD1"},
               {test::Item(true, "Fotky", 1, 30), test::Item(true, "2004", 2, 10),
                test::Item(false, "moře.jpg", 3, 10), test::Item(false, "les.jpg", 2, 20),
                test::Item(false, "soukromé.txt", 2, 1, "^Tajné"),
                test::Item(false, "readme.txt", 1, 5)})
      .AddMultigroup({.serial = "1-2", .description = "Sada"}, {"AAAA-0001"});
  catalogue.Save(Db());
  auto captions = [&] {
    std::vector<std::string> names;
    for (const auto& line : Lines())
      names.push_back(line.substr(0, line.find('\t')));
    return names;
  };

  ASSERT_EQ(Run({"--db", Db(), "ls", "AAAA-0001"}), kExitOk) << err.str();
  EXPECT_EQ(captions(), (std::vector<std::string>{"..", "Fotky", "readme.txt"}));
  const std::string fotky = Lines()[1];
  EXPECT_EQ(std::count(fotky.begin(), fotky.end(), '\t'), 5);

  ASSERT_EQ(Run({"--db", Db(), "ls", "AAAA-0001", "Fotky"}), kExitOk) << err.str();
  EXPECT_EQ(captions(), (std::vector<std::string>{"..", "2004", "Skryté položky!", "les.jpg"}));
  EXPECT_EQ(Lines()[2], "Skryté položky!\t1\t\t\t\t");

  ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "AAAA-0001", "/Fotky/"}), kExitOk);
  EXPECT_EQ(captions(), (std::vector<std::string>{"..", "2004", "les.jpg", "soukromé.txt"}));
  ASSERT_EQ(Run({"--db", Db(), "ls", "AAAA-0001", "Fotky/2004"}), kExitOk);
  EXPECT_EQ(captions(), (std::vector<std::string>{"..", "moře.jpg"}));
  ASSERT_EQ(Run({"--db", Db(), "ls", "AAAA-0001", "--group", "Tajné", "Fotky"}), kExitOk);
  EXPECT_EQ(captions(), (std::vector<std::string>{"..", "2004", "les.jpg", "soukromé.txt"}));

  EXPECT_EQ(Run({"--db", Db(), "ls", "AAAA-0001", "Fotky/nic"}), kExitFailed);
  EXPECT_NE(err.str().find("nic"), std::string::npos);
  EXPECT_EQ(Run({"--db", Db(), "ls", "AAAA-0001", "readme.txt"}), kExitFailed);
  EXPECT_EQ(Run({"--db", Db(), "ls", "FFFF-FFFF"}), kExitFailed);
  EXPECT_EQ(Run({"--db", Db(), "ls", "1-2"}), kExitFailed);
  EXPECT_NE(err.str().find("members"), std::string::npos);
  EXPECT_EQ(Run({"--db", Db(), "ls"}), kExitUsage);
}

TEST_F(CliTest, GroupsListAddAndRemove) {
  EXPECT_EQ(Run({"groups"}), kExitOk);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(Run({"groups", "add", "Hry"}), kExitOk);
  EXPECT_EQ(Run({"groups", "add", "Řecko 2004"}), kExitOk);
  EXPECT_EQ(Run({"groups"}), kExitOk);
  EXPECT_EQ(out.str(), "Hry\nŘecko 2004\n");
  EXPECT_EQ(Run({"groups", "remove", "Hry"}), kExitOk);
  EXPECT_EQ(Run({"groups", "remove", "Hry"}), kExitFailed);
  EXPECT_EQ(Run({"groups"}), kExitOk);
  EXPECT_EQ(out.str(), "Řecko 2004\n");
  EXPECT_EQ(Run({"groups", "rename", "x"}), kExitUsage);
}

TEST_F(CliTest, AddScansAFolderStoresItAndRefusesItTwice) {
  const auto root = dir / "disk";
  std::filesystem::create_directories(root / "Fotky" / "2004");
  std::ofstream(root / "Fotky" / "2004" / "moře.jpg") << "jpeg";
  std::ofstream(root / "readme.txt") << "ahoj";
  const std::string r = root.string();

  ASSERT_EQ(Run({"--db", Db(), "add", r, "--name", "Dovolená", "--group", "Fotky", "--serial",
                 "1a2b-3c4d", "--comment", r + "/README.TXT", "přečti", "--dir-groups",
                 r + "/Fotky", "Rodina;Moře"}),
            kExitOk)
      << err.str();
  EXPECT_EQ(out.str(), "1A2B-3C4D\n");
  EXPECT_EQ(registry.Read("Druhy CD", "Fotky"), std::optional<std::string>("none"));

  ASSERT_EQ(Run({"--db", Db(), "list"}), kExitOk);
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].rfind("Dovolená\tFotky\t1A2B-3C4D\t\t\tdisk\t2\t2\t", 0), 0u);

  ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "1A2B-3C4D"}), kExitOk);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 6), "Fotky\t");
  EXPECT_NE(lines[1].find("\tRodina;Moře"), std::string::npos);
  // A typed comment is stored with "^" after it: a comment, no groups.
  EXPECT_NE(lines[2].find("\tpřečti\t"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[2].back(), '\t');
  ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "1A2B-3C4D", "Fotky/2004"}), kExitOk);
  EXPECT_EQ(Lines().back().rfind("moře.jpg\t", 0), 0u);

  // The structure was recalculated: recalculating again changes nothing.
  const auto stored = test::ReadAll(Db());
  EXPECT_EQ(Run({"--db", Db(), "recalc"}), kExitOk);
  EXPECT_EQ(Run({"--db", Db(), "recalc", "1A2B-3C4D"}), kExitOk);
  EXPECT_EQ(test::ReadAll(Db()), stored);
  // Nor does rescanning the unchanged folder.
  EXPECT_EQ(Run({"--db", Db(), "rescan", "1a2b-3c4d", r}), kExitOk) << err.str();
  EXPECT_EQ(test::ReadAll(Db()), stored);

  EXPECT_EQ(Run({"--db", Db(), "add", r, "--serial", "1A2B-3C4D"}), kExitFailed);
  EXPECT_NE(err.str().find("CD je již v databázi!"), std::string::npos);
  EXPECT_EQ(test::ReadAll(Db()), stored);
  EXPECT_EQ(Run({"--db", Db(), "add", r, "--serial", "1A2B-3C4D", "--allow-duplicate",
                 "--no-structure", "--label", "Holý"}),
            kExitOk);
  EXPECT_EQ(test::ReadAll(Db()).size(), stored.size() + 228);

  // Without --serial a folder gets a serial of its own, the same each time.
  ASSERT_EQ(Run({"--db", Db(), "add", r}), kExitOk) << err.str();
  const std::string own = out.str();
  EXPECT_EQ(own.size(), 10u);
  EXPECT_EQ(Run({"--db", Db(), "add", r}), kExitFailed);

  EXPECT_EQ(Run({"--db", Db(), "add"}), kExitUsage);
  EXPECT_EQ(Run({"--db", Db(), "add", r, "--serial", "XYZ"}), kExitUsage);
  EXPECT_EQ(Run({"--db", Db(), "add", (dir / "nic").string()}), kExitFailed);

  // A rescan prints what changed; a serial stored twice is refused.
  std::ofstream(root / "nový.txt") << "x";
  ASSERT_EQ(Run({"--db", Db(), "rescan", own.substr(0, 9), r}), kExitOk) << err.str();
  const auto rows = Lines();
  ASSERT_EQ(rows.size(), 13u);
  EXPECT_EQ(rows[0], "Přidané soubory\t1");
  EXPECT_EQ(rows[7], "Souborů dříve\t2");
  EXPECT_EQ(rows[12], "Bajtů nyní\t9");
  const auto rescanned = test::ReadAll(Db());
  EXPECT_EQ(Run({"--db", Db(), "rescan", "1A2B-3C4D", r}), kExitFailed);
  EXPECT_NE(err.str().find("víckrát"), std::string::npos);
  EXPECT_EQ(Run({"--db", Db(), "rescan", "1A2B-3C4D"}), kExitUsage);
  EXPECT_EQ(test::ReadAll(Db()), rescanned);
}

TEST_F(CliTest, SearchPrintsTheTenColumnsInFoundOrder) {
  CatalogueBytes catalogue;
  catalogue
      .AddDisc({.serial = "AAAA-0001",
                .description = "Zálohy",
                .groups = "Práce",
                .files = 2,
                .dirs = 1},
               {test::Item(true, "Dokumenty", 1, 12), test::Item(false, "smlouva.doc", 2, 12),
                test::Item(false, "Smlouva stará.doc", 1, 3)})
      .AddDisc({.serial = "AAAA-0002", .description = "smlouvy 2004"});
  catalogue.Save(Db());
  ASSERT_EQ(Run({"--db", Db(), "search", "smlouv"}), kExitOk) << err.str();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("smlouva.doc\t", 0), 0u);
  const std::string first = lines[0];
  EXPECT_EQ(std::count(first.begin(), first.end(), '\t'), 9);
  EXPECT_NE(first.find("\tDokumenty\tZálohy\t"), std::string::npos);
  EXPECT_EQ(lines[2], "smlouvy 2004\t\t\t\t\t\t\t\t\t");

  ASSERT_EQ(Run({"--db", Db(), "search", "smlouv", "--kind", "files", "--case"}), kExitOk);
  EXPECT_EQ(Lines().size(), 1u);
  ASSERT_EQ(Run({"--db", Db(), "search", "smlouv", "--no-wrap"}), kExitOk);
  EXPECT_TRUE(Lines().empty());
  ASSERT_EQ(Run({"--db", Db(), "search", "*.doc", "--depth", "1", "--no-cache"}), kExitOk);
  EXPECT_EQ(Lines().size(), 1u);
  ASSERT_EQ(Run({"--db", Db(), "search", "s*", "--group", "práce"}), kExitOk);
  EXPECT_EQ(Lines().size(), 2u);
  EXPECT_EQ(Run({"--db", Db(), "search"}), kExitUsage);
  EXPECT_EQ(Run({"--db", Db(), "search", "x", "--depth", "0"}), kExitUsage);
  EXPECT_EQ(Run({"--db", Db(), "search", "x", "--kind", "vše"}), kExitUsage);
}

TEST_F(CliTest, DiscCommandsActOnTheGivenSerials) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Alfa", .groups = "Hry;Filmy"})
      .AddDisc({.serial = "AAAA-0002", .description = "Beta"})
      .AddDisc({.serial = "AAAA-0003", .description = "Gama"});
  catalogue.Save(Db());
  const auto column = [&](const std::string& caption, std::size_t index) {
    Run({"--db", Db(), "list"});
    for (const auto& line : Lines()) {
      if (line.rfind(caption + "\t", 0) != 0)
        continue;
      std::size_t start = 0;
      for (std::size_t i = 0; i < index; ++i)
        start = line.find('\t', start) + 1;
      return line.substr(start, line.find('\t', start) - start);
    }
    return std::string("(missing)");
  };

  EXPECT_EQ(Run({"--db", Db(), "lend", "--to", "Pepa", "AAAA-0001", "AAAA-0002"}), kExitOk);
  EXPECT_EQ(column("Alfa", kColLending), "Pepa");
  EXPECT_EQ(column("Beta", kColLending), "Pepa");
  EXPECT_EQ(Run({"--db", Db(), "return", "AAAA-0001"}), kExitOk);
  EXPECT_EQ(column("Alfa", kColLending), "Vráceno: Pepa");
  EXPECT_EQ(Run({"--db", Db(), "clear", "AAAA-0002"}), kExitOk);
  EXPECT_EQ(column("Beta", kColLending), "");
  EXPECT_EQ(Run({"--db", Db(), "rename", "AAAA-0003", "Gama II"}), kExitOk);
  EXPECT_EQ(column("Gama II", kColSerial), "AAAA-0003");
  EXPECT_EQ(Run({"--db", Db(), "set-groups", "AAAA-0002", "Hudba", "Škola"}), kExitOk);
  EXPECT_EQ(column("Beta", kColGroups), "Hudba;Škola");
  EXPECT_EQ(registry.Read("Druhy CD", "Škola"), std::optional<std::string>("none"));
  EXPECT_EQ(Run({"--db", Db(), "set-groups", "AAAA-0002"}), kExitOk);
  EXPECT_EQ(column("Beta", kColGroups), "");

  ASSERT_EQ(Run({"--db", Db(), "multigroup", "Sada", "AAAA-0001", "AAAA-0002"}), kExitOk);
  const std::string serial = out.str().substr(0, out.str().size() - 1);
  ASSERT_EQ(Run({"--db", Db(), "list"}), kExitOk);
  EXPECT_EQ(Lines().size(), 2u);  // Gama II and the multigroup
  EXPECT_EQ(Run({"--db", Db(), "remove", serial}), kExitOk);
  ASSERT_EQ(Run({"--db", Db(), "list"}), kExitOk);
  EXPECT_EQ(Lines().size(), 3u);  // the members are back

  EXPECT_EQ(Run({"--db", Db(), "import-groups"}), kExitOk);
  EXPECT_NE(err.str().find("Import skupin proveden."), std::string::npos);
  EXPECT_EQ(registry.Read("Druhy CD", "Filmy"), std::optional<std::string>(""));
  EXPECT_EQ(Run({"--db", Db(), "remove", "AAAA-0003"}), kExitOk);
  ASSERT_EQ(Run({"--db", Db(), "list"}), kExitOk);
  EXPECT_EQ(Lines().size(), 2u);
  EXPECT_EQ(Run({"--db", Db(), "lend", "AAAA-0001"}), kExitUsage);
  EXPECT_EQ(Run({"--db", Db(), "rename", "AAAA-0001"}), kExitUsage);
}

TEST_F(CliTest, ItemCommentsAndGroupsByPath) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "CD", .files = 2, .dirs = 1},
                    {test::Item(true, "Fotky", 1, 3), test::Item(false, "moře.jpg", 2, 3),
                     test::Item(false, "readme.txt", 1, 1, "staré^Práce")});
  catalogue.Save(Db());
  ASSERT_EQ(Run({"--db", Db(), "comment", "AAAA-0001", "Fotky/moře.jpg", "Krásné"}), kExitOk)
      << err.str();
  ASSERT_EQ(Run({"--db", Db(), "item-groups", "AAAA-0001", "readme.txt", "Doma", "Škola"}),
            kExitOk);
  ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "AAAA-0001", "Fotky"}), kExitOk);
  EXPECT_EQ(Lines()[1].rfind("moře.jpg\t", 0), 0u);
  EXPECT_NE(Lines()[1].find("\tKrásné\t"), std::string::npos);
  ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "AAAA-0001"}), kExitOk);
  const std::string readme = Lines().back();
  EXPECT_NE(readme.find("\tstaré\tDoma;Škola"), std::string::npos);
  EXPECT_EQ(registry.Read("Druhy CD", "Škola"), std::optional<std::string>("none"));

  EXPECT_EQ(Run({"--db", Db(), "comment", "AAAA-0001", "Fotky/nic.jpg", "x"}), kExitFailed);
  EXPECT_EQ(Run({"--db", Db(), "comment", "AAAA-0001", "Nic/moře.jpg", "x"}), kExitFailed);
  EXPECT_EQ(Run({"--db", Db(), "comment", "AAAA-0001", "readme.txt", std::string(300, 'x')}),
            kExitFailed);
  EXPECT_NE(err.str().find("255"), std::string::npos);
  EXPECT_EQ(Run({"--db", Db(), "comment", "AAAA-0001", "readme.txt"}), kExitUsage);

  // Look-alikes (same name, size and depth) in other directories keep
  // their own comments and groups.
  CatalogueBytes twins;
  twins.AddDisc(
      {.serial = "BBBB-0001", .files = 4, .dirs = 4},
      {test::Item(true, "a", 1, 4), test::Item(true, "s", 2, 2), test::Item(false, "x.txt", 3, 2),
       test::Item(false, "x.txt", 2, 2), test::Item(true, "b", 1, 4), test::Item(true, "s", 2, 2),
       test::Item(false, "x.txt", 3, 2), test::Item(false, "x.txt", 2, 2)});
  twins.Save(Db());
  const std::vector<std::pair<std::string, std::string>> edits = {
      {"b/x.txt", "pro B"}, {"a/x.txt", "pro A"}, {"b/s/x.txt", "pro B/s"}};
  for (const auto& [path, text] : edits)
    ASSERT_EQ(Run({"--db", Db(), "comment", "BBBB-0001", path, text}), kExitOk) << err.str();
  ASSERT_EQ(Run({"--db", Db(), "item-groups", "BBBB-0001", "a/s/x.txt", "Doma"}), kExitOk);
  const std::vector<std::pair<std::string, std::string>> shown = {
      {"a", "\tpro A\t"}, {"b", "\tpro B\t"}, {"b/s", "\tpro B/s\t"}, {"a/s", "\t\tDoma"}};
  for (const auto& [directory, cells] : shown) {
    ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "BBBB-0001", directory}), kExitOk);
    EXPECT_NE(Lines().back().find(cells), std::string::npos) << directory << ": " << out.str();
  }
}

TEST_F(CliTest, FailuresGoToStderrWithAStatus) {
  EXPECT_EQ(Run({"list"}), kExitFailed);  // nothing configured
  EXPECT_NE(err.str().find("--db"), std::string::npos);

  EXPECT_EQ(Run({"--db", dir.Path().string(), "list"}), kExitFailed);
  EXPECT_FALSE(err.str().empty());
  EXPECT_TRUE(out.str().empty());

  auto bytes = CatalogueBytes().AddDisc({.serial = "AAAA-0001"}).Bytes();
  bytes[75 + 9] = 5;  // BlockSize below the header's own length
  test::WriteAll(Db(), bytes);
  EXPECT_EQ(Run({"--db", Db(), "list"}), kExitFailed);
  EXPECT_NE(err.str().find("Nastala chyba! - "), std::string::npos);
  EXPECT_EQ(test::ReadAll(Db()), bytes);

  EXPECT_EQ(Run({}), kExitUsage);
  EXPECT_EQ(Run({"frobnicate"}), kExitUsage);
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(out.str().find("exists SERIAL"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(Lines().at(0), std::string("rondotheka-cli (QEL Rondotheka ") + kVersion + ")");
  EXPECT_NE(out.str().find("GPLv3+"), std::string::npos);
}

TEST_F(CliTest, TheInstalledProgramUsesTheConfiguredSettingsFile) {
  const std::string settings = (dir / "registry.ini").string();
  const std::string data = (dir / "data").string();
  const std::string env = "RONDOTHEKA_REGISTRY='" + settings + "' XDG_DATA_HOME='" + data + "' ";
  const std::string cli = std::string("'") + RONDO_CLI_PATH + "'";
  // init without --db creates the default catalogue and remembers it.
  ASSERT_EQ(std::system((env + cli + " init >/dev/null").c_str()), 0);
  FileRegistry written(settings);
  EXPECT_EQ(written.ReadText("Cesta"), data + "/rondotheka/katalog.big");
  EXPECT_EQ(test::ReadAll(data + "/rondotheka/katalog.big").size(), kDatabaseHeaderSize);
  const int status = std::system((env + cli + " exists 1234-5678 >/dev/null").c_str());
  EXPECT_EQ(WEXITSTATUS(status), kExitNo);
}

TEST_F(CliTest, StatsPrintsTheWindowsFiguresAndDetails) {
  CatalogueBytes c;
  c.AddDisc({.serial = "A-1", .description = "Hry", .groups = "Hry", .files = 1},
            {test::Item(false, "doom.exe", 1, 300)});
  c.Save(Db());
  ASSERT_EQ(Run({"--db", Db(), "stats"}), kExitOk) << err.str();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Počet CD:\t1");
  EXPECT_EQ(lines[4], "Verze databáze:\t4.0");
  EXPECT_EQ(lines[6], "Celkem souborů:\t1");

  ASSERT_EQ(Run({"--db", Db(), "stats", "--details"}), kExitOk) << err.str();
  lines = Lines();
  ASSERT_EQ(lines.size(), 9u + 2u + 1u + 3u);
  EXPECT_EQ(lines[9], "Detailní infomace");
  EXPECT_EQ(lines[10], "Hry\t1");
  EXPECT_EQ(lines[11], "Detailní informace - Extrémy");
  EXPECT_EQ(lines[12], "Největší soubor\t[Hry] \\\\doom.exe\t  300.00 B");
  EXPECT_EQ(Run({"--db", Db(), "stats", "--x"}), kExitUsage);
}

TEST_F(CliTest, ConvertRefusesACurrentCatalogueAndConvertsAnOldOne) {
  CatalogueBytes c;
  c.Save(Db());
  EXPECT_EQ(Run({"convert", Db()}), kExitFailed);
  EXPECT_NE(err.str().find("současný formát"), std::string::npos);
  EXPECT_EQ(test::ReadAll(Db()), c.Bytes());

  test::WriteAll(Db(), test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format.bin"));
  // The other commands leave an old catalogue alone and point here.
  EXPECT_EQ(Run({"--db", Db(), "list"}), kExitFailed);
  EXPECT_NE(err.str().find("rondotheka-cli convert"), std::string::npos);
  EXPECT_EQ(Run({"convert", Db()}), kExitOk) << err.str();
  EXPECT_EQ(test::ReadAll(Db()),
            test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format_converted.bin"));
}

TEST_F(CliTest, BorrowedDiscsAreAddedListedAndRemoved) {
  const std::string list = (dir / "mnoupujcene.big").string();
  ::setenv("RONDOTHEKA_BORROWED", list.c_str(), 1);
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(Run({"borrowed", "add", "--description", "Matrix", "--group", "Filmy", "--from", "Pepa",
                 "--date", "2024-02-29", "--count", "2"}),
            kExitOk)
      << err.str();
  EXPECT_EQ(Run({"borrowed", "add", "--description", "Ryby", "--date", "2024-02-30"}), kExitUsage);
  EXPECT_NE(err.str().find("není platné datum"), std::string::npos);
  EXPECT_EQ(Run({"borrowed", "add", "--description", "Ryby", "--count", "101"}), kExitUsage);
  EXPECT_EQ(Run({"borrowed", "list"}), kExitOk);
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_TRUE(Lines()[0].starts_with("Matrix\tFilmy\tPepa\t")) << Lines()[0];
  EXPECT_TRUE(Lines()[0].ends_with("\t2"));
  EXPECT_EQ(Run({"borrowed", "remove", "Nic"}), kExitNo);
  EXPECT_EQ(Run({"borrowed", "remove", "Matrix"}), kExitOk);
  EXPECT_EQ(Run({"borrowed", "list"}), kExitOk);
  EXPECT_TRUE(Lines().empty());
  ::unsetenv("RONDOTHEKA_BORROWED");
}

TEST_F(CliTest, CheckReadsEveryFileAndSummarises) {
  const std::filesystem::path root = dir / "disk";
  std::filesystem::create_directories(root / "sub");
  test::WriteAll(root / "a.bin", std::vector<std::uint8_t>(300000, 1));
  test::WriteAll(root / "sub" / "b.bin", std::vector<std::uint8_t>(700, 2));
  std::filesystem::create_directory_symlink(root, root / "sub" / "loop");

  // No catalogue is needed.
  ASSERT_EQ(Run({"check", root.string()}), kExitOk) << err.str();
  const std::regex summary(R"(Přečteno: 300700 B, \d+\.\d s, průměr \d+ B/s)");
  ASSERT_EQ(Lines().size(), 1u) << out.str();
  EXPECT_TRUE(std::regex_match(Lines()[0], summary)) << Lines()[0];

  if (::geteuid() != 0) {
    // Only a user other than root can be kept from reading a file.
    std::filesystem::permissions(root / "sub" / "b.bin", std::filesystem::perms::none);
    EXPECT_EQ(Run({"check", root.string()}), kExitNo);
    std::filesystem::permissions(root / "sub" / "b.bin", std::filesystem::perms::owner_all);
    ASSERT_EQ(Lines().size(), 2u) << out.str();
    EXPECT_EQ(Lines()[0], "Soubor nelze vůbec otevřít! " + (root / "sub" / "b.bin").string());
    EXPECT_EQ(Lines()[1].rfind("Přečteno: 300000 B, ", 0), 0u);
  }

  EXPECT_EQ(Run({"check", (dir / "nothing").string()}), kExitFailed);
  EXPECT_EQ(Run({"check"}), kExitUsage);
  EXPECT_EQ(Run({"check", root.string(), "extra"}), kExitUsage);
}

// Every command that names a disc not stored, or gives a text the catalogue
// cannot store as typed, says so and changes nothing.
TEST_F(CliTest, NothingIsChangedForWhatCannotBeDone) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Alfa", .files = 1},
                    {test::Item(false, "a.txt", 1, 1)});
  catalogue.Save(Db());
  const auto root = dir / "disk";
  std::filesystem::create_directories(root);
  const std::string r = root.string();
  const std::string nowhere = (dir / "nic").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;  // part of the message
  };
  const std::string long51(51, 'n');
  const std::vector<Case> cases = {
      {{"lend", "--to", "Pepa", "AAAA-0001", "FFFF-0009"}, kExitFailed, "FFFF-0009"},
      {{"return", "FFFF-0009"}, kExitFailed, "CD FFFF-0009 v databázi není."},
      {{"clear", "FFFF-0009"}, kExitFailed, "FFFF-0009"},
      {{"rename", "FFFF-0009", "X"}, kExitFailed, "FFFF-0009"},
      {{"set-groups", "FFFF-0009", "Nová"}, kExitFailed, "FFFF-0009"},
      {{"remove", "AAAA-0001", "FFFF-0009"}, kExitFailed, "FFFF-0009"},
      {{"recalc", "FFFF-0009"}, kExitFailed, "FFFF-0009"},
      {{"members", "FFFF-0009"}, kExitFailed, "FFFF-0009"},
      {{"comment", "FFFF-0009", "a.txt", "x"}, kExitFailed, "FFFF-0009"},
      {{"item-groups", "FFFF-0009", "a.txt", "Nová"}, kExitFailed, "FFFF-0009"},
      {{"add", nowhere, "--serial", "1234-5678", "--group", "Nová"}, kExitFailed, "neexistuje"},
      {{"lend", "--to", std::string(31, 'p'), "AAAA-0001"}, kExitUsage, "nejvýše 30 znaků"},
      {{"rename", "AAAA-0001", long51}, kExitUsage, "nejvýše 50 znaků"},
      {{"rename", "AAAA-0001", "Disk 日"}, kExitUsage, "„日“ (U+65E5)"},
      {{"set-groups", "AAAA-0001", "Nová", "Hry;Filmy"}, kExitUsage, "„;“"},
      {{"set-groups", "AAAA-0001", std::string(30, 'a'), std::string(20, 'b')},
       kExitUsage,
       "dohromady nejvýše 50 znaků"},
      {{"comment", "AAAA-0001", "a.txt", "pro^Nová"}, kExitUsage, "„^“"},
      {{"item-groups", "AAAA-0001", "a.txt", "Nová^"}, kExitUsage, "„^“"},
      {{"multigroup", long51, "AAAA-0001"}, kExitUsage, "nejvýše 50 znaků"},
      {{"add", r, "--name", long51, "--group", "Nová"}, kExitUsage, "nejvýše 50 znaků"},
      {{"add", r, "--group", "Nová;x"}, kExitUsage, "„;“"},
      {{"add", r, "--comment", r + "/a", "a^b", "--group", "Nová"}, kExitUsage, "„^“"},
      {{"add", r, "--dir-groups", r + "/d", "A;B^C", "--group", "Nová"}, kExitUsage, "„^“"},
      {{"add", r, "--group", "ř€ž™"}, kExitOk, ""},  // all in the code page
  };
  for (const auto& c : cases) {
    const auto before = test::ReadAll(Db());
    std::vector<std::string> args{"--db", Db()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(Run(args), c.status) << c.args[0] << " " << c.args[1] << ": " << err.str();
    if (c.status == kExitOk)
      continue;
    EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    EXPECT_EQ(test::ReadAll(Db()), before) << c.args[0] << " " << c.args[1];
    EXPECT_FALSE(registry.Read("Druhy CD", "Nová").has_value()) << c.args[0] << " " << c.args[1];
  }
  EXPECT_EQ(Run({"groups", "add", "Hry^"}), kExitUsage);
  EXPECT_EQ(Run({"groups"}), kExitOk);
  EXPECT_EQ(out.str(), "ř€ž™\n");  // only what the one stored disc registered
}

TEST_F(CliTest, StoredControlCharactersAreEscapedInEveryOutput) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "a\nb\x1b[2J\\c", .files = 1},
                    {test::Item(false, "x\ty\r.txt", 1, 1, "\x07zvonek")});
  catalogue.Save(Db());
  ASSERT_EQ(Run({"--db", Db(), "list"}), kExitOk) << err.str();
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0].rfind("a\\nb\\x1B[2J\\\\c\t", 0), 0u) << Lines()[0];
  ASSERT_EQ(Run({"--db", Db(), "ls", "--all", "AAAA-0001"}), kExitOk) << err.str();
  ASSERT_EQ(Lines().size(), 2u);
  const std::string file = Lines()[1];
  EXPECT_EQ(file.rfind("x\\ty\\r.txt\t", 0), 0u) << file;
  EXPECT_EQ(std::count(file.begin(), file.end(), '\t'), 5);
  EXPECT_NE(file.find("\\x07zvonek"), std::string::npos);
  ASSERT_EQ(Run({"--db", Db(), "search", "x*", "--no-wrap"}), kExitOk) << err.str();
  ASSERT_EQ(Lines().size(), 1u);
  const std::string found = Lines()[0];
  EXPECT_EQ(std::count(found.begin(), found.end(), '\t'), 9);
  EXPECT_NE(found.find("a\\nb\\x1B[2J\\\\c"), std::string::npos) << found;
  // A message quoting a name sends no control character either.
  EXPECT_EQ(Run({"--db", Db(), "ls", "AAAA-0001", "x\x1b[2Jy"}), kExitFailed);
  EXPECT_NE(err.str().find("x\\x1B[2Jy"), std::string::npos) << err.str();
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
  EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace rondo
