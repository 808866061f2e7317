// SPDX-License-Identifier: GPL-3.0-or-later
// Figures about the whole catalogue: the quick ones from the disc heads and
// the details that need every disc's items.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rondo {

struct DisplayFormat;

struct DatabaseStatistics {
  std::uint64_t fileSize = 0;
  int versionMajor = 0;
  int versionMinor = 0;
  std::uint64_t discs = 0;        // neither "Multi Group" nor "Audio CD"
  std::uint64_t multigroups = 0;  // "Multi Group"
  std::uint64_t audioCds = 0;     // "Audio CD"
  double creationDays = 0.0;      // sum of Finished - Created
  std::uint64_t files = 0;
  std::uint64_t dirs = 0;
  std::uint32_t dataMegabytes = 0;  // sum of CdSize div 1 MiB, wrapping as 32 bits
};

struct StatisticsFigure {
  std::string label;
  std::string value;
};

// The nine label/value pairs in the window's order, as they are shown.
std::vector<StatisticsFigure> StatisticsFigures(const DatabaseStatistics& stats,
                                                const DisplayFormat& format);
// The same labels with the values the window shows before anything is read.
std::vector<StatisticsFigure> InitialStatisticsFigures();

struct GroupDiscCount {
  std::string group;  // "Nezařazeno" for discs without a group
  std::uint64_t discs = 0;
};

struct Extreme {
  std::string label;  // "Největší soubor", "Největší adresář", "CD s nejvíce soubory"
  std::string path;   // "[disc] \dir\file"; empty when nothing was found
  std::string value;
  std::uint64_t amount = 0;  // the value as a number: bytes or files
};

struct DatabaseDetails {
  // Every group named by a disc, in the list's order, with the number of
  // discs that carry it (a multigroup counts through its members).
  std::vector<GroupDiscCount> groups;
  Extreme largestFile{"Největší soubor", "", "", 0};
  Extreme largestDir{"Největší adresář", "", "", 0};
  Extreme mostFiles{"CD s nejvíce soubory", "", "", 0};
  // Discs whose items could not be read whole; their items that could be
  // read still count. The reports say what is wrong, one per disc.
  std::vector<std::string> damagedDiscs;
  std::vector<std::string> damageReports;
};

// Reads every disc of the catalogue at path for the details. progress hears
// each disc before it is read (1-based number, number of discs, its
// description) and may answer false to stop; the details gathered so far
// are returned. Throws IoError and DamagedCatalogue.
DatabaseDetails LoadDatabaseDetails(
    const std::string& path, const DisplayFormat& format,
    const std::function<bool(std::uint64_t, std::uint64_t, const std::string&)>& progress = {});

}  // namespace rondo
