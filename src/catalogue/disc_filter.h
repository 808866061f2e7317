// SPDX-License-Identifier: GPL-3.0-or-later
// The filter field above the disc list: the rows whose description, serial,
// label or groups hold the typed text, without regard to letter case.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/disc_list.h"

namespace rondo {

// Lower case of a UTF-8 text: ASCII and the Latin letters code page 1250
// holds (Č to č, Ž to ž, Á to á...). Diacritics stay as they are.
std::string FoldCase(std::string_view utf8);

class DiscFilter {
 public:
  explicit DiscFilter(std::string_view typed = {});

  bool Empty() const { return needle_.empty(); }
  // ".." (the way back from a multigroup) always passes.
  bool Passes(const DiscRow& row) const;
  // The indexes of the rows that pass, in list order. A row that does not
  // pass loses its selection, so that commands act only on rows the user
  // sees.
  std::vector<std::uint32_t> Apply(DiscList& list) const;

 private:
  std::string needle_;  // folded
};

}  // namespace rondo
