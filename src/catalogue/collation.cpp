// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/collation.h"

#include <cstring>
#include <string>

namespace rondo {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Puts the number of digits in front of every run of digits (leading zeros
// dropped), so that a plain text comparison orders the runs as numbers: a
// longer number has a greater length mark, numbers of one length compare
// digit by digit. Lengths up to 8 take one digit as their mark; longer ones
// "9" and three digits, which still sort after every shorter mark.
std::string NumbersAsSortableText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  std::size_t i = 0;
  while (i < text.size()) {
    if (!IsDigit(text[i])) {
      out += text[i++];
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && IsDigit(text[end]))
      ++end;
    std::size_t first = i;
    while (first + 1 < end && text[first] == '0')
      ++first;
    const std::size_t length = end - first;
    if (length <= 8) {
      out += static_cast<char>('0' + length);
    } else {
      const std::size_t mark = length > 999 ? 999 : length;
      out += '9';
      out += static_cast<char>('0' + mark / 100);
      out += static_cast<char>('0' + mark / 10 % 10);
      out += static_cast<char>('0' + mark % 10);
    }
    out.append(text.substr(first, length));
    i = end;
  }
  return out;
}

}  // namespace

std::string CollationKey(std::string_view utf8) {
  // strxfrm needs a terminated text; a zero byte inside ends it, as it ends
  // every stored text anyway.
  const std::string text(utf8.substr(0, utf8.find('\0')));
  std::string key(text.size() * 4 + 16, '\0');
  std::size_t needed = std::strxfrm(key.data(), text.c_str(), key.size());
  if (needed >= key.size()) {
    key.assign(needed + 1, '\0');
    needed = std::strxfrm(key.data(), text.c_str(), key.size());
  }
  key.resize(needed < key.size() ? needed : key.size());
  return key;
}

std::string NaturalCollationKey(std::string_view utf8) {
  return CollationKey(NumbersAsSortableText(utf8.substr(0, utf8.find('\0'))));
}

}  // namespace rondo
