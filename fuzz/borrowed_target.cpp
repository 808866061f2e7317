// SPDX-License-Identifier: GPL-3.0-or-later
// The list of borrowed discs: loading, removing and appending must keep
// every whole record and every stray byte they do not concern.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "borrowed/borrowed_list.h"
#include "fuzz_support.h"
#include "targets.h"

namespace rondo::fuzz {

namespace {

// Equal field by field; the date by its bits, so that a stored NaN equals
// itself.
bool Same(const BorrowedDisc& a, const BorrowedDisc& b) {
  return a.description == b.description && a.group == b.group && a.from == b.from &&
         std::memcmp(&a.date, &b.date, sizeof a.date) == 0 && a.count == b.count;
}

bool Same(const std::vector<BorrowedDisc>& a, const std::vector<BorrowedDisc>& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!Same(a[i], b[i]))
      return false;
  }
  return true;
}

// A text of up to 60 bytes taken from the input from offset on.
std::string TextFrom(const std::uint8_t* data, std::size_t size, std::size_t offset) {
  std::string text;
  for (std::size_t i = offset; i < size && text.size() < 60; ++i)
    text += static_cast<char>(data[i]);
  return text;
}

}  // namespace

int BorrowedTarget(const std::uint8_t* data, std::size_t size) {
  ClearScratch();
  const std::string path = ScratchPath(kBorrowedFileName);
  WriteFile(path, data, size);

  BorrowedList before;
  try {
    before = LoadBorrowedList(path);
  } catch (const std::exception&) {
    return 0;
  }
  Check(before.discs.size() * kBorrowedRecordSize + before.strayBytes == size,
        "the list does not account for every byte");
  for (const auto& disc : before.discs) {
    (void)IconOf(disc);
    // Re-encoding what was read reads back the same.
    Check(Same(DecodeBorrowedDisc(EncodeBorrowedDisc(disc).data()), disc),
          "a record does not survive encoding");
  }

  // Remove by the description of one of the records (or of none).
  const std::string description = before.discs.empty()
                                      ? std::string("nic")
                                      : before.discs[size % before.discs.size()].description;
  std::vector<BorrowedDisc> kept;
  for (const auto& disc : before.discs) {
    if (disc.description != description)
      kept.push_back(disc);
  }
  std::size_t removed = 0;
  try {
    removed = RemoveBorrowedDiscs(path, description);
  } catch (const std::exception&) {
    return 0;
  }
  Check(removed == before.discs.size() - kept.size(), "another number of records was removed");
  BorrowedList middle = LoadBorrowedList(path);
  Check(Same(middle.discs, kept), "removing changed the other records");
  Check(middle.strayBytes == before.strayBytes, "removing changed the partial record");

  BorrowedDisc added;
  added.description = TextFrom(data, size, 0);
  added.group = TextFrom(data, size, size / 2);
  added.from = "Fuzz";
  added.date = 45000.25;
  added.count = size > 0 ? data[size - 1] : 1;
  std::optional<std::string> copy;
  try {
    copy = AppendBorrowedDisc(path, added);
  } catch (const std::exception&) {
    return 0;
  }
  const bool rewritten = copy.has_value();
  Check(rewritten == (middle.strayBytes != 0), "the list was rewritten without reason");
  const BorrowedList after = LoadBorrowedList(path);
  Check(after.strayBytes == 0, "the appended list ends in a partial record");
  std::vector<BorrowedDisc> expected = kept;
  expected.push_back(DecodeBorrowedDisc(EncodeBorrowedDisc(added).data()));
  Check(Same(after.discs, expected), "the appended list is not the old records plus the new one");
  if (rewritten) {
    Check(ReadFile(*copy).size() == middle.discs.size() * kBorrowedRecordSize + middle.strayBytes,
          "the damaged list was not kept whole");
  }
  return 0;
}

}  // namespace rondo::fuzz
