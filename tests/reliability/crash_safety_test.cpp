// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation that writes, failed at each of its writing steps in turn
// and killed at random moments: the files afterwards are the old ones (or
// the finished ones) and open cleanly.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "acquisition/rescan.h"
#include "acquisition/scanner.h"
#include "borrowed/borrowed_list.h"
#include "catalogue/conversion.h"
#include "catalogue/engine.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/entry_builder.h"
#include "catalogue/format/entry_walker.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"
#include "support/select_discs.h"

namespace rondo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

constexpr const char* kCatalogue = "katalog.big";
constexpr const char* kBorrowed = "mnoupujcene.big";
constexpr std::size_t kLendDateAt = 193;  // in a disc head: after the six texts

class ScriptedHost : public test::FakeHost {
 public:
  std::optional<std::string> AskText(const TextPrompt&) override { return text; }
  std::optional<std::vector<std::string>> PickGroups(const std::vector<std::string>&) override {
    return groups;
  }
  std::optional<std::string> text;
  std::optional<std::vector<std::string>> groups;
};

class QuietProgress : public ScanProgress {};

// A medium of one folder of many files, for the rescan.
class OneFolderTree : public FileTree {
 public:
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override {
    if (path != "/cd")
      return false;
    for (int i = 0; i < 300; ++i)
      entries.push_back({.name = "soubor" + std::to_string(i) + std::string(150, 'n'), .size = 7});
    return true;
  }
};

std::vector<CatalogueItem> Items(const std::string& prefix) {
  return {test::Item(true, prefix + "-dir", 1, 300, "^Hry"),
          test::Item(true, prefix + "-sub", 2, 100, "pod"),
          test::Item(false, prefix + "-a.txt", 3, 100, "komentář"),
          test::Item(false, prefix + "-b.txt", 2, 200),
          test::Item(false, prefix + "-root.txt", 1, 300, "x")};
}

// Five discs, two of them in a multigroup; with subtree lengths left at 0
// when stale is set, so the structure recalculation has work.
Bytes BaseCatalogue(bool stale = false) {
  test::CatalogueBytes c;
  const auto add = [&](const test::DiscSpec& d, const std::string& prefix) {
    c.AddRaw(BuildCdEntry(test::MakeHeader(d), Items(prefix), !stale));
  };
  add({.serial = "AAAA-0001", .description = "Alfa", .groups = "Hry", .files = 3, .dirs = 2}, "a");
  add({.serial = "AAAA-0002",
       .description = "Beta",
       .lending = "Petr",
       .lendDate = 45001.5,
       .files = 3,
       .dirs = 2},
      "b");
  add({.serial = "AAAA-0003", .description = "Gama", .files = 3, .dirs = 2, .inMultigroup = true},
      "c");
  add({.serial = "AAAA-0004", .description = "Delta", .files = 3, .dirs = 2, .inMultigroup = true},
      "d");
  c.AddMultigroup({.serial = "12-34", .description = "Sada"}, {"AAAA-0003", "AAAA-0004"});
  add({.serial = "AAAA-0005", .description = "Epsilon", .lending = "Jana", .files = 3, .dirs = 2},
      "e");
  return c.Bytes();
}

Bytes OldFormatCatalogue() {
  return test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format.bin");
}

Bytes BorrowedBytes(std::size_t stray) {
  Bytes b;
  const char* names[] = {"Hry 1", "Film", "Hry 1", "Hudba"};
  for (const char* n : names) {
    const auto r = EncodeBorrowedDisc({n, "Skupina", "Karel", 45000.0, 2});
    b.insert(b.end(), r.begin(), r.end());
  }
  b.insert(b.end(), stray, 0x41);
  return b;
}

// Runs one engine operation on the catalogue in folder; the host's messages
// count as a reported failure.
struct EngineRun {
  explicit EngineRun(const fs::path& folder) {
    engine.DatabasePath = (folder / kCatalogue).string();
    engine.Settings = &registry;
    engine.ShowForeignItems = true;
  }
  ScriptedHost host;
  MemoryRegistry registry;
  Engine engine{host};
};

// Opens the disc with the caption and selects the item at path (names of
// the directories to enter, then the item).
void BrowseTo(Engine& engine, const std::string& disc, const Names& path) {
  engine.RunOperation(OperationCode::kListCds);
  for (auto& r : engine.Discs.rows)
    r.selected = r.Caption() == disc;
  engine.OpenSelectedDisc();
  for (std::size_t i = 0; i < path.size(); ++i) {
    for (auto& r : engine.Dirs.rows)
      r.selected = r.Caption() == path[i];
    if (i + 1 < path.size())
      engine.OpenSelectedItem();
  }
}

