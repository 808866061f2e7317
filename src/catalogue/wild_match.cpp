// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/wild_match.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

std::size_t CompiledPattern::Find(std::string_view bytes, std::size_t from) const {
  const std::size_t n = required_.size();
  if (n == 0)
    return from;
  if (bytes.size() < n || from > bytes.size() - n)
    return std::string_view::npos;
  const char* data = bytes.data();
  const std::size_t last = bytes.size() - n;  // the last place the text may begin
  const auto here = [&](std::size_t i) {
    if (matchCase_)
      return std::memcmp(data + i, required_.data(), n) == 0;
    for (std::size_t k = 0; k < n; ++k) {
      if (Upper(data[i + k]) != required_[k])
        return false;
    }
    return true;
  };
  // Candidates are the places where the text's first and last characters
  // stand. Without regard to case, setting bit 5 of both sides makes 'A'-'Z'
  // equal to 'a'-'z' (and a few other bytes equal to each other, which the
  // full comparison rules out).
  const unsigned char fold = matchCase_ ? 0 : 0x20;
  const unsigned char head = static_cast<unsigned char>(required_.front()) | fold;
  const unsigned char tail = static_cast<unsigned char>(required_.back()) | fold;
  std::size_t i = from;
#ifdef __SSE2__
  const __m128i foldMask = _mm_set1_epi8(static_cast<char>(fold));
  const __m128i heads = _mm_set1_epi8(static_cast<char>(head));
  const __m128i tails = _mm_set1_epi8(static_cast<char>(tail));
  for (; i <= last && last - i >= 15; i += 16) {
    const __m128i a =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i)), foldMask);
    const __m128i b =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1)), foldMask);
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, heads), _mm_cmpeq_epi8(b, tails))));
    while (mask != 0) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
      if (here(at))
        return at;
      mask &= mask - 1;
    }
  }
#endif
  for (; i <= last; ++i) {
    if ((static_cast<unsigned char>(data[i]) | fold) == head &&
        (static_cast<unsigned char>(data[i + n - 1]) | fold) == tail && here(i))
      return i;
  }
  return std::string_view::npos;
}

namespace {

// Whether text (as stored) equals literal (as compared) over literal's length.
bool SameAt(const char* text, std::string_view literal, bool matchCase) {
  if (matchCase)
    return std::memcmp(text, literal.data(), literal.size()) == 0;
  for (std::size_t k = 0; k < literal.size(); ++k) {
    if (Upper(text[k]) != literal[k])
      return false;
  }
  return true;
}

}  // namespace

bool CompiledPattern::Matches(std::string_view name) const {
  // The simple shapes compare the name where it is, folding as they go.
  switch (shape_) {
    case Shape::kExact:
      return name.size() == literal_.size() && SameAt(name.data(), literal_, matchCase_);
    case Shape::kPrefix:
      // "text*": the star may take the rest, also when nothing is left.
      return name.size() >= literal_.size() && SameAt(name.data(), literal_, matchCase_);
    case Shape::kSuffix:
      // "*" (an empty literal) matches everything.
      return name.size() >= literal_.size() &&
             SameAt(name.data() + name.size() - literal_.size(), literal_, matchCase_);
    case Shape::kContains:
      return Find(name) != std::string_view::npos;
    default:
      break;
  }
  if (!matchCase_) {
    folded_.assign(name);
    std::transform(folded_.begin(), folded_.end(), folded_.begin(), Upper);
    name = folded_;
  }
  return MatchesGeneral(name);
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
