// SPDX-License-Identifier: GPL-3.0-or-later
// Size texts shown everywhere in the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rondo {

// Unit names indexed 0..5; the formatting starts at index 1 ("B").
inline constexpr std::string_view kSizeUnits[] = {"bytes", "B", "kB", "MB", "GB", "TB"};

// Integer size text: divides by 1024 (truncating) while the value is above
// 1024; "1 kB", "1024 B". A negative value is shown as is with "B".
std::string IntegerSizeText(std::int64_t value);

// Fractional size text: "%8.2f" and the unit, the number padded to eight
// characters, e.g. "    1.50 kB". decimalPoint replaces the "." (the user's
// locale decides it).
std::string SizeToText(std::uint32_t value, std::string_view decimalPoint = ".");
std::string SizeToTextFrom(std::uint32_t value, int startUnit, std::string_view decimalPoint = ".");

// Size of a file as text: "0 B" when the path names nothing; otherwise the
// plain decimal size (withUnit false) or the integer size text (withUnit true).
std::string FileSizeText(const std::string& utf8Path, bool withUnit);

}  // namespace rondo
