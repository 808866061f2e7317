// SPDX-License-Identifier: GPL-3.0-or-later
// The engine frame: opening, creating, the header check, the old-format
// question, damaged files and unusable paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/engine.h"
#include "catalogue/format/errors.h"
#include "catalogue/messages.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

using test::CatalogueBytes;
using test::DiscSpec;

class EngineTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name = "katalog.big") { return (dir / name).string(); }
  Engine& Open(const std::string& path) {
    engine.DatabasePath = path;
    return engine;
  }

  test::TempDir dir;
  test::FakeHost host;
  Engine engine{host};
};

TEST_F(EngineTest, MissingFileIsCreatedWithTheHeader) {
  Open(Path()).RunOperation(OperationCode::kListCds);
  const auto bytes = test::ReadAll(Path());
  ASSERT_EQ(bytes.size(), kDatabaseHeaderSize);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 23), kMagic);
  EXPECT_EQ(bytes[23], 4);
  EXPECT_EQ(bytes[24], 0);
  EXPECT_TRUE(std::all_of(bytes.begin() + 25, bytes.end(), [](auto b) { return b == 0; }));
  EXPECT_TRUE(engine.Discs.rows.empty());
  EXPECT_TRUE(host.messages.empty());

  // An empty existing file gets the header too.
  test::WriteAll(Path("empty.big"), {});
  Open(Path("empty.big")).RunOperation(OperationCode::kListCds);
  EXPECT_EQ(test::ReadAll(Path("empty.big")).size(), kDatabaseHeaderSize);
}

TEST_F(EngineTest, SerialExistsWalksOnlyAsFarAsNeeded) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001"}).AddDisc({.serial = "BBBB-0002"});
  // Garbage after the second disc: found before it, the walk never gets there.
  catalogue.AddRaw(std::vector<std::uint8_t>(100, 0xEE));
  catalogue.Save(Path());
  Open(Path());
  engine.PendingSerial = "BBBB-0002";
  EXPECT_TRUE(engine.RunOperation(OperationCode::kSerialExists));
  EXPECT_TRUE(host.messages.empty());

  engine.PendingSerial = "bbbb-0002";
  EXPECT_FALSE(engine.RunOperation(OperationCode::kSerialExists));
  ASSERT_EQ(host.messages.size(), 1u);  // the walk reached the damaged tail
  EXPECT_EQ(host.messages[0].rfind(msg::kErrorPrefix, 0), 0u);

  Open(Path("new.big"));
  EXPECT_FALSE(engine.RunOperation(OperationCode::kSerialExists));
}

TEST_F(EngineTest, OldFormatQuestionNoLeavesFileUntouched) {
  std::vector<std::uint8_t> old(500, 0x41);
  old[0] = 'Q';
  test::WriteAll(Path(), old);
  Open(Path());
  engine.PendingSerial = "AAAA-AAAA";

  host.answers = {false};
  EXPECT_FALSE(engine.RunOperation(OperationCode::kSerialExists));
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], msg::kOldFormatQuestion);
  EXPECT_EQ(test::ReadAll(Path()), old);

  // Yes runs the conversion, which refuses a file that is no 3.x catalogue
  // either: it says so, changes nothing and does not ask again.
  host.questions.clear();
  host.answers = {true, true, true};
  engine.RunOperation(OperationCode::kListCds);
  EXPECT_EQ(test::ReadAll(Path()), old);
  EXPECT_EQ(host.questions.size(), 1u);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("není to databáze verze 3.x"), std::string::npos);
  EXPECT_TRUE(host.messages[0].ends_with(msg::kFileUnchanged));
}

