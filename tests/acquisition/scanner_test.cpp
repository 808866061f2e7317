// SPDX-License-Identifier: GPL-3.0-or-later
// Scanning a tree into a disc entry, byte for byte, and storing it.
#include "acquisition/scanner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>

#include "catalogue/engine.h"
#include "catalogue/format/errors.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "shell/text.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

namespace rondo {
namespace {

class FakeTree : public FileTree {
 public:
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override {
    listed.push_back(path);
    if (const auto cut = partial.find(path); cut != partial.end()) {
      entries = cut->second;
      return false;
    }
    const auto it = dirs.find(path);
    if (it == dirs.end())
      return false;
    entries = it->second;
    return true;
  }
  std::map<std::string, std::vector<TreeEntry>> dirs;
  std::map<std::string, std::vector<TreeEntry>> partial;  // listings cut short
  std::vector<std::string> listed;
};

class RecordingProgress : public ScanProgress {
 public:
  void Log(const std::string& line) override { lines.push_back(line); }
  void Warn(const std::string& line) override {
    warnings.push_back(line);
    lines.push_back(line);
  }
  std::vector<std::string> lines;
  std::vector<std::string> warnings;
};

// "f12": the name of the numbered file n.
std::string FileName(std::size_t n) {
  std::string name = "f";
  name += std::to_string(n);
  return name;
}

TreeEntry File(const std::string& name, std::uint64_t size, std::uint32_t attributes = 0x20,
               double time = 40000.5) {
  TreeEntry e;
  e.name = name;
  e.size = size;
  e.attributes = attributes;
  e.time = time;
  return e;
}

TreeEntry Dir(const std::string& name, double time = 40001.25) {
  TreeEntry e;
  e.name = name;
  e.directory = true;
  e.attributes = 0x10;
  e.time = time;
  return e;
}

// The expected bytes, written field by field without the program's writers.
class Bytes {
 public:
  Bytes& Raw(const std::string& cp1250) {
    out.insert(out.end(), cp1250.begin(), cp1250.end());
    return *this;
  }
  Bytes& Text(const std::string& utf8, std::size_t width) {
    std::string t = ToCp1250(utf8).bytes;
    t.resize(width, '\0');
    return Raw(t);
  }
  template <typename T>
  Bytes& Le(T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
      out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return *this;
  }
  Bytes& Double(double value) { return Le(std::bit_cast<std::uint64_t>(value)); }
  Bytes& Item(bool dir, const std::string& name, std::uint32_t size, std::uint32_t attributes,
              const std::string& comment, double time, std::uint8_t level) {
    const std::string n = ToCp1250(name).bytes;
    const std::string c = ToCp1250(comment).bytes;
    Le<std::uint8_t>(dir ? 2 : 0).Le<std::uint8_t>(static_cast<std::uint8_t>(n.size()));
    Le<std::uint8_t>(static_cast<std::uint8_t>(c.size())).Raw(n).Le(size).Le(attributes);
    Raw(c).Double(time).Le(level);
    if (dir)
      Le<std::uint32_t>(0);
    return *this;
  }
  std::vector<std::uint8_t> out;
};

std::vector<std::uint8_t> Header(const std::string& serial, std::uint32_t blockSize,
                                 const std::string& label, const std::string& description,
                                 const std::string& groups, double created, std::uint16_t files,
                                 std::uint16_t dirs, double finished, std::uint32_t cdSize) {
  Bytes b;
  b.Text(serial, 9).Le(blockSize).Text(label, 50).Text(description, 50).Text(groups, 50);
  b.Text("", 30).Double(0.0).Double(created).Le(files).Le(dirs).Double(finished);
  b.Le<std::uint16_t>(0).Le(cdSize).Le<std::uint8_t>(0);
  return b.out;
}

class ScannerTest : public ::testing::Test {
 protected:
  ScanResult Scan() {
    int tick = 0;
    return ScanDisc(request, tree, registry, progress, [&tick] {
      LocalDateTime t{2024, 5, 6, 10, 0, tick, 0};
      tick += 30;
      return t;
    });
  }
  static double Moment(int second) { return EncodeOleDate({2024, 5, 6, 10, 0, second, 0}); }

