// SPDX-License-Identifier: GPL-3.0-or-later
// The two kinds of failure the catalogue reports.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rondo {

// A failed read, write, seek or size call. what() carries the operating
// system's own text (or "unexpected end of file" for a short read).
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bytes are there but make no sense: a length that points outside its
// block or the file. Such a catalogue is reported, never walked past or
// written.
class DamagedCatalogue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "Databázový soubor je poškozený: " + detail + " (pozice N)."
[[noreturn]] void ThrowDamaged(const std::string& detail, std::uint64_t position);

}  // namespace rondo
