// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the comment or the groups of a browsed item.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <random>

#include "catalogue/engine.h"
#include "catalogue/format/errors.h"
#include "catalogue/messages.h"
#include "settings/group_kinds.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::Item;
using Names = std::vector<std::string>;
using Disc = std::pair<test::DiscSpec, std::vector<CatalogueItem>>;

// Offset of item i in its disc's block.
std::size_t FileItemAt(const std::vector<CatalogueItem>& items, std::size_t i) {
  std::size_t at = 0;
  for (std::size_t j = 0; j < i; ++j) {
    const auto& r = items[j].record;
    at += kItemPrefixSize + (items[j].directory ? DirRecordLength(r) : FileRecordLength(r));
  }
  return at;
}

class EditingHost : public test::FakeHost {
 public:
  std::optional<std::string> AskText(const TextPrompt& prompt) override {
    asked.push_back(prompt);
    return text;
  }
  std::optional<std::vector<std::string>> PickGroups(const std::vector<std::string>& c) override {
    offered.push_back(c);
    return groups;
  }
  std::optional<std::string> text;
  std::optional<std::vector<std::string>> groups;
  std::vector<TextPrompt> asked;
  std::vector<std::vector<std::string>> offered;
};

class ItemEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.DatabasePath = (dir / "katalog.big").string();
    engine.Settings = &registry;
    engine.ShowForeignItems = true;
  }
  static std::vector<std::uint8_t> Build(const std::vector<Disc>& discs) {
    CatalogueBytes c;
    for (const auto& [disc, items] : discs)
      c.AddDisc(disc, items);
    return c.Bytes();
  }
  void Save(const std::vector<Disc>& discs) { test::WriteAll(engine.DatabasePath, Build(discs)); }
  // Opens a disc and stands in the directories of path, as double clicks do.
  void Browse(const std::string& caption, const Names& path = {}) {
    engine.RunOperation(OperationCode::kListCds);
    for (auto& r : engine.Discs.rows)
      r.selected = r.Caption() == caption;
    engine.OpenSelectedDisc();
    for (const auto& name : path)
      Select(name), engine.OpenSelectedItem();
  }
  void Select(const std::string& caption) {
    for (auto& r : engine.Dirs.rows)
      r.selected = r.Caption() == caption;
  }
  std::string ShownComment(const std::string& caption, std::size_t column) {
    for (const auto& r : engine.Dirs.rows) {
      if (r.Caption() == caption)
        return r.cells[column];
    }
    return "(missing)";
  }

  test::TempDir dir;
  MemoryRegistry registry;
  EditingHost host;
  Engine engine{host};
};

TEST_F(ItemEditTest, CommentAndGroupPartsFollowTheRules) {
  Save({{{.serial = "A-1", .description = "CD", .files = 3, .dirs = 1},
         {Item(true, "Dir", 1, 10, "^Hry"), Item(false, "in.txt", 2, 10, "abc"),
          Item(false, "root.txt", 1, 5, "abc")}}});
  Browse("CD");
  // A comment for a text without "^": the old text stays as the groups.
  Select("root.txt");
  host.text = "nový";
  engine.RunOperation(OperationCode::kChangeItemComment);
  ASSERT_EQ(host.asked.size(), 1u);
  EXPECT_EQ(host.asked[0].label, "Nový popis:");
  EXPECT_EQ(host.asked[0].text, "");  // the "Komentář" column was empty
  EXPECT_EQ(ShownComment("root.txt", kDirColComment), "nový");
  EXPECT_EQ(ShownComment("root.txt", kDirColGroups), "abc");

  // New groups replace the group part and keep the comment part.
  Select("root.txt");
  host.groups = Names{"Nezařazeno", "Fotky", "Rodina"};
  engine.RunOperation(OperationCode::kChangeItemGroups);
  EXPECT_EQ(host.offered.back(), Names{});  // the picker starts empty
  EXPECT_EQ(ShownComment("root.txt", kDirColComment), "nový");
  EXPECT_EQ(ShownComment("root.txt", kDirColGroups), "Fotky;Rodina");
  EXPECT_EQ(registry.Read("Druhy CD", "Fotky"), std::optional<std::string>("none"));

  // Inside a directory; the shown directory is listed again afterwards.
  Browse("CD", {"Dir"});
  Select("in.txt");
  host.groups = Names{"Nezařazeno"};
  engine.RunOperation(OperationCode::kChangeItemGroups);
  EXPECT_EQ(ShownComment("in.txt", kDirColGroups), "");
  EXPECT_EQ(ShownComment("in.txt", kDirColComment), "");
  EXPECT_EQ(engine.DirStack.size(), 2u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(ItemEditTest, NothingIsWrittenForCancelDotDotOrTooLongTexts) {
  Save({{{.serial = "A-1", .description = "CD", .files = 1}, {Item(false, "a.txt", 1, 5, "x")}}});
  const auto before = test::ReadAll(engine.DatabasePath);
  Browse("CD");
  Select("..");
  host.text = "něco";
  engine.RunOperation(OperationCode::kChangeItemComment);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), before);

  Select("a.txt");
  host.text.reset();
  engine.RunOperation(OperationCode::kChangeItemComment);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), before);

  Select("a.txt");
  host.text = std::string(254, 'k');  // with "^x" 256 bytes
  engine.RunOperation(OperationCode::kChangeItemComment);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), before);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], msg::kCommentTooLong);
  Select("a.txt");
  host.text = std::string(253, 'k');  // exactly 255 bytes fit
  engine.RunOperation(OperationCode::kChangeItemComment);
  EXPECT_EQ(ShownComment("a.txt", kDirColComment), std::string(253, 'k'));
}

