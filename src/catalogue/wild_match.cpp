// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/wild_match.h"

#include <algorithm>
#include <cstring>

namespace rondo {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void Set(std::vector<std::uint64_t>& bits, std::size_t base, std::size_t j) {
  bits[base + j / 64] |= std::uint64_t{1} << (j % 64);
}

}  // namespace

CompiledPattern::CompiledPattern(std::string_view pattern, char wildString, char wildChar,
                                 bool matchCase)
    : matchCase_(matchCase) {
  std::string p(pattern);
  if (!matchCase)
    std::transform(p.begin(), p.end(), p.begin(), Upper);
  const auto isWild = [&](char c) { return c == wildString || c == wildChar; };

  // The common shapes, recognised exactly: a literal with at most one star at
  // either end ("*text*", "text*", "*text", "text").
  const bool starFirst = !p.empty() && p.front() == wildString && p.front() != wildChar;
  const bool starLast = p.size() >= 2 && p.back() == wildString && p.back() != wildChar;
  const std::size_t from = starFirst ? 1 : 0;
  const std::size_t to = p.size() - (starLast ? 1 : 0);
  if (from <= to) {
    const std::string middle = p.substr(from, to - from);
    // "**" is not "anything": an empty name does not match it.
    const bool doubleStar = middle.empty() && starFirst && starLast;
    if (std::none_of(middle.begin(), middle.end(), isWild) && !doubleStar) {
      literal_ = middle;
      required_ = middle;
      shape_ = starFirst ? (starLast ? Shape::kContains : Shape::kSuffix)
                         : (starLast ? Shape::kPrefix : Shape::kExact);
      return;
    }
  }

  // Everything else: the pattern positions as bit sets, walked over the
  // name one character at a time.
  m_ = p.size();
  words_ = (m_ + 1 + 63) / 64;
  star_.assign(words_, 0);
  anyChar_.assign(words_, 0);
  final_.assign(words_, 0);
  byChar_.assign(256 * words_, 0);
  for (std::size_t j = 0; j < m_; ++j) {
    if (p[j] == wildChar) {
      Set(anyChar_, 0, j);
    } else if (p[j] == wildString) {
      Set(star_, 0, j);
    } else {
      Set(byChar_, static_cast<unsigned char>(p[j]) * words_, j);
      ++fixedChars_;
    }
    if (p[j] == wildChar)
      ++fixedChars_;
  }
  // Once the name is used up, only "" or exactly one wild string may remain.
  Set(final_, 0, m_);
  if (m_ >= 1 && p[m_ - 1] == wildString && p[m_ - 1] != wildChar)
    Set(final_, 0, m_ - 1);
}

bool CompiledPattern::MayMatchWithin(std::string_view bytes) const {
  if (required_.empty())
    return true;
  if (matchCase_)
    return bytes.find(required_) != std::string_view::npos;
  const std::size_t n = required_.size();
  if (bytes.size() < n)
    return false;
  // Stop only at the rarest character of the text (letters ranked by how
  // often they occur in Czech and English names; anything else is rarer),
  // found in both cases with memchr, and compare the rest around it.
  static constexpr std::string_view kCommonFirst = "EAOINTSRLVKDUMPCZYHJBFGWXQ";
  std::size_t pick = 0;
  std::size_t pickRank = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t at = kCommonFirst.find(required_[k]);
    const std::size_t rank = at == std::string_view::npos ? kCommonFirst.size() : at;
    if (k == 0 || rank > pickRank) {
      pick = k;
      pickRank = rank;
    }
  }
  const char upper = required_[pick];
  const char lower = upper >= 'A' && upper <= 'Z' ? static_cast<char>(upper - 'A' + 'a') : upper;
  const char* data = bytes.data();
  const std::size_t end = bytes.size() - (n - 1 - pick);  // the picked character's last place
  const auto around = [&](std::size_t i) {
    const std::size_t start = i - pick;
    for (std::size_t k = 0; k < n; ++k) {
      if (Upper(data[start + k]) != required_[k])
        return false;
    }
    return true;
  };
  for (const char c : {upper, lower}) {
    std::size_t at = pick;
    while (at < end) {
      const void* hit = std::memchr(data + at, c, end - at);
      if (hit == nullptr)
        break;
      const std::size_t i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
      if (around(i))
        return true;
      at = i + 1;
    }
    if (lower == upper)
      break;  // no second case to look for
  }
  return false;
}

bool CompiledPattern::Matches(std::string_view name) const {
  if (!matchCase_) {
    folded_.assign(name);
    std::transform(folded_.begin(), folded_.end(), folded_.begin(), Upper);
    name = folded_;
  }
  switch (shape_) {
    case Shape::kExact:
      return name == literal_;
    case Shape::kPrefix:
      // "text*": the star may take the rest, also when nothing is left.
      return name.size() >= literal_.size() && name.substr(0, literal_.size()) == literal_;
    case Shape::kSuffix:
      if (literal_.empty())
        return true;  // "*" matches everything
      return name.size() >= literal_.size() &&
             name.substr(name.size() - literal_.size()) == literal_;
    case Shape::kContains:
      return name.find(literal_) != std::string_view::npos;
    default:
      return MatchesGeneral(name);
  }
}

bool CompiledPattern::MatchesGeneral(std::string_view name) const {
  // Every match consumes one name character per "?" and literal.
  if (fixedChars_ > name.size())
    return false;
  std::vector<std::uint64_t>& state = state_;
  std::vector<std::uint64_t>& next = next_;
  state.assign(words_, 0);
  next.assign(words_, 0);
  state[0] = 1;
  // While name characters remain, a star at j also lets the match go on at
  // j + 1 without consuming anything.
  const auto closeOverStars = [&](std::vector<std::uint64_t>& s) {
    bool changed = true;
    while (changed) {
      changed = false;
      std::uint64_t carry = 0;
      for (std::size_t w = 0; w < words_; ++w) {
        const std::uint64_t stars = s[w] & star_[w];
        const std::uint64_t moved = (stars << 1) | carry;
        carry = stars >> 63;
        const std::uint64_t updated = s[w] | moved;
        if (updated != s[w]) {
          s[w] = updated;
          changed = true;
        }
      }
    }
  };
  const std::uint64_t lastMask =
      (m_ + 1) % 64 == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << ((m_ + 1) % 64)) - 1;
  for (std::size_t i = 0; i < name.size(); ++i) {
    closeOverStars(state);
    const std::size_t base = static_cast<unsigned char>(name[i]) * words_;
    std::uint64_t carry = 0;
    bool any = false;
    for (std::size_t w = 0; w < words_; ++w) {
      // A "?" or the same literal steps on; a star stays where it is. The
      // end position (j == m) consumes nothing.
      const std::uint64_t stepping = state[w] & (anyChar_[w] | byChar_[base + w]);
      next[w] = (state[w] & star_[w]) | (stepping << 1) | carry;
      carry = stepping >> 63;
      if (w + 1 == words_)
        next[w] &= lastMask;
      any |= next[w] != 0;
    }
    std::swap(state, next);
    if (!any)
      return false;
  }
  if (name.empty())
    return (final_[0] & 1) != 0;
  for (std::size_t w = 0; w < words_; ++w) {
    if (state[w] & final_[w])
      return true;
  }
  return false;
}

}  // namespace rondo
