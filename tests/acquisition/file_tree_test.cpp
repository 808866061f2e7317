// SPDX-License-Identifier: GPL-3.0-or-later
// Listing real directories: attributes, links, times, and the counting walk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "acquisition/tree_helpers.h"
#include "platform/linux_file_tree.h"
#include "shell/dates.h"
#include "support/catalogue_builder.h"

namespace rondo {
namespace {

namespace fs = std::filesystem;

const TreeEntry* Find(const std::vector<TreeEntry>& entries, const std::string& name) {
  for (const auto& e : entries) {
    if (e.name == name)
      return &e;
  }
  return nullptr;
}

TEST(LinuxFileTree, ReportsWhatTheScannerNeeds) {
  test::TempDir dir;
  const fs::path root = dir.Path();
  fs::create_directories(root / "složka" / "vnořená");
  std::ofstream(root / "a.txt") << "12345";
  std::ofstream(root / ".skrytý") << "x";
  std::ofstream(root / "složka" / "b.bin") << std::string(1000, 'b');
  std::ofstream(root / "složka" / "vnořená" / "c") << "cc";
  std::ofstream(root / "jen čtení.txt") << "r";
  fs::permissions(root / "jen čtení.txt", fs::perms::owner_read | fs::perms::group_read);
  fs::create_directory_symlink(root, root / "smyčka");  // a loop if it were followed
  fs::create_symlink(root / "složka" / "b.bin", root / "odkaz.bin");
  fs::create_symlink(root / "nikde", root / "mrtvý");
  // An odd second: stored times keep two-second steps.
  timespec times[2] = {{0, UTIME_OMIT}, {1700000001, 0}};
  ::utimensat(AT_FDCWD, (root / "a.txt").c_str(), times, 0);

  platform::LinuxFileTree tree;
  std::vector<TreeEntry> entries;
  ASSERT_TRUE(tree.List(root.string(), entries));
  EXPECT_EQ(entries.size(), 7u);
  EXPECT_EQ(Find(entries, "."), nullptr);

  const TreeEntry* a = Find(entries, "a.txt");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->size, 5u);
  EXPECT_EQ(a->attributes, 0x20u);
  EXPECT_EQ(DecodeOleDate(a->time).second % 2, 0);
  EXPECT_EQ(Find(entries, ".skrytý")->attributes & 0x02, 0x02u);
  EXPECT_EQ(Find(entries, "jen čtení.txt")->attributes & 0x01, 0x01u);
  EXPECT_EQ(Find(entries, "složka")->attributes, 0x10u);
  EXPECT_TRUE(Find(entries, "složka")->directory);
  EXPECT_TRUE(Find(entries, "smyčka")->linkToDirectory);
  EXPECT_EQ(Find(entries, "odkaz.bin")->size, 1000u);
  EXPECT_FALSE(Find(entries, "mrtvý")->sizeKnown);

  EXPECT_FALSE(tree.List((root / "nic").string(), entries));

  // The counting walk never enters the looping link.
  const TreeCounts counts = CountTree(tree, root.string());
  EXPECT_EQ(counts.dirs, 3u);   // složka, vnořená, smyčka
  EXPECT_EQ(counts.files, 7u);  // a, .skrytý, jen čtení, odkaz, mrtvý, b, c
  EXPECT_EQ(counts.items, 10u);
  EXPECT_EQ(counts.bytes, 5u + 1 + 1 + 1000 + 1000 + 2);
  EXPECT_EQ(DirTreeSize(tree, (root / "složka").string()), 1002u);
}

}  // namespace
}  // namespace rondo