// Two directories holding look-alikes: x.txt and sub/x.txt of the same
// size in each, and sub of the same size in each.
std::vector<Disc> LookAlikes() {
  std::vector<CatalogueItem> items;
  for (const char* dir : {"a", "b"}) {
    items.push_back(Item(true, dir, 1, 10));
    items.push_back(Item(true, "sub", 2, 5));
    items.push_back(Item(false, "x.txt", 3, 5));
    items.push_back(Item(false, "x.txt", 2, 5));
  }
  return {{{.serial = "A-1", .description = "CD", .files = 4, .dirs = 4}, items}};
}

TEST_F(ItemEditTest, EditsActOnTheChosenItemNotALookAlike) {
  auto model = LookAlikes();
  Save(model);
  auto& items = model[0].second;
  struct Edit {
    Names path;
    bool groups;
    std::string text;
    std::size_t item;  // in the model
  };
  const Edit edits[] = {
      {{"b"}, false, "pro B", 7},        {{"a"}, false, "pro A", 3},
      {{"b", "sub"}, false, "b-sub", 6}, {{"a", "sub"}, true, "Fotky", 2},
      {{"b"}, true, "Rodina", 7},
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.text);
    Browse("CD", e.path);
    Select("x.txt");
    std::string& comment = items[e.item].record.Comment.chars;
    const std::size_t caret = comment.find('^');
    if (e.groups) {
      host.groups = Names{e.text};
      comment = (caret == std::string::npos ? "" : comment.substr(0, caret)) + "^" + e.text;
      engine.RunOperation(OperationCode::kChangeItemGroups);
    } else {
      host.text = e.text;
      comment = ToCp1250(e.text).bytes + "^" +
                (caret == std::string::npos ? comment : comment.substr(caret + 1));
      engine.RunOperation(OperationCode::kChangeItemComment);
    }
    EXPECT_EQ(test::ReadAll(engine.DatabasePath), Build(model));
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(ItemEditTest, AChangeByAnotherProgramIsFollowedOrRefused) {
  const auto original = LookAlikes();
  // Another program writes its own version of the disc between the listing
  // of b and the edit of b/x.txt.
  struct Case {
    const char* what;
    std::function<void(std::vector<CatalogueItem>&)> other;
    bool followed;  // the edit lands on b/x.txt of the new version
  };
  const Case cases[] = {
      {"a/x.txt got a comment: b/x.txt moved", [](auto& i) { i[3].record.Comment.chars = "jiný"; },
       true},
      {"another disc in front", [](auto&) {}, true},
      {"b/x.txt removed", [](auto& i) { i.erase(i.begin() + 7); }, false},
      {"b/x.txt renamed", [](auto& i) { i[7].record.Name.chars = "y.txt"; }, false},
      {"a twin of b/x.txt", [](auto& i) { i.push_back(i[7]); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Save(original);
    engine.LoadedSerial.clear();
    Browse("CD", {"b"});
    Select("x.txt");
    auto changed = original;
    c.other(changed[0].second);
    if (std::string(c.what) == "another disc in front")
      changed.insert(changed.begin(), {{.serial = "B-2", .description = "Jiné"}, {}});
    Save(changed);
    host.messages.clear();
    host.text = "pro B";
    engine.RunOperation(OperationCode::kChangeItemComment);
    if (c.followed) {
      changed.back().second[7].record.Comment.chars = "pro B^";
      EXPECT_EQ(test::ReadAll(engine.DatabasePath), Build(changed));
      EXPECT_TRUE(host.messages.empty());
    } else {
      EXPECT_EQ(test::ReadAll(engine.DatabasePath), Build(changed));
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_NE(host.messages[0].find("Nic nebylo změněno."), std::string::npos);
    }
  }

  // A damaged disc is refused whatever the item: an end mark inside it
  // ends the root listing after "a", and "a" cannot be changed either.
  auto bytes = Build(original);
  bytes[75 + 228 + FileItemAt(original[0].second, 3)] = 0x01;
  test::WriteAll(engine.DatabasePath, bytes);
  engine.LoadedSerial.clear();
  EXPECT_THROW(Browse("CD"), DamagedCatalogue);
  Select("a");
  host.text = "nic";
  try {
    engine.RunOperation(OperationCode::kChangeItemComment);
    ADD_FAILURE() << "a damaged disc was edited";
  } catch (const DamagedCatalogue& e) {
    EXPECT_NE(std::string(e.what()).find("Databázový soubor je poškozený: "), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("Nic nebylo změněno."), std::string::npos);
  }
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), bytes);
}

TEST_F(ItemEditTest, TheFileEqualsTheModelOfTheShiftForRandomEdits) {
  std::mt19937 random(1208);
  for (int round = 0; round < 60; ++round) {
    std::vector<Disc> discs;
    const int discCount = 1 + static_cast<int>(random() % 3);
    int unique = 0;
    for (int d = 0; d < discCount; ++d) {
      std::vector<CatalogueItem> items;
      const int n = 1 + static_cast<int>(random() % 8);
      int level = 1;
      for (int i = 0; i < n; ++i) {
        const bool directory = random() % 3 == 0;
        std::string comment(random() % 6, 'c');
        if (random() % 2) {
          comment += "^G";
          comment += std::to_string(random() % 3);
        }
        std::string name = "n";
        name += std::to_string(unique++);
        items.push_back(Item(directory, name, static_cast<std::uint8_t>(level), 7, comment));
        if (directory)
          ++level;
        else if (level > 1 && random() % 3 == 0)
          --level;
      }
      discs.push_back(
          {{.serial = "S-" + std::to_string(d), .description = "D" + std::to_string(d), .files = 1},
           items});
    }
    Save(discs);
    engine.LoadedSerial.clear();  // a new catalogue each round: no cached block
    // Pick an item, stand in its directory, change its comment.
    const std::size_t d = random() % discs.size();
    auto& items = discs[d].second;
    const std::size_t target = random() % items.size();
    Names path;
    std::vector<std::string> open;  // directory names by level
    for (std::size_t i = 0; i <= target; ++i) {
      open.resize(items[i].record.Level - 1);
      if (i == target)
        path = open;
      if (items[i].directory)
        open.push_back(items[i].record.Name.chars);
    }
    Browse("D" + std::to_string(d), path);
    Select(items[target].record.Name.chars);
    const std::string edit(random() % 12, 'e');
    host.text = edit;
    engine.RunOperation(OperationCode::kChangeItemComment);

    // The model: the same catalogue built with the item's new text.
    const std::string old = items[target].record.Comment.chars;
    const std::size_t caret = old.find('^');
    items[target].record.Comment.chars =
        edit + "^" + (caret == std::string::npos ? old : old.substr(caret + 1));
    const auto got = test::ReadAll(engine.DatabasePath);
    const auto want = Build(discs);
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at])
      ++at;
    ASSERT_EQ(got, want) << "round " << round << " first difference at " << at << " of "
                         << got.size() << "/" << want.size() << " disc " << d << " item " << target
                         << " edit " << edit.size() << " messages " << host.messages.size();
  }
}

TEST_F(ItemEditTest, AFailedWriteLeavesTheOldFile) {
  Save({{{.serial = "A-1", .description = "CD", .files = 2},
         {Item(false, "a.txt", 1, 5, "x"), Item(false, "b.txt", 1, 5, "y")}},
        {{.serial = "A-2", .description = "Druhé", .files = 1}, {Item(false, "c", 1, 1)}}});
  const auto before = test::ReadAll(engine.DatabasePath);
  for (std::size_t limit = 0; limit < before.size(); limit += 53) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      Browse("CD");
      Select("a.txt");
      host.text = "delší komentář";
      rlimit l{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &l);
      try {
        engine.RunOperation(OperationCode::kChangeItemComment);
      } catch (const std::exception&) {
        // The progress window never stays up after a failure.
        ::_exit(host.shiftWindowsOpen == 0 ? 0 : 2);
      }
      ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "limit " << limit;
    ASSERT_EQ(test::ReadAll(engine.DatabasePath), before) << "limit " << limit;
  }
}

}  // namespace
}  // namespace rondo