// What a file may look like after an interrupted operation.
enum class Outcome { kOld, kNew, kBad };

const char* OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::kOld:
      return "old";
    case Outcome::kNew:
      return "new";
    default:
      return "neither old nor new";
  }
}

struct Operation {
  std::string name;
  std::function<void(const fs::path&)> prepare;
  // Runs the operation; true when it reported a failure without throwing.
  std::function<bool(const fs::path&)> run;
  std::string file = kCatalogue;  // the file that changes
  bool borrowed = false;          // a borrowed list rather than a catalogue
  bool oldFormat = false;         // the old file is a catalogue to convert
  bool stampsLendDate = false;    // "new" carries the time of the run
  Names allowedExtraFiles;        // besides the changed file
};

std::vector<Operation> Operations() {
  std::vector<Operation> ops;
  const auto catalogue = [](Bytes bytes) {
    return [bytes](const fs::path& d) { test::WriteAll(d / kCatalogue, bytes); };
  };
  const auto engineOp = [](OperationCode code, Names serials,
                           std::function<void(ScriptedHost&)> answer = {}) {
    return [=](const fs::path& d) {
      EngineRun r(d);
      r.engine.RunOperation(OperationCode::kListCds);
      test::SelectSerials(r.engine, serials);
      if (answer)
        answer(r.host);
      r.engine.RunOperation(code);
      return !r.host.messages.empty();
    };
  };

  {
    Operation op{"store", catalogue(BaseCatalogue()), [](const fs::path& d) {
                   std::vector<CatalogueItem> items;
                   for (int i = 0; i < 300; ++i)
                     items.push_back(test::Item(false, "soubor" + std::to_string(i), 1, 7,
                                                std::string(200, 'k')));
                   const auto entry =
                       BuildCdEntry(test::MakeHeader({.serial = "BBBB-0001"}), items, true);
                   QuietProgress progress;
                   StoreScannedEntry((d / kCatalogue).string(), entry, progress);
                   return false;
                 }};
    ops.push_back(op);
  }
  ops.push_back({"rescan", catalogue(BaseCatalogue()), [](const fs::path& d) {
                   OneFolderTree tree;
                   MemoryRegistry registry;
                   QuietProgress progress;
                   RescanDisc((d / kCatalogue).string(), "AAAA-0002", "/cd", tree, registry,
                              progress, {}, [] { return LocalDateTime{2026, 1, 2, 3, 4, 5, 0}; });
                   return false;
                 }});
  {
    Operation op{"recalc", catalogue(BaseCatalogue(true)), [](const fs::path& d) {
                   EngineRun r(d);
                   r.engine.RecalcSerial = "All";
                   r.engine.RunOperation(OperationCode::kRecalculateStructure);
                   return !r.host.messages.empty();
                 }};
    ops.push_back(op);
  }
  ops.push_back({"remove", catalogue(BaseCatalogue()),
                 engineOp(OperationCode::kRemoveCds, {"AAAA-0001", "12-34"})});
  ops.push_back({"lend", catalogue(BaseCatalogue()),
                 engineOp(OperationCode::kLendCds, {"AAAA-0001", "AAAA-0005"},
                          [](ScriptedHost& h) { h.text = "Honza"; })});
  ops.back().stampsLendDate = true;
  ops.push_back({"return", catalogue(BaseCatalogue()),
                 engineOp(OperationCode::kReturnCds, {"AAAA-0002", "AAAA-0005"})});
  ops.back().stampsLendDate = true;
  ops.push_back({"clear", catalogue(BaseCatalogue()),
                 engineOp(OperationCode::kClearLending, {"AAAA-0002", "AAAA-0005"})});
  ops.push_back({"rename", catalogue(BaseCatalogue()),
                 engineOp(OperationCode::kRenameCd, {"AAAA-0001", "AAAA-0002"},
                          [](ScriptedHost& h) { h.text = "Nové jméno"; })});
  ops.push_back(
      {"groups", catalogue(BaseCatalogue()),
       engineOp(OperationCode::kChangeCdGroups, {"AAAA-0001", "AAAA-0005"}, [](ScriptedHost& h) {
         h.groups = Names{"Fotky", "Hry"};
       })});
  ops.push_back({"multigroup", catalogue(BaseCatalogue()), [](const fs::path& d) {
                   EngineRun r(d);
                   r.engine.RunOperation(OperationCode::kListCds);
                   test::SelectSerials(r.engine, {"AAAA-0001", "AAAA-0005"});
                   return r.engine.CreateMultigroup("Nová sada").empty();
                 }});
  for (const bool groups : {false, true}) {
    Operation op{groups ? "item groups" : "item comment", catalogue(BaseCatalogue()),
                 [groups](const fs::path& d) {
                   EngineRun r(d);
                   BrowseTo(r.engine, "Beta", {"b-dir", "b-sub", "b-a.txt"});
                   r.host.text = "mnohem delší komentář položky";
                   r.host.groups = Names{"Fotky", "Rodina"};
                   r.engine.RunOperation(groups ? OperationCode::kChangeItemGroups
                                                : OperationCode::kChangeItemComment);
                   return !r.host.messages.empty();
                 }};
    ops.push_back(op);
  }
  {
    Operation op{"conversion", catalogue(OldFormatCatalogue()), [](const fs::path& d) {
                   ConvertOldCatalogue((d / kCatalogue).string());
                   return false;
                 }};
    op.oldFormat = true;
    ops.push_back(op);
  }
  const auto borrowed = [](std::size_t stray) {
    return [stray](const fs::path& d) { test::WriteAll(d / kBorrowed, BorrowedBytes(stray)); };
  };
  {
    Operation op{
        "borrowed add", borrowed(0), [](const fs::path& d) {
          AppendBorrowedDisc((d / kBorrowed).string(), {"Nový", "Audio CD", "Eva", 45100.0, 1});
          return false;
        }};
    op.file = kBorrowed;
    op.borrowed = true;
    ops.push_back(op);
    op.name = "borrowed add to a damaged list";
    op.prepare = borrowed(40);
    op.allowedExtraFiles = {std::string(kBorrowed) + ".poskozeny"};
    ops.push_back(op);
    op.name = "borrowed remove";
    op.prepare = borrowed(40);
    op.allowedExtraFiles = {};
    op.run = [](const fs::path& d) {
      RemoveBorrowedDiscs((d / kBorrowed).string(), "Hry 1");
      return false;
    };
    ops.push_back(op);
  }
  return ops;
}

