// SPDX-License-Identifier: GPL-3.0-or-later
// Texts as the catalogue stores them (single-byte code page 1250) and the
// conversions to and from UTF-8, which is what the file system, the GUI and
// the command line speak.
#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace rondo {

// Raw code page 1250 bytes. A distinct type so that a stored text can never be
// mixed up with a UTF-8 one without a conversion the compiler can see.
struct Cp1250Text {
  std::string bytes;

  Cp1250Text() = default;
  explicit Cp1250Text(std::string b) : bytes(std::move(b)) {}
  explicit Cp1250Text(std::string_view b) : bytes(b) {}
  explicit Cp1250Text(const char* b) : bytes(b) {}

  bool empty() const { return bytes.empty(); }
  std::size_t size() const { return bytes.size(); }
  friend bool operator==(const Cp1250Text&, const Cp1250Text&) = default;
  friend auto operator<=>(const Cp1250Text&, const Cp1250Text&) = default;
};

// Code page 1250 -> UTF-8. The five bytes the code page leaves undefined
// (0x81, 0x83, 0x88, 0x90, 0x98) become U+0081 ... so that they come back
// unchanged through ToCp1250.
std::string ToUtf8(const Cp1250Text& text);

// UTF-8 -> code page 1250. A character the code page cannot hold, and every
// byte that is not valid UTF-8, becomes "?".
Cp1250Text ToCp1250(std::string_view utf8);

// The bytes with every part that is not valid UTF-8 shown as "?", the way
// ToCp1250 stores it; valid text comes back unchanged.
std::string ValidUtf8(std::string_view bytes);

// Stored names may hold any byte but zero: a TAB, a line break, an escape
// sequence. For output that must keep its rows and columns and must never
// drive a terminal, every control character is written as a visible escape:
// "\t", "\n", "\r", "\xHH" for the other C0 controls, DEL and the C1
// controls (which are the code page's five undefined bytes: "\x81" stands
// for the stored byte 0x81), and "\\" for a backslash, so that the escapes
// can be told from the same letters in a name.
std::string EscapeControls(std::string_view utf8);
// The same for a message: its own CR LF line ends stay line ends and a
// backslash stays single (a message is read, not taken apart); a lone CR or
// LF, coming from a quoted name, is escaped.
std::string EscapeControlsInMessage(std::string_view utf8);
// For the windows: C0 controls and DEL as their control pictures (U+2400 to
// U+241F, U+2421), C1 controls as "\xHH".
std::string ControlPictures(std::string_view utf8);

// Lowers only the ASCII letters A to Z; letters with diacritics stay as they
// are. This is the program's one notion of "without regard to letter case".
std::string AsciiLower(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace rondo
