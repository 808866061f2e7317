// SPDX-License-Identifier: GPL-3.0-or-later
// A synthetic catalogue for benchmarks: discs with nested directories,
// realistic Czech names, groups, lending states, multigroups and comments.
// The same options and seed always give the same bytes.
#pragma once

#include <cstdint>
#include <string>

namespace rondo::bench {

struct GeneratorOptions {
  std::uint32_t discs = 10000;
  std::uint32_t itemsPerDisc = 200;  // average; each disc varies around it
  std::uint64_t seed = 1;
  // Items per 100,000 whose name also holds "abc" (in one of three cases),
  // for searches with many hits; 0 leaves every name as the seed makes it.
  std::uint32_t abcPer100k = 0;
};

struct GeneratedCatalogue {
  std::uint32_t discEntries = 0;  // ordinary discs
  std::uint32_t multigroups = 0;
  std::uint32_t listedInAll = 0;  // rows the "All" list shows
  std::uint64_t items = 0;
  std::uint64_t bytes = 0;
};

// Writes the catalogue to path (replacing it). Throws on I/O errors.
GeneratedCatalogue GenerateCatalogue(const std::string& path, const GeneratorOptions& options);

}  // namespace rondo::bench
