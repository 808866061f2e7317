// SPDX-License-Identifier: GPL-3.0-or-later
// Disc images: any bytes end as an ImageError or as a tree that can be
// walked to its end, whose names are names, and that the scanner turns into
// a disc entry.
#include <string>
#include <vector>

#include "acquisition/scanner.h"
#include "fuzz_support.h"
#include "images/disc_image.h"
#include "settings/registry.h"
#include "targets.h"

namespace rondo::fuzz {

int ImageTarget(const std::uint8_t* data, std::size_t size) {
  ClearScratch();
  const std::string path = ScratchPath("disc.iso");
  WriteFile(path, data, size);
  try {
    images::DiscImage disc(path);
    std::vector<std::string> pending{path};
    std::size_t listed = 0;
    while (!pending.empty()) {
      const std::string dir = pending.back();
      pending.pop_back();
      Check(++listed <= 5'000'000, "the walk of an image does not end");
      std::vector<TreeEntry> entries;
      disc.List(dir, entries);
      for (const TreeEntry& e : entries) {
        Check(!e.name.empty() && e.name.find('/') == std::string::npos,
              "an image entry has no name or one with a slash: " + e.name);
        if (e.directory && !e.linkToDirectory)
          pending.push_back(dir + "/" + e.name);
        for (const images::Extent& extent : disc.Extents(dir + "/" + e.name))
          Check(extent.size <= 0xFFFFFFFFull, "an extent larger than a record can say");
      }
    }
    ScanRequest request;
    request.root = path;
    request.volume = disc.Volume();
    MemoryRegistry registry;
    ScanProgress progress;
    try {
      ScanDisc(request, disc, registry, progress,
               [] { return LocalDateTime{2024, 1, 2, 3, 4, 6}; });
    } catch (const std::length_error&) {
      // An entry over 4 GB is refused the normal way.
    }
  } catch (const images::ImageError&) {
    // Not an image, or too damaged to read: the normal refusal.
  }
  return 0;
}

}  // namespace rondo::fuzz
