// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzz targets: each takes one input, runs a reader of untrusted bytes
// over it and checks what the reader promises. Damage reported the normal
// way (an exception derived from std::exception, a message to the host) is
// fine; anything else aborts. Every function returns 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rondo::fuzz {

// The first byte chooses options, the rest is a catalogue file.
int CatalogueTarget(const std::uint8_t* data, std::size_t size);
// A catalogue of the previous format.
int ConversionTarget(const std::uint8_t* data, std::size_t size);
// The list of borrowed discs.
int BorrowedTarget(const std::uint8_t* data, std::size_t size);
// A language file; its last bytes also name a key to add.
int LanguageTarget(const std::uint8_t* data, std::size_t size);
// A disc image file (ISO 9660, Joliet, Rock Ridge, UDF).
int ImageTarget(const std::uint8_t* data, std::size_t size);

}  // namespace rondo::fuzz