TEST_F(EngineTest, DamagedFilesAreReportedAndNeverWritten) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  CatalogueBytes good;
  good.AddDisc({.serial = "AAAA-0001", .description = "První"});
  const auto setBlockSize = [&](std::uint32_t size) {
    auto bytes = good.Bytes();
    for (int i = 0; i < 4; ++i)
      bytes[75 + 9 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return bytes;
  };
  auto shortHeader = good.Bytes();
  shortHeader.resize(40);
  auto truncatedEntry = good.Bytes();
  truncatedEntry.resize(75 + 100);
  const std::vector<Case> cases = {
      {"header shorter than 75 bytes", shortHeader},
      {"entry cut by the end", truncatedEntry},
      {"BlockSize 0", setBlockSize(0)},
      {"BlockSize 227", setBlockSize(227)},
      {"BlockSize past the end", setBlockSize(229)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteAll(Path(), c.bytes);
    Open(Path());
    host.messages.clear();
    if (c.bytes.size() < kDatabaseHeaderSize) {
      // Before dispatch nothing catches: the caller reports it.
      EXPECT_THROW(engine.RunOperation(OperationCode::kListCds), DamagedCatalogue);
    } else {
      engine.RunOperation(OperationCode::kListCds);
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_EQ(host.messages[0].rfind(msg::kErrorPrefix, 0), 0u);
      EXPECT_NE(host.messages[0].find("poškozený"), std::string::npos);
      EXPECT_NE(host.messages[0].find("Ukončete program"), std::string::npos);
    }
    EXPECT_EQ(test::ReadAll(Path()), c.bytes);
  }
}

TEST_F(EngineTest, ListKeepsTheDiscsReadBeforeDamage) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Zeta"})
      .AddDisc({.serial = "AAAA-0002", .description = "Alfa"});
  auto bytes = catalogue.Bytes();
  std::vector<std::uint8_t> broken(228, 0);
  broken[9] = 10;  // BlockSize 10
  bytes.insert(bytes.end(), broken.begin(), broken.end());
  test::WriteAll(Path(), bytes);
  Open(Path()).RunOperation(OperationCode::kListCds);
  ASSERT_EQ(engine.Discs.rows.size(), 2u);
  EXPECT_EQ(engine.Discs.rows[0].Caption(), "Alfa");  // still sorted
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.resets, host.changes);
}

TEST_F(EngineTest, UnusablePathsRaiseClearErrors) {
  Open(dir.Path().string());
  try {
    engine.RunOperation(OperationCode::kListCds);
    FAIL() << "a folder opened as a catalogue";
  } catch (const IoError& e) {
    EXPECT_NE(std::string(e.what()).find(dir.Path().string()), std::string::npos);
  }

  Open(Path("missing-folder/katalog.big"));
  EXPECT_THROW(engine.RunOperation(OperationCode::kListCds), IoError);

  Open("");
  EXPECT_THROW(engine.RunOperation(OperationCode::kListCds), IoError);
}

TEST_F(EngineTest, ReadOnlyCatalogueCanStillBeListed) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "root ignores file permissions";
  CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "Jen ke čtení"});
  catalogue.Save(Path());
  ::chmod(Path().c_str(), 0444);
  Open(Path()).RunOperation(OperationCode::kListCds);
  ASSERT_EQ(engine.Discs.rows.size(), 1u);
  EXPECT_EQ(engine.Discs.rows[0].Caption(), "Jen ke čtení");
}

TEST_F(EngineTest, UnknownCodesAndPathLabel) {
  CatalogueBytes catalogue;
  catalogue.AddDisc({});
  catalogue.Save(Path());
  const auto before = test::ReadAll(Path());
  Open(Path());
  EXPECT_FALSE(engine.RunOperation(20));
  EXPECT_FALSE(engine.RunOperation(255));
  EXPECT_EQ(test::ReadAll(Path()), before);
  EXPECT_TRUE(host.messages.empty());

  // Listing codes always end with the path label rebuilt from the stack.
  engine.LoadedDiscName = "CD1";
  engine.DirStack = {{"*Top*", "0 B"}, {"A", "1 B"}, {"B", "2 B"}};
  engine.RunOperation(OperationCode::kShowDirectory);
  ASSERT_FALSE(host.pathLabels.empty());
  EXPECT_EQ(host.pathLabels.back(), "[CD1] \\A\\B");
  engine.DirStack.resize(1);
  engine.RunOperation(OperationCode::kShowDiscRoot);
  EXPECT_EQ(host.pathLabels.back(), "[CD1] ");
}

}  // namespace
}  // namespace rondo