// The bytes with the lending date of every head zeroed.
Bytes WithoutLendDates(Bytes bytes) {
  try {
    MemoryStream stream(bytes);
    EntryWalker walker(stream);
    CdHeader h;
    while (walker.Next(h)) {
      for (std::size_t i = 0; i < 8; ++i)
        bytes[walker.EntryStart() + kLendDateAt + i] = 0;
    }
  } catch (const std::exception&) {
    // Compared as they are.
  }
  return bytes;
}

Outcome Classify(const Operation& op, const Bytes& now, const Bytes& old, const Bytes& fresh) {
  if (now == old)
    return Outcome::kOld;
  const Bytes a = op.stampsLendDate ? WithoutLendDates(now) : now;
  const Bytes b = op.stampsLendDate ? WithoutLendDates(fresh) : fresh;
  if (a == b)
    return Outcome::kNew;
  return Outcome::kBad;
}

// Empty when the file opens as what it is; else what went wrong.
std::string OpensCleanly(const Operation& op, const fs::path& folder, const Bytes& old) {
  const fs::path path = folder / op.file;
  try {
    if (op.borrowed) {
      const auto list = LoadBorrowedList(path.string());
      if (list.discs.empty())
        return "the borrowed list lost its entries";
      return {};
    }
    if (op.oldFormat && test::ReadAll(path) == old)
      return {};  // still the catalogue to convert
    EngineRun r(folder);
    r.engine.RunOperation(OperationCode::kListCds);
    if (!r.host.messages.empty())
      return "listing says: " + r.host.messages.front();
    if (!r.host.questions.empty())
      return "listing asks: " + r.host.questions.front();
    if (r.engine.Discs.rows.empty())
      return "nothing listed";
    FileStream file(path.string(), FileStream::Mode::kReadOnly);
    CheckEntries(file);
  } catch (const std::exception& e) {
    return std::string("opening throws: ") + e.what();
  }
  return {};
}

std::set<std::string> FilesIn(const fs::path& folder) {
  return test::FilesIn(folder);
}

