// SPDX-License-Identifier: GPL-3.0-or-later
#include "generator.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "catalogue/format/entry_builder.h"
#include "catalogue/format/records.h"
#include "shell/text.h"

namespace rondo::bench {

namespace {

constexpr std::array<std::string_view, 24> kWords = {
    "Dovolená",  "Šumava",  "fotky",  "Účetnictví", "hudba",    "Léto",   "zálohy",   "Projekty",
    "dokumenty", "Škola",   "hry",    "filmy",      "Kuchařka", "výlety", "Krkonoše", "přednášky",
    "Ostrava",   "smlouvy", "zprávy", "Řecko",      "archiv",   "Vánoce", "Žďár",     "ukázky"};
constexpr std::array<std::string_view, 10> kExtensions = {".jpg", ".txt", ".doc", ".mp3", ".avi",
                                                          ".exe", ".pdf", ".zip", ".xls", ".htm"};
constexpr std::array<std::string_view, 8> kGroups = {"Hry",    "Filmy",    "Hudba",     "Fotky",
                                                     "Zálohy", "Programy", "Dokumenty", "Škola"};
constexpr std::array<std::string_view, 6> kPeople = {"Pepa Novák",  "Jana",  "Karel Dvořák",
                                                     "Eva Šťastná", "Tomáš", "Věra"};

class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  // Uniform in [0, n).
  std::uint32_t Below(std::uint32_t n) {
    return static_cast<std::uint32_t>(engine_() % (n == 0 ? 1 : n));
  }
  bool Chance(std::uint32_t percent) { return Below(100) < percent; }
  template <typename Array>
  std::string_view Pick(const Array& array) {
    return array[Below(static_cast<std::uint32_t>(array.size()))];
  }

 private:
  std::mt19937_64 engine_;
};

std::string Name(Random& r, bool file) {
  std::string name(r.Pick(kWords));
  if (r.Chance(60)) {
    name += r.Chance(50) ? " " : "_";
    name += r.Pick(kWords);
  }
  if (r.Chance(40)) {
    name += ' ';
    name += std::to_string(1990 + r.Below(35));
  }
  if (file)
    name += r.Pick(kExtensions);
  return name;
}

std::string Comment(Random& r) {
  if (!r.Chance(5))
    return {};
  std::string comment = r.Chance(50) ? std::string(r.Pick(kWords)) : std::string();
  comment += "^";
  comment += r.Pick(kGroups);
  if (r.Chance(30)) {
    comment += ';';
    comment += r.Pick(kGroups);
  }
  return comment;
}

// Which names hold the searched text: drawn from a stream of their own, so
// the other bytes are the same as without marks.
struct Marks {
  Random random;
  std::uint32_t per100k = 0;

  void Apply(std::string& name) {
    if (per100k == 0 || random.Below(100000) >= per100k)
      return;
    static constexpr std::array<std::string_view, 3> kCases = {"abc", "ABC", "Abc"};
    const std::string_view mark = random.Pick(kCases);
    switch (random.Below(3)) {
      case 0:
        name.insert(0, mark);
        break;
      case 1:
        name.insert(name.size() / 2, mark);
        break;
      default:
        name += mark;
        break;
    }
  }
};

CatalogueItem MakeItem(Random& r, Marks& marks, bool directory, std::uint8_t level) {
  CatalogueItem item;
  item.directory = directory;
  std::string name = Name(r, !directory);
  marks.Apply(name);
  item.record.Name.chars = ToCp1250(name).bytes;
  item.record.Comment.chars = ToCp1250(Comment(r)).bytes;
  item.record.Attributes = directory ? 0x10 : (r.Chance(10) ? 0x21 : 0x20);
  item.record.Size = directory ? 0 : r.Below(8u << 20);
  item.record.Time = 36000.0 + r.Below(9000) + r.Below(43200) / 43200.0;
  item.record.Level = level;
  return item;
}

// Appends one directory's contents in pre-order: subdirectories first, each
// followed by its own contents, then the files. Returns the bytes below it.
std::uint32_t AddDirectory(Random& r, Marks& marks, std::vector<CatalogueItem>& items,
                           std::uint8_t level, std::uint32_t& budget) {
  std::uint32_t total = 0;
  const std::uint32_t subdirs = level < 7 && budget > 10 ? r.Below(4) : 0;
  for (std::uint32_t i = 0; i < subdirs && budget > 0; ++i) {
    --budget;
    const std::size_t at = items.size();
    items.push_back(MakeItem(r, marks, true, level));
    const std::uint32_t size =
        AddDirectory(r, marks, items, static_cast<std::uint8_t>(level + 1), budget);
    items[at].record.Size = size;
    total += size;
  }
  const std::uint32_t files = budget == 0 ? 0 : 1 + r.Below(std::min<std::uint32_t>(budget, 12));
  for (std::uint32_t i = 0; i < files && budget > 0; ++i) {
    --budget;
    items.push_back(MakeItem(r, marks, false, level));
    total += items.back().record.Size;
  }
  return total;
}

std::string SerialText(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04X-%04X", value >> 16, value & 0xFFFF);
  return buffer;
}

}  // namespace

