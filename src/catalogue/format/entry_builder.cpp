// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/format/entry_builder.h"

#include <limits>
#include <stdexcept>

namespace rondo {

namespace {

std::uint32_t ItemLength(const CatalogueItem& item) {
  return static_cast<std::uint32_t>(kItemPrefixSize) +
         (item.directory ? DirRecordLength(item.record) : FileRecordLength(item.record));
}

// For every directory: the bytes of the items after it up to the next item
// whose level is not greater than its own.
std::vector<std::uint32_t> SubtreeLengths(const std::vector<CatalogueItem>& items) {
  std::vector<std::uint32_t> lengths(items.size(), 0);
  std::vector<std::size_t> open;  // directories whose contents are still running
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::uint8_t level = items[i].record.Level;
    while (!open.empty() && items[open.back()].record.Level >= level)
      open.pop_back();
    const std::uint32_t length = ItemLength(items[i]);
    for (std::size_t d : open)
      lengths[d] += length;
    if (items[i].directory)
      open.push_back(i);
  }
  // A directory without bytes below it is never stepped over.
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].directory && items[i].record.Size == 0)
      lengths[i] = 0;
  }
  return lengths;
}

}  // namespace

std::vector<std::uint8_t> BuildCdEntry(CdHeader header, const std::vector<CatalogueItem>& items,
                                       bool computeSubtreeLengths) {
  const std::vector<std::uint32_t> subtree =
      computeSubtreeLengths ? SubtreeLengths(items) : std::vector<std::uint32_t>{};
  MemoryStream out;
  header.BlockSize = 0;
  WriteCdHeader(out, header);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].directory) {
      TDirInfo dir;
      static_cast<ItemRecord&>(dir) = items[i].record;
      if (computeSubtreeLengths)
        dir.SubtreeLength = subtree[i];
      WriteDirItem(out, dir);
    } else {
      TFileInfo file;
      static_cast<ItemRecord&>(file) = items[i].record;
      WriteFileItem(out, file);
    }
  }
  if (out.Size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("záznam CD je delší než 4 GB");
  }
  header.BlockSize = static_cast<std::uint32_t>(out.Size());
  out.Seek(0);
  WriteCdHeader(out, header);
  return std::move(out.Bytes());
}

std::vector<std::uint8_t> BuildMultigroupEntry(CdHeader header, const MemberList& members) {
  MemoryStream out;
  header.BlockSize = static_cast<std::uint32_t>(kMultigroupBlockSize);
  WriteCdHeader(out, header);
  WriteMemberList(out, members);
  return std::move(out.Bytes());
}

}  // namespace rondo
