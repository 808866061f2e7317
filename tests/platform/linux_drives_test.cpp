// SPDX-License-Identifier: GPL-3.0-or-later
// The drive list, drive types and volumes of a Linux machine, laid out by the
// tests as mountinfo text, a fake sysfs tree and a fake udev database.
#include "platform/linux_drives.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/volume_serial.h"
#include "support/catalogue_builder.h"

namespace rondo::platform {
namespace {

namespace fs = std::filesystem;

MountEntry Mount(const std::string& mountPoint, const std::string& fileSystem,
                 const std::string& source, unsigned major = 0, unsigned minor = 0) {
  MountEntry m;
  m.mountPoint = mountPoint;
  m.fileSystem = fileSystem;
  m.source = source;
  m.major = major;
  m.minor = minor;
  return m;
}

TEST(MountInfo, FieldsAndEscapes) {
  const std::string text =
      "27 1 259:2 / / rw,relatime shared:1 - ext4 /dev/nvme0n1p2 rw,errors=remount-ro\n"
      "30 27 11:0 / /media/pepa/FOTKY\\0402004 ro,nosuid,nodev shared:300 master:2 - iso9660 "
      "/dev/sr0 ro,nojoliet\n"
      "31 27 0:45 /@home /home rw,relatime shared:5 - btrfs /dev/sda3 rw,subvol=/@home\n"
      "32 27 0:50 / /mnt/back\\134slash\\011tab rw - nfs4 nas:/data rw\n"
      "garbage\n"
      "33 27 x:1 / /mnt/bad rw - ext4 /dev/sdz1 rw\n"
      "\n"
      "34 27 8:1 / /mnt/short rw - vfat\n";
  const auto mounts = ParseMountInfo(text);
  ASSERT_EQ(mounts.size(), 4u);

  EXPECT_EQ(mounts[0].id, 27);
  EXPECT_EQ(mounts[0].parentId, 1);
  EXPECT_EQ(mounts[0].major, 259u);
  EXPECT_EQ(mounts[0].minor, 2u);
  EXPECT_EQ(mounts[0].mountPoint, "/");
  EXPECT_EQ(mounts[0].fileSystem, "ext4");
  EXPECT_EQ(mounts[0].source, "/dev/nvme0n1p2");
  EXPECT_FALSE(mounts[0].readOnly);

  // Two optional fields before the separator; a space in the mount point.
  EXPECT_EQ(mounts[1].mountPoint, "/media/pepa/FOTKY 2004");
  EXPECT_EQ(mounts[1].fileSystem, "iso9660");
  EXPECT_EQ(mounts[1].source, "/dev/sr0");
  EXPECT_TRUE(mounts[1].readOnly);

  EXPECT_EQ(mounts[2].root, "/@home");
  EXPECT_EQ(mounts[2].mountPoint, "/home");
  EXPECT_EQ(mounts[3].mountPoint, "/mnt/back\\slash\ttab");
  EXPECT_EQ(mounts[3].source, "nas:/data");
}

TEST(MountInfo, PseudoFileSystemsAreNoDrives) {
  const std::vector<std::pair<MountEntry, bool>> cases = {
      {Mount("/", "ext4", "/dev/vda"), true},
      {Mount("/", "overlay", "overlay"), true},  // a container's root
      {Mount("/boot/efi", "vfat", "/dev/nvme0n1p1"), true},
      {Mount("/tmp", "tmpfs", "tmpfs"), true},
      {Mount("/run/media/pepa/STICK", "vfat", "/dev/sdb1"), true},
      {Mount("/mnt/nas", "nfs4", "nas:/data"), true},
      {Mount("/proc", "proc", "proc"), false},
      {Mount("/sys", "sysfs", "sysfs"), false},
      {Mount("/sys/fs/cgroup", "cgroup2", "cgroup2"), false},
      {Mount("/dev", "devtmpfs", "udev"), false},
      {Mount("/dev/shm", "tmpfs", "tmpfs"), false},
      {Mount("/run", "tmpfs", "tmpfs"), false},
      {Mount("/run/user/1000", "tmpfs", "tmpfs"), false},
      {Mount("/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse"), false},
      {Mount("/run/user/1000/doc", "fuse.portal", "portal"), false},
      {Mount("/proc/sys/fs/binfmt_misc", "binfmt_misc", "binfmt_misc"), false},
      {Mount("/snap/core22/1234", "squashfs", "/dev/loop3"), false},
      {Mount("/var/lib/docker/overlay2/abc/merged", "overlay", "overlay"), false},
      {Mount("/media/pepa/Flash", "autofs", "systemd-1"), false},
  };
  for (const auto& [mount, shown] : cases)
    EXPECT_EQ(IsUserVolume(mount), shown) << mount.mountPoint << " " << mount.fileSystem;
}

class FakeSysfs : public ::testing::Test {
 protected:
  // A disk with partitions: /sys/devices/<bus>/<disk>/<partition>, linked
  // from /sys/dev/block/<major>:<minor> and /sys/class/block/<name>.
  void AddDisk(const std::string& bus, const std::string& disk, const std::string& partition,
               const std::string& numbers, bool removable) {
    const fs::path folder = sys_.Path() / "devices" / bus / disk;
    fs::create_directories(folder / partition);
    std::ofstream(folder / "removable") << (removable ? "1\n" : "0\n");
    fs::create_directories(sys_ / "dev" / "block");
    fs::create_directories(sys_ / "class" / "block");
    fs::create_directory_symlink(folder / partition, sys_.Path() / "dev" / "block" / numbers);
    fs::create_directory_symlink(folder / partition, sys_.Path() / "class" / "block" / partition);
  }
  DriveType Classify(const MountEntry& m) const { return ClassifyMount(m, sys_.Path().string()); }