GeneratedCatalogue GenerateCatalogue(const std::string& path, const GeneratorOptions& options) {
  Random r(options.seed);
  Marks marks{Random(options.seed ^ 0x9E3779B97F4A7C15u), options.abcPer100k};
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out)
    throw std::runtime_error("nelze vytvořit " + path);
  GeneratedCatalogue result;

  MemoryStream header;
  WriteDatabaseHeader(header, DatabaseHeader::Current());
  out.write(reinterpret_cast<const char*>(header.Bytes().data()), kDatabaseHeaderSize);
  result.bytes = kDatabaseHeaderSize;

  auto write = [&](const std::vector<std::uint8_t>& entry) {
    out.write(reinterpret_cast<const char*>(entry.data()),
              static_cast<std::streamsize>(entry.size()));
    result.bytes += entry.size();
  };

  std::uint32_t serialBase = static_cast<std::uint32_t>(options.seed * 2654435761u);
  std::uint32_t multigroupNumber = 0;
  for (std::uint32_t disc = 0; disc < options.discs;) {
    // Now and then a few consecutive discs form a multigroup.
    const std::uint32_t members =
        r.Chance(3) ? std::min<std::uint32_t>(2 + r.Below(4), options.discs - disc) : 0;
    MemberList memberList;
    for (std::uint32_t m = 0; m < std::max<std::uint32_t>(members, 1); ++m, ++disc) {
      CdHeader h;
      const std::string serial = SerialText(serialBase + disc * 7919u);
      h.Serial.Set(ToCp1250(serial));
      h.VolumeLabel.Set(ToCp1250(r.Chance(5) ? "Audio CD" : "CD_" + std::to_string(disc)));
      h.Description.Set(ToCp1250(Name(r, false) + " " + std::to_string(disc)));
      std::string groups(r.Pick(kGroups));
      if (r.Chance(25)) {
        groups += ';';
        groups += r.Pick(kGroups);
      }
      h.Groups.Set(ToCp1250(groups));
      const std::uint32_t lending = r.Below(10);
      if (lending == 0)
        h.Lending.Set(ToCp1250(std::string(r.Pick(kPeople))));
      if (lending == 1)
        h.Lending.Set(ToCp1250("Vráceno: " + std::string(r.Pick(kPeople))));
      if (lending <= 1)
        h.LendDate = 44000.0 + r.Below(1500) + 0.5;
      h.Created = 38000.0 + disc * 0.5;
      h.Finished = h.Created + (30 + r.Below(600)) / 86400.0;
      h.InMultigroup = members > 0 ? 1 : 0;

      std::vector<CatalogueItem> items;
      std::uint32_t budget = options.itemsPerDisc / 2 + r.Below(options.itemsPerDisc + 1);
      // The root keeps gaining folders and files until the disc is full.
      while (budget > 0)
        h.CdSize += AddDirectory(r, marks, items, 1, budget);
      for (const auto& item : items) {
        (item.directory ? h.DirCount : h.FileCount) += 1;
      }
      result.items += items.size();
      write(BuildCdEntry(h, items, true));
      ++result.discEntries;
      if (members > 0) {
        memberList.Slots[m].Set(h.Serial.Text());
      } else {
        ++result.listedInAll;
      }
    }
    if (members > 0) {
      CdHeader mg;
      mg.Serial.Set(
          ToCp1250(std::to_string(multigroupNumber % 9999) + "-" + std::to_string(r.Below(9999))));
      ++multigroupNumber;
      mg.VolumeLabel.Set(ToCp1250("Multi Group"));
      mg.Description.Set(ToCp1250("Sada " + Name(r, false)));
      mg.Created = mg.Finished = 38000.0 + disc * 0.5;
      write(BuildMultigroupEntry(mg, memberList));
      ++result.multigroups;
      ++result.listedInAll;
    }
  }
  out.flush();
  if (!out)
    throw std::runtime_error("zápis do " + path + " selhal");
  return result;
}

}  // namespace rondo::bench
