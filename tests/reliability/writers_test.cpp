// SPDX-License-Identifier: GPL-3.0-or-later
// Several programs on one catalogue, and catalogues that are links, special
// files or read-only: every change happens whole or is refused with a
// message, and nothing else is touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <sstream>
#include <thread>

#include "acquisition/scanner.h"
#include "catalogue/engine.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/write_lock.h"
#include "cli/cli.h"
#include "settings/registry.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"
#include "support/select_discs.h"

namespace rondo {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status = 0;
  std::string out;
  std::string err;
};

Result Cli(const std::vector<std::string>& args) {
  MemoryRegistry registry;
  std::ostringstream out, err;
  const int status = RunCli(args, registry, out, err);
  return {status, out.str(), err.str()};
}

std::string Serial(int process, int i) {
  char text[16];
  std::snprintf(text, sizeof text, "%04X-%04X", process + 1, i);
  return text;
}

TEST(WritersTest, FourProgramsChangingOneCatalogueAtOnceLoseNothing) {
  test::TempDir dir;
  const std::string db = (dir / "katalog.big").string();
  fs::create_directories(dir / "disk" / "a");
  test::WriteAll(dir / "disk" / "a" / "x.txt", {'x'});
  const std::string root = (dir / "disk").string();
  ASSERT_EQ(Cli({"--db", db, "init"}).status, kExitOk);

  constexpr int kProcesses = 4;
  constexpr int kDiscs = 15;  // four commands each: 240 changes in all
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    std::cout.flush();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int failures = 0;
      for (int i = 0; i < kDiscs; ++i) {
        const std::string serial = Serial(p, i);
        const std::string tag = std::to_string(p) + "-" + std::to_string(i);
        const std::vector<std::vector<std::string>> commands = {
            {"add", root, "--serial", serial, "--name", "P" + tag},
            {"lend", "--to", "Jan " + std::to_string(p), serial},
            {"rename", serial, "R" + tag},
            {"comment", serial, "a/x.txt", "k" + tag},
        };
        for (auto args : commands) {
          args.insert(args.begin(), {"--db", db, "--wait", "120"});
          const Result r = Cli(args);
          if (r.status != kExitOk) {
            std::fprintf(stderr, "%s: %s", args[4].c_str(), r.err.c_str());
            ++failures;
          }
        }
      }
      std::_Exit(failures == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a command failed";
  }

  const Result list = Cli({"--db", db, "list"});
  ASSERT_EQ(list.status, kExitOk) << list.err;
  for (int p = 0; p < kProcesses; ++p) {
    for (int i = 0; i < kDiscs; ++i) {
      const std::string tag = std::to_string(p) + "-" + std::to_string(i);
      const std::string serial = Serial(p, i);
      EXPECT_NE(list.out.find("R" + tag + "\t"), std::string::npos) << serial;
      const Result ls = Cli({"--db", db, "ls", serial, "a"});
      EXPECT_NE(ls.out.find("k" + tag), std::string::npos) << serial << ": " << ls.out;
    }
  }
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), kProcesses * kDiscs);
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), 'J'), kProcesses * kDiscs);  // "Jan p"
  EXPECT_EQ(test::FilesIn(dir.Path()), (std::set<std::string>{"disk", "katalog.big"}));
}

