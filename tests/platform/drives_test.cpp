// Volume serials, labels and the drive list on Linux.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/linux_drives.h"
#include "platform/volume_serial.h"
#include "support/catalogue_builder.h"

namespace rondo::platform {
namespace {

namespace fs = std::filesystem;

std::string Sector(unsigned char type, const std::string& id = "CD001") {
  std::string s(kSectorSize, '\0');
  s[0] = static_cast<char>(type);
  s.replace(1, 5, id);
  s[6] = 1;
  return s;
}

void WriteImage(const fs::path& path, const std::vector<std::string>& descriptors) {
  std::string image(16 * kSectorSize, '\0');
  for (const auto& d : descriptors)
    image += d;
  image += Sector(255);
  std::ofstream(path, std::ios::binary) << image;
}

TEST(VolumeSerial, IsoDescriptorsGiveTheWindowsSerial) {
  // The known vector: a zeroed sector starting 01 "CD001" 01.
  EXPECT_EQ(SerialText(DescriptorSerial(Sector(1))), "3174-4530");

  test::TempDir dir;
  std::string primary = Sector(1);
  primary.replace(40, 32, "FOTKY_2004                      ");
  WriteImage(dir / "pvd.iso", {primary});
  auto info = ReadIso9660((dir / "pvd.iso").string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "FOTKY_2004");
  EXPECT_EQ(info->serial, DescriptorSerial(primary));
  EXPECT_EQ(info->fileSystem, "iso9660");

  // With a Joliet descriptor its label (UCS-2) and its serial win.
  std::string joliet = Sector(2);
  joliet.replace(88, 3, "%/E");
  const std::u16string label = u"Dovolená";
  for (std::size_t i = 0; i < 16; ++i) {
    const char16_t c = i < label.size() ? label[i] : u' ';
    joliet[40 + 2 * i] = static_cast<char>(c >> 8);
    joliet[41 + 2 * i] = static_cast<char>(c & 0xFF);
  }
  WriteImage(dir / "joliet.iso", {primary, joliet});
  info = ReadIso9660((dir / "joliet.iso").string());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "Dovolená");
  EXPECT_EQ(info->serial, DescriptorSerial(joliet));
  EXPECT_NE(info->serial, DescriptorSerial(primary));

  // A supplementary descriptor without the Joliet escape is not Joliet.
  std::string other = Sector(2);
  WriteImage(dir / "other.iso", {primary, other});
  EXPECT_EQ(ReadIso9660((dir / "other.iso").string())->serial, DescriptorSerial(primary));

  std::ofstream(dir / "plain.bin") << std::string(40000, 'x');
  EXPECT_FALSE(ReadIso9660((dir / "plain.bin").string()));
  EXPECT_FALSE(ReadIso9660((dir / "missing.iso").string()));
}

TEST(VolumeSerial, RealImagesFromGenisoimage) {
  const char* tool = ::access("/usr/bin/genisoimage", X_OK) == 0 ? "/usr/bin/genisoimage"
                     : ::access("/usr/bin/xorrisofs", X_OK) == 0 ? "/usr/bin/xorrisofs"
                                                                 : nullptr;
  if (tool == nullptr)
    GTEST_SKIP() << "genisoimage is not installed";
  test::TempDir dir;
  fs::create_directories(dir / "obsah");
  std::ofstream(dir / "obsah" / "soubor.txt") << "data";
  const std::string image = (dir / "disk.iso").string();
  const std::string source = (dir / "obsah").string();
  const pid_t child = ::fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stderr);
    ::execl(tool, tool, "-quiet", "-J", "-V", "MUJ_DISK", "-o", image.c_str(), source.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // The expected serial, from the image's own sectors: the Joliet descriptor.
  std::ifstream in(image, std::ios::binary);
  std::string joliet;
  for (int n = 16; n < 32 && joliet.empty(); ++n) {
    std::string s(kSectorSize, '\0');
    in.seekg(n * static_cast<std::streamoff>(kSectorSize));
    in.read(s.data(), kSectorSize);
    if (s[0] == 2 && s.compare(88, 2, "%/") == 0)
      joliet = s;
  }
  ASSERT_FALSE(joliet.empty());
  const auto info = ReadIso9660(image);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->label, "MUJ_DISK");
  EXPECT_EQ(info->serial, DescriptorSerial(joliet));
}

