// SPDX-License-Identifier: GPL-3.0-or-later
// Path texts. The program works with the platform's own separator; the
// helpers take it as an argument so the same rules serve "\" and "/".
#pragma once

#include <string>
#include <string_view>

namespace rondo {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Text after the last separator; the final character is never taken as the
// separator, so a folder path keeps its trailing separator ("C:\data\" gives
// "data\"). Without a separator before the last character: the whole text.
std::string PathTail(std::string_view path, char separator = kPathSeparator);
// Text up to and including that separator; "" when there is none.
std::string PathHead(std::string_view path, char separator = kPathSeparator);
// The path ending in the separator; "" gives the separator alone.
std::string WithTrailingBackslash(std::string_view path, char separator = kPathSeparator);

}  // namespace rondo
