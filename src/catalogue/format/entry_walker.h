// SPDX-License-Identifier: GPL-3.0-or-later
// Walking the disc entries from the first one to the end of the file, with
// every length checked before it is trusted.
#pragma once

#include <cstdint>

#include "catalogue/format/byte_stream.h"
#include "catalogue/format/records.h"

namespace rondo {

class EntryWalker {
 public:
  // Starts at the first entry, right after the database header.
  explicit EntryWalker(ByteStream& stream);

  // Reads the next CdHeader; false at the end of the file. Leaves the stream
  // just after the header, at the start of the entry's data block. A header
  // cut short by the end of the file, a BlockSize below 228 or an entry
  // reaching past the end raise DamagedCatalogue.
  bool Next(CdHeader& header);

  std::uint64_t EntryStart() const { return entryStart_; }
  std::uint64_t BlockStart() const { return entryStart_ + kCdHeaderSize; }
  std::uint64_t BlockLength() const { return blockLength_; }

 private:
  ByteStream& stream_;
  std::uint64_t entryStart_ = 0;
  std::uint64_t nextStart_ = kDatabaseHeaderSize;
  std::uint64_t blockLength_ = 0;
};

// Walks every entry header once, so that an operation that writes can refuse
// a damaged catalogue before it changes anything. Throws DamagedCatalogue.
void CheckEntries(ByteStream& stream);

// Reads a multigroup's member serials, never past the end of its block: a
// block shorter than the full member list yields only the slots it holds.
// Stops at the first empty slot. The stream must stand at the block start.
std::vector<FixedText<9>> ReadMembers(ByteStream& stream, std::uint64_t blockLength);

}  // namespace rondo
