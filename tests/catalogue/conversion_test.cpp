// SPDX-License-Identifier: GPL-3.0-or-later
// Converting 3.x catalogues: the bytes of the result, the refusals of files
// that are no 3.x catalogue, and an old file that survives every failure.
#include "catalogue/conversion.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "catalogue/engine.h"
#include "catalogue/format/errors.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

std::vector<std::uint8_t> Golden(const std::string& name) {
  return test::ReadAll(std::string(RONDO_TEST_DATA) + "/" + name);
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return test::FilesIn(folder).size();
}

TEST(ConversionTest, ConvertsTheGoldenOldCatalogueExactly) {
  test::TempDir dir;
  const auto path = (dir / "stara.big").string();
  test::WriteAll(path, Golden("old_format.bin"));
  std::vector<std::pair<std::string, std::uint64_t>> discs;
  std::uint64_t lastConverted = 0;
  ConvertOldCatalogue(path,
                      {[&](const std::string& d, std::uint64_t max) { discs.emplace_back(d, max); },
                       [&](std::uint64_t n) { lastConverted = n; }});
  EXPECT_EQ(test::ReadAll(path), Golden("old_format_converted.bin"));
  ASSERT_EQ(discs.size(), 3u);
  EXPECT_EQ(discs[0].first, "Hry a zábava");
  EXPECT_EQ(discs[1], (std::pair<std::string, std::uint64_t>("Prázdné", 248)));
  EXPECT_EQ(discs[2], (std::pair<std::string, std::uint64_t>("Sbírka", 428)));
  EXPECT_EQ(lastConverted, 84u + 8u);  // the first disc's items, two directories grown by 4
  EXPECT_EQ(FilesIn(dir.Path()), 1u);  // no work file left behind

  // The result is a catalogue: listed, and its structure can be recalculated.
  test::FakeHost host;
  Engine engine(host);
  engine.DatabasePath = path;
  engine.RunOperation(OperationCode::kListCds);
  EXPECT_EQ(engine.Discs.rows.size(), 2u);  // the member stays hidden
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(host.messages.empty());
}

TEST(ConversionTest, AMissingFileBecomesAnEmptyCatalogue) {
  test::TempDir dir;
  const auto missing = (dir / "neni.big").string();
  const mode_t mask = ::umask(022);
  ConvertOldCatalogue(missing);
  ::umask(mask);
  EXPECT_EQ(test::ReadAll(missing), Golden("database_header.bin"));
  // A new file is readable like any other, not private to a temporary name.
  using std::filesystem::perms;
  EXPECT_EQ(std::filesystem::status(missing).permissions(),
            perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
}

TEST(ConversionTest, RefusesWhatIsNoOldCatalogueAndLeavesItAlone) {
  const std::vector<std::uint8_t> old = Golden("old_format.bin");
  const auto setLength = [&](std::size_t at, std::int32_t length) {
    auto bytes = old;
    std::memcpy(&bytes[at + 30], &length, 4);
    return bytes;
  };
  const std::size_t second = 249 + 84;  // the empty disc's head
  const std::size_t third = second + 249;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"current format", Golden("small_catalogue.bin")},
      {"empty file", {}},
      {"head cut short", std::vector<std::uint8_t>(old.begin(), old.begin() + 200)},
      {"block past the end", std::vector<std::uint8_t>(old.begin(), old.end() - 1)},
      {"length below the head", setLength(second, 100)},
      {"negative length", setLength(second, -5)},
      {"record over its block", setLength(0, 248 + 40)},
      {"multigroup without 20 slots", setLength(third, 248 + 171)},
  };
  // A record whose lengths run past its block.
  auto overrun = old;
  overrun[249 + 2] = 200;
  cases.push_back({"name past the block", overrun});

  for (const auto& c : cases) {
    test::TempDir dir;
    const auto path = (dir / "x.big").string();
    test::WriteAll(path, c.bytes);
    if (c.bytes == Golden("small_catalogue.bin"))
      EXPECT_THROW(ConvertOldCatalogue(path), AlreadyCurrentFormat);  // not called damage
    else
      EXPECT_THROW(ConvertOldCatalogue(path), DamagedCatalogue) << c.what;
    EXPECT_EQ(test::ReadAll(path), c.bytes) << c.what;
    EXPECT_EQ(FilesIn(dir.Path()), 1u) << c.what;
  }
}

TEST(ConversionTest, AFailedWriteLeavesTheOldFile) {
  const std::vector<std::uint8_t> old = Golden("old_format.bin");
  test::TempDir dir;
  const auto path = (dir / "stara.big").string();
  for (std::size_t limit = 0; limit < 1031; limit += 37) {
    test::WriteAll(path, old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);
      rlimit l{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &l);
      try {
        ConvertOldCatalogue(path);
      } catch (const IoError&) {
        ::_exit(0);
      }
      ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "limit " << limit;
    ASSERT_EQ(test::ReadAll(path), old) << "limit " << limit;
    EXPECT_EQ(FilesIn(dir.Path()), 1u) << "limit " << limit;
  }
}

TEST(ConversionTest, TheEngineConvertsWhenTheUserSaysYes) {
  test::TempDir dir;
  const auto path = (dir / "stara.big").string();
  test::WriteAll(path, Golden("old_format.bin"));
  test::FakeHost host;
  host.answers = {true};
  Engine engine(host);
  engine.DatabasePath = path;
  engine.RunOperation(OperationCode::kListCds);
  EXPECT_EQ(test::ReadAll(path), Golden("old_format_converted.bin"));
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(engine.Discs.rows.size(), 2u);  // listed after the conversion
}

}  // namespace
}  // namespace rondo
