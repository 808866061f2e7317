// SPDX-License-Identifier: GPL-3.0-or-later
// Disc images read without mounting: images made here by xorriso and
// genisoimage from generated trees are stored exactly as the same trees
// scanned as folders, with the attributes and times an image holds.
#include "images/disc_image.h"

#include "images/image_surface.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "acquisition/scanner.h"
#include "cli/cli.h"
#include "platform/linux_file_tree.h"
#include "platform/volume_serial.h"
#include "settings/registry.h"

namespace rondo {
namespace {

namespace fs = std::filesystem;

bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The UTF-16 code units of a name: the order Joliet records are written in.
std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
      cp = cp << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += static_cast<std::size_t>(extra) + 1;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

enum class Order { kJoliet, kByName };

// A tree read as the image should show it: read-only, hidden where the
// image says so, entries in the image's order; a time only where the image
// records one.
class AsImage : public FileTree {
 public:
  AsImage(FileTree& inner, Order order, std::set<std::string> hidden, bool dirTimes)
      : inner_(inner), order_(order), hidden_(std::move(hidden)), dirTimes_(dirTimes) {}

  bool List(const std::string& path, std::vector<TreeEntry>& entries) override {
    const bool ok = inner_.List(path, entries);
    for (TreeEntry& e : entries) {
      const bool hidden = e.name.starts_with('.') || hidden_.count(e.name) != 0;
      e.attributes = 0x01 | (e.directory ? 0x10 : 0) | (hidden ? 0x02 : 0);
      if (!dirTimes_ && (e.directory || e.size == 0))
        e.time = 0.0;
    }
    if (order_ == Order::kJoliet) {
      std::stable_sort(entries.begin(), entries.end(), [](const TreeEntry& a, const TreeEntry& b) {
        return Utf16(a.name) < Utf16(b.name);
      });
    } else {
      std::stable_sort(entries.begin(), entries.end(),
                       [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
    }
    return ok;
  }

 private:
  FileTree& inner_;
  Order order_;
  std::set<std::string> hidden_;
  bool dirTimes_;
};

// Only the order changed: byte order of the names, to compare trees whose
// order follows names the folder does not have (ISO 9660 names under Rock
// Ridge ones, UDF).
class ByName : public FileTree {
 public:
  explicit ByName(FileTree& inner) : inner_(inner) {}
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override {
    const bool ok = inner_.List(path, entries);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TreeEntry& a, const TreeEntry& b) { return a.name < b.name; });
    return ok;
  }

 private:
  FileTree& inner_;
};

class Quiet : public ScanProgress {
 public:
  void Warn(const std::string& line) override { warnings.push_back(line); }
  std::vector<std::string> warnings;
};

std::vector<std::uint8_t> Scan(const std::string& root, FileTree& tree) {
  ScanRequest request;
  request.root = root;
  request.description = "Obraz";
  request.volume = VolumeInfo{.label = "L", .serial = 1};
  MemoryRegistry registry;
  Quiet progress;
  const auto now = [] { return LocalDateTime{2024, 5, 6, 7, 8, 10}; };
  return ScanDisc(request, tree, registry, progress, now).entry;
}

class SurfaceHost : public SurfaceCheckHost {
 public:
  void File(const std::string&, std::uint64_t) override {}
  void Block(std::size_t) override {}
  void Error(const std::string& line) override { errors.push_back(line); }
  bool Running() override { return true; }
  std::vector<std::string> errors;
};

class DiscImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/rondo-images-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A tree with what images find hard: Czech and long names, a deep chain
  // of directories, empty and hidden files; optionally a file of 4 GiB - 1
  // bytes (sparse, so it takes no room) and symbolic links to a file, a
  // directory, nowhere and out of the disc.
  fs::path MakeTree(bool big, bool links = false) {
    const fs::path src = dir_ / "src";
    fs::create_directories(src / "Žluťoučký kůň" / "úpěl ďábelské ódy");
    fs::path deep = src / "hluboko";
    for (int i = 0; i < 12; ++i)
      deep /= "úroveň " + std::to_string(i);
    fs::create_directories(deep);
    Write(deep / "dno.txt", "dno");
    Write(src / "a.txt", "hello");
    Write(src / "B.TXT", "HELLO!");
    Write(src / "prázdný", "");
    Write(src / ".skrytý", "x");
    Write(src / "viditelný, ale skrytý příznakem.txt", "hidden flag");
    Write(src / "Žluťoučký kůň" / (std::string(80, 'd') + " dlouhé jméno.txt"), "long");
    Write(src / "Žluťoučký kůň" / "úpěl ďábelské ódy" / "óda.txt", std::string(5000, 'o'));
    if (links) {
      fs::create_symlink("a.txt", src / "odkaz.txt");
      fs::create_symlink("../../a.txt", src / "Žluťoučký kůň" / "úpěl ďábelské ódy" / "nahoru");
      fs::create_directory_symlink("Žluťoučký kůň", src / "odkaz na koně");
      fs::create_symlink("není tu", src / "nikam");
      fs::create_symlink("/etc/passwd", src / "ven");
    }
    if (big) {
      const fs::path huge = src / "velký.bin";
      Write(huge, "");
      fs::resize_file(huge, 0xFFFFFFFFull);
    }
    return src;
  }