  test::TempDir sys_;
};

TEST_F(FakeSysfs, RemovableFlagOfTheDiskUnderAPartition) {
  AddDisk("usb", "sdb", "sdb1", "8:17", true);
  AddDisk("pci", "nvme0n1", "nvme0n1p2", "259:2", false);
  EXPECT_EQ(Classify(Mount("/media/pepa/FLASH", "vfat", "/dev/sdb1", 8, 17)),
            DriveType::kRemovable);
  EXPECT_EQ(Classify(Mount("/", "ext4", "/dev/nvme0n1p2", 259, 2)), DriveType::kFixed);
  // ntfs-3g shows an anonymous device number; the source name still leads
  // to the disk.
  EXPECT_EQ(Classify(Mount("/media/pepa/WIN", "fuseblk", "/dev/sdb1", 0, 61)),
            DriveType::kRemovable);
  // Without any sysfs link the partition name gives the disk.
  fs::create_directories(sys_ / "block" / "mmcblk0");
  std::ofstream(sys_ / "block" / "mmcblk0" / "removable") << "1\n";
  EXPECT_EQ(Classify(Mount("/media/pepa/SD", "exfat", "/dev/mmcblk0p1", 0, 62)),
            DriveType::kRemovable);
  // Nothing known about the disk: fixed.
  EXPECT_EQ(Classify(Mount("/data", "xfs", "/dev/rondo-none", 0, 63)), DriveType::kFixed);
}

TEST_F(FakeSysfs, OpticalRemoteAndRamDrives) {
  AddDisk("usb", "sdb", "sdb1", "8:17", true);
  EXPECT_EQ(Classify(Mount("/media/pepa/FOTKY", "iso9660", "/dev/sr0", 11, 0)), DriveType::kCdRom);
  EXPECT_EQ(Classify(Mount("/media/pepa/BD", "udf", "/dev/sr1", 11, 1)), DriveType::kCdRom);
  EXPECT_EQ(Classify(Mount("/mnt/image", "iso9660", "/dev/loop0", 7, 0)), DriveType::kCdRom);
  // A disc in a USB drive is still a CD, though the drive is removable.
  EXPECT_EQ(Classify(Mount("/media/pepa/AUDIO", "vfat", "/dev/sr2", 11, 2)), DriveType::kCdRom);

  EXPECT_EQ(Classify(Mount("/mnt/nas", "nfs", "nas:/export", 0, 50)), DriveType::kRemote);
  EXPECT_EQ(Classify(Mount("/mnt/nas4", "nfs4", "nas:/", 0, 51)), DriveType::kRemote);
  EXPECT_EQ(Classify(Mount("/mnt/smb", "cifs", "//server/share", 0, 52)), DriveType::kRemote);
  EXPECT_EQ(Classify(Mount("/home/pepa/remote", "fuse.sshfs", "pepa@host:", 0, 53)),
            DriveType::kRemote);
  EXPECT_EQ(Classify(Mount("/home/pepa/cloud", "fuse.rclone", "gdrive:", 0, 54)),
            DriveType::kRemote);
  EXPECT_EQ(Classify(Mount("/home/pepa/x", "fuse.something", "https://dav.example/", 0, 55)),
            DriveType::kRemote);
  // A local FUSE layer over a folder is no network drive.
  EXPECT_EQ(Classify(Mount("/home/pepa/secret", "fuse.gocryptfs", "/home/pepa/.cipher", 0, 56)),
            DriveType::kFixed);

  EXPECT_EQ(Classify(Mount("/tmp", "tmpfs", "tmpfs", 0, 30)), DriveType::kRamDisk);
  EXPECT_EQ(Classify(Mount("/mnt/ram", "ramfs", "none", 0, 31)), DriveType::kRamDisk);
  EXPECT_EQ(Classify(Mount("/var/tmp", "ext4", "/dev/zram1", 252, 1)), DriveType::kRamDisk);
}

TEST(DriveTypes, Captions) {
  EXPECT_EQ(DriveTypeText(DriveType::kRemovable), "Removable/Floppy");
  EXPECT_EQ(DriveTypeText(DriveType::kFixed), "Fixed");
  EXPECT_EQ(DriveTypeText(DriveType::kRemote), "Remote drive");
  EXPECT_EQ(DriveTypeText(DriveType::kCdRom), "CD-ROM drive");
  EXPECT_EQ(DriveTypeText(DriveType::kRamDisk), "RAM Disk");
  EXPECT_EQ(DriveTypeText(DriveType::kUnknown), "Unknown");
  EXPECT_EQ(SerialText(0x1A2B3C4D), "1A2B-3C4D");
  EXPECT_EQ(SerialText(0x0000000F), "0000-000F");
  EXPECT_EQ(SerialText(0xFFFF0000), "FFFF-0000");
}

TEST(UdevData, FileSystemProperties) {
  const auto udev = ParseUdevData(
      "S:disk/by-uuid/1A2B-3C4D\n"
      "E:ID_FS_UUID=1A2B-3C4D\n"
      "E:ID_FS_UUID_ENC=1A2B-3C4D\n"
      "E:ID_FS_TYPE=vfat\n"
      "E:ID_FS_LABEL=Moje_fotky\n"
      "E:ID_FS_LABEL_ENC=Moje\\x20fotky\\x2f2004\n");
  EXPECT_EQ(udev.type, "vfat");
  EXPECT_EQ(udev.uuid, "1A2B-3C4D");
  EXPECT_EQ(udev.label, "Moje fotky/2004");

  EXPECT_EQ(ParseUdevData("E:ID_FS_LABEL=DATA\n").label, "DATA");
  EXPECT_EQ(ParseUdevData("E:ID_FS_LABEL_ENC=A\\x2\n").label, "A\\x2");
  EXPECT_EQ(ParseUdevData("").uuid, "");
}

// A machine of the test's own: mountinfo, sysfs and udev database in a temp
// folder, mount points that are real folders in it.
class FakeMachine : public ::testing::Test {
 protected:
  FakeMachine() : base_(fs::canonical(dir_.Path())) {
    fs::create_directories(base_ / "sys");
    fs::create_directories(base_ / "udev");
  }
  fs::path Folder(const std::string& name) {
    fs::create_directories(base_ / name);
    return base_ / name;
  }
  void Udev(const std::string& numbers, const std::string& text) {
    std::ofstream(base_ / "udev" / ("b" + numbers)) << text;
  }
  LinuxDrives Drives(const std::string& mountInfo) {
    std::ofstream(base_ / "mountinfo") << mountInfo;
    return LinuxDrives((base_ / "mountinfo").string(), (base_ / "sys").string(),
                       (base_ / "udev").string());
  }
  // A mountinfo line; spaces in the mount point escaped as the kernel does.
  std::string Line(int id, const std::string& numbers, const fs::path& mountPoint,
                   const std::string& type, const std::string& source) {
    std::string escaped;
    for (char c : mountPoint.string())
      escaped += c == ' ' ? std::string("\\040") : std::string(1, c);
    return std::to_string(id) + " 1 " + numbers + " / " + escaped +
           " rw,relatime shared:" + std::to_string(id) + " - " + type + " " + source + " rw\n";
  }