TEST(CrashSafetyTest, EveryWritingStepThatFailsLeavesTheOldFile) {
  for (const Operation& op : Operations()) {
    SCOPED_TRACE(op.name);
    // A clean run counts the steps and gives the finished file.
    test::TempDir clean;
    op.prepare(clean.Path());
    const Bytes old = test::ReadAll(clean / op.file);
    ArmWriteFailureForTests(std::numeric_limits<std::uint64_t>::max(), EIO);
    const bool cleanReported = op.run(clean.Path());
    const std::uint64_t steps = ArmWriteFailureForTests(0, EIO);
    ASSERT_FALSE(cleanReported);
    ASSERT_GT(steps, 0u);
    const Bytes fresh = test::ReadAll(clean / op.file);
    ASSERT_NE(fresh, old);
    ASSERT_EQ(OpensCleanly(op, clean.Path(), old), "");

    std::uint64_t failed = 0;
    std::map<Outcome, int> outcomes;
    for (std::uint64_t step = 1;; ++step) {
      SCOPED_TRACE("step " + std::to_string(step));
      test::TempDir dir;
      op.prepare(dir.Path());
      const std::set<std::string> before = FilesIn(dir.Path());
      // Odd steps fail as a broken medium, even ones as a full one.
      ArmWriteFailureForTests(step, step % 2 == 1 ? EIO : ENOSPC);
      bool reported = false;
      try {
        reported = op.run(dir.Path());
      } catch (const std::exception&) {
        reported = true;
      }
      const bool struck = ArmWriteFailureForTests(0, EIO) == step;
      const Bytes now = test::ReadAll(dir / op.file);
      if (!struck) {
        EXPECT_FALSE(reported);
        const Outcome o = Classify(op, now, old, fresh);
        EXPECT_EQ(o, Outcome::kNew) << OutcomeName(o);
        EXPECT_EQ(step, steps + 1);
        break;
      }
      ++failed;
      EXPECT_TRUE(reported) << "a failed write went unreported";
      const Outcome o = Classify(op, now, old, fresh);
      ++outcomes[o];
      EXPECT_EQ(o, Outcome::kOld) << OutcomeName(o);
      EXPECT_EQ(OpensCleanly(op, dir.Path(), old), "");
      std::set<std::string> after = FilesIn(dir.Path());
      for (const auto& extra : op.allowedExtraFiles)
        after.erase(extra);
      EXPECT_EQ(after, before) << "files left behind";
      ASSERT_LE(step, steps) << "the step count changed between runs";
    }
    EXPECT_EQ(failed, steps) << "every step is tried once";
    std::cout << "[ steps    ] " << op.name << ": " << steps << " writing steps, each failed once"
              << " (the old file after each)\n";
    ::testing::Test::RecordProperty("steps " + op.name, std::to_string(steps));
  }
}

// The operation over and over in a child, each round on a fresh copy that
// replaces the file in one rename, until the parent kills it.
[[noreturn]] void RunForever(const Operation& op, const fs::path& folder, const Bytes& old) {
  for (int round = 0;; ++round) {
    const fs::path staged = folder / "reset.tmp";
    test::WriteAll(staged, old);
    fs::rename(staged, folder / op.file);
    for (const auto& extra : op.allowedExtraFiles)
      fs::remove(folder / extra);
    try {
      op.run(folder);
    } catch (const std::exception&) {
      ::_exit(3);
    }
  }
}

// A few kills per operation in the suite; scripts/kill-test asks for
// hundreds through RONDO_KILLS_PER_OPERATION.
int KillsPerOperation() {
  const char* text = std::getenv("RONDO_KILLS_PER_OPERATION");
  const int wanted = text != nullptr ? std::atoi(text) : 0;
  return wanted > 0 ? wanted : 4;
}

TEST(CrashSafetyTest, KilledAtARandomMomentTheFileIsOldOrNewAndOpens) {
  std::mt19937 random(20240611);
  const int perOperation = KillsPerOperation();
  int kills = 0;
  for (const Operation& op : Operations()) {
    SCOPED_TRACE(op.name);
    test::TempDir clean;
    op.prepare(clean.Path());
    const Bytes old = test::ReadAll(clean / op.file);
    op.run(clean.Path());
    const Bytes fresh = test::ReadAll(clean / op.file);

    std::map<Outcome, int> outcomes;
    for (int attempt = 0; attempt < perOperation; ++attempt) {
      test::TempDir dir;
      op.prepare(dir.Path());
      std::cout.flush();
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0)
        RunForever(op, dir.Path(), old);
      std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
      ASSERT_EQ(::kill(child, SIGKILL), 0);
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped on its own: " << status;
      ++kills;
      const Outcome o = Classify(op, test::ReadAll(dir / op.file), old, fresh);
      ++outcomes[o];
      EXPECT_NE(o, Outcome::kBad) << "attempt " << attempt;
      EXPECT_EQ(OpensCleanly(op, dir.Path(), old), "") << "attempt " << attempt;
      // The next change of the file removes what the killed one left.
      try {
        op.run(dir.Path());
      } catch (const std::exception&) {
        // Refusing the change again is fine; the lock was taken first.
      }
      for (const auto& name : test::FilesIn(dir.Path()))
        EXPECT_EQ(name.find(".rondotheka-tmp."), std::string::npos) << name;
    }
    std::cout << "[ kills    ] " << op.name << ": " << perOperation << " kills, old "
              << outcomes[Outcome::kOld] << ", new " << outcomes[Outcome::kNew] << "\n";
  }
  ::testing::Test::RecordProperty("kills", std::to_string(kills));
}

}  // namespace
}  // namespace rondo
