// SPDX-License-Identifier: GPL-3.0-or-later
// Removing, lending, renaming, regrouping discs, multigroups and the group
// import.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <regex>

#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/messages.h"
#include "settings/group_kinds.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"
#include "support/select_discs.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using Names = std::vector<std::string>;

class AnsweringHost : public test::FakeHost {
 public:
  std::optional<std::string> AskText(const TextPrompt& prompt) override {
    prompts.push_back(prompt);
    if (texts.empty())
      return std::nullopt;
    auto t = texts.front();
    texts.pop_front();
    return t;
  }
  std::optional<std::vector<std::string>> PickGroups(
      const std::vector<std::string>& chosen) override {
    offered.push_back(chosen);
    return picked;
  }
  void GroupListChanged() override { ++groupListChanges; }

  std::deque<std::optional<std::string>> texts;
  std::vector<TextPrompt> prompts;
  std::optional<std::vector<std::string>> picked;
  std::vector<std::vector<std::string>> offered;
  int groupListChanges = 0;
};

class MaintenanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.DatabasePath = (dir / "katalog.big").string();
    engine.Settings = &registry;
    catalogue
        .AddDisc({.serial = "AAAA-0001",
                  .description = "Alfa",
                  .groups = "Hry;Filmy",
                  .files = 3,
                  .dirs = 1,
                  .cdSize = 100},
                 {test::Item(true, "D", 1, 5), test::Item(false, "f", 2, 5)})
        .AddDisc({.serial = "AAAA-0002",
                  .description = "Beta",
                  .files = 4,
                  .cdSize = 200,
                  .inMultigroup = true})
        .AddDisc({.serial = "AAAA-0003", .description = "Gama", .inMultigroup = true})
        .AddMultigroup({.serial = "5-5", .description = "Sada"}, {"AAAA-0002", "AAAA-0003"})
        .AddDisc({.serial = "AAAA-0004", .description = "Delta", .groups = "Hudba"});
    catalogue.Save(engine.DatabasePath);
    engine.RunOperation(OperationCode::kListCds);
  }
  void Select(const Names& serials) { test::SelectSerials(engine, serials); }
  std::vector<CdHeader> Headers() {
    FileStream file(engine.DatabasePath, FileStream::Mode::kReadOnly);
    EntryWalker walker(file);
    std::vector<CdHeader> headers;
    CdHeader h;
    while (walker.Next(h))
      headers.push_back(h);
    return headers;
  }
  CdHeader Header(const std::string& serial) {
    for (const auto& h : Headers()) {
      if (h.Serial.Text().bytes == serial)
        return h;
    }
    throw std::runtime_error("no disc " + serial);
  }
  Names Listed() {
    Names names;
    for (const auto& r : engine.Discs.rows)
      names.push_back(r.Caption());
    return names;
  }

  test::TempDir dir;
  MemoryRegistry registry;
  AnsweringHost host;
  Engine engine{host};
  CatalogueBytes catalogue;
};

TEST_F(MaintenanceTest, RemovingDiscsAndDissolvingMultigroups) {
  // Nothing selected: the file is rebuilt with the same bytes.
  Select({});
  engine.RunOperation(OperationCode::kRemoveCds);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), catalogue.Bytes());

  // A disc another program removed meanwhile: said by name, nothing removed.
  Select({"AAAA-0001", "FFFF-FFFF"});
  engine.Discs.rows[1].cells[kColDescription] = "Zmizelý";
  engine.RunOperation(OperationCode::kRemoveCds);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), catalogue.Bytes());
  EXPECT_EQ(host.messages, Names{"CD „Zmizelý“ (FFFF-FFFF) v databázi není. Nic nebylo změněno."});

  // Two discs and the multigroup; the ".." row matches nothing.
  Select({"AAAA-0001", "5-5", "AAAA-0004", ""});
  engine.RunOperation(OperationCode::kRemoveCds);
  const auto headers = Headers();
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_EQ(headers[0].InMultigroup, 0);
  EXPECT_EQ(headers[1].InMultigroup, 0);
  EXPECT_EQ(Listed(), (Names{"Beta", "Gama"}));  // the members are back in the list
  // The rest of the bytes are those of the kept entries, header included.
  const auto bytes = test::ReadAll(engine.DatabasePath);
  EXPECT_TRUE(std::equal(catalogue.Bytes().begin(), catalogue.Bytes().begin() + 75, bytes.begin()));
  // No temporary file is left beside the catalogue.
  EXPECT_EQ(test::FilesIn(dir.Path()).size(), 1u);
}

