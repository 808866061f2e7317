// SPDX-License-Identifier: GPL-3.0-or-later
// Assembling a whole disc entry in memory: the header, then the items in
// pre-order, with BlockSize set to the final length. The scanner produces
// its entries this way; so do the catalogue generator and the tests.
#pragma once

#include <cstdint>
#include <vector>

#include "catalogue/format/records.h"

namespace rondo {

struct CatalogueItem {
  bool directory = false;
  ItemRecord record;
};

// The entry's bytes. With computeSubtreeLengths every directory gets the
// length of the items inside it (as the structure recalculation would
// store it); without, SubtreeLength is written as given.
std::vector<std::uint8_t> BuildCdEntry(CdHeader header, const std::vector<CatalogueItem>& items,
                                       bool computeSubtreeLengths);

// A multigroup entry: the header with BlockSize 408 and the member list.
std::vector<std::uint8_t> BuildMultigroupEntry(CdHeader header, const MemberList& members);

}  // namespace rondo
