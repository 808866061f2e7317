// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/disc_filter.h"

namespace rondo {

namespace {

// Lower case of one code point of Latin-1 and Latin Extended-A.
char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80)
    return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
    return c + 0x20;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
    return c | 1;  // pairs: capital even, small odd
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
    return (c & 1) != 0 ? c + 1 : c;  // pairs: capital odd, small even
  if (c == 0x178)
    return 0xFF;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string FoldCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
      ++i;
      continue;
    }
    // Only two-byte sequences hold letters with a case this folds; every
    // other byte is copied as it is.
    if ((b & 0xE0) == 0xC0 && i + 1 < utf8.size() &&
        (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
      const char32_t c =
          (static_cast<char32_t>(b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
      AppendUtf8(out, FoldCodePoint(c));
      i += 2;
      continue;
    }
    out += static_cast<char>(b);
    ++i;
  }
  return out;
}

DiscFilter::DiscFilter(std::string_view typed) : needle_(FoldCase(typed)) {}

bool DiscFilter::Passes(const DiscRow& row) const {
  if (needle_.empty())
    return true;
  if (row.icon == kNoIcon && row.Caption() == kUpRowCaption)
    return true;
  for (std::size_t column : {kColDescription, kColSerial, kColVolumeLabel, kColGroups}) {
    if (FoldCase(row.cells[column]).find(needle_) != std::string::npos)
      return true;
  }
  return false;
}

std::vector<std::uint32_t> DiscFilter::Apply(DiscList& list) const {
  std::vector<std::uint32_t> shown;
  shown.reserve(list.rows.size());
  for (std::size_t i = 0; i < list.rows.size(); ++i) {
    DiscRow& row = list.rows[i];
    if (Passes(row)) {
      shown.push_back(static_cast<std::uint32_t>(i));
    } else {
      row.selected = false;
    }
  }
  return shown;
}

}  // namespace rondo
