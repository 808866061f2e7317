// SPDX-License-Identifier: GPL-3.0-or-later
// Code page 1250 <-> UTF-8 and the program's ASCII-only letter case rules.
//
// The catalogue files keep every text as single bytes of Windows code page
// 1250 (Central European). Both directions are table driven: a byte indexes
// the forward table directly, and a code point is found in a sorted copy of
// the same table built at compile time, so there is no mutable global state.

#include "shell/text.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace rondo {
namespace {

// Unicode code points of the bytes 0x80..0xFF. The five bytes the code page
// leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control with
// the same number, which keeps every byte value round-tripping.
constexpr std::array<char16_t, 128> kHighHalf = {
    // 0x80..0x8F
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x0088, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,  //
    // 0x90..0x9F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,  //
    // 0xA0..0xAF
    0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,  //
    0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,  //
    // 0xB0..0xBF
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,  //
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,  //
    // 0xC0..0xCF
    0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,  //
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,  //
    // 0xD0..0xDF
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7,  //
    0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,  //
    // 0xE0..0xEF
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,  //
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,  //
    // 0xF0..0xFF
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,  //
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,  //
};

struct ReverseEntry {
  char16_t codePoint;
  unsigned char byte;
};

// The high half sorted by code point, for the UTF-8 -> code page direction.
constexpr std::array<ReverseEntry, 128> MakeReverseTable() {
  std::array<ReverseEntry, 128> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    table[i] = {kHighHalf[i], static_cast<unsigned char>(0x80 + i)};
  }
  std::sort(table.begin(), table.end(),
            [](const ReverseEntry& a, const ReverseEntry& b) { return a.codePoint < b.codePoint; });
  return table;
}

constexpr std::array<ReverseEntry, 128> kReverse = MakeReverseTable();

// Every code point must appear once only, or the reverse lookup would be
// ambiguous.
constexpr bool ReverseTableIsStrictlySorted() {
  for (std::size_t i = 1; i < kReverse.size(); ++i) {
    if (kReverse[i - 1].codePoint >= kReverse[i].codePoint) {
      return false;
    }
  }
  return true;
}
static_assert(ReverseTableIsStrictlySorted());

constexpr char kReplacement = '?';

char CodePointToCp1250(char32_t cp) {
  if (cp < 0x80) {
    return static_cast<char>(cp);
  }
  if (cp > 0xFFFF) {
    return kReplacement;
  }
  const auto it = std::lower_bound(
      kReverse.begin(), kReverse.end(), cp,
      [](const ReverseEntry& e, char32_t value) { return char32_t{e.codePoint} < value; });
  if (it != kReverse.end() && char32_t{it->codePoint} == cp) {
    return static_cast<char>(it->byte);
  }
  return kReplacement;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    // The table holds nothing above U+FFFF.
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

}  // namespace

std::string ToUtf8(const Cp1250Text& text) {
  std::string out;
  out.reserve(text.bytes.size() + text.bytes.size() / 2);
  for (const char c : text.bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      AppendUtf8(out, kHighHalf[b - 0x80]);
    }
  }
  return out;
}

namespace {

// Decodes the UTF-8 sequence at i and steps past it. A broken sequence steps
// over the bytes that did fit together (at least one) and gives false; the
// byte that broke it is looked at again as a new start.
bool NextCodePoint(std::string_view utf8, std::size_t& i, char32_t& cp) {
  const std::size_t n = utf8.size();
  const auto lead = static_cast<unsigned char>(utf8[i]);
  if (lead < 0x80) {
    cp = lead;
    ++i;
    return true;
  }
  // Number of continuation bytes and the allowed range of the first one;
  // the narrowed ranges after E0, ED, F0 and F4 reject overlong forms,
  // surrogates and code points above U+10FFFF.
  std::size_t need = 0;
  unsigned char lo = 0x80;
  unsigned char hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) {
      lo = 0xA0;
    } else if (lead == 0xED) {
      hi = 0x9F;
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) {
      lo = 0x90;
    } else if (lead == 0xF4) {
      hi = 0x8F;
    }
  } else {
    // A stray continuation byte, C0/C1 (always overlong) or F5..FF.
    ++i;
    return false;
  }
  std::size_t j = i + 1;
  for (std::size_t k = 0; k < need; ++k, ++j) {
    if (j >= n) {
      i = j;
      return false;
    }
    const auto b = static_cast<unsigned char>(utf8[j]);
    const bool inRange = k == 0 ? (b >= lo && b <= hi) : IsContinuation(b);
    if (!inRange) {
      i = j;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  i = j;
  return true;
}

}  // namespace

