// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed-width fields, the character arrays of item records, flag bits,
// group lists in comments and the label counter.

#include "shell/fields.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace rondo {

void StrToFixedChars(std::span<char> dest, std::size_t n, const Cp1250Text& text) {
  // n + 1 bytes are written, so n must be below the destination size (this
  // form of the test cannot overflow).
  if (n >= dest.size()) {
    throw std::out_of_range("StrToFixedChars: field wider than its buffer");
  }
  const std::size_t copied = std::min(n + 1, text.bytes.size());
  std::memcpy(dest.data(), text.bytes.data(), copied);
  std::memset(dest.data() + copied, 0, n + 1 - copied);
}

Cp1250Text FixedCharsToStr(std::span<const char> field) {
  const auto end = std::find(field.begin(), field.end(), '\0');
  return Cp1250Text(std::string(field.begin(), end));
}

void StrToCharArray(TDynamicArray& array, const Cp1250Text& text) {
  const std::size_t length = array.chars.size();
  const std::size_t copied = std::min(length, text.bytes.size());
  std::copy_n(text.bytes.begin(), copied, array.chars.begin());
  std::fill(array.chars.begin() + static_cast<std::ptrdiff_t>(copied), array.chars.end(), '\0');
}

Cp1250Text CharArrayToStr(const TDynamicArray& array) {
  return Cp1250Text(std::string(array.chars.c_str()));
}

bool FlagIsSet(std::uint8_t flags, unsigned bit) {
  if (bit > 7) {
    return false;
  }
  return (flags >> bit) & 1U;
}

void SetFlag(std::uint8_t& flags, unsigned bit, bool on) {
  if (bit > 7) {
    return;
  }
  const auto mask = static_cast<std::uint8_t>(1U << bit);
  if (on) {
    flags = static_cast<std::uint8_t>(flags | mask);
  } else {
    flags = static_cast<std::uint8_t>(flags & ~mask);
  }
}

bool InGroupList(const TDynamicArray& comment, const Cp1250Text& group) {
  const std::string text = CharArrayToStr(comment).bytes;
  std::string_view groups(text);
  // Everything after the first "^" lists the groups; a later "^" is just a
  // character of a name.
  const std::size_t caret = groups.find('^');
  if (caret != std::string_view::npos) {
    groups.remove_prefix(caret + 1);
  }
  if (groups.empty()) {
    return true;
  }
  // Each ";" closes a name, even an empty one; what follows the last ";"
  // counts only when something is there.
  std::size_t start = 0;
  for (;;) {
    const std::size_t semicolon = groups.find(';', start);
    if (semicolon == std::string_view::npos) {
      const std::string_view rest = groups.substr(start);
      return !rest.empty() && EqualsIgnoringAsciiCase(rest, group.bytes);
    }
    if (EqualsIgnoringAsciiCase(groups.substr(start, semicolon - start), group.bytes)) {
      return true;
    }
    start = semicolon + 1;
  }
}

void AddToLabelNumber(std::string& caption, std::uint32_t amount) {
  // Only an optional "-" and digits, nothing around them.
  const char* const first = caption.data();
  const char* const last = first + caption.size();
  const char* digits = first;
  if (digits != last && *digits == '-') {
    ++digits;
  }
  if (digits == last || !std::all_of(digits, last, [](char c) { return c >= '0' && c <= '9'; })) {
    throw std::invalid_argument("label caption is not a decimal number: " + caption);
  }
  std::int64_t value = 0;
  const auto parsed = std::from_chars(first, last, value);
  if (parsed.ec == std::errc::result_out_of_range) {
    throw std::out_of_range("label number does not fit in 64 bits: " + caption);
  }
  if (parsed.ec != std::errc() || parsed.ptr != last) {
    throw std::invalid_argument("label caption is not a decimal number: " + caption);
  }
  if (value > std::numeric_limits<std::int64_t>::max() - static_cast<std::int64_t>(amount)) {
    throw std::out_of_range("label number would pass the 64-bit limit: " + caption);
  }
  caption = std::to_string(value + static_cast<std::int64_t>(amount));
}

void IncLabelNumber(std::string& caption) {
  AddToLabelNumber(caption, 1);
}

std::string AttributeLetters(std::uint32_t attributes) {
  std::string text;
  if (attributes & 0x01)
    text += 'r';
  if (attributes & 0x02)
    text += 'h';
  if (attributes & 0x04)
    text += 's';
  if (attributes & 0x20)
    text += 'a';
  return text;
}

}  // namespace rondo
