// SPDX-License-Identifier: GPL-3.0-or-later
// Rescanning a stored disc: the entry replaced in its place, comments and
// groups carried over by path, the changes counted, and every refusal
// leaving the catalogue as it was.
#include "acquisition/rescan.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

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
    return it != dirs.end() && unreadable.count(path) == 0;
  }
  std::map<std::string, std::vector<TreeEntry>> dirs;
  std::set<std::string> unreadable;
};

TreeEntry Entry(bool directory, const std::string& name, std::uint64_t size = 0,
                double time = 44000.25) {
  TreeEntry e;
  e.name = name;
  e.directory = directory;
  e.size = size;
  e.attributes = 0x20;
  e.time = time;
  return e;
}

CatalogueItem Item(bool directory, const std::string& name, std::uint8_t level, std::uint32_t size,
                   const std::string& comment = "", double time = 44000.25) {
  CatalogueItem item = test::Item(directory, name, level, size, comment);
  item.record.Time = time;
  return item;
}

const LocalDateTime kNow{2026, 1, 2, 3, 4, 5, 0};

class RescanTest : public ::testing::Test {
 public:
  void SetUp() override {
    tree.unreadable.clear();
    tree.dirs["/cd"] = {Entry(true, "Fotky"), Entry(true, "Staré"), Entry(false, "readme.txt", 3)};
    tree.dirs["/cd/Fotky"] = {Entry(false, "a.jpg", 100), Entry(false, "b.jpg", 50)};
    tree.dirs["/cd/Staré"] = {Entry(false, "c.txt", 7)};
    original = Catalogue(
        disc, {Item(true, "Fotky", 1, 150, "^Rodina"), Item(false, "a.jpg", 2, 100, "moře"),
               Item(false, "b.jpg", 2, 50), Item(true, "Staré", 1, 7, "archiv^"),
               Item(false, "c.txt", 2, 7, "k smazání"), Item(false, "readme.txt", 1, 3, "čti^")});
    test::WriteAll(db, original);
  }
  // The disc between two others, and a multigroup, as the catalogue holds them.
  static std::vector<std::uint8_t> Catalogue(const test::DiscSpec& spec,
                                             const std::vector<CatalogueItem>& items) {
    return test::CatalogueBytes()
        .AddDisc({.serial = "AAAA-0001", .description = "Před"})
        .AddRaw(BuildCdEntry(test::MakeHeader(spec), items, true))
        .AddDisc({.serial = "CCCC-0003", .description = "Po"})
        .AddMultigroup({.serial = "12-34", .description = "Sada"}, {"AAAA-0001"})
        .Bytes();
  }
  RescanSummary Rescan(const std::string& serial = "bbbb-0002") {
    return RescanDisc(db, serial, "/cd", tree, registry, progress, {}, [] { return kNow; });
  }

  test::TempDir dir;
  std::string db = (dir / "katalog.big").string();
  MapTree tree;
  MemoryRegistry registry;
  ScanProgress progress;
  test::DiscSpec disc{.serial = "BBBB-0002",
                      .description = "Cíl",
                      .groups = "Hry",
                      .lending = "Eva",
                      .lendDate = 45100.5,
                      .files = 4,
                      .dirs = 2,
                      .cdSize = 160,
                      .inMultigroup = true};
  std::vector<std::uint8_t> original;
};

using Counts = std::vector<std::uint64_t>;
Counts Values(const RescanSummary& s) {
  Counts values;
  for (const auto& row : SummaryRows(s))
    values.push_back(row.second);
  return values;
}

TEST_F(RescanTest, AnUnchangedDiscLeavesTheCatalogueByteForByte) {
  const RescanSummary s = Rescan();
  EXPECT_FALSE(s.written);
  EXPECT_EQ(Values(s), (Counts{0, 0, 0, 0, 0, 0, 0, 4, 2, 160, 4, 2, 160}));
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
  const RescanSummary s = Rescan();
  EXPECT_TRUE(s.written);
  // Added, removed, changed files; the same for directories; lost comments;
  // old and new totals.
  EXPECT_EQ(Values(s), (Counts{1, 2, 2, 1, 0, 2, 2, 4, 2, 160, 3, 3, 163}));

  test::DiscSpec now = disc;
  now.files = 3;
  now.dirs = 3;
  now.cdSize = 163;
  now.finished = EncodeOleDate(kNow);
  EXPECT_EQ(test::ReadAll(db),
            Catalogue(now, {Item(true, "FOTKY", 1, 60, "^Rodina"), Item(false, "b.jpg", 2, 60),
                            Item(true, "Nové", 1, 0), Item(true, "Staré", 1, 100, "archiv^"),
                            Item(false, "a.jpg", 2, 100),
                            Item(false, "readme.txt", 1, 3, "čti^", 44001.0)}));
}

// Throws from the scan's progress: a cancel, or another program's change
// of the catalogue while the medium is read.
class Interrupting : public ScanProgress {
 public:
  std::function<void()> action;
  void ProcessEvents() override {
    if (action)
      std::exchange(action, nullptr)();
  }
};

TEST_F(RescanTest, RefusalsChangeNothing) {
  const auto without = test::CatalogueBytes().AddDisc({.serial = "AAAA-0001"}).Bytes();
  const struct {
    const char* name;
    std::string serial;
    std::function<void(RescanTest&, Interrupting&)> arrange;
    bool removed = false;  // the catalogue is another program's "without"
  } cases[] = {
      {"no such disc", "DDDD-0004", {}},
      {"multigroup", "12-34", {}},
      {"unreadable folder", "BBBB-0002",
       [](RescanTest& t, Interrupting&) { t.tree.unreadable.insert("/cd/Staré"); }},
      {"name the catalogue cannot hold", "BBBB-0002",
       [](RescanTest& t, Interrupting&) {
         t.tree.dirs["/cd/Staré"].push_back(Entry(false, "日本.txt", 1));
       }},
      {"cancelled", "BBBB-0002",
       [](RescanTest&, Interrupting& p) { p.action = [] { throw RescanRefused("zrušeno"); }; }},
      {"removed meanwhile", "BBBB-0002",
       [&without](RescanTest& t, Interrupting& p) {
         p.action = [&] { test::WriteAll(t.db, without); };
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    Interrupting interrupting;
    if (c.arrange)
      c.arrange(*this, interrupting);
    EXPECT_THROW(RescanDisc(db, c.serial, "/cd", tree, registry, interrupting), RescanRefused);
    EXPECT_EQ(test::ReadAll(db), c.removed ? without : original);
  }
}

}  // namespace
}  // namespace rondo