  fs::path dir_;
};

TEST_F(DiscImageTest, ImagesAreStoredAsTheirTreesScannedAsFolders) {
  struct Case {
    const char* tool;
    std::string options;
    images::ImageTreeKind kind;
    Order order;
    bool hiddenFlag = false;
    bool big = false;
    bool dirTimes = true;
    bool links = false;
  };
  const std::string hide = " -hidden 'viditelný, ale skrytý příznakem.txt'";
  const std::string hideUdf = " -" + hide.substr(1);
  const Case cases[] = {
      {"genisoimage", "-J -R -joliet-long" + hide, images::ImageTreeKind::kJoliet, Order::kJoliet,
       true},
      {"xorriso", "-as mkisofs -J -joliet-long", images::ImageTreeKind::kJoliet, Order::kJoliet},
      {"xorriso", "-as mkisofs -R", images::ImageTreeKind::kRockRidge, Order::kByName, false, false,
       true, true},
      {"genisoimage", "-R", images::ImageTreeKind::kRockRidge, Order::kByName, false, false, true,
       true},
      // genisoimage marks hidden files in the ISO tree only.
      {"genisoimage", "-udf -D" + hide, images::ImageTreeKind::kUdf, Order::kByName},
      // UDF-only images, the later ones with the metadata partition of
      // Blu-ray discs; a deleted file's record must not show.
      {"make_udf.py", "--revision 0x0102 --tz-minutes -300 --deleted smazaný.txt" + hideUdf,
       images::ImageTreeKind::kUdf, Order::kByName, true},
      {"make_udf.py", "--revision 0x0201" + hideUdf, images::ImageTreeKind::kUdf, Order::kByName,
       true},
      {"make_udf.py", "--revision 0x0250 --tz-minutes 120 --deleted a.txt" + hideUdf,
       images::ImageTreeKind::kUdf, Order::kByName, true},
      {"make_udf.py", "--revision 0x0260" + hideUdf, images::ImageTreeKind::kUdf, Order::kByName,
       true},
      {"xorriso", "-as mkisofs -J -joliet-long", images::ImageTreeKind::kJoliet, Order::kJoliet,
       false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " " + c.options + (c.big ? " (4 GiB - 1)" : ""));
    const bool generated = c.tool == std::string("make_udf.py");
    if (!HaveTool(generated ? "python3" : c.tool)) {
      ADD_FAILURE() << c.tool << " is not installed (scripts/setup installs it)";
      continue;
    }
    fs::remove_all(dir_ / "src");
    const fs::path src = MakeTree(c.big, c.links);
    const fs::path image = dir_ / "disc.iso";
    fs::remove(image);
    // The image goes to the standard output and through cp, which leaves
    // the zeros of the large file out of the image file as holes.
    // The tools read the names in the locale's character set.
    const std::string command =
        "cd '" + dir_.string() + "' && LC_ALL=C.UTF-8 " +
        (generated
             ? "python3 '" RONDO_TEST_DATA "/../images/make_udf.py' " + c.options + " src disc.iso"
             : c.tool + (" " + c.options) +
                   " -quiet src 2>/dev/null | cp --sparse=always /dev/stdin disc.iso");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    images::DiscImage disc(image.string());
    EXPECT_EQ(disc.Tree(), c.kind);
    EXPECT_TRUE(disc.Problems().empty()) << disc.Problems().front();
    platform::LinuxFileTree folder;
    std::set<std::string> hidden;
    if (c.hiddenFlag)
      hidden.insert("viditelný, ale skrytý příznakem.txt");
    AsImage expected(folder, c.order, hidden, c.dirTimes);
    ByName byName(disc);
    FileTree& actual = c.order == Order::kJoliet ? static_cast<FileTree&>(disc) : byName;
    EXPECT_EQ(Scan(image.string(), actual), Scan(src.string(), expected));
  }
}

// A file that is not an image, an image cut short in its files or in its
// descriptors: a clear message or what could be read, never a crash; the
// surface check reads the files of a whole image and names those cut off.
TEST_F(DiscImageTest, DamagedImagesAreRefusedOrReadAsFarAsTheyGo) {
  if (!HaveTool("xorriso"))
    GTEST_SKIP() << "xorriso is not installed";
  const fs::path text = dir_ / "text.iso";
  Write(text, std::string(100000, 'x'));
  EXPECT_FALSE(images::LooksLikeDiscImage(text.string()));
  EXPECT_THROW(images::DiscImage{text.string()}, images::ImageError);

  const fs::path src = MakeTree(false);
  const fs::path image = dir_ / "disc.iso";
  const std::string command = "LC_ALL=C.UTF-8 xorriso -as mkisofs -J -no-pad -quiet -o '" +
                              image.string() + "' '" + src.string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_TRUE(images::LooksLikeDiscImage(image.string()));
  // The surface check reads every file's bytes from the image: all of them
  // while it is whole, and it names the files the cut took.
  const auto check = [&] {
    images::ImageSurfaceFiles files(image.string());
    SurfaceHost host;
    return std::pair(CheckSurface(image.string(), host, files), host.errors);
  };
  const auto [whole, none] = check();
  EXPECT_EQ(whole.errors, 0u);
  EXPECT_EQ(whole.files, 8u);
  EXPECT_EQ(whole.bytes, 5u + 6 + 0 + 1 + 11 + 4 + 5000 + 3);
  // Cut inside the file data: the tree is whole, the files past the end are
  // named.
  fs::resize_file(image, fs::file_size(image) - 4 * 2048);
  images::DiscImage cut(image.string());
  EXPECT_FALSE(cut.Problems().empty());
  std::vector<TreeEntry> root;
  EXPECT_TRUE(cut.List(image.string(), root));
  EXPECT_FALSE(root.empty());
  const auto [truncated, lines] = check();
  EXPECT_GT(truncated.errors, 0u);
  EXPECT_LT(truncated.files, 8u);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.front().starts_with(kCannotReadFile + image.string() + "/")) << lines.front();
  // Cut inside the descriptors: nothing to read.
  fs::resize_file(image, 17 * 2048);
  EXPECT_THROW(images::DiscImage{image.string()}, images::ImageError);
}