  test::TempDir dir_;
  fs::path base_;
};

TEST_F(FakeMachine, ListShowsDrivesWithSizes) {
  const fs::path stick = Folder("Moje disky");
  auto drives = Drives(
      "1 0 254:0 / / rw - ext4 /dev/vda rw\n"
      "2 1 0:21 / /proc rw - proc proc rw\n" +
      Line(3, "0:30", stick, "tmpfs", "tmpfs") +
      Line(4, "0:31", base_ / "gone", "nfs", "nas:/data") +
      Line(5, "0:32", stick, "vfat", "/dev/rondo-none"));
  const auto list = drives.List();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].root, "/");
  EXPECT_EQ(list[0].device, "/dev/vda");
  EXPECT_EQ(list[0].fileSystem, "ext4");

  // The later mount on the same point hides the tmpfs under it.
  EXPECT_EQ(list[1].root, stick.string());
  EXPECT_EQ(list[1].fileSystem, "vfat");
  EXPECT_EQ(list[1].type, DriveType::kFixed);
  EXPECT_EQ(list[1].device, "/dev/rondo-none");
  EXPECT_GT(list[1].size, 0u);
  EXPECT_LE(list[1].free, list[1].size);

  EXPECT_EQ(list[2].root, (base_ / "gone").string());
  EXPECT_EQ(list[2].type, DriveType::kRemote);
  EXPECT_EQ(list[2].device, "");
  EXPECT_EQ(list[2].size, 0u);  // statvfs fails there
  EXPECT_EQ(list[2].free, 0u);
}

