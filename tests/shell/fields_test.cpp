// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/fields.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace rondo {
namespace {

TDynamicArray Array(std::string chars) {
  return TDynamicArray{std::move(chars)};
}

TEST(FixedChars, WritesExactlyTheFieldWidth) {
  std::vector<char> buffer(60, '#');
  const std::string sixty = std::string(30, 'a') + std::string(30, 'b');
  StrToFixedChars(std::span<char>(buffer.data(), 51), 49, Cp1250Text(sixty));
  EXPECT_EQ(std::string(buffer.data(), 50), sixty.substr(0, 50));  // no zero fits
  EXPECT_EQ(buffer[50], '#');
  EXPECT_EQ(FixedCharsToStr(std::span<const char>(buffer.data(), 50)).bytes, sixty.substr(0, 50));

  StrToFixedChars(buffer, 49, Cp1250Text(""));
  EXPECT_EQ(std::string(buffer.data(), 51), std::string(50, '\0') + "#");
  StrToFixedChars(buffer, 49, Cp1250Text("Hry \x9A"));
  EXPECT_EQ(FixedCharsToStr(buffer).bytes, "Hry \x9A");

  std::vector<char> small(10, '#');  // too small for n + 1 bytes: refused untouched
  EXPECT_THROW(StrToFixedChars(small, 10, Cp1250Text("abc")), std::out_of_range);
  EXPECT_THROW(StrToFixedChars(small, SIZE_MAX, Cp1250Text("abc")), std::out_of_range);
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(10, '#'));
}

TEST(CharArray, KeepsItsLength) {
  TDynamicArray array = Array("xxxxx");
  StrToCharArray(array, Cp1250Text("ab"));
  EXPECT_EQ(array.chars, std::string("ab\0\0\0", 5));
  StrToCharArray(array, Cp1250Text("abcdefgh"));
  EXPECT_EQ(array.chars, "abcde");
  EXPECT_EQ(CharArrayToStr(array).bytes, "abcde");
  TDynamicArray none;
  StrToCharArray(none, Cp1250Text("abc"));
  EXPECT_EQ(none.size(), 0U);
  EXPECT_EQ(CharArrayToStr(Array(std::string("ab\0cd", 5))).bytes, "ab");
}

TEST(Flags, EightBits) {
  std::uint8_t flags = 0;
  for (unsigned bit = 0; bit < 8; ++bit) {
    SetFlag(flags, bit, true);
    EXPECT_EQ(flags, (2U << bit) - 1) << bit;
  }
  SetFlag(flags, 3, false);
  SetFlag(flags, 8, false);  // bits above 7 do not exist
  EXPECT_EQ(flags, 0xF7);
  EXPECT_FALSE(FlagIsSet(flags, 3));
  EXPECT_TRUE(FlagIsSet(flags, 7));
  EXPECT_FALSE(FlagIsSet(0xFF, 8));
}

TEST(GroupList, NamesAfterTheCaret) {
  // {comment, group, belongs}
  const std::tuple<std::string, std::string, bool> cases[] = {
      {"^Work;Games", "games", true},
      {"^Work;Games", "Game", false},
      {"^", "anything", true},
      {"", "x", true},
      {"x^A;;B", "", true},
      {"x^A;;B", "b", true},
      {"c^Hry;", "hry", true},
      {"c^Hry;", "", false},  // no name after the last ";"
      {"x^y^z", "Y^Z", true},
      {"x^y^z", "z", false},
      {"Hry", "hry", true},
      {"Hry", "Hr", false},
      {"^\310aj", "\310AJ", true},   // 0xC8 is "Č": only ASCII letters fold
      {"^\310aj", "\350aj", false},  // 0xE8 is "č"
      {std::string("x^A\0B", 5), "a", true},
      {std::string("x^A\0B", 5), "B", false},
  };
  for (const auto& [comment, group, belongs] : cases) {
    EXPECT_EQ(InGroupList(Array(comment), Cp1250Text(group)), belongs) << comment << " / " << group;
  }
}

TEST(LabelNumber, CountsInDecimal) {
  const std::tuple<const char*, std::uint32_t, const char*> cases[] = {
      {"9", 1, "10"},
      {"-1", 1, "0"},
      {"007", 1, "8"},
      {"100", 4294967295U, "4294967395"},
      {"-9223372036854775808", 1, "-9223372036854775807"},
      {"9223372036854775806", 1, "9223372036854775807"},
  };
  for (const auto& [before, amount, after] : cases) {
    std::string caption = before;
    AddToLabelNumber(caption, amount);
    EXPECT_EQ(caption, after);
  }
  std::string caption = "41";
  IncLabelNumber(caption);
  EXPECT_EQ(caption, "42");
  caption = "9223372036854775000";
  EXPECT_THROW(AddToLabelNumber(caption, 1000), std::out_of_range);
  EXPECT_EQ(caption, "9223372036854775000");
  for (const char* bad : {"", "-", "12a", " 12", "+3", "1.5"}) {
    caption = bad;
    EXPECT_THROW(IncLabelNumber(caption), std::invalid_argument) << '"' << bad << '"';
    EXPECT_EQ(caption, bad);
  }
}

}  // namespace
}  // namespace rondo