TEST_F(MaintenanceTest, ARemovalThatFailsAtAnyByteLeavesTheCatalogueAsItWas) {
  const auto before = test::ReadAll(engine.DatabasePath);
  // What a removal that succeeds writes.
  const std::string copy = (dir / "kopie.big").string();
  test::WriteAll(copy, before);
  {
    test::FakeHost quiet;
    Engine e(quiet);
    e.DatabasePath = copy;
    test::SelectSerials(e, {"AAAA-0004"});
    e.RunOperation(OperationCode::kRemoveCds);
  }
  const auto after = test::ReadAll(copy);
  std::filesystem::remove(copy);
  ASSERT_LT(after.size(), before.size());
  for (std::size_t limit = 0; limit < before.size(); limit += 97) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit l{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &l);
      test::FakeHost quiet;
      Engine e(quiet);
      e.DatabasePath = engine.DatabasePath;
      test::SelectSerials(e, {"AAAA-0004"});
      try {
        e.RunOperation(OperationCode::kRemoveCds);
      } catch (const std::exception&) {
        ::_exit(0);
      }
      ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    // Either the write failed and reported it, leaving the old file, or the
    // whole new file fitted under the limit and replaced it.
    const bool failed = WEXITSTATUS(status) == 0;
    EXPECT_EQ(failed, limit < after.size()) << "limit " << limit;
    ASSERT_EQ(test::ReadAll(engine.DatabasePath), failed ? before : after) << "limit " << limit;
    if (!failed)
      test::WriteAll(engine.DatabasePath, before);
    EXPECT_EQ(test::FilesIn(dir.Path()).size(), 1u) << "limit " << limit;
  }
}

TEST_F(MaintenanceTest, LendingReturningAndClearing) {
  Select({"AAAA-0001", "5-5"});
  host.texts = {std::string("Jan Nepomuk Novák z Brna")};  // 25 characters
  engine.RunOperation(OperationCode::kLendCds);
  ASSERT_EQ(host.prompts.size(), 1u);
  EXPECT_EQ(host.prompts[0].caption, "Pujčit komu?");
  EXPECT_EQ(ToUtf8(Header("AAAA-0001").Lending.Text()), "Jan Nepomuk Novák z Brna");
  EXPECT_NE(Header("AAAA-0001").LendDate, 0.0);
  EXPECT_EQ(ToUtf8(Header("5-5").Lending.Text()), "Jan Nepomuk Novák z Brna");  // the group itself
  EXPECT_EQ(Header("AAAA-0002").Lending.Text().bytes, "");                      // not its members

  Select({"AAAA-0001"});
  engine.RunOperation(OperationCode::kReturnCds);
  EXPECT_EQ(ToUtf8(Header("AAAA-0001").Lending.Text()), "Vráceno: Jan Nepomuk Novák z B");
  Select({"AAAA-0001"});  // the list was refreshed: select again
  engine.RunOperation(OperationCode::kReturnCds);
  EXPECT_EQ(ToUtf8(Header("AAAA-0001").Lending.Text()), "Vráceno: Vráceno: Jan Nepomuk ");
  engine.GroupFilter = "Nepůjčené";
  engine.RunOperation(OperationCode::kListCds);
  EXPECT_EQ(Listed(), (Names{"Alfa", "Delta"}));

  // "Storno" writes nothing; an empty name stores an empty text but a date.
  Select({"AAAA-0004"});
  const auto before = test::ReadAll(engine.DatabasePath);
  host.texts = {std::nullopt, std::string(31, 'x')};  // the second over the field
  engine.RunOperation(OperationCode::kLendCds);
  Select({"AAAA-0004"});
  engine.RunOperation(OperationCode::kLendCds);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), before);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("nejvýše 30 znaků"), std::string::npos);
  host.texts = {std::string()};
  Select({"AAAA-0004"});
  engine.RunOperation(OperationCode::kLendCds);
  EXPECT_EQ(Header("AAAA-0004").Lending.Text().bytes, "");
  EXPECT_NE(Header("AAAA-0004").LendDate, 0.0);

  Select({"AAAA-0004"});
  engine.RunOperation(OperationCode::kClearLending);
  EXPECT_EQ(Header("AAAA-0004").LendDate, 0.0);
  // Only the heads changed: the file keeps its length.
  EXPECT_EQ(test::ReadAll(engine.DatabasePath).size(), catalogue.Bytes().size());
}