TEST_F(FakeMachine, VolumeOfAFatStickFromUdev) {
  const fs::path stick = Folder("FOTKY");
  Udev("8:33",
       "E:ID_FS_TYPE=vfat\nE:ID_FS_UUID=1A2B-3C4D\nE:ID_FS_LABEL=Moje_fotky\n"
       "E:ID_FS_LABEL_ENC=Moje\\x20fotky\n");
  auto drives = Drives(Line(1, "8:33", stick, "vfat", "/dev/rondo-none-sdz1"));
  const auto volume = drives.Volume(stick.string());
  ASSERT_TRUE(volume);
  EXPECT_EQ(SerialText(volume->serial), "1A2B-3C4D");
  EXPECT_EQ(volume->label, "Moje fotky");
  EXPECT_EQ(volume->fileSystem, "vfat");

  // A folder on the stick is a folder, not the stick.
  fs::create_directories(stick / "Léto");
  const auto folder = drives.Volume((stick / "Léto").string());
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->label, "Léto");
  EXPECT_EQ(folder->serial, StableSerial((stick / "Léto").string()));
  EXPECT_EQ(folder->fileSystem, "vfat");
}

TEST_F(FakeMachine, VolumeOfALinuxDiskFromItsUuid) {
  const fs::path disk = Folder("data");
  const fs::path other = Folder("zaloha");
  Udev("8:34", "E:ID_FS_TYPE=ext4\nE:ID_FS_UUID=0f1e2d3c-aaaa-bbbb-cccc-ddddeeeeffff\n");
  auto drives = Drives(Line(1, "8:34", disk, "ext4", "/dev/rondo-none-sdz2") +
                       Line(2, "0:40", other, "btrfs", "/dev/rondo-none-sdz3"));
  const auto volume = drives.Volume(disk.string());
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->serial, StableSerial("0f1e2d3c-aaaa-bbbb-cccc-ddddeeeeffff"));
  EXPECT_EQ(volume->label, "data");
  EXPECT_EQ(volume->fileSystem, "ext4");
  // Nothing known in udev: the mount point gives the serial.
  const auto bare = drives.Volume(other.string());
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->serial, StableSerial(other.string()));
  EXPECT_EQ(bare->label, "zaloha");
}