TEST(WritersTest, LinksSpecialFilesAndReadOnlyCatalogues) {
  test::TempDir dir;
  const fs::path db = dir / "katalog.big";
  test::CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Staré"},
                    {test::Item(false, "a", 1, 5)});
  catalogue.Save(db);
  const auto before = catalogue.Bytes();
  const auto rename = [](const fs::path& path) {
    return Cli({"--db", path.string(), "rename", "AAAA-0001", "Nové"});
  };

  // Through a symbolic link (relative, two hops) the target changes and the
  // links stay links.
  fs::create_directories(dir / "odkazy");
  fs::create_symlink("../katalog.big", dir / "odkazy" / "prvni.big");
  fs::create_symlink("prvni.big", dir / "odkazy" / "druhy.big");
  EXPECT_EQ(rename(dir / "odkazy" / "druhy.big").status, kExitOk);
  EXPECT_TRUE(fs::is_symlink(dir / "odkazy" / "druhy.big"));
  EXPECT_TRUE(fs::is_symlink(dir / "odkazy" / "prvni.big"));
  EXPECT_NE(Cli({"--db", db.string(), "list"}).out.find("Nové"), std::string::npos);
  test::WriteAll(db, before);

  // Refused with nothing changed: what the message names, what the file is.
  struct Case {
    const char* what;
    std::vector<std::string> args;  // after --db PATH
    std::string expected;
  };
  const std::vector<Case> changes = {
      {"rename", {"rename", "AAAA-0001", "Nové"}, ""},
      {"remove", {"remove", "AAAA-0001"}, ""},
      {"comment", {"comment", "AAAA-0001", "a", "text"}, ""},
      {"lend", {"lend", "--to", "Eva", "AAAA-0001"}, ""},
  };
  fs::create_hard_link(db, dir / "druhe-jmeno.big");
  for (const auto& c : changes) {
    auto args = c.args;
    args.insert(args.begin(), {"--db", db.string()});
    const Result r = Cli(args);
    EXPECT_EQ(r.status, kExitFailed) << c.what;
    EXPECT_NE(r.err.find("pevné odkazy"), std::string::npos) << c.what << ": " << r.err;
    EXPECT_EQ(test::ReadAll(db), before) << c.what;
  }
  fs::remove(dir / "druhe-jmeno.big");
  fs::permissions(db, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  for (const auto& c : changes) {
    auto args = c.args;
    args.insert(args.begin(), {"--db", db.string()});
    const Result r = Cli(args);
    EXPECT_EQ(r.status, kExitFailed) << c.what;
    EXPECT_NE(r.err.find("jen pro čtení"), std::string::npos) << c.what << ": " << r.err;
    EXPECT_EQ(test::ReadAll(db), before) << c.what;
  }
  EXPECT_EQ(Cli({"--db", db.string(), "list"}).status, kExitOk);  // reading still works

  // A FIFO, a folder and a device are never opened for writing, replaced
  // or waited on, whatever the command.
  const fs::path fifo = dir / "roura.big";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const fs::path folder = dir / "slozka.big";
  fs::create_directory(folder);
  std::vector<std::pair<fs::path, std::string>> specials = {{fifo, "roura (FIFO)"},
                                                            {folder, "složka"}};
  const fs::path device = dir / "zarizeni.big";
  if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)  // like /dev/null
    specials.emplace_back(device, "znakové zařízení");
  for (const auto& [path, kind] : specials) {
    const auto type = fs::symlink_status(path).type();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--db", path.string(), "list"},
          {"--db", path.string(), "lend", "--to", "Eva", "AAAA-0001"},
          {"--db", path.string(), "init"},
          {"convert", path.string()}}) {
      const Result r = Cli(args);
      EXPECT_EQ(r.status, kExitFailed) << path << " " << args[args.size() - 2];
      EXPECT_NE(r.err.find(kind), std::string::npos) << r.err;
      EXPECT_EQ(fs::symlink_status(path).type(), type);
    }
  }
  EXPECT_EQ(Cli({"convert", (dir / "prazdny.big").string()}).status, kExitOk);  // missing: new
  test::WriteAll(dir / "prazdny.big", {});
  EXPECT_EQ(Cli({"convert", (dir / "prazdny.big").string()}).status, kExitFailed);

  // A full disk while a catalogue is created leaves no empty file behind.
  ArmWriteFailureForTests(1, ENOSPC);
  EXPECT_EQ(Cli({"--db", (dir / "novy.big").string(), "init"}).status, kExitFailed);
  ArmWriteFailureForTests(0, 0);
  EXPECT_FALSE(fs::exists(dir / "novy.big"));
}

TEST(WritersTest, AChangeWaitsForTheLockAndCleansUpButReadersNeverWait) {
  test::TempDir dir;
  const fs::path db = dir / "katalog.big";
  test::CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Staré"});
  catalogue.Save(db);
  const auto stale = dir / "katalog.big.rondotheka-tmp.Ab12Cd";
  const auto foreign = dir / "jiny.big.rondotheka-tmp.Ab12Cd";
  test::WriteAll(stale, {1, 2, 3});
  test::WriteAll(foreign, {1, 2, 3});

  auto lock = std::make_unique<WriteLock>(db.string(), WaitAtMost({}));
  const Result busy = Cli({"--db", db.string(), "--wait", "0.2", "rename", "AAAA-0001", "Nové"});
  EXPECT_EQ(busy.status, kExitFailed);
  EXPECT_NE(busy.err.find("právě mění jiný program"), std::string::npos) << busy.err;
  EXPECT_EQ(test::ReadAll(db), catalogue.Bytes());
  EXPECT_EQ(Cli({"--db", db.string(), "list"}).status, kExitOk);

  std::thread release([&lock] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.reset();
  });
  const Result waited = Cli({"--db", db.string(), "--wait", "30", "rename", "AAAA-0001", "Nové"});
  release.join();
  EXPECT_EQ(waited.status, kExitOk) << waited.err;
  EXPECT_NE(Cli({"--db", db.string(), "list"}).out.find("Nové"), std::string::npos);
  // Only the temporary file of this catalogue was another writer's leftover.
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(foreign));
  EXPECT_EQ(Cli({"--db", db.string(), "--wait", "x", "list"}).status, kExitUsage);

  // A disc stored by another program while this one scanned the same disc.
  const auto stored = test::ReadAll(db);
  ScanProgress quiet;
  const auto entry = BuildCdEntry(test::MakeHeader({.serial = "AAAA-0001"}), {}, true);
  EXPECT_THROW(StoreScannedEntry(db.string(), entry, quiet, {}, {}, true), IoError);
  EXPECT_EQ(test::ReadAll(db), stored);
}