Cp1250Text ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < utf8.size()) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {  // the common case, kept quick
      out.push_back(utf8[i++]);
      continue;
    }
    // A broken sequence gives one "?" for the bytes that did fit together.
    out.push_back(NextCodePoint(utf8, i, cp) ? CodePointToCp1250(cp) : kReplacement);
  }
  return Cp1250Text(std::move(out));
}

std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  char32_t cp = 0;
  while (i < bytes.size()) {
    const std::size_t start = i;
    if (NextCodePoint(bytes, i, cp))
      out.append(bytes.substr(start, i - start));
    else
      out.push_back(kReplacement);
  }
  return out;
}

namespace {

void AppendHexEscape(std::string& out, unsigned value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[(value >> 4) & 0xF];
  out += kDigits[value & 0xF];
}

// Walks utf8 and hands every control character (C0, DEL, C1 as the two
// bytes C2 80..C2 9F) to control, and with doubleBackslash every backslash
// as two; the rest goes to the output unchanged.
template <typename Control>
std::string ReplaceControls(std::string_view utf8, bool doubleBackslash, Control control) {
  // Nearly every text has nothing to replace.
  if (std::none_of(utf8.begin(), utf8.end(), [doubleBackslash](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F || b == 0xC2 || (c == '\\' && doubleBackslash);
      })) {
    return std::string(utf8);
  }
  std::string out;
  out.reserve(utf8.size() + 8);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 || b == 0x7F) {
      control(out, b, i);
    } else if (b == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80) {
      ++i;
      control(out, static_cast<unsigned char>(utf8[i]), i);
    } else if (b == '\\' && doubleBackslash) {
      out += "\\\\";
    } else {
      out.push_back(utf8[i]);
    }
  }
  return out;
}

void AppendEscape(std::string& out, unsigned char c) {
  switch (c) {
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      AppendHexEscape(out, c);
  }
}

}  // namespace

std::string EscapeControls(std::string_view utf8) {
  return ReplaceControls(
      utf8, true, [](std::string& out, unsigned char c, std::size_t) { AppendEscape(out, c); });
}

std::string EscapeControlsInMessage(std::string_view utf8) {
  return ReplaceControls(utf8, false, [utf8](std::string& out, unsigned char c, std::size_t at) {
    if (c == '\r' && at + 1 < utf8.size() && utf8[at + 1] == '\n')
      return;  // the LF of the pair is the line end
    if (c == '\n' && at > 0 && utf8[at - 1] == '\r') {
      out += '\n';
      return;
    }
    AppendEscape(out, c);
  });
}

std::string ControlPictures(std::string_view utf8) {
  return ReplaceControls(utf8, false, [](std::string& out, unsigned char c, std::size_t) {
    if (c >= 0x80) {
      AppendHexEscape(out, c);
      return;
    }
    // U+2400 + c, or U+2421 for DEL: E2 90 80+c / E2 90 A1.
    out += static_cast<char>(0xE2);
    out += static_cast<char>(0x90);
    out += static_cast<char>(c == 0x7F ? 0xA1 : 0x80 + c);
  });
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') {
      x = static_cast<char>(x - 'A' + 'a');
    }
    if (y >= 'A' && y <= 'Z') {
      y = static_cast<char>(y - 'A' + 'a');
    }
    if (x != y) {
      return false;
    }
  }
  return true;
}

}  // namespace rondo
