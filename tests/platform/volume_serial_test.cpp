// SPDX-License-Identifier: GPL-3.0-or-later
// Volume serials and labels read from ISO 9660 descriptors, boot sectors and
// udev identifiers.
#include "platform/volume_serial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "support/catalogue_builder.h"

extern char** environ;

namespace rondo::platform {
namespace {

namespace fs = std::filesystem;

// A volume descriptor: type, "CD001", version 1, the rest zero.
std::string Descriptor(unsigned char type) {
  std::string s(kSectorSize, '\0');
  s[0] = static_cast<char>(type);
  s.replace(1, 5, "CD001");
  s[6] = 1;
  return s;
}

std::string Primary(const std::string& label) {
  std::string s = Descriptor(1);
  s.replace(40, 32, (label + std::string(32, ' ')).substr(0, 32));
  return s;
}

std::string Joliet(const std::u16string& label, const char* escape = "%/E") {
  std::string s = Descriptor(2);
  s.replace(88, 3, escape);
  for (std::size_t i = 0; i < 16; ++i) {
    const char16_t c = i < label.size() ? label[i] : u' ';
    s[40 + 2 * i] = static_cast<char>(c >> 8);
    s[41 + 2 * i] = static_cast<char>(c & 0xFF);
  }
  return s;
}

// An image: 16 empty system sectors, the descriptors, then a terminator
// unless the test leaves it out.
fs::path WriteImage(const test::TempDir& dir, const std::string& name,
                    const std::vector<std::string>& descriptors, bool terminate = true) {
  std::string image(16 * kSectorSize, '\0');
  for (const auto& d : descriptors)
    image += d;
  if (terminate)
    image += Descriptor(255);
  std::ofstream(dir / name, std::ios::binary) << image;
  return dir / name;
}

TEST(IsoSerial, KnownDescriptorGivesTheKnownSerial) {
  // A zeroed sector starting 01 "CD001" 01: 01+'0', 'C'+'1', 'D'+01, '0'.
  EXPECT_EQ(SerialText(DescriptorSerial(Descriptor(1))), "3174-4530");
  EXPECT_EQ(DescriptorSerial(std::string(kSectorSize, '\0')), 0u);
  // Each total wraps at 256: 0xFF + 0x02 leaves 0x01 in the first byte.
  std::string wrap(8, '\0');
  wrap[0] = '\xFF';
  wrap[4] = '\x02';
  wrap[7] = '\x10';
  EXPECT_EQ(DescriptorSerial(wrap), 0x01000010u);
}

TEST(IsoSerial, JolietDescriptorWinsOverThePrimary) {
  test::TempDir dir;
  const std::string primary = Primary("DOVOLENA");
  auto info = ReadIso9660Image(WriteImage(dir, "pvd.iso", {primary}).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "DOVOLENA");
  EXPECT_EQ(info->serial, DescriptorSerial(primary));
  EXPECT_EQ(info->fileSystem, "iso9660");

  const std::string joliet = Joliet(u"Dovolená 2004");
  info = ReadIso9660Image(WriteImage(dir, "joliet.iso", {primary, joliet}).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "Dovolená 2004");
  EXPECT_EQ(info->serial, DescriptorSerial(joliet));
  EXPECT_NE(info->serial, DescriptorSerial(primary));

  // All three Joliet levels count.
  for (const char* escape : {"%/@", "%/C"}) {
    const std::string level = Joliet(u"Úroveň", escape);
    const auto other = ReadIso9660Image(WriteImage(dir, "level.iso", {primary, level}).string());
    ASSERT_TRUE(other);
    EXPECT_EQ(other->serial, DescriptorSerial(level)) << escape;
    EXPECT_EQ(other->label, "Úroveň") << escape;
  }
}

TEST(IsoSerial, OnlyTheFirstJolietDescriptorBeforeTheTerminatorCounts) {
  test::TempDir dir;
  const std::string primary = Primary("DISK");
  const std::string first = Joliet(u"První");
  const std::string second = Joliet(u"Druhý");
  auto info = ReadIso9660Image(WriteImage(dir, "two.iso", {primary, first, second}).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "První");

  // A supplementary descriptor without the Joliet escape is not Joliet.
  std::string plain = Joliet(u"Jiný");
  plain.replace(88, 3, "   ");
  info = ReadIso9660Image(WriteImage(dir, "plain.iso", {primary, plain}).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->serial, DescriptorSerial(primary));

  // Nothing after the terminator is read.
  std::string image(16 * kSectorSize, '\0');
  image += primary + Descriptor(255) + first;
  std::ofstream(dir / "late.iso", std::ios::binary) << image;
  info = ReadIso9660Image((dir / "late.iso").string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "DISK");
}

TEST(IsoSerial, TruncatedAndForeignImages) {
  test::TempDir dir;
  // The image ends before a terminator: what was read still counts.
  const std::string primary = Primary("KRATKY");
  auto info = ReadIso9660Image(WriteImage(dir, "short.iso", {primary}, false).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "KRATKY");

  std::ofstream(dir / "text.bin") << std::string(40000, 'x');
  EXPECT_FALSE(ReadIso9660Image((dir / "text.bin").string()));
  std::ofstream(dir / "tiny.bin") << "CD001";
  EXPECT_FALSE(ReadIso9660Image((dir / "tiny.bin").string()));
  EXPECT_FALSE(ReadIso9660Image((dir / "missing.iso").string()));
  // A terminator alone describes no volume.
  EXPECT_FALSE(ReadIso9660Image(WriteImage(dir, "empty.iso", {}).string()));
}

TEST(IsoSerial, LabelsAreTrimmedAndValidUtf8) {
  test::TempDir dir;
  std::string primary = Primary("");
  primary.replace(40, 6, "ZALOHA");
  primary[46] = '\0';  // padded with NULs instead of spaces
  primary[72 - 1] = '\0';
  auto info = ReadIso9660Image(WriteImage(dir, "nul.iso", {primary}).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "ZALOHA");

  std::string latin = Primary("CAF");
  latin[43] = '\xC9';  // É from an old burner
  info = ReadIso9660Image(WriteImage(dir, "latin.iso", {latin}).string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "CAFÉ");

  // Surrogate pairs decode; a lone surrogate becomes U+FFFD.
  EXPECT_EQ(Utf16BeToUtf8(std::string("\xD8\x3D\xDC\xBF", 4)), "\xF0\x9F\x92\xBF");
  EXPECT_EQ(Utf16BeToUtf8(std::string("\xD8\x3D\x00\x41", 4)),
            "\xEF\xBF\xBD"
            "A");
  EXPECT_EQ(Utf16BeToUtf8(std::string("\x01\x61", 2)), "š");
}

// Runs a program with arguments and waits; true on exit status 0.
bool RunTool(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> copies = args;
  for (auto& a : copies)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return rc == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

TEST(IsoSerial, RealImageFromAnIsoTool) {
  std::vector<std::string> command;
  for (const char* tool : {"/usr/bin/genisoimage", "/usr/bin/xorrisofs", "/usr/bin/mkisofs"}) {
    if (::access(tool, X_OK) == 0) {
      command = {tool, "-quiet", "-J", "-V", "MUJ_DISK"};
      break;
    }
  }
  if (command.empty() && ::access("/usr/bin/xorriso", X_OK) == 0)
    command = {"/usr/bin/xorriso", "-as", "mkisofs", "-quiet", "-J", "-V", "MUJ_DISK"};
  if (command.empty())
    GTEST_SKIP() << "neither genisoimage nor xorriso is installed";

  test::TempDir dir;
  fs::create_directories(dir / "obsah" / "složka");
  std::ofstream(dir / "obsah" / "složka" / "soubor.txt") << "data";
  const std::string image = (dir / "disk.iso").string();
  command.insert(command.end(), {"-o", image, (dir / "obsah").string()});
  ASSERT_TRUE(RunTool(command));

  // The expected serial, worked out from the image's own sectors: the first
  // supplementary descriptor with a Joliet escape.
  std::ifstream in(image, std::ios::binary);
  std::string joliet;
  for (int n = 16; n < 32 && joliet.empty(); ++n) {
    std::string s(kSectorSize, '\0');
    in.seekg(n * static_cast<std::streamoff>(kSectorSize));
    if (!in.read(s.data(), kSectorSize) || s[0] == '\xFF')
      break;
    if (s[0] == 2 && s.compare(88, 2, "%/") == 0)
      joliet = s;
  }
  ASSERT_FALSE(joliet.empty());
  std::uint32_t expected = 0;
  for (int lane = 0; lane < 4; ++lane) {
    unsigned total = 0;
    for (std::size_t i = static_cast<std::size_t>(lane); i < kSectorSize; i += 4)
      total += static_cast<unsigned char>(joliet[i]);
    expected |= (total & 0xFF) << (24 - 8 * lane);
  }
  const auto info = ReadIso9660Image(image);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "MUJ_DISK");
  EXPECT_EQ(info->serial, expected);
}

std::string BootSector() {
  std::string s(kBootSectorSize, '\0');
  s[510] = '\x55';
  s[511] = '\xAA';
  return s;
}

// The BIOS parameter block mkfs.fat writes: 512-byte sectors, 4 sectors a
// cluster, reserved sectors, two FATs.
void FillBpb(std::string& s, bool fat32) {
  s.replace(0, 3, "\xEB\x3C\x90");
  s.replace(0x0B, 2, std::string("\x00\x02", 2));
  s[0x0D] = 4;
  s[0x0E] = fat32 ? 32 : 1;
  s[0x10] = 2;
  if (!fat32)
    s[0x11] = 2;  // 512 root entries
}

TEST(BootSectorSerial, FatVolumes) {
  std::string fat16 = BootSector();
  FillBpb(fat16, false);
  fat16[0x26] = 0x29;
  fat16.replace(0x27, 4, "\x4D\x3C\x2B\x1A");
  fat16.replace(0x2B, 11, "FLASHKA    ");
  fat16.replace(0x36, 8, "FAT16   ");
  auto info = VolumeFromBootSector(fat16);
  ASSERT_TRUE(info);
  EXPECT_EQ(SerialText(info->serial), "1A2B-3C4D");
  EXPECT_EQ(info->label, "FLASHKA");
  EXPECT_EQ(info->fileSystem, "vfat");

  // FAT12 floppies name their type likewise.
  std::string fat12 = fat16;
  fat12.replace(0x36, 8, "FAT12   ");
  EXPECT_EQ(SerialText(VolumeFromBootSector(fat12)->serial), "1A2B-3C4D");

  // Without a type name the parameter block and the extended signature do.
  std::string unnamed = fat16;
  unnamed.replace(0x36, 8, std::string(8, '\0'));
  ASSERT_TRUE(VolumeFromBootSector(unnamed));
  EXPECT_EQ(VolumeFromBootSector(unnamed)->label, "FLASHKA");
  unnamed[0x10] = 7;  // seven FATs: not a FAT boot sector
  EXPECT_FALSE(VolumeFromBootSector(unnamed));

  std::string fat32 = BootSector();
  FillBpb(fat32, true);
  fat32[0x42] = 0x29;
  fat32.replace(0x43, 4, "\x01\x02\x03\x04");
  fat32.replace(0x47, 11, "NO NAME    ");
  fat32.replace(0x52, 8, "FAT32   ");
  info = VolumeFromBootSector(fat32);
  ASSERT_TRUE(info);
  EXPECT_EQ(SerialText(info->serial), "0403-0201");
  EXPECT_EQ(info->label, "");
  fat32.replace(0x52, 8, std::string(8, '\0'));
  ASSERT_TRUE(VolumeFromBootSector(fat32));
  EXPECT_EQ(SerialText(VolumeFromBootSector(fat32)->serial), "0403-0201");

  // The 0x55AA signature is required.
  fat16[511] = 0;
  EXPECT_FALSE(VolumeFromBootSector(fat16));
}

TEST(BootSectorSerial, ExfatNtfsAndOthers) {
  std::string exfat = BootSector();
  exfat.replace(3, 8, "EXFAT   ");
  exfat.replace(100, 4, "\xEF\xBE\xAD\xDE");
  auto info = VolumeFromBootSector(exfat);
  ASSERT_TRUE(info);
  EXPECT_EQ(SerialText(info->serial), "DEAD-BEEF");
  EXPECT_EQ(info->fileSystem, "exfat");

  std::string ntfs = BootSector();
  ntfs.replace(3, 8, "NTFS    ");
  ntfs.replace(0x48, 8, "\x78\x56\x34\x12\xFF\xEE\xDD\xCC");
  info = VolumeFromBootSector(ntfs);
  ASSERT_TRUE(info);
  EXPECT_EQ(SerialText(info->serial), "1234-5678");
  EXPECT_EQ(info->fileSystem, "ntfs");

  // A master boot record carries the signature but no parameter block.
  std::string mbr = BootSector();
  mbr.replace(0, 3, "\xFA\x31\xC0");
  EXPECT_FALSE(VolumeFromBootSector(mbr));
  EXPECT_FALSE(VolumeFromBootSector(std::string(kBootSectorSize, '\0')));
  EXPECT_FALSE(VolumeFromBootSector(ntfs.substr(0, 100)));

  test::TempDir dir;
  std::ofstream(dir / "ntfs.img", std::ios::binary) << ntfs << std::string(4096, '\0');
  ASSERT_TRUE(ReadBootSector((dir / "ntfs.img").string()));
  EXPECT_EQ(ReadBootSector((dir / "ntfs.img").string())->serial, 0x12345678u);
  std::ofstream(dir / "short.img", std::ios::binary) << ntfs.substr(0, 300);
  EXPECT_FALSE(ReadBootSector((dir / "short.img").string()));
  EXPECT_FALSE(ReadBootSector((dir / "missing.img").string()));
}

TEST(UdevSerial, UuidsThatHoldASerial) {
  EXPECT_EQ(SerialFromUdevUuid("1A2B-3C4D", "vfat"), 0x1A2B3C4Du);
  EXPECT_EQ(SerialFromUdevUuid("dead-beef", "exfat"), 0xDEADBEEFu);
  EXPECT_EQ(SerialFromUdevUuid("FFFFFFFF12345678", "ntfs"), 0x12345678u);
  EXPECT_EQ(SerialFromUdevUuid("0123456789ABCDEF", "ntfs"), 0x89ABCDEFu);

  EXPECT_FALSE(SerialFromUdevUuid("2004-05-06-12-00-00-00", "iso9660"));
  EXPECT_FALSE(SerialFromUdevUuid("0f1e2d3c-aaaa-bbbb-cccc-ddddeeeeffff", "ext4"));
  EXPECT_FALSE(SerialFromUdevUuid("1A2B3C4D", "vfat"));
  EXPECT_FALSE(SerialFromUdevUuid("1A2B-3C4G", "vfat"));
  EXPECT_FALSE(SerialFromUdevUuid("12345678", "ntfs"));
  EXPECT_FALSE(SerialFromUdevUuid("", "vfat"));
}

TEST(UdevSerial, StableSerialIsFnv1a) {
  // The published FNV-1a test values: it must not change between versions.
  EXPECT_EQ(StableSerial(""), 0x811C9DC5u);
  EXPECT_EQ(StableSerial("a"), 0xE40C292Cu);
  EXPECT_EQ(StableSerial("foobar"), 0xBF9CF968u);
  EXPECT_NE(StableSerial("/home/pepa/Fotky"), StableSerial("/home/pepa/fotky"));
}

TEST(UniqueFd, ClosesWhatItOwns) {
  test::TempDir dir;
  std::ofstream(dir / "f") << "x";
  int raw = -1;
  {
    UniqueFd fd = OpenForReading((dir / "f").string());
    ASSERT_TRUE(fd);
    raw = fd.Get();
    UniqueFd moved = std::move(fd);
    EXPECT_FALSE(fd);
    EXPECT_EQ(moved.Get(), raw);
    EXPECT_NE(::fcntl(raw, F_GETFD), -1);
  }
  EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
  EXPECT_FALSE(OpenForReading((dir / "missing").string()));
}

}  // namespace
}  // namespace rondo::platform