// One disc's head is rewritten where it lies (lending stays quick however
// large the catalogue); several discs' heads go in together through a new
// file, so they change all together or not at all.
TEST_F(MaintenanceTest, OneHeadIsWrittenInPlaceSeveralThroughAReplacement) {
  const auto inode = [&] {
    struct stat st {};
    EXPECT_EQ(::stat(engine.DatabasePath.c_str(), &st), 0);
    return st.st_ino;
  };
  const ino_t first = inode();
  Select({"AAAA-0004"});
  host.texts = {std::string("Eva")};
  engine.RunOperation(OperationCode::kLendCds);
  EXPECT_EQ(inode(), first);
  EXPECT_EQ(Header("AAAA-0004").Lending.Text().bytes, "Eva");

  Select({"AAAA-0001", "AAAA-0004"});
  engine.RunOperation(OperationCode::kClearLending);
  EXPECT_NE(inode(), first);
  EXPECT_EQ(Header("AAAA-0004").LendDate, 0.0);
  // Everything but the two heads is as it was.
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), catalogue.Bytes());
}

TEST_F(MaintenanceTest, RenamingAndRegrouping) {
  Select({"AAAA-0001", "AAAA-0004"});
  host.texts = {std::string(50, 'N'), std::nullopt};
  engine.RunOperation(OperationCode::kRenameCd);
  ASSERT_EQ(host.prompts.size(), 2u);
  EXPECT_EQ(host.prompts[0].label, "Nový popis:");
  EXPECT_EQ(host.prompts[0].text, "Alfa");
  EXPECT_EQ(host.prompts[0].field, TypedField::kDiscName);
  EXPECT_EQ(Header("AAAA-0001").Description.Text().bytes, std::string(50, 'N'));
  EXPECT_EQ(ToUtf8(Header("AAAA-0004").Description.Text()), "Delta");
  // A name that would be cut, or a serial not stored, changes nothing.
  const auto named = test::ReadAll(engine.DatabasePath);
  Select({"AAAA-0001"});
  host.texts = {std::string(51, 'N')};
  engine.RunOperation(OperationCode::kRenameCd);
  Select({"AAAA-0001", "FFFF-FFFF"});
  host.texts = {std::string("Nové")};
  engine.RunOperation(OperationCode::kRenameCd);
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), named);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_NE(host.messages[0].find("nejvýše 50 znaků"), std::string::npos);
  EXPECT_EQ(host.messages[1], "CD FFFF-FFFF v databázi není. Nic nebylo změněno.");

  Select({"AAAA-0001"});
  host.picked = Names{"Nezařazeno", "Škola", "Škola", "Nový žánr"};
  engine.RunOperation(OperationCode::kChangeCdGroups);
  ASSERT_EQ(host.offered.size(), 1u);
  EXPECT_EQ(host.offered[0], (Names{"Hry", "Filmy"}));
  EXPECT_EQ(ToUtf8(Header("AAAA-0001").Groups.Text()), "Škola;Škola;Nový žánr");
  EXPECT_EQ(registry.Read("Druhy CD", "Nový žánr"), std::optional<std::string>("none"));
  EXPECT_GE(host.groupListChanges, 1);

  // Groups that would be cut or split are refused, and none registered.
  const auto grouped = test::ReadAll(engine.DatabasePath);
  for (const Names& picked : {Names{std::string(30, 'a'), std::string(20, 'b')},
                              Names{"Nová", "Hry;Filmy"}, Names{"Nová", "Hry^"}}) {
    host.picked = picked;
    Select({"AAAA-0001"});
    engine.RunOperation(OperationCode::kChangeCdGroups);
    EXPECT_EQ(test::ReadAll(engine.DatabasePath), grouped);
  }
  EXPECT_EQ(host.messages.size(), 5u);
  EXPECT_FALSE(registry.Read("Druhy CD", "Nová").has_value());
  host.picked = Names{"Nezařazeno"};
  Select({"AAAA-0001"});
  engine.RunOperation(OperationCode::kChangeCdGroups);
  EXPECT_EQ(Header("AAAA-0001").Groups.Text().bytes, "");
}