// The command line stores an image as the window does and checks its
// surface; a file that is no image is refused with the reason.
TEST_F(DiscImageTest, CommandLineAddsAndChecksAnImage) {
  if (!HaveTool("xorriso"))
    GTEST_SKIP() << "xorriso is not installed";
  const fs::path src = MakeTree(false);
  const fs::path image = dir_ / "disk.iso";
  const std::string command = "LC_ALL=C.UTF-8 xorriso -as mkisofs -J -V Příkaz -quiet -o '" +
                              image.string() + "' '" + src.string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string db = (dir_ / "katalog.big").string();
  MemoryRegistry registry;
  const auto run = [&](std::vector<std::string> args, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int status = RunCli(args, registry, o, e);
    out = o.str();
    err = e.str();
    return status;
  };
  std::string out, err;
  ASSERT_EQ(run({"--db", db, "add", image.string()}, out, err), kExitOk) << err;
  const VolumeInfo volume = images::DiscImage(image.string()).Volume();
  EXPECT_EQ(volume.label, "Příkaz");
  EXPECT_EQ(out, SerialText(volume.serial) + "\n");
  EXPECT_NE(err.find("čten strom Joliet"), std::string::npos) << err;
  ASSERT_EQ(run({"--db", db, "ls", SerialText(volume.serial)}, out, err), kExitOk) << err;
  EXPECT_NE(out.find("Žluťoučký kůň"), std::string::npos) << out;

  const std::string text = (src / "a.txt").string();
  EXPECT_EQ(run({"--db", db, "add", text}, out, err), kExitFailed);
  EXPECT_NE(err.find("není obraz disku"), std::string::npos) << err;
  EXPECT_EQ(run({"check", image.string()}, out, err), kExitOk) << out << err;
  EXPECT_NE(out.find("Přečteno: 5030 B"), std::string::npos) << out;
}

// The serial of a real disc image matches the Windows checksum worked out
// here from the descriptor bytes.
TEST(DiscImageSerial, GrubRescueImageHasTheDescriptorChecksum) {
  const std::string path = "/usr/lib/grub-rescue/grub-rescue-cdrom.iso";
  if (!fs::exists(path))
    GTEST_SKIP() << path << " missing (package grub-rescue-pc, installed by scripts/setup)";
  std::ifstream in(path, std::ios::binary);
  std::string primary, joliet, sector(2048, '\0');
  for (int n = 16; in.seekg(n * 2048) && in.read(sector.data(), 2048); ++n) {
    if (sector.compare(1, 5, "CD001") != 0 || sector[0] == '\xFF')
      break;
    if (sector[0] == 1 && primary.empty())
      primary = sector;
    if (sector[0] == 2 && sector.compare(88, 2, "%/") == 0 && joliet.empty())
      joliet = sector;
  }
  const std::string& chosen = joliet.empty() ? primary : joliet;
  ASSERT_FALSE(chosen.empty());
  unsigned sums[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < chosen.size(); ++i)
    sums[i % 4] = (sums[i % 4] + static_cast<unsigned char>(chosen[i])) & 0xFF;
  const std::uint32_t expected = sums[0] << 24 | sums[1] << 16 | sums[2] << 8 | sums[3];
  images::DiscImage disc(path);
  EXPECT_EQ(disc.Volume().serial, expected);
  EXPECT_EQ(disc.Volume().fileSystem, "iso9660");
}

}  // namespace
}  // namespace rondo
