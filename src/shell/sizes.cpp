// SPDX-License-Identifier: GPL-3.0-or-later
// Size texts: the integer form used in lists ("1 kB") and the fractional
// form used in the disc summaries ("    1.50 kB").

#include "shell/sizes.h"

#include <charconv>
#include <filesystem>
#include <system_error>

namespace rondo {
namespace {

constexpr int kLastUnit = 5;  // "TB"; nothing larger is ever shown.

}  // namespace

std::string IntegerSizeText(std::int64_t value) {
  // A unit step is taken while the size, measured in the current unit, is
  // above 1024 - compared exactly, so 1048576 stays "1024 kB" while 1048577
  // becomes "1 MB". The number shown is then the whole part in that unit.
  int unit = 1;
  std::int64_t divisor = 1;
  while (unit < kLastUnit && value > 1024 * divisor) {
    divisor *= 1024;
    ++unit;
  }
  std::string text = std::to_string(value / divisor);
  text.push_back(' ');
  text.append(kSizeUnits[unit]);
  return text;
}

std::string SizeToText(std::uint32_t value, std::string_view decimalPoint) {
  return SizeToTextFrom(value, 1, decimalPoint);
}

std::string SizeToTextFrom(std::uint32_t value, int startUnit, std::string_view decimalPoint) {
  int unit = startUnit < 0 ? 0 : (startUnit > kLastUnit ? kLastUnit : startUnit);
  double x = static_cast<double>(value);
  while (x > 1024.0 && unit < kLastUnit) {
    x /= 1024.0;
    ++unit;
  }
  // std::to_chars always writes '.', whatever the C locale says; the
  // caller's decimal point goes in afterwards.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 2);
  std::string number(buffer, result.ptr);
  if (number.size() < 8) {
    number.insert(0, 8 - number.size(), ' ');
  }
  std::string text;
  text.reserve(number.size() + decimalPoint.size() + 8);
  for (const char c : number) {
    if (c == '.') {
      text.append(decimalPoint);
    } else {
      text.push_back(c);
    }
  }
  text.push_back(' ');
  text.append(kSizeUnits[unit]);
  return text;
}

std::string FileSizeText(const std::string& utf8Path, bool withUnit) {
  namespace fs = std::filesystem;
  std::int64_t size = 0;
  try {
    const fs::path path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8Path.data()), utf8Path.size()));
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
      return "0 B";
    }
    if (fs::is_regular_file(status)) {
      const std::uintmax_t bytes = fs::file_size(path, ec);
      if (!ec) {
        size = static_cast<std::int64_t>(bytes);
      }
    }
  } catch (...) {
    // A path that cannot even be formed names nothing.
    return "0 B";
  }
  return withUnit ? IntegerSizeText(size) : std::to_string(size);
}

}  // namespace rondo
