// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed-width text fields and the character arrays of item records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shell/text.h"

namespace rondo {

// A growable array of single-byte (code page 1250) characters. Its length is
// the number of characters; there is no terminator, but a zero byte inside
// ends the text early.
struct TDynamicArray {
  std::string chars;

  std::size_t size() const { return chars.size(); }
  friend bool operator==(const TDynamicArray&, const TDynamicArray&) = default;
};

// Fills dest[0..n] (n+1 bytes) with the text, cut to the width and padded
// with zero bytes. A text of n+1 bytes or more leaves no terminating zero.
void StrToFixedChars(std::span<char> dest, std::size_t n, const Cp1250Text& text);
// Reads a fixed field back: the bytes up to the first zero, or all of them.
Cp1250Text FixedCharsToStr(std::span<const char> field);

// The array keeps its length; it receives the text's characters, then zero
// bytes.
void StrToCharArray(TDynamicArray& array, const Cp1250Text& text);
// The characters up to the first zero byte, or all of them.
Cp1250Text CharArrayToStr(const TDynamicArray& array);

// The attribute letters an item shows: "r", "h", "s", "a" for the bits 0x01,
// 0x02, 0x04 and 0x20, in that order, each only when its bit is set.
std::string AttributeLetters(std::uint32_t attributes);

// Flag bits of a byte: bits 0..7; FlagIsSet is false for a bit above 7.
bool FlagIsSet(std::uint8_t flags, unsigned bit);
void SetFlag(std::uint8_t& flags, unsigned bit, bool on);

// Whether an item whose comment text is `comment` belongs to `group`: the
// part after the first "^" is a ";"-separated list of names compared with
// ASCII case ignored; an empty group part belongs to every group. A comment
// without "^" is taken whole as its group part.
bool InGroupList(const TDynamicArray& comment, const Cp1250Text& group);

// Label counters: the caption read as a decimal integer, raised by one (or by
// amount, summed in 64 bits) and written back. A caption that is not a
// decimal integer throws std::invalid_argument.
void IncLabelNumber(std::string& caption);
void AddToLabelNumber(std::string& caption, std::uint32_t amount);

}  // namespace rondo
