// SPDX-License-Identifier: GPL-3.0-or-later
// The wildcard matcher against a literal transcription of its recursive
// definition.
#include "catalogue/wild_match.h"

#include <gtest/gtest.h>

#include <random>

namespace rondo {
namespace {

// The rules word for word: slow (exponential with many stars), kept as the
// oracle.
bool OracleMatches(std::string n, std::string p, char ws, char wc, bool matchCase);

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool OracleLoop(std::string n, std::string p, char ws, char wc) {
  while (!n.empty() && !p.empty()) {
    const char c = p[0];
    if (c == wc) {
      n.erase(0, 1);
      p.erase(0, 1);
    } else if (c == ws) {
      p.erase(0, 1);
      while (true) {
        if (OracleLoop(n, p, ws, wc))
          break;
        if (n.empty())
          break;
        n.erase(0, 1);
      }
    } else if (n[0] != c) {
      n.clear();
    } else {
      n.erase(0, 1);
      p.erase(0, 1);
    }
  }
  return (n.empty() && p.empty()) || (n.empty() && p == std::string(1, ws));
}

bool OracleMatches(std::string n, std::string p, char ws, char wc, bool matchCase) {
  if (!matchCase) {
    for (char& c : n)
      c = Upper(c);
    for (char& c : p)
      c = Upper(c);
  }
  return OracleLoop(n, p, ws, wc);
}

std::string AsciiUpper(std::string s) {
  for (char& c : s)
    c = Upper(c);
  return s;
}

bool Fast(const std::string& n, const std::string& p, bool matchCase = false) {
  TWildMatch m;
  m.MatchCase = matchCase;
  return m.Matches(n, p);
}

TEST(WildMatch, KnownAnswersAndQuirks) {
  EXPECT_FALSE(Fast("a", "a**"));
  EXPECT_TRUE(Fast("ab", "a**"));
  EXPECT_TRUE(Fast("a", "a*"));
  EXPECT_TRUE(Fast("", "*"));
  EXPECT_FALSE(Fast("", "**"));
  EXPECT_FALSE(Fast("ab", "?"));
  EXPECT_FALSE(Fast("abc", "ab"));  // the pattern is used up first
  EXPECT_TRUE(Fast("xabcx", "*abc*"));
  EXPECT_FALSE(Fast("abx", "*abc*"));
  EXPECT_TRUE(Fast("abcdef", "abc*"));
  EXPECT_FALSE(Fast("xabc", "abc*"));
  EXPECT_TRUE(Fast("Readme.TXT", "*.txt"));
  EXPECT_FALSE(Fast("Readme.TXT", "*.txt", true));
  // Only a-z are folded: a capital Č does not match a small č.
  EXPECT_FALSE(Fast("\xC8", "\xE8"));
  EXPECT_TRUE(Fast("\xE8tení", "?tení"));
  EXPECT_TRUE(Fast("anything", "*"));
  EXPECT_TRUE(Fast("", ""));
  EXPECT_FALSE(Fast("x", ""));

  // Other wild characters.
  TWildMatch percent;
  percent.WildString = '%';
  percent.WildChar = '_';
  EXPECT_TRUE(percent.Matches("a*b", "a%"));
  EXPECT_TRUE(percent.Matches("a*b", "_*_"));
  EXPECT_FALSE(percent.Matches("axb", "a*b"));
}

TEST(WildMatch, AgreesWithTheDefinitionOnRandomInputs) {
  std::mt19937 random(20261208);
  const std::string alphabets[] = {"ab*?", "aB*", "a*?\xE8\xC8", "xyz?", "**a"};
  for (int round = 0; round < 200000; ++round) {
    const std::string& alphabet = alphabets[round % 5];
    const auto text = [&](std::size_t maxLength, bool pattern) {
      std::string s(random() % (maxLength + 1), ' ');
      for (char& c : s) {
        c = alphabet[random() % alphabet.size()];
        if (!pattern && (c == '*' || c == '?'))
          c = 'a';
      }
      return s;
    };
    const std::string name = text(9, false);
    const std::string pattern = text(8, true);
    const bool matchCase = round % 3 == 0;
    ASSERT_EQ(Fast(name, pattern, matchCase), OracleMatches(name, pattern, '*', '?', matchCase))
        << "name \"" << name << "\" pattern \"" << pattern << "\"";
  }
}

TEST(WildMatch, TheBlockScanNeverMissesAMatch) {
  // A block of names that holds a match must never be passed over, and the
  // text's places are found from any place on: blocks longer than the 16
  // bytes compared at once, texts up to 20 characters (often taken from the
  // block, case changed), bytes that differ from letters only in bit 5.
  std::mt19937 random(7);
  const std::string alphabet = "abcABC\xE8\xC8xyz.@`[{";
  for (int round = 0; round < 20000; ++round) {
    std::string block(random() % (round % 2 == 0 ? 40 : 90), ' ');
    for (char& c : block)
      c = alphabet[random() % alphabet.size()];
    std::string literal(1 + random() % (round % 3 == 0 ? 20 : 3), ' ');
    for (char& c : literal)
      c = alphabet[random() % alphabet.size()];
    if (round % 4 == 0 && block.size() > literal.size()) {
      literal = block.substr(random() % (block.size() - literal.size()), literal.size());
      literal[random() % literal.size()] ^= 0x20;
    }
    for (const std::string& pattern :
         {"*" + literal + "*", literal + "*", "*" + literal, literal}) {
      for (const bool matchCase : {false, true}) {
        const CompiledPattern compiled(pattern, '*', '?', matchCase);
        const std::size_t from = random() % (block.size() + 1);
        const std::string name = block.substr(from, random() % 8);
        if (compiled.Matches(name)) {
          ASSERT_TRUE(compiled.MayMatchWithin(block)) << pattern << " in " << block;
        }
        const std::string searched = matchCase ? block : AsciiUpper(block);
        const std::string text = matchCase ? literal : AsciiUpper(literal);
        ASSERT_EQ(compiled.MayMatchWithin(block), searched.find(text) != std::string::npos)
            << pattern << " in " << block;
        ASSERT_EQ(compiled.Find(block, from), searched.find(text, from))
            << pattern << " in " << block << " from " << from;
      }
    }
  }
}

TEST(WildMatch, ManyStarsAndLongPatternsAnswerAtOnce) {
  // Exponential for the definition; immediate here.
  std::string name(200, 'a');
  std::string pattern;
  for (int i = 0; i < 20; ++i)
    pattern += "*a";
  pattern += "*b";
  EXPECT_FALSE(Fast(name, pattern));
  name.back() = 'b';
  EXPECT_TRUE(Fast(name, pattern));
  EXPECT_TRUE(Fast(std::string(255, 'x'), std::string(10000, '*')));
  EXPECT_FALSE(Fast("", std::string(10000, '*')));
  EXPECT_FALSE(Fast(std::string(255, 'x'), std::string(10000, 'x')));
  EXPECT_TRUE(Fast(std::string(255, 'x'), "*" + std::string(200, '?') + "*"));
  EXPECT_FALSE(Fast(std::string(255, 'x'), "*" + std::string(256, '?') + "*"));
  std::string mixed;
  for (int i = 0; i < 5000; ++i)
    mixed += "*?";
  EXPECT_FALSE(Fast(std::string(255, 'x'), mixed));
  EXPECT_TRUE(Fast(std::string(255, 'x'), mixed.substr(0, 200)));
}

}  // namespace
}  // namespace rondo