  FakeTree tree;
  MemoryRegistry registry;
  RecordingProgress progress;
  ScanRequest request{.root = "/cd", .description = "Moje fotky"};
};

TEST_F(ScannerTest, BuildsTheEntryInWalkOrderWithCommentsAndGroups) {
  tree.dirs["/cd"] = {File("a.txt", 10), Dir("D"), File("b.txt", 20, 0x22)};
  tree.dirs["/cd/D"] = {File("č.txt", 5), Dir("E")};
  tree.dirs["/cd/D/E"] = {};
  request.volume = {"FOTKY", 0x1A2B3C4D, "iso9660"};
  request.groups = {"Nezařazeno", "Hry", "Filmy"};
  request.commentRows = {{"/CD/a.txt", "první"},
                         {"/cd/A.TXT", "druhý"},
                         {"/cd/D", "Moje"},
                         {"/cd/D/E", "prázdný"},
                         {"/cd/D/Č.txt", "jiný případ písmene"}};
  request.groupRows = {{"/cd/d", "Hry"}, {"/cd/D", "Filmy;Hudba"}, {"/cd/b.txt", "Nic"}};

  const ScanResult result = Scan();

  Bytes items;
  items.Item(true, "D", 5, 0x10, "Moje^Hry^Filmy;Hudba", 40001.25, 1)
      .Item(true, "E", 0, 0x10, "prázdný^", 40001.25, 2)
      .Item(false, "č.txt", 5, 0x20, "", 40000.5, 2)
      .Item(false, "a.txt", 10, 0x20, "druhý^", 40000.5, 1)
      .Item(false, "b.txt", 20, 0x22, "", 40000.5, 1);
  std::vector<std::uint8_t> expected =
      Header("1A2B-3C4D", static_cast<std::uint32_t>(228 + items.out.size()), "FOTKY", "Moje fotky",
             "Hry;Filmy", Moment(0), 3, 2, Moment(30), 35);
  expected.insert(expected.end(), items.out.begin(), items.out.end());
  EXPECT_EQ(result.entry, expected);
  EXPECT_EQ(result.header.BlockSize, expected.size());

  // The groups joined the group list, with "none" as their data.
  EXPECT_EQ(ReadGroupList(registry), (std::vector<std::string>{"Hry", "Filmy"}));
  EXPECT_EQ(registry.Read("Druhy CD", "Hry"), std::optional<std::string>("none"));
  // Every directory was listed exactly once.
  EXPECT_EQ(tree.listed, (std::vector<std::string>{"/cd", "/cd/D", "/cd/D/E"}));
  EXPECT_EQ(progress.lines.front(), "Kontrola skupin...");
  EXPECT_NE(std::find(progress.lines.begin(), progress.lines.end(), "Velikost CD: 35 B"),
            progress.lines.end());
  EXPECT_NE(std::find(progress.lines.begin(), progress.lines.end(), "Položek: 5"),
            progress.lines.end());
  EXPECT_EQ(progress.lines.back(), "Ukládám do databáze...");
  EXPECT_TRUE(progress.warnings.empty());
}

TEST_F(ScannerTest, EmptyDiscsAndDiscsWithoutStructure) {
  tree.dirs["/cd"] = {};
  request.volume = {"PRAZDNY", 0xFFFF0001, "vfat"};
  ScanResult empty = Scan();
  EXPECT_EQ(empty.entry,
            Header("FFFF-0001", 228, "PRAZDNY", "Moje fotky", "", Moment(0), 0, 0, Moment(30), 0));
  EXPECT_TRUE(ReadGroupList(registry).empty());  // only "Nezařazeno" was chosen

  tree.dirs["/cd"] = {File("a", 7), Dir("D")};
  tree.dirs["/cd/D"] = {File("b", 8)};
  request.withoutStructure = true;
  ScanResult bare = Scan();
  EXPECT_EQ(bare.entry,
            Header("FFFF-0001", 228, "PRAZDNY", "Moje fotky", "", Moment(0), 2, 1, Moment(30), 15));
}

// Every item of an entry, read back with the catalogue's own readers: an
// entry they cannot read whole fails the test.
std::vector<ItemRecord> ReadItems(const std::vector<std::uint8_t>& entry) {
  MemoryStream in(entry);
  const CdHeader h = ReadCdHeader(in);
  EXPECT_EQ(h.BlockSize, entry.size());
  std::vector<ItemRecord> items;
  while (!in.Eof()) {
    const ItemPrefix prefix = ReadItemPrefix(in);
    TDirInfo r;
    if (prefix.IsDirectory()) {
      ReadDirRecord(in, prefix, r);
    } else {
      TFileInfo f;
      ReadFileRecord(in, prefix, f);
      static_cast<ItemRecord&>(r) = f;
    }
    items.push_back(r);
  }
  return items;
}

TEST_F(ScannerTest, ValuesThatDoNotFitAreCappedAndReported) {
  const std::string longName(300, 'x');
  TreeEntry unknown = File("ztracený.bin", 0);
  unknown.sizeKnown = false;
  TreeEntry link = Dir("odkaz");
  link.linkToDirectory = true;
  tree.dirs["/cd"] = {File("velký.iso", 5'000'000'000ull), File(longName, 1), unknown, link};
  request.volume = {std::string(60, 'L'), 1, "udf"};
  request.commentRows = {{"/cd/velký.iso", std::string(400, 'k')}};

  const ScanResult result = Scan();
  MemoryStream in(result.entry);
  const CdHeader h = ReadCdHeader(in);
  EXPECT_EQ(h.CdSize, 0xFFFFFFFFu);
  EXPECT_EQ(h.VolumeLabel.Text().bytes, std::string(49, 'L'));
  EXPECT_EQ(h.FileCount, 3);
  EXPECT_EQ(h.DirCount, 1);

  const std::vector<ItemRecord> items = ReadItems(result.entry);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].Name.chars, "odkaz");  // the link is kept, never entered
  EXPECT_EQ(items[0].Size, 0u);
  EXPECT_EQ(items[1].Size, 0xFFFFFFFFu);
  EXPECT_EQ(items[1].Comment.size(), 255u);
  EXPECT_EQ(items[2].Name.size(), 255u);
  EXPECT_EQ(items[3].Size, 0u);  // not the previous file's size
  EXPECT_EQ(tree.listed, std::vector<std::string>{"/cd"});

  const auto warned = [&](const std::string& part) {
    return std::any_of(progress.warnings.begin(), progress.warnings.end(),
                       [&](const std::string& w) { return w.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(warned("Nelze zjistit velikost souboru !/cd/ztracený.bin"));
  EXPECT_TRUE(warned("Nelze zjistit velikost některého ze souborů!"));
  EXPECT_TRUE(warned("4 GB"));
  EXPECT_TRUE(warned("255"));
}

TEST_F(ScannerTest, UnreadableDirectoriesKeepWhatCouldBeReadAndSaySo) {
  tree.dirs["/cd"] = {Dir("zamčený"), Dir("poškozený"), File("a", 1)};
  tree.partial["/cd/poškozený"] = {File("b", 7)};
  request.volume = {"X", 2, "ext4"};
  const ScanResult result = Scan();
  EXPECT_EQ(result.header.DirCount, 2);
  EXPECT_EQ(result.header.FileCount, 2);  // "b" was read before the failure
  EXPECT_EQ(result.header.CdSize, 8u);
  EXPECT_EQ(progress.warnings, (std::vector<std::string>{
                                   "Adresář nelze otevřít! /cd/zamčený",
                                   "Adresář nelze přečíst celý! /cd/poškozený",
                                   "Nelze zjistit velikost některého ze souborů!",
                               }));
}

TEST_F(ScannerTest, HugeDirectoriesAndEndlessDepthFinishWithOneLineEach) {
  // 70,000 files in one directory: all stored, the count capped once.
  std::vector<TreeEntry> many;
  for (int i = 0; i < 70000; ++i)
    many.push_back(File(FileName(i), 1));
  tree.dirs["/cd"] = many;
  ScanResult result = Scan();
  EXPECT_EQ(result.header.FileCount, 65535);
  EXPECT_EQ(ReadItems(result.entry).size(), 70000u);
  EXPECT_EQ(progress.warnings,
            std::vector<std::string>{
                "Disk má přes 65535 souborů nebo adresářů; uložen největší možný počet."});

  // A tree deeper than a level byte can say (a directory mounted inside
  // itself looks like this): nothing below level 255 is even listed.
  tree.dirs.clear();
  progress.warnings.clear();
  std::string path = "/cd";
  for (int level = 1; level <= 300; ++level) {
    tree.dirs[path] = {Dir("d")};
    path += "/d";
  }
  tree.listed.clear();
  result = Scan();
  EXPECT_EQ(tree.listed.size(), 255u);
  const std::vector<ItemRecord> items = ReadItems(result.entry);
  ASSERT_EQ(items.size(), 255u);
  EXPECT_EQ(items.back().Level, 255);
  ASSERT_EQ(progress.warnings.size(), 1u);
  EXPECT_NE(progress.warnings[0].find("hlouběji než 255 úrovní"), std::string::npos);
}

// Swaps a directory for a link to somewhere else just after its parent was
// listed, as another program could while a scan runs.
class SwappingTree : public platform::LinuxFileTree {
 public:
  SwappingTree(std::filesystem::path dir, std::filesystem::path target)
      : dir_(std::move(dir)), target_(std::move(target)) {}
  bool List(const std::string& path, std::vector<TreeEntry>& entries) override {
    const bool listed = LinuxFileTree::List(path, entries);
    if (path == dir_.parent_path().string() && !swapped_) {
      std::filesystem::remove_all(dir_);
      std::filesystem::create_directory_symlink(target_, dir_);
      swapped_ = true;
    }
    return listed;
  }

 private:
  std::filesystem::path dir_, target_;
  bool swapped_ = false;
};

// A file tree on disk that tries everything a hostile disc could.
TEST(HostileTreeTest, ScanFinishesReportsEachProblemOnceAndStoresAValidEntry) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const fs::path root = dir / "disk";
  const fs::path outside = dir / "venku";
  fs::create_directories(root);
  fs::create_directories(outside);
  std::ofstream(outside / "tajný.txt") << std::string(1234, 't');
  fs::create_directory_symlink(root, root / "smyčka");          // a loop if followed
  fs::create_symlink(root / "sám", root / "sám");               // a link to itself
  fs::create_symlink(outside / "tajný.txt", root / "ven.txt");  // a file off the disc
  fs::create_directory_symlink(outside, root / "pryč");         // a directory off the disc
  std::ofstream(root / "\xff\xfe_bad.bin") << "abc";            // not UTF-8
  std::ofstream(root / "日本.txt") << "ab";                     // outside the code page
  std::ofstream(root / "uvnitř.txt") << "12345";
  fs::create_directories(root / "vyměněný" / "prázdný");  // becomes a link while scanned
  const std::string longAscii = std::string(251, 'a') + ".txt";
  const std::string longCzech = [] {
    std::string n;
    for (int i = 0; i < 127; ++i)
      n += "č";
    return n + "x";  // 255 bytes of UTF-8, 128 stored
  }();
  std::ofstream(root / longAscii) << "x";
  std::ofstream(root / longCzech) << "y";
  ASSERT_EQ(::mkfifo((root / "roura").c_str(), 0644), 0);  // never opened
  { std::ofstream big(root / "velký.img"); }
  fs::resize_file(root / "velký.img", 5ull << 30);  // sparse, over 4 GB
  // Twenty levels of 250-byte names: the path is longer than the system
  // takes in one piece. The links at the bottom are judged like any other.
  fs::create_directory(root / "hluboko");
  std::string deep = root.string() + "/hluboko";
  {
    int at = ::open((root / "hluboko").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(at, 0);
    const std::string name(250, 'h');
    for (int i = 0; i < 20; ++i) {
      ASSERT_EQ(::mkdirat(at, name.c_str(), 0755), 0);
      deep += "/" + name;
      const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY);
      ::close(at);
      at = next;
      ASSERT_GE(at, 0);
    }
    const int fd = ::openat(at, "dno.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "dno", 3), 3);
    ::close(fd);
    const std::string up = [] {
      std::string u;
      for (int i = 0; i < 21; ++i)
        u += "../";
      return u;
    }();
    ASSERT_EQ(::symlinkat((outside / "tajný.txt").c_str(), at, "ven.txt"), 0);
    ASSERT_EQ(::symlinkat(outside.c_str(), at, "pryč"), 0);
    ASSERT_EQ(::symlinkat((up + "uvnitř.txt").c_str(), at, "nahoru.txt"), 0);
    ::close(at);
  }

  SwappingTree tree(root / "vyměněný", outside);
  MemoryRegistry registry;
  RecordingProgress progress;
  ScanRequest request{.root = root.string(), .description = "Zlý disk"};
  request.volume = {"ZLY", 0x0BAD0BAD, "ext4"};
  const ScanResult result = ScanDisc(request, tree, registry, progress,
                                     [] { return LocalDateTime{2024, 5, 6, 10, 0, 0, 0}; });

  const std::string r = root.string() + "/";
  std::vector<std::string> warnings = progress.warnings;
  std::sort(warnings.begin(), warnings.end());
  std::vector<std::string> expected{
      "Odkaz " + r + "smyčka vede na adresář; uložen bez obsahu.",
      "Odkaz " + r + "ven.txt vede mimo disk (" + (outside / "tajný.txt").string() +
          "); uložen bez obsahu a velikosti.",
      "Odkaz " + r + "pryč vede mimo disk (" + outside.string() +
          "); uložen bez obsahu a velikosti.",
      "Nelze zjistit velikost některého ze souborů!",
      "Nelze zjistit velikost souboru !" + r + "sám",
      "Jméno položky " + r +
          "??_bad.bin obsahuje znaky, které katalog neumí uložit; uloženy jako „?“.",
      "Jméno položky " + r + "??.txt obsahuje znaky, které katalog neumí uložit; uloženy jako „?“.",
      "Soubor " + r + "velký.img má přes 4 GB; uložena největší možná velikost.",
      "Odkaz " + deep + "/ven.txt vede mimo disk (" + (outside / "tajný.txt").string() +
          "); uložen bez obsahu a velikosti.",
      "Odkaz " + deep + "/pryč vede mimo disk (" + outside.string() +
          "); uložen bez obsahu a velikosti.",
      "Adresář nelze otevřít! " + r + "vyměněný",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(warnings, expected);

  const std::vector<ItemRecord> items = ReadItems(result.entry);
  std::map<std::string, ItemRecord> byName;
  for (const auto& item : items)
    byName[ToUtf8(CharArrayToStr(item.Name))] = item;
  EXPECT_EQ(byName.at("ven.txt").Size, 0u);  // not the size of the file off the disc
  EXPECT_EQ(byName.at("??_bad.bin").Size, 3u);
  EXPECT_EQ(byName.at(longAscii).Name.size(), 255u);
  EXPECT_EQ(byName.at(longCzech).Name.size(), 128u);
  EXPECT_EQ(byName.at("roura").Size, 0u);
  EXPECT_EQ(byName.at("velký.img").Size, 0xFFFFFFFFu);
  EXPECT_EQ(byName.at("dno.txt").Level, 22);
  EXPECT_EQ(byName.at("dno.txt").Size, 3u);
  EXPECT_EQ(byName.at("smyčka").Size, 0u);
  EXPECT_EQ(byName.at("nahoru.txt").Size, 5u);  // a deep link that stays on the disc
  EXPECT_EQ(byName.count("tajný.txt"), 0u);     // the swapped directory was not entered
  EXPECT_EQ(byName.count("prázdný"), 0u);
  EXPECT_EQ(result.header.CdSize, 0xFFFFFFFFu);

  // Stored, the catalogue lists the disc without a complaint.
  const std::string db = (dir / "katalog.big").string();
  StoreScannedEntry(db, result.entry, progress);
  test::FakeHost host;
  Engine engine(host);
  engine.DatabasePath = db;
  engine.RunOperation(OperationCode::kListCds);
  EXPECT_TRUE(host.messages.empty());
  ASSERT_EQ(engine.Discs.rows.size(), 1u);
  EXPECT_EQ(engine.Discs.rows[0].cells[kColSerial], "0BAD-0BAD");
}

class StoreTest : public ::testing::Test {
 protected:
  std::string Db() { return (dir / "katalog.big").string(); }
  std::vector<std::uint8_t> Entry(const std::string& serial, std::size_t items = 1) {
    std::vector<CatalogueItem> list;
    for (std::size_t i = 0; i < items; ++i)
      list.push_back(test::Item(false, FileName(i), 1, 1));
    return BuildCdEntry(test::MakeHeader({.serial = serial}), list, false);
  }

  test::TempDir dir;
  RecordingProgress progress;
};

TEST_F(StoreTest, AppendsAfterTheLastEntry) {
  test::CatalogueBytes catalogue;
  catalogue.Save(Db());
  const auto first = Entry("AAAA-0001");
  StoreScannedEntry(Db(), first, progress);
  auto bytes = test::ReadAll(Db());
  ASSERT_EQ(bytes.size(), 75 + first.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin() + 75));
  EXPECT_EQ(progress.lines, std::vector<std::string>{"Ukládám..."});

  // The same disc twice stays twice; a header-only entry is appended too.
  StoreScannedEntry(Db(), first, progress);
  const auto bare = BuildCdEntry(test::MakeHeader({.serial = "AAAA-0002"}), {}, false);
  StoreScannedEntry(Db(), bare, progress);
  catalogue.AddRaw(first).AddRaw(first).AddRaw(bare);
  EXPECT_EQ(test::ReadAll(Db()), catalogue.Bytes());

  // A missing catalogue is created with its header first.
  StoreScannedEntry((dir / "nový.big").string(), bare, progress);
  EXPECT_EQ(test::ReadAll(dir / "nový.big").size(), 75u + 228u);
}

TEST_F(StoreTest, RefusesDamagedCataloguesAndCutsBackFailedWrites) {
  auto bytes = test::CatalogueBytes().AddDisc({.serial = "AAAA-0001"}).Bytes();
  bytes[75 + 9] = 3;  // BlockSize 3
  test::WriteAll(Db(), bytes);
  EXPECT_THROW(StoreScannedEntry(Db(), Entry("BBBB-0001"), progress), DamagedCatalogue);
  EXPECT_EQ(test::ReadAll(Db()), bytes);
  // Damage after a stored disc of the new serial is told, not the serial.
  const std::size_t one = bytes.size();
  bytes = test::CatalogueBytes()
              .AddDisc({.serial = "AAAA-0001"})
              .AddDisc({.serial = "AAAA-0002"})
              .Bytes();
  bytes[one + 9] = 3;
  test::WriteAll(Db(), bytes);
  EXPECT_THROW(StoreScannedEntry(Db(), Entry("AAAA-0001"), progress, {}, {}, true),
               DamagedCatalogue);
  EXPECT_EQ(test::ReadAll(Db()), bytes);

  test::WriteAll(dir / "stary.big", std::vector<std::uint8_t>(100, 'x'));
  EXPECT_THROW(StoreScannedEntry((dir / "stary.big").string(), Entry("B"), progress),
               DamagedCatalogue);

  // A disk that fills up part-way: the child may write only 1000 more bytes.
  test::CatalogueBytes good;
  good.AddDisc({.serial = "AAAA-0001"});
  good.Save(Db());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(good.Bytes().size() + 1000),
                 static_cast<rlim_t>(good.Bytes().size() + 1000)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      RecordingProgress quiet;
      StoreScannedEntry(Db(), Entry("CCCC-0001", 400), quiet);
    } catch (const IoError&) {
      ::_exit(0);
    }
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was not reported";
  EXPECT_EQ(test::ReadAll(Db()), good.Bytes());
}

}  // namespace
}  // namespace rondo
