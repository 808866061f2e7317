// SPDX-License-Identifier: GPL-3.0-or-later
// The borrowed-discs file: its records, adding and removing, and a damaged
// file that loses nothing.
#include "borrowed/borrowed_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/catalogue_builder.h"

namespace rondo {
namespace {

std::vector<std::uint8_t> Golden(const std::string& name) {
  return test::ReadAll(std::string(RONDO_TEST_DATA) + "/" + name);
}

BorrowedDisc Disc(const std::string& description, std::uint8_t count = 1,
                  const std::string& group = "Filmy") {
  return {description, group, "Jana", 46000.0, count};
}

TEST(BorrowedListTest, RecordsMatchTheGoldenBytes) {
  const BorrowedDisc disc{"Pán prstenů – rozšířená verze, disk 1 ze 4 a bonus", "Filmy",
                          "Jana Dvořáková", 46000.0, 4};
  const auto golden = Golden("borrowed_record.bin");
  EXPECT_EQ(EncodeBorrowedDisc(disc), golden);
  // The description fills its 50 bytes: no terminator, read back whole.
  const BorrowedDisc back = DecodeBorrowedDisc(golden.data());
  EXPECT_EQ(back.description, disc.description);
  // A longer one is cut to the same 50 bytes.
  BorrowedDisc longer = disc;
  longer.description += " navíc";
  EXPECT_EQ(EncodeBorrowedDisc(longer), golden);
  EXPECT_EQ(back.group, "Filmy");
  EXPECT_EQ(back.from, "Jana Dvořáková");
  EXPECT_EQ(back.date, 46000.0);
  EXPECT_EQ(back.count, 4);
}

TEST(BorrowedListTest, AddsInOrderAndRemovesEveryEntryOfADescription) {
  test::TempDir dir;
  const auto path = (dir / kBorrowedFileName).string();
  EXPECT_TRUE(LoadBorrowedList(path).discs.empty());
  EXPECT_FALSE(std::filesystem::exists(path));  // reading never creates it

  EXPECT_FALSE(AppendBorrowedDisc(path, Disc("Matrix")));
  EXPECT_FALSE(AppendBorrowedDisc(path, Disc("Vetřelec", 3)));
  EXPECT_FALSE(AppendBorrowedDisc(path, Disc("Matrix", 2)));
  EXPECT_FALSE(AppendBorrowedDisc(path, Disc("matrix")));
  auto list = LoadBorrowedList(path);
  ASSERT_EQ(list.discs.size(), 4u);
  EXPECT_EQ(list.discs[1], Disc("Vetřelec", 3));
  EXPECT_EQ(std::filesystem::file_size(path), 4 * kBorrowedRecordSize);

  // Exact, case-sensitive: both "Matrix" go, "matrix" stays.
  EXPECT_EQ(RemoveBorrowedDiscs(path, "Matrix"), 2u);
  list = LoadBorrowedList(path);
  ASSERT_EQ(list.discs.size(), 2u);
  EXPECT_EQ(list.discs[0].description, "Vetřelec");
  EXPECT_EQ(list.discs[1].description, "matrix");
  const auto before = test::ReadAll(path);
  EXPECT_EQ(RemoveBorrowedDiscs(path, "Nic"), 0u);
  EXPECT_EQ(test::ReadAll(path), before);
  EXPECT_EQ(test::FilesIn(dir.Path()).size(), 1u);
}

TEST(BorrowedListTest, ADamagedFileListsWholeRecordsAndLosesNothing) {
  test::TempDir dir;
  const auto path = (dir / kBorrowedFileName).string();
  auto bytes = EncodeBorrowedDisc(Disc("První"));
  const auto second = EncodeBorrowedDisc(Disc("Druhé"));
  bytes.insert(bytes.end(), second.begin(), second.begin() + 100);  // cut short
  test::WriteAll(path, bytes);

  auto list = LoadBorrowedList(path);
  ASSERT_EQ(list.discs.size(), 1u);
  EXPECT_EQ(list.strayBytes, 100u);

  // Removing keeps the partial record as it was.
  EXPECT_EQ(RemoveBorrowedDiscs(path, "Nic"), 0u);
  EXPECT_EQ(test::ReadAll(path), bytes);

  // The next add keeps the old file whole beside the list and makes the
  // new entry readable.
  EXPECT_EQ(AppendBorrowedDisc(path, Disc("Třetí")), path + ".poskozeny");
  EXPECT_EQ(test::ReadAll(path + ".poskozeny"), bytes);
  list = LoadBorrowedList(path);
  EXPECT_EQ(list.strayBytes, 0u);
  ASSERT_EQ(list.discs.size(), 2u);
  EXPECT_EQ(list.discs[0].description, "První");
  EXPECT_EQ(list.discs[1].description, "Třetí");

  // Damaged again: the first copy stays, the second gets the next number.
  auto again = test::ReadAll(path);
  again.push_back(7);
  test::WriteAll(path, again);
  EXPECT_EQ(AppendBorrowedDisc(path, Disc("Čtvrté")), path + ".poskozeny.2");
  EXPECT_EQ(test::ReadAll(path + ".poskozeny"), bytes);
  EXPECT_EQ(test::ReadAll(path + ".poskozeny.2"), again);
}

TEST(BorrowedListTest, IconsFollowGroupAndCount) {
  EXPECT_EQ(IconOf(Disc("a", 5, "moje AUDIO Cd")), BorrowedIcon::kAudio);
  EXPECT_EQ(IconOf(Disc("a", 1, "Audio CD")), BorrowedIcon::kAudio);
  EXPECT_EQ(IconOf(Disc("a", 1, "Audio")), BorrowedIcon::kSingle);
  EXPECT_EQ(IconOf(Disc("a", 0)), BorrowedIcon::kSingle);
  EXPECT_EQ(IconOf(Disc("a", 2)), BorrowedIcon::kSeveral);
}

}  // namespace
}  // namespace rondo
