// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a private scratch folder, whole-file reads
// and writes, and the way a broken promise is reported (an abort, which
// libFuzzer and the replay test both see as a failure).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace rondo::fuzz {

// A folder of its own for this process, emptied before each input and
// removed at the end.
const std::string& ScratchFolder();
// Empties the scratch folder.
void ClearScratch();
// The path of a file in the scratch folder.
std::string ScratchPath(std::string_view name);

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
std::string ReadFile(const std::string& path);

// Prints what was broken and aborts.
[[noreturn]] void Fail(const std::string& what);
inline void Check(bool condition, const std::string& what) {
  if (!condition)
    Fail(what);
}

}  // namespace rondo::fuzz