TEST(VolumeSerial, BootSectorsAndUdevIdentifiers) {
  auto sector = [] {
    std::string s(512, '\0');
    s[510] = '\x55';
    s[511] = '\xAA';
    return s;
  };
  std::string fat16 = sector();
  fat16[0x26] = 0x29;
  fat16.replace(0x27, 4, "\x4D\x3C\x2B\x1A");
  fat16.replace(0x2B, 11, "FLASHKA    ");
  fat16.replace(0x36, 8, "FAT16   ");
  auto info = VolumeFromBootSector(fat16);
  ASSERT_TRUE(info);
  EXPECT_EQ(SerialText(info->serial), "1A2B-3C4D");
  EXPECT_EQ(info->label, "FLASHKA");

  std::string fat32 = sector();
  fat32.replace(0x43, 4, "\x01\x02\x03\x04");
  fat32.replace(0x47, 11, "NO NAME    ");
  fat32.replace(0x52, 8, "FAT32   ");
  info = VolumeFromBootSector(fat32);
  ASSERT_TRUE(info);
  EXPECT_EQ(SerialText(info->serial), "0403-0201");
  EXPECT_EQ(info->label, "");

  std::string exfat(512, '\0');
  exfat.replace(3, 8, "EXFAT   ");
  exfat.replace(100, 4, "\xEF\xBE\xAD\xDE");
  EXPECT_EQ(SerialText(VolumeFromBootSector(exfat)->serial), "DEAD-BEEF");

  std::string ntfs(512, '\0');
  ntfs.replace(3, 8, "NTFS    ");
  ntfs.replace(0x48, 8, "\x78\x56\x34\x12\xFF\xFF\xFF\xFF");
  EXPECT_EQ(SerialText(VolumeFromBootSector(ntfs)->serial), "1234-5678");
  EXPECT_FALSE(VolumeFromBootSector(std::string(512, '\0')));

  EXPECT_EQ(SerialFromUdevUuid("1A2B-3C4D", "vfat"), 0x1A2B3C4Du);
  EXPECT_EQ(SerialFromUdevUuid("FFFFFFFF12345678", "ntfs"), 0x12345678u);
  EXPECT_FALSE(SerialFromUdevUuid("2004-05-06-12-00-00-00", "iso9660"));
  EXPECT_FALSE(SerialFromUdevUuid("0f1e2d3c-aaaa-bbbb-cccc-ddddeeeeffff", "ext4"));
  EXPECT_EQ(StableSerial("abc"), StableSerial("abc"));
  EXPECT_NE(StableSerial("abc"), StableSerial("abd"));
}

TEST(LinuxDrives, MountInfoIsParsedAndClassified) {
  test::TempDir sys;
  // A fake sysfs: 8:17 is a partition of a removable disk, 259:2 of a fixed one.
  fs::create_directories(sys / "devices" / "usb" / "sdb" / "sdb1");
  std::ofstream(sys / "devices" / "usb" / "sdb" / "removable") << "1\n";
  fs::create_directories(sys / "devices" / "pci" / "nvme0n1" / "nvme0n1p2");
  std::ofstream(sys / "devices" / "pci" / "nvme0n1" / "removable") << "0\n";
  fs::create_directories(sys / "dev" / "block");
  fs::create_directory_symlink(sys / "devices" / "usb" / "sdb" / "sdb1", sys / "dev/block/8:17");
  fs::create_directory_symlink(sys / "devices/pci/nvme0n1/nvme0n1p2", sys / "dev/block/259:2");

  const std::string text =
      "22 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw\n"
      "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
      "24 22 0:22 / /sys rw - sysfs sysfs rw\n"
      "25 22 0:5 / /dev rw - devtmpfs udev rw\n"
      "26 22 0:23 / /run rw - tmpfs tmpfs rw\n"
      "27 22 0:24 / /tmp rw - tmpfs tmpfs rw\n"
      "30 22 11:0 / /media/pepa/FOTKY\\0402004 ro - iso9660 /dev/sr0 ro\n"
      "31 22 8:17 / /media/pepa/FLASH rw - vfat /dev/sdb1 rw\n"
      "32 22 0:40 / /mnt/nas rw - nfs4 nas:/data rw\n"
      "33 22 0:41 / /mnt/smb rw - cifs //server/share rw\n"
      "34 22 0:42 / /home/pepa/remote rw - fuse.sshfs pepa@host: rw\n"
      "35 22 0:43 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
      "bad line\n";
  const auto mounts = ParseMountInfo(text);
  ASSERT_EQ(mounts.size(), 12u);
  EXPECT_EQ(mounts[6].mountPoint, "/media/pepa/FOTKY 2004");
  EXPECT_TRUE(mounts[6].readOnly);
  EXPECT_EQ(mounts[7].major, 8u);
  EXPECT_EQ(mounts[7].minor, 17u);

  std::vector<std::pair<std::string, DriveType>> shown;
  for (const auto& m : mounts) {
    if (IsUserVolume(m))
      shown.emplace_back(m.mountPoint, ClassifyMount(m, sys.Path().string()));
  }
  const std::vector<std::pair<std::string, DriveType>> expected = {
      {"/", DriveType::kFixed},
      {"/tmp", DriveType::kRamDisk},
      {"/media/pepa/FOTKY 2004", DriveType::kCdRom},
      {"/media/pepa/FLASH", DriveType::kRemovable},
      {"/mnt/nas", DriveType::kRemote},
      {"/mnt/smb", DriveType::kRemote},
      {"/home/pepa/remote", DriveType::kRemote},
  };
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(DriveTypeText(DriveType::kCdRom), "CD-ROM drive");
  EXPECT_EQ(DriveTypeText(DriveType::kRemovable), "Removable/Floppy");
}

TEST(LinuxDrives, FoldersAreDrivesWithAStableSerial) {
  test::TempDir dir;
  fs::create_directories(dir / "Archiv 2004");
  fs::create_directories(dir / "Jiný");
  LinuxDrives drives;
  const auto first = drives.Volume((dir / "Archiv 2004").string());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->label, "Archiv 2004");
  EXPECT_EQ(drives.Volume((dir / "Archiv 2004").string())->serial, first->serial);
  EXPECT_NE(drives.Volume((dir / "Jiný").string())->serial, first->serial);
  EXPECT_FALSE(drives.Volume((dir / "nic").string()));
  EXPECT_TRUE(drives.HasMedia(dir.Path().string()));
  EXPECT_FALSE(drives.HasMedia((dir / "nic").string()));
  std::string error;
  EXPECT_FALSE(drives.Eject((dir / "Jiný").string(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(drives.List().empty());  // this machine has at least its root
}

}  // namespace
}  // namespace rondo::platform