TEST_F(FakeMachine, VolumeReadFromTheMediumItself) {
  // An ISO image and a FAT32 boot sector stand in for the devices.
  std::string image(16 * kSectorSize, '\0');
  std::string primary(kSectorSize, '\0');
  primary.replace(0, 7,
                  "\x01"
                  "CD001\x01");
  primary.replace(40, 32, "CESTA_2004                      ");
  std::string terminator = primary.substr(0, 7);
  terminator[0] = '\xFF';
  terminator.resize(kSectorSize, '\0');
  image += primary + terminator;
  std::ofstream(base_ / "disc.iso", std::ios::binary) << image;

  std::string boot(kBootSectorSize, '\0');
  boot.replace(0x43, 4, "\x44\x33\x22\x11");
  boot.replace(0x47, 11, "STARY      ");
  boot.replace(0x52, 8, "FAT32   ");
  boot[510] = '\x55';
  boot[511] = '\xAA';
  std::ofstream(base_ / "stick.img", std::ios::binary) << boot;

  const fs::path disc = Folder("CESTA 2004");
  const fs::path stick = Folder("stick");
  const fs::path card = Folder("card");
  Udev("8:40", "E:ID_FS_TYPE=vfat\nE:ID_FS_UUID=9999-9999\nE:ID_FS_LABEL_ENC=NOVY\n");
  auto drives = Drives(Line(1, "7:0", disc, "iso9660", (base_ / "disc.iso").string()) +
                       Line(2, "8:40", stick, "vfat", (base_ / "stick.img").string()) +
                       Line(3, "8:41", card, "vfat", (base_ / "stick.img").string()));

  auto volume = drives.Volume(disc.string());
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->label, "CESTA_2004");
  EXPECT_EQ(volume->serial, DescriptorSerial(primary));
  EXPECT_EQ(volume->fileSystem, "iso9660");

  // The boot sector's serial; udev's label, which follows the root folder.
  volume = drives.Volume(stick.string());
  ASSERT_TRUE(volume);
  EXPECT_EQ(SerialText(volume->serial), "1122-3344");
  EXPECT_EQ(volume->label, "NOVY");
  // Without udev the boot sector's own label.
  volume = drives.Volume(card.string());
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->label, "STARY");
}

TEST_F(FakeMachine, FoldersMediaAndEjecting) {
  const fs::path archive = Folder("Archiv 2004");
  const fs::path other = Folder("Jiný");
  LinuxDrives drives;  // this machine's own mounts
  const auto first = drives.Volume(archive.string());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->label, "Archiv 2004");
  EXPECT_EQ(first->serial, StableSerial(archive.string()));
  EXPECT_EQ(drives.Volume(archive.string() + "/")->serial, first->serial);
  EXPECT_NE(drives.Volume(other.string())->serial, first->serial);
  EXPECT_FALSE(drives.Volume((base_ / "nic").string()));
  EXPECT_FALSE(drives.Volume(""));

  EXPECT_TRUE(drives.HasMedia(archive.string()));
  EXPECT_FALSE(drives.HasMedia((base_ / "nic").string()));
  std::ofstream(base_ / "soubor") << "x";
  EXPECT_FALSE(drives.HasMedia((base_ / "soubor").string()));

  // A folder is nothing to eject: no attempt, no complaint.
  std::string error = "dřívější";
  EXPECT_FALSE(drives.Eject(other.string(), error));
  EXPECT_EQ(error, "");
  EXPECT_FALSE(drives.List().empty());  // this machine has at least its root
}

TEST_F(FakeMachine, EjectTakesOutOnlyDiscsAndRemovableMedia) {
  const fs::path share = Folder("share");
  const fs::path fixed = Folder("fixed");
  const fs::path stick = Folder("stick");
  // The stick's disk says it is removable; nothing is known of the other.
  fs::create_directories(base_ / "sys" / "devices" / "usb" / "sdz" / "sdz9");
  std::ofstream(base_ / "sys" / "devices" / "usb" / "sdz" / "removable") << "1\n";
  fs::create_directories(base_ / "sys" / "dev" / "block");
  fs::create_directory_symlink(base_ / "sys" / "devices" / "usb" / "sdz" / "sdz9",
                               base_ / "sys" / "dev" / "block" / "8:51");
  auto drives = Drives(Line(1, "0:50", share, "nfs", "nas:/data") +
                       Line(2, "8:50", fixed, "ext4", "/dev/rondo-none-sdy1") +
                       Line(3, "8:51", stick, "vfat", "/dev/rondo-none-sdz9"));
  // A network share, a fixed disk and folders stay where they are, silently.
  for (const fs::path& root : {share, fixed, stick / "Léto", base_ / "nic"}) {
    std::string error = "dřívější";
    EXPECT_FALSE(drives.Eject(root.string(), error)) << root;
    EXPECT_EQ(error, "") << root;
  }
  // The stick is tried; it is no real mount point here, so unmounting it
  // fails and says so.
  std::string error;
  EXPECT_FALSE(drives.Eject(stick.string(), error));
  EXPECT_EQ(error.rfind("Disk nelze vysunout: ", 0), 0u) << error;
  EXPECT_TRUE(fs::is_directory(stick));
}

}  // namespace
}  // namespace rondo::platform
