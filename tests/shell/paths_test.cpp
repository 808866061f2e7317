// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/paths.h"

#include <gtest/gtest.h>

namespace rondo {
namespace {

TEST(PathText, HeadTailAndTrailingSeparator) {
  // {path, separator, head, tail}
  const std::tuple<const char*, char, const char*, const char*> cases[] = {
      {"C:\\data\\base.big", '\\', "C:\\data\\", "base.big"},
      {"C:\\data\\", '\\', "C:\\", "data\\"},  // a folder keeps its separator
      {"D:\\", '\\', "", "D:\\"},              // nothing before the last char
      {"base.big", '\\', "", "base.big"},
      {"", '\\', "", ""},
      {"\\\\", '\\', "\\", "\\"},
      {"/home/a\\b", '\\', "/home/a\\", "b"},
      {"/home/a/k.big", '/', "/home/a/", "k.big"},
      {"/home/", '/', "/", "home/"},
      {"/", '/', "", "/"},
  };
  for (const auto& [path, sep, head, tail] : cases) {
    EXPECT_EQ(PathHead(path, sep), head) << path;
    EXPECT_EQ(PathTail(path, sep), tail) << path;
  }
  EXPECT_EQ(WithTrailingBackslash("", '\\'), "\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\data", '\\'), "C:\\data\\");
  EXPECT_EQ(WithTrailingBackslash("C:\\data\\", '\\'), "C:\\data\\");
  EXPECT_EQ(WithTrailingBackslash("/mnt/cd\\", '/'), "/mnt/cd\\/");
}

}  // namespace
}  // namespace rondo