TEST(WritersTest, AnOutsideChangeIsShownWithoutLosingThePlace) {
  test::TempDir dir;
  const std::string db = (dir / "katalog.big").string();
  test::CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Alfa"});
  catalogue.AddDisc({.serial = "AAAA-0002", .description = "Beta"},
                    {test::Item(true, "hudba", 1), test::Item(false, "a.mp3", 2, 3),
                     test::Item(false, "b.mp3", 2, 4)});
  catalogue.Save(db);
  test::FakeHost host;
  Engine engine(host);
  engine.DatabasePath = db;
  engine.RunOperation(OperationCode::kListCds);
  test::SelectSerials(engine, {"AAAA-0002"});
  ASSERT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kDisc);
  for (auto& row : engine.Dirs.rows)
    row.selected = row.Caption() == "hudba";
  engine.OpenSelectedItem();
  for (auto& row : engine.Dirs.rows)
    row.selected = row.Caption() == "b.mp3";

  // Another program renames the browsed disc and comments an item in the
  // browsed folder: shown, still in that folder, the same item selected.
  ASSERT_EQ(Cli({"--db", db, "rename", "AAAA-0002", "Beta 2"}).status, kExitOk);
  ASSERT_EQ(Cli({"--db", db, "comment", "AAAA-0002", "hudba/b.mp3", "nová"}).status, kExitOk);
  ASSERT_TRUE(engine.RefreshFromFile(true));
  ASSERT_EQ(engine.DirStack.size(), 2u);
  EXPECT_EQ(engine.DirStack[1].Name, "hudba");
  const auto selected = std::find_if(engine.Dirs.rows.begin(), engine.Dirs.rows.end(),
                                     [](const DirRow& r) { return r.selected; });
  ASSERT_NE(selected, engine.Dirs.rows.end());
  EXPECT_EQ(selected->Caption(), "b.mp3");
  bool commented = false;
  for (const auto& cell : selected->cells)
    commented = commented || cell.find("nová") != std::string::npos;
  EXPECT_TRUE(commented);
  ASSERT_NE(engine.Discs.FirstSelected(), nullptr);
  EXPECT_EQ(engine.Discs.FirstSelected()->Caption(), "Beta 2");

  // The browsed disc removed by the other program: browsing ends.
  ASSERT_EQ(Cli({"--db", db, "remove", "AAAA-0002"}).status, kExitOk);
  EXPECT_FALSE(engine.RefreshFromFile(true));
  EXPECT_TRUE(engine.DirStack.empty());
  ASSERT_EQ(engine.Discs.rows.size(), 1u);
  EXPECT_EQ(engine.Discs.FirstSelected(), nullptr);
  EXPECT_TRUE(host.messages.empty());
}

// A dialog that, while it is open, lets another program change the disc.
class BusyUserHost : public test::FakeHost {
 public:
  std::string db;
  int othersStatus = -1;
  std::optional<std::string> AskText(const TextPrompt&) override {
    othersStatus = Cli({"--db", db, "--wait", "0", "rename", "AAAA-0001", "Venku"}).status;
    return "Eva";
  }
};

TEST(WritersTest, TheLendingAndCommentDialogsDoNotHoldTheLock) {
  test::TempDir dir;
  test::CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Alfa"},
                    {test::Item(false, "a.txt", 1, 3)});
  catalogue.Save(dir / "katalog.big");
  BusyUserHost host;
  host.db = (dir / "katalog.big").string();
  Engine engine(host);
  engine.DatabasePath = host.db;
  engine.RunOperation(OperationCode::kListCds);
  test::SelectSerials(engine, {"AAAA-0001"});
  engine.RunOperation(OperationCode::kLendCds);
  EXPECT_EQ(host.othersStatus, kExitOk);
  test::SelectSerials(engine, {"AAAA-0001"});
  ASSERT_EQ(engine.OpenSelectedDisc(), Engine::Opened::kDisc);
  engine.Dirs.rows.back().selected = true;  // a.txt
  host.othersStatus = -1;
  engine.RunOperation(OperationCode::kChangeItemComment);
  EXPECT_EQ(host.othersStatus, kExitOk);
  // Both changes are there: the other program's name, this one's lending
  // and comment.
  const Result list = Cli({"--db", host.db, "list"});
  EXPECT_NE(list.out.find("Venku"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("Eva"), std::string::npos) << list.out;
  EXPECT_NE(Cli({"--db", host.db, "ls", "AAAA-0001"}).out.find("Eva"), std::string::npos);
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace rondo
