// SPDX-License-Identifier: GPL-3.0-or-later
// The surface check over real folders, with failures of the medium put in
// between the check and the file system, and the catalogue lookup.
#include "acquisition/surface_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "shell/text.h"
#include "support/catalogue_builder.h"

namespace rondo {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, std::size_t bytes) {
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, 'x');
}

class RecordingHost : public SurfaceCheckHost {
 public:
  void File(const std::string& path, std::uint64_t size) override {
    files.push_back(path);
    sizes[path] = size;
  }
  void Block(std::size_t bytes) override {
    blocks.push_back(bytes);
    blocksOf[files.back()].push_back(bytes);
  }
  void Error(const std::string& line) override {
    if (errors.empty())
      filesAtFirstError = files.size();
    errors.push_back(line);
  }
  bool Running() override {
    return stopAfterBlocks < 0 || static_cast<int>(blocks.size()) < stopAfterBlocks;
  }

  std::vector<std::string> files;
  std::map<std::string, std::uint64_t> sizes;
  std::vector<std::size_t> blocks;
  std::map<std::string, std::vector<std::size_t>> blocksOf;
  std::vector<std::string> errors;
  std::size_t filesAtFirstError = 0;
  int stopAfterBlocks = -1;  // Running() turns false once this many were read
};

// The real file system with a damaged medium's failures where the test
// wants them.
class FaultyFiles : public PosixSurfaceFiles {
 public:
  bool List(const std::string& dir, std::vector<SurfaceEntry>& entries) override {
    if (unlistable.count(dir) != 0)
      return false;
    return PosixSurfaceFiles::List(dir, entries);
  }
  std::unique_ptr<SurfaceFile> Open(const std::string& path) override {
    if (vanished.count(path) != 0)
      return nullptr;
    auto file = PosixSurfaceFiles::Open(path);
    if (file && unreadable.count(path) != 0)
      return std::make_unique<FailingFile>(std::move(file));
    return file;
  }
  std::optional<std::uint64_t> Device(const std::string& path) override {
    ++deviceCalls;
    if (removedAfterDeviceCalls >= 0 && deviceCalls > removedAfterDeviceCalls)
      return std::nullopt;
    return PosixSurfaceFiles::Device(path);
  }

  std::set<std::string> unlistable;
  std::set<std::string> vanished;    // opening fails although the size was read
  std::set<std::string> unreadable;  // the second read fails
  int removedAfterDeviceCalls = -1;
  int deviceCalls = 0;

 private:
  // Delivers the first block, then fails.
  class FailingFile : public SurfaceFile {
   public:
    explicit FailingFile(std::unique_ptr<SurfaceFile> file) : file_(std::move(file)) {}
    long long Read(char* buffer, std::size_t n) override {
      if (reads_++ > 0)
        return -1;
      return file_->Read(buffer, n);
    }

   private:
    std::unique_ptr<SurfaceFile> file_;
    int reads_ = 0;
  };
};

std::size_t IndexOf(const std::vector<std::string>& list, const std::string& value) {
  return static_cast<std::size_t>(std::find(list.begin(), list.end(), value) - list.begin());
}

class SurfaceCheckTest : public ::testing::Test {
 protected:
  // root/
  //   a/ a1/deep.bin (10)  inner.txt (300)
  //   b/ b.txt (5)  bad.bin (250000, the second block fails)
  //   locked/ hidden.txt (cannot be listed)
  //   top.bin (450000)  gone.txt (50, vanishes)  loop -> root  outside -> file elsewhere
  //   pipe (a FIFO)
  SurfaceCheckTest() {
    fs::create_directories(Root() / "a" / "a1");
    fs::create_directories(Root() / "b");
    fs::create_directories(Root() / "locked");
    WriteFile(Root() / "a" / "a1" / "deep.bin", 10);
    WriteFile(Root() / "a" / "inner.txt", 300);
    WriteFile(Root() / "b" / "b.txt", 5);
    WriteFile(Root() / "b" / "bad.bin", 250000);
    WriteFile(Root() / "locked" / "hidden.txt", 7);
    WriteFile(Root() / "top.bin", 450000);
    WriteFile(Root() / "gone.txt", 50);
    WriteFile(dir / "outside.txt", 999);
    fs::create_directory_symlink(Root(), Root() / "loop");
    fs::create_symlink(dir / "outside.txt", Root() / "outside");
    EXPECT_EQ(::mkfifo(P("pipe").c_str(), 0644), 0);
    files.unlistable.insert(P("locked"));
    files.vanished.insert(P("gone.txt"));
    files.unreadable.insert(P("b/bad.bin"));
  }

  fs::path Root() const { return dir / "disc"; }
  std::string P(const std::string& relative) const { return (Root() / relative).string(); }

  test::TempDir dir;
  FaultyFiles files;
  RecordingHost host;
};