TEST_F(MaintenanceTest, CreatingMultigroups) {
  Select({"AAAA-0001", "AAAA-0004"});
  const std::string serial = engine.CreateMultigroup("Moje sada");
  EXPECT_TRUE(std::regex_match(serial, std::regex("[0-9]{1,4}-[0-9]{1,4}")));
  const CdHeader made = Header(serial);
  EXPECT_EQ(made.BlockSize, 408u);
  EXPECT_TRUE(made.IsMultigroup());
  EXPECT_EQ(ToUtf8(made.Description.Text()), "Moje sada");
  EXPECT_EQ(made.FileCount, 3);
  EXPECT_EQ(made.CdSize, 100u);
  EXPECT_EQ(ToUtf8(made.Groups.Text()), "Hudba");  // from the last member in file order
  EXPECT_EQ(Header("AAAA-0001").InMultigroup, 1);
  EXPECT_EQ(Header("AAAA-0004").InMultigroup, 1);
  engine.PendingSerial = serial;
  engine.RunOperation(OperationCode::kShowMultigroup);
  EXPECT_EQ(Listed(), (Names{"..", "Alfa", "Delta"}));

  // A second one right after has its own serial and members.
  Select({"AAAA-0002"});
  const std::string second = engine.CreateMultigroup("Druhá");
  EXPECT_NE(second, serial);
  engine.PendingSerial = second;
  engine.RunOperation(OperationCode::kShowMultigroup);
  EXPECT_EQ(Listed(), (Names{"..", "Beta"}));

  // Nothing selected: an empty multigroup.
  Select({});
  const std::string empty = engine.CreateMultigroup("Prázdná");
  EXPECT_EQ(Header(empty).FileCount, 0);

  // More than twenty discs: refused before anything is written.
  CatalogueBytes many;
  Names serials;
  for (int i = 0; i < 21; ++i) {
    serials.push_back("BBBB-" + std::to_string(1000 + i));
    many.AddDisc({.serial = serials.back()});
  }
  many.Save(engine.DatabasePath);
  Select(serials);
  host.messages.clear();
  EXPECT_EQ(engine.CreateMultigroup("Moc"), "");
  EXPECT_EQ(test::ReadAll(engine.DatabasePath), many.Bytes());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("20"), std::string::npos);
  serials.pop_back();
  Select(serials);
  EXPECT_NE(engine.CreateMultigroup("Akorát"), "");
}

TEST_F(MaintenanceTest, ImportingGroupNames) {
  CatalogueBytes odd;
  odd.AddDisc({.serial = "C-1", .groups = "Hry;Filmy"})
      .AddDisc({.serial = "C-2", .groups = ";Divné;;Jiné;"})
      .AddDisc({.serial = "C-3", .groups = "Hry"})
      .AddDisc({.serial = "C-4"});
  odd.Save(engine.DatabasePath);
  engine.RunOperation(OperationCode::kImportGroups);
  EXPECT_EQ(ReadGroupList(registry), (Names{"Hry", "Filmy", ";Divné", ";Jiné"}));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0], msg::kImportDone);
  EXPECT_EQ(host.groupListChanges, 1);
}

}  // namespace
}  // namespace rondo
