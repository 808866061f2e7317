// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation against catalogues damaged in one place: it says so (a
// message or an exception) or copes soundly, and never writes into a
// catalogue whose entries do not fit together.
#include <gtest/gtest.h>

#include <iostream>
#include <map>

#include "catalogue/conversion.h"
#include "catalogue/engine.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/entry_walker.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"
#include "support/select_discs.h"

namespace rondo {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

class ScriptedHost : public test::FakeHost, public FixedSearchHost {
 public:
  ScriptedHost() {
    pattern = "*.txt";
    directoryGroups = false;
    cache = false;
  }
  std::optional<std::string> AskText(const TextPrompt&) override { return "Nový text"; }
  std::optional<std::vector<std::string>> PickGroups(const std::vector<std::string>&) override {
    return Names{"Fotky"};
  }
};

struct Damaged {
  std::string file;
  bool headsBroken;  // the entry walk itself fails
  bool itemsBroken;  // a disc's items do not end exactly at its block's end
};

const Damaged kFiles[] = {
    {"truncated_header", true, false},    {"truncated_entry", true, false},
    {"block_size_0", true, false},        {"block_size_227", true, false},
    {"block_size_past_end", true, false}, {"name_past_block", false, true},
    {"comment_past_block", false, true},  {"end_mark_inside", false, true},
    {"name_length_short", false, true},   {"subtree_past_block", false, false},
    {"multigroup_short", false, false},   {"multigroup_long", false, false},
};

// The operations that walk the items of the damaged disc.
bool WalksItems(const std::string& op) {
  return op == "browse" || op == "search" || op == "recalc" || op == "item comment";
}

const char* const kOperations[] = {"list",   "members",    "exists",       "browse",    "search",
                                   "stats",  "recalc",     "remove",       "lend",      "rename",
                                   "groups", "multigroup", "item comment", "conversion"};

bool Writes(const std::string& op) {
  return op == "recalc" || op == "remove" || op == "lend" || op == "rename" || op == "groups" ||
         op == "multigroup" || op == "item comment" || op == "conversion";
}

// Runs one operation aimed at the disc behind the damage (or the
// multigroup); returns what it reported, "" when nothing.
std::string RunOperationOn(const std::string& op, const std::string& path) {
  ScriptedHost host;
  MemoryRegistry registry;
  Engine engine(host);
  engine.DatabasePath = path;
  engine.Settings = &registry;
  engine.Search = &host;
  engine.ShowForeignItems = true;
  try {
    if (op == "list") {
      engine.RunOperation(OperationCode::kListCds);
    } else if (op == "members") {
      engine.PendingSerial = "12-34";
      engine.RunOperation(OperationCode::kShowMultigroup);
    } else if (op == "exists") {
      engine.PendingSerial = "AAAA-0009";
      engine.RunOperation(OperationCode::kSerialExists);
    } else if (op == "browse" || op == "item comment") {
      engine.LoadedSerial = "AAAA-0002";
      engine.RunOperation(OperationCode::kLoadCdBlock);
      engine.RunOperation(OperationCode::kShowDiscRoot);
      if (op == "item comment") {
        for (auto& r : engine.Dirs.rows)
          r.selected = r.Caption() == "konec.txt" || r.Caption() == "broot.txt";
        engine.RunOperation(OperationCode::kChangeItemComment);
      } else {
        for (auto& r : engine.Dirs.rows)
          r.selected = r.Caption() == "bdir";
        engine.OpenSelectedItem();
      }
    } else if (op == "search") {
      engine.RunOperation(OperationCode::kSearch);
    } else if (op == "stats") {
      engine.RunOperation(OperationCode::kDatabaseStatistics);
    } else if (op == "recalc") {
      engine.RecalcSerial = "All";
      engine.RunOperation(OperationCode::kRecalculateStructure);
    } else if (op == "remove" || op == "lend" || op == "rename" || op == "groups") {
      test::SelectSerials(engine, {"AAAA-0009"});
      engine.RunOperation(op == "remove"   ? OperationCode::kRemoveCds
                          : op == "lend"   ? OperationCode::kLendCds
                          : op == "rename" ? OperationCode::kRenameCd
                                           : OperationCode::kChangeCdGroups);
    } else if (op == "multigroup") {
      test::SelectSerials(engine, {"AAAA-0009"});
      engine.CreateMultigroup("Nová");
    } else if (op == "conversion") {
      ConvertOldCatalogue(path);
    }
  } catch (const std::exception& e) {
    return std::string("exception: ") + e.what();
  }
  if (!host.messages.empty())
    return "message: " + host.messages.front();
  return {};
}

std::string Golden(const std::string& name) {
  return std::string(RONDO_TEST_DATA) + "/damaged/" + name + ".bin";
}

TEST(DamagedCatalogueTest, EveryOperationReportsTheDamageAndLeavesTheFile) {
  for (const Damaged& damaged : kFiles) {
    const Bytes original = test::ReadAll(Golden(damaged.file));
    for (const std::string op : kOperations) {
      SCOPED_TRACE(damaged.file + " / " + op);
      test::TempDir dir;
      const std::string path = (dir / "katalog.big").string();
      test::WriteAll(path, original);
      const std::string said = RunOperationOn(op, path);
      const Bytes now = test::ReadAll(path);
      if (damaged.headsBroken) {
        // The walk cannot go on: whatever the operation, it says so and
        // changes nothing.
        EXPECT_NE(said, "") << "the damage went unreported";
        EXPECT_EQ(now, original);
      } else if (damaged.itemsBroken && WalksItems(op)) {
        // Nothing of the disc is skipped without a word, and nothing is
        // written into it.
        EXPECT_NE(said.find("Databázový soubor je poškozený: "), std::string::npos) << said;
        EXPECT_EQ(now, original);
      } else if (now != original) {
        // Damage inside one block: an operation that writes may change what
        // it was aimed at, but the catalogue must still walk as before.
        EXPECT_TRUE(Writes(op)) << "a reading operation wrote";
        FileStream file(path, FileStream::Mode::kReadOnly);
        EXPECT_NO_THROW(CheckEntries(file));
      }
      if (op == "conversion") {
        EXPECT_NE(said, "");  // never a catalogue of the old format
        EXPECT_EQ(now, original);
      }
      std::cout << "[ damaged  ] " << damaged.file << " / " << op << ": "
                << (said.empty() ? "(nothing reported)" : said.substr(0, 110))
                << (now == original ? "" : " [file changed]") << "\n";
    }
  }
}

TEST(DamagedCatalogueTest, TwentyFullMemberSlotsAreAWholeMultigroup) {
  test::TempDir dir;
  const std::string path = (dir / "katalog.big").string();
  const Bytes original = test::ReadAll(Golden("members_full"));
  test::WriteAll(path, original);
  ScriptedHost host;
  Engine engine(host);
  engine.DatabasePath = path;
  engine.RunOperation(OperationCode::kListCds);
  EXPECT_TRUE(host.messages.empty());
  Names shown;
  for (const auto& r : engine.Discs.rows)
    shown.push_back(r.Caption());
  EXPECT_EQ(shown, (Names{"Alfa", "Omega", "Plná sada"}));
  // Only the members that are stored are listed; the list ends with its
  // block, not at a slot past it.
  engine.PendingSerial = "12-34";
  engine.RunOperation(OperationCode::kShowMultigroup);
  shown.clear();
  for (const auto& r : engine.Discs.rows)
    shown.push_back(r.Caption());
  EXPECT_EQ(shown, (Names{"..", "Alfa", "Omega"}));
  {
    FileStream file(path, FileStream::Mode::kReadOnly);
    EntryWalker walker(file);
    CdHeader h;
    std::vector<FixedText<9>> members;
    while (walker.Next(h)) {
      if (h.IsMultigroup())
        members = ReadMembers(file, walker.BlockLength());
    }
    EXPECT_EQ(members.size(), 20u);
  }
  // Removing the full multigroup gives back its stored members, and
  // nothing past its block is taken for a member.
  test::SelectSerials(engine, {"12-34"});
  engine.RunOperation(OperationCode::kRemoveCds);
  EXPECT_TRUE(host.messages.empty());
  FileStream file(path, FileStream::Mode::kReadOnly);
  EntryWalker walker(file);
  CdHeader h;
  int discs = 0;
  while (walker.Next(h)) {
    ++discs;
    EXPECT_FALSE(h.IsMultigroup());
  }
  EXPECT_EQ(discs, 2);
  EXPECT_EQ(file.Size(), original.size() - 408);
}

}  // namespace
}  // namespace rondo