TEST_F(SurfaceCheckTest, ReadsEveryFileSubdirectoriesFirstAndReportsFailures) {
  const SurfaceCheckResult result = CheckSurface(Root().string(), host, files);

  const std::set<std::string> errors(host.errors.begin(), host.errors.end());
  EXPECT_EQ(errors, (std::set<std::string>{
                        "Adresář nelze otevřít! " + P("locked"),
                        "Soubor nelze přečíst! " + P("b/bad.bin"),
                        "Soubor nelze vůbec otevřít! " + P("gone.txt"),
                    }));
  EXPECT_EQ(host.errors.size(), 3u);
  EXPECT_EQ(result.errors, 3u);
  EXPECT_EQ(result.files, 4u);
  EXPECT_EQ(result.bytes, 10u + 300 + 5 + 450000 + kSurfaceBlockSize);
  EXPECT_FALSE(result.stopped);
  EXPECT_FALSE(result.mediumGone);
  EXPECT_FALSE(result.rootUnreadable);

  // Links and the FIFO were never read, and nothing was read twice.
  const std::set<std::string> read(host.files.begin(), host.files.end());
  EXPECT_EQ(read, (std::set<std::string>{P("a/a1/deep.bin"), P("a/inner.txt"), P("b/b.txt"),
                                         P("b/bad.bin"), P("top.bin"), P("gone.txt")}));
  EXPECT_EQ(host.files.size(), read.size());
  EXPECT_EQ(host.sizes[P("top.bin")], 450000u);
  EXPECT_EQ(host.sizes[P("gone.txt")], 50u);
  // A directory's files come after everything below its subdirectories.
  EXPECT_LT(IndexOf(host.files, P("a/a1/deep.bin")), IndexOf(host.files, P("a/inner.txt")));
  const std::size_t firstRootFile =
      std::min(IndexOf(host.files, P("top.bin")), IndexOf(host.files, P("gone.txt")));
  for (const char* below : {"a/a1/deep.bin", "a/inner.txt", "b/b.txt", "b/bad.bin"})
    EXPECT_LT(IndexOf(host.files, P(below)), firstRootFile) << below;

  // Blocks of the big file: two full ones and the rest; the damaged file
  // gave its first block and no more.
  EXPECT_EQ(host.blocksOf[P("top.bin")],
            (std::vector<std::size_t>{kSurfaceBlockSize, kSurfaceBlockSize,
                                      450000 - 2 * kSurfaceBlockSize}));
  EXPECT_EQ(host.blocksOf[P("b/bad.bin")], std::vector<std::size_t>{kSurfaceBlockSize});
  EXPECT_EQ(host.blocksOf.count(P("gone.txt")), 0u);
}

TEST_F(SurfaceCheckTest, StopsAfterTheCurrentBlock) {
  host.stopAfterBlocks = 1;
  files.unlistable.clear();
  fs::remove_all(Root() / "a");
  fs::remove_all(Root() / "b");
  fs::remove_all(Root() / "locked");
  fs::remove(Root() / "gone.txt");
  const SurfaceCheckResult result = CheckSurface(Root().string(), host, files);
  EXPECT_TRUE(result.stopped);
  EXPECT_EQ(host.blocks.size(), 1u);
  EXPECT_EQ(host.files.size(), 1u);
  EXPECT_EQ(result.files, 0u);
  EXPECT_EQ(result.bytes, host.blocks[0]);
}

TEST_F(SurfaceCheckTest, AMediumTakenOutEndsTheCheck) {
  // The device is asked at the start; the first failure finds it gone.
  files.removedAfterDeviceCalls = 1;
  const SurfaceCheckResult result = CheckSurface(Root().string(), host, files);
  EXPECT_TRUE(result.mediumGone);
  EXPECT_EQ(host.errors.size(), 1u);
  EXPECT_EQ(result.errors, 1u);
  // No file was begun after the failure.
  EXPECT_EQ(host.files.size(), host.filesAtFirstError);
  EXPECT_LT(result.files, 4u);

  RecordingHost nothing;
  const SurfaceCheckResult missing = CheckSurface((dir / "no-such-disc").string(), nothing, files);
  EXPECT_TRUE(missing.rootUnreadable);
  EXPECT_EQ(nothing.errors,
            std::vector<std::string>{"Adresář nelze otevřít! " + (dir / "no-such-disc").string()});
}

TEST(FindDiscHeaderTest, FindsTheFirstDiscOfASerialInASoundCatalogue) {
  test::TempDir dir;
  const std::string path = (dir / "katalog.big").string();
  test::CatalogueBytes catalogue;
  catalogue.AddDisc({.serial = "AAAA-0001", .description = "První", .cdSize = 1234})
      .AddDisc({.serial = "BBBB-0002", .description = "Druhý"})
      .AddDisc({.serial = "AAAA-0001", .description = "Kopie"});
  catalogue.Save(path);

  const auto found = FindDiscHeader(path, "AAAA-0001");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(ToUtf8(found->Description.Text()), "První");
  EXPECT_EQ(found->CdSize, 1234u);
  EXPECT_FALSE(FindDiscHeader(path, "CCCC-0003").has_value());

  // Damage after the disc: the whole catalogue is distrusted.
  catalogue.AddRaw(std::vector<std::uint8_t>(100, 0x7F));
  catalogue.Save(path);
  EXPECT_FALSE(FindDiscHeader(path, "AAAA-0001").has_value());

  const fs::path missing = dir / "novy.big";
  EXPECT_FALSE(FindDiscHeader(missing.string(), "AAAA-0001").has_value());
  EXPECT_TRUE(fs::exists(missing));
  EXPECT_EQ(fs::file_size(missing), kDatabaseHeaderSize);  // a catalogue with no disc
  EXPECT_FALSE(FindDiscHeader((dir / "no" / "such.big").string(), "AAAA-0001").has_value());
  EXPECT_FALSE(FindDiscHeader(dir.Path().string(), "AAAA-0001").has_value());
}

}  // namespace
}  // namespace rondo
