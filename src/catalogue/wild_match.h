// SPDX-License-Identifier: GPL-3.0-or-later
// Wildcard matching of names: "*" matches any run of characters (also an
// empty one), "?" exactly one character, everything else only itself. With
// MatchCase off both texts are upper-cased first, which changes only the
// ASCII letters a-z.
//
// The rules keep two old quirks that stored habits rely on: a pattern used
// up before the name gives false, and once the name is used up only "" or a
// single "*" may remain of the pattern ("a" against "a**" is false, while
// "ab" against "a**" is true).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rondo {

// A pattern prepared once for matching many names. Runs in time linear in
// the name for the usual forms ("*text*", "text*", "*text", "text") and in
// O(name x pattern / 64) otherwise, whatever the number of stars.
class CompiledPattern {
 public:
  CompiledPattern(std::string_view pattern, char wildString, char wildChar, bool matchCase);
  bool Matches(std::string_view name) const;

  // Text every matching name must contain (as it is compared: upper-cased
  // ASCII letters unless case matters); empty when there is none to tell.
  // A block of names that does not contain it holds no match.
  std::string_view RequiredText() const { return required_; }
  // Whether bytes contain the required text, compared the same way.
  bool MayMatchWithin(std::string_view bytes) const {
    return Find(bytes) != std::string_view::npos;
  }
  // Where the required text first occurs in bytes at or after from
  // (compared as names are), or npos; from when there is no required text.
  std::size_t Find(std::string_view bytes, std::size_t from = 0) const;
  // The text that decides alone, for "*text*": a name matches exactly when
  // it contains it. Empty for every other pattern.
  std::string_view ContainedText() const {
    return shape_ == Shape::kContains ? std::string_view(literal_) : std::string_view();
  }

 private:
  enum class Shape { kGeneral, kExact, kPrefix, kSuffix, kContains, kAnyNonEmptyOrStar };
  bool MatchesGeneral(std::string_view name) const;

  Shape shape_ = Shape::kGeneral;
  bool matchCase_ = false;
  std::string literal_;  // for the simple shapes
  std::string required_;
  // The general case: positions 0..m of the pattern as bit sets.
  std::size_t m_ = 0;
  std::size_t words_ = 0;
  std::vector<std::uint64_t> star_;     // P[j] is the wild string
  std::vector<std::uint64_t> anyChar_;  // P[j] is the wild char
  std::vector<std::uint64_t> byChar_;   // 256 sets: P[j] is that literal
  std::vector<std::uint64_t> final_;    // P[j..] is "" or one wild string
  std::size_t fixedChars_ = 0;          // characters each match must consume
  // Working memory reused from match to match (a search matches millions).
  mutable std::string folded_;
  mutable std::vector<std::uint64_t> state_;
  mutable std::vector<std::uint64_t> next_;
};

class TWildMatch {
 public:
  char WildString = '*';
  char WildChar = '?';
  bool MatchCase = false;

  bool Matches(std::string_view name, std::string_view pattern) const {
    return CompiledPattern(pattern, WildString, WildChar, MatchCase).Matches(name);
  }
};

}  // namespace rondo
