// SPDX-License-Identifier: GPL-3.0-or-later
// Splitting path texts into the folder part and the last name.

#include "shell/paths.h"

namespace rondo {
namespace {

// Position of the separator that splits head from tail: the last one before
// the final character. npos when there is none.
std::size_t SplitPosition(std::string_view path, char separator) {
  if (path.size() < 2) {
    return std::string_view::npos;
  }
  return path.find_last_of(separator, path.size() - 2);
}

}  // namespace

std::string PathTail(std::string_view path, char separator) {
  const std::size_t pos = SplitPosition(path, separator);
  if (pos == std::string_view::npos) {
    return std::string(path);
  }
  return std::string(path.substr(pos + 1));
}

std::string PathHead(std::string_view path, char separator) {
  const std::size_t pos = SplitPosition(path, separator);
  if (pos == std::string_view::npos) {
    return {};
  }
  return std::string(path.substr(0, pos + 1));
}

std::string WithTrailingBackslash(std::string_view path, char separator) {
  std::string result(path);
  if (result.empty() || result.back() != separator) {
    result.push_back(separator);
  }
  return result;
}

}  // namespace rondo
