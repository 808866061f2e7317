// SPDX-License-Identifier: GPL-3.0-or-later
// Rescanning a stored disc: the entry replaced in its place, comments and
// groups carried over by path, the changes counted, and every refusal
// leaving the catalogue as it was.
#include "acquisition/rescan.h"

#include <gtest/gtest.h>

#include <map>

#include "catalogue/format/entry_builder.h"
#include "support/catalogue_builder.h"

namespace rondo {
namespace {

class MapTree : public FileTree {
 public:
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override {
    const auto it = dirs.find(path);
    if (it != dirs.end())
      entries = it->second;
    return it != dirs.end() && path != unreadable;
  }
  std::map<std::string, std::vector<TreeEntry>> dirs;
  std::string unreadable;
};

TreeEntry Entry(bool directory, const std::string& name, std::uint64_t size = 0,
                double time = 44000.25) {
  return TreeEntry{
      .name = name, .directory = directory, .size = size, .attributes = 0x20, .time = time};
}

const LocalDateTime kNow{2026, 1, 2, 3, 4, 5, 0};

class RescanTest : public ::testing::Test {
 public:
  void SetUp() override {
    tree = {};
    tree.dirs["/cd"] = {Entry(true, "Fotky"), Entry(true, "Staré"), Entry(false, "readme.txt", 3)};
    tree.dirs["/cd/Fotky"] = {Entry(false, "a.jpg", 100), Entry(false, "b.jpg", 50)};
    tree.dirs["/cd/Staré"] = {Entry(false, "c.txt", 7)};
    original = Catalogue(
        disc,
        {test::Item(true, "Fotky", 1, 150, "^Rodina"), test::Item(false, "a.jpg", 2, 100, "moře"),
         test::Item(false, "b.jpg", 2, 50), test::Item(true, "Staré", 1, 7, "archiv^"),
         test::Item(false, "c.txt", 2, 7, "k smazání"),
         test::Item(false, "readme.txt", 1, 3, "čti^")});
    test::WriteAll(db, original);
  }
  // The disc between two others, and a multigroup.
  static std::vector<std::uint8_t> Catalogue(const test::DiscSpec& disc,
                                             const std::vector<CatalogueItem>& items) {
    return test::CatalogueBytes()
        .AddDisc({.serial = "AAAA-0001"})
        .AddRaw(BuildCdEntry(test::MakeHeader(disc), items, true))
        .AddDisc({.serial = "CCCC-0003"})
        .AddMultigroup({.serial = "12-34"}, {"AAAA-0001"})
        .Bytes();
  }
  std::vector<std::uint64_t> Rescan(ScanProgress& progress,
                                    const std::string& serial = "bbbb-0002") {
    std::vector<std::uint64_t> values;
    const RescanSummary s =
        RescanDisc(db, serial, "/cd", tree, registry, progress, {}, [] { return kNow; });
    for (const auto& row : SummaryRows(s))
      values.push_back(row.second);
    values.push_back(s.written);
    return values;
  }

  test::TempDir dir;
  std::string db = (dir / "katalog.big").string();
  MapTree tree;
  MemoryRegistry registry;
  ScanProgress quiet;
  test::DiscSpec disc{.serial = "BBBB-0002",
                      .groups = "Hry",
                      .lending = "Eva",
                      .files = 4,
                      .dirs = 2,
                      .cdSize = 160,
                      .inMultigroup = true};
  std::vector<std::uint8_t> original;
};

using Counts = std::vector<std::uint64_t>;

TEST_F(RescanTest, AnUnchangedDiscLeavesTheCatalogueByteForByte) {
  EXPECT_EQ(Rescan(quiet), (Counts{0, 0, 0, 0, 0, 0, 0, 4, 2, 160, 4, 2, 160, false}));
  EXPECT_EQ(test::ReadAll(db), original);
}

TEST_F(RescanTest, ReplacesTheEntryInPlaceCarryingCommentsByPath) {
  // Fotky renamed in case only, a.jpg moved, b.jpg grown, c.txt gone,
  // readme.txt touched, Nové new.
  tree.dirs = {{"/cd",
                {Entry(true, "FOTKY"), Entry(true, "Nové"), Entry(true, "Staré"),
                 Entry(false, "readme.txt", 3, 44001.0)}},
               {"/cd/FOTKY", {Entry(false, "b.jpg", 60)}},
               {"/cd/Nové", {}},
               {"/cd/Staré", {Entry(false, "a.jpg", 100)}}};
  // Added, removed, changed files; the same for directories; lost comments;
  // old and new totals; written.
  EXPECT_EQ(Rescan(quiet), (Counts{1, 2, 2, 1, 0, 2, 2, 4, 2, 160, 3, 3, 163, true}));

  test::DiscSpec now = disc;
  now.files = 3;
  now.dirs = 3;
  now.cdSize = 163;
  now.finished = EncodeOleDate(kNow);
  CatalogueItem readme = test::Item(false, "readme.txt", 1, 3, "čti^");
  readme.record.Time = 44001.0;
  EXPECT_EQ(test::ReadAll(db),
            Catalogue(now, {test::Item(true, "FOTKY", 1, 60, "^Rodina"),
                            test::Item(false, "b.jpg", 2, 60), test::Item(true, "Nové", 1, 0),
                            test::Item(true, "Staré", 1, 100, "archiv^"),
                            test::Item(false, "a.jpg", 2, 100), readme}));
}

// Runs an action once from the scan's progress: a cancel, or another
// program's change of the catalogue while the medium is read.
class Interrupting : public ScanProgress {
 public:
  std::function<void()> action = [] {};
  void ProcessEvents() override {
    std::exchange(action, [] {})();
  }
};

TEST_F(RescanTest, RefusalsChangeNothing) {
  const auto without = test::CatalogueBytes().AddDisc({.serial = "AAAA-0001"}).Bytes();
  const struct {
    std::string serial;
    std::function<void(RescanTest&, Interrupting&)> arrange;
  } cases[] = {
      {"DDDD-0004", [](RescanTest&, Interrupting&) {}},  // no such disc
      {"12-34", [](RescanTest&, Interrupting&) {}},      // a multigroup
      {"BBBB-0002", [](RescanTest& t, Interrupting&) { t.tree.unreadable = "/cd/Staré"; }},
      {"BBBB-0002", [](RescanTest& t,
                       Interrupting&) { t.tree.dirs["/cd"].push_back(Entry(false, "日本.txt")); }},
      {"BBBB-0002",
       [](RescanTest&, Interrupting& p) { p.action = [] { throw RescanRefused("zrušeno"); }; }},
      {"BBBB-0002",  // removed meanwhile: the other program's catalogue stays
       [&without](RescanTest& t, Interrupting& p) {
         p.action = [&] { test::WriteAll(t.db, t.original = without); };
       }},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    SetUp();
    Interrupting interrupting;
    cases[i].arrange(*this, interrupting);
    EXPECT_THROW(Rescan(interrupting, cases[i].serial), RescanRefused);
    EXPECT_EQ(test::ReadAll(db), original);
  }
}

}  // namespace
}  // namespace rondo
