// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/format/entry_walker.h"

#include <string>

#include "catalogue/format/errors.h"

namespace rondo {

EntryWalker::EntryWalker(ByteStream& stream) : stream_(stream) {}

bool EntryWalker::Next(CdHeader& header) {
  const std::uint64_t size = stream_.Size();
  if (nextStart_ >= size)
    return false;
  entryStart_ = nextStart_;
  if (size - entryStart_ < kCdHeaderSize) {
    ThrowDamaged("záznam CD je useknutý koncem souboru", entryStart_);
  }
  stream_.Seek(entryStart_);
  header = ReadCdHeader(stream_);
  if (header.BlockSize < kCdHeaderSize) {
    ThrowDamaged("délka záznamu CD " + std::to_string(header.BlockSize) +
                     " je menší než jeho hlavička (228 bajtů)",
                 entryStart_);
  }
  if (header.BlockSize > size - entryStart_) {
    ThrowDamaged("záznam CD o délce " + std::to_string(header.BlockSize) + " sahá za konec souboru",
                 entryStart_);
  }
  blockLength_ = header.BlockSize - kCdHeaderSize;
  nextStart_ = entryStart_ + header.BlockSize;
  return true;
}

void CheckEntries(ByteStream& stream) {
  EntryWalker walker(stream);
  CdHeader h;
  while (walker.Next(h)) {
  }
}

std::vector<FixedText<9>> ReadMembers(ByteStream& stream, std::uint64_t blockLength) {
  std::vector<FixedText<9>> members;
  const std::uint64_t slots = std::min<std::uint64_t>(kMemberSlots, blockLength / kSerialWidth);
  for (std::uint64_t i = 0; i < slots; ++i) {
    FixedText<9> slot;
    stream.Read(slot.raw.data(), kSerialWidth);
    if (slot.raw[0] == 0)
      break;
    members.push_back(slot);
  }
  return members;
}

}  // namespace rondo
