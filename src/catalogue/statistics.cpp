// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics window's figures. The quick figures come from one walk over
// the disc heads; the details read every disc's items once.
#include "catalogue/statistics.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "catalogue/collation.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "settings/group_kinds.h"
#include "shell/fields.h"
#include "shell/sizes.h"
#include "shell/text.h"

namespace rondo {

namespace {

constexpr std::uint64_t kMebibyte = 1048576;

// A size of any width: the usual size text while it fits 32 bits, beyond
// that the same text counted from kilobytes.
std::string WideSizeText(std::uint64_t bytes, const std::string& decimalPoint) {
  if (bytes <= 0xFFFFFFFFu)
    return SizeToText(static_cast<std::uint32_t>(bytes), decimalPoint);
  const std::uint64_t kilobytes = bytes / 1024;
  if (kilobytes <= 0xFFFFFFFFu)
    return SizeToTextFrom(static_cast<std::uint32_t>(kilobytes), 2, decimalPoint);
  return SizeToTextFrom(
      static_cast<std::uint32_t>(std::min<std::uint64_t>(kilobytes / 1024, 0xFFFFFFFFu)), 3,
      decimalPoint);
}

// The creation time total as a time of day: whole seconds, whole days
// dropped.
std::string TimeOfDayText(double days, const DisplayFormat& format) {
  long long seconds = std::llround(days * 86400.0);
  seconds %= 86400;
  if (seconds < 0)
    seconds += 86400;
  return TimeText(static_cast<double>(seconds) / 86400.0, format.dateTime);
}

}  // namespace

std::vector<StatisticsFigure> StatisticsFigures(const DatabaseStatistics& s,
                                                const DisplayFormat& format) {
  return {
      {"Počet CD:", std::to_string(s.discs)},
      {"Počet multiskupin:", std::to_string(s.multigroups)},
      {"z toho AudioCD:", std::to_string(s.audioCds)},
      {"Velikost databáze:", WideSizeText(s.fileSize, format.decimalPoint)},
      {"Verze databáze:", std::to_string(s.versionMajor) + "." + std::to_string(s.versionMinor)},
      {"Doba tvoření celkem:", TimeOfDayText(s.creationDays, format)},
      {"Celkem souborů:", std::to_string(s.files)},
      {"Celkem adresářů:", std::to_string(s.dirs)},
      {"Dat na CD celkem:", SizeToTextFrom(s.dataMegabytes, 3, format.decimalPoint)},
  };
}

std::vector<StatisticsFigure> InitialStatisticsFigures() {
  return {
      {"Počet CD:", "0"},           {"Počet multiskupin:", "0"},
      {"z toho AudioCD:", "0"},     {"Velikost databáze:", "0 B"},
      {"Verze databáze:", "0.0"},   {"Doba tvoření celkem:", "0:00:00"},
      {"Celkem souborů:", "0"},     {"Celkem adresářů:", "0"},
      {"Dat na CD celkem:", "0 B"},
  };
}

void Engine::ComputeStatistics(FileStream& file) {
  DatabaseStatistics s;
  s.fileSize = file.Size();
  file.Seek(0);
  const DatabaseHeader header = ReadDatabaseHeader(file);
  s.versionMajor = header.VersionMajor;
  s.versionMinor = header.VersionMinor;
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (h.IsMultigroup()) {
      ++s.multigroups;
    } else if (h.IsAudioCd()) {
      ++s.audioCds;
    } else {
      ++s.discs;
    }
    s.creationDays += h.Finished - h.Created;
    s.files += h.FileCount;
    s.dirs += h.DirCount;
    s.dataMegabytes += static_cast<std::uint32_t>(h.CdSize / kMebibyte);
  }
  Statistics = s;
  host_.StatisticsChanged();
}

namespace {

// Walks one disc's items for the details. Returns where they stop fitting
// the block, when they do (the items before the damage have been seen).
template <typename Visit>
std::optional<ItemsDamage> WalkItems(MemoryStream& block, Visit&& visit) {
  ItemPrefix prefix;
  TDirInfo record;
  try {
    while (ReadItem(block, prefix, record))
      visit(prefix.IsDirectory(), record);
  } catch (const DamagedItems& e) {
    return e.damage;
  }
  return std::nullopt;
}

}  // namespace

DatabaseDetails LoadDatabaseDetails(
    const std::string& path, const DisplayFormat& format,
    const std::function<bool(std::uint64_t, std::uint64_t, const std::string&)>& progress) {
  FileStream file(path, FileStream::Mode::kReadOnly);
  file.Seek(0);
  if (!ReadDatabaseHeader(file).IsCurrentFormat())
    ThrowDamaged("soubor nemá formát databáze Rondotheka", 0);
  std::uint64_t total = 0;
  {
    EntryWalker counter(file);
    CdHeader h;
    while (counter.Next(h))
      ++total;
  }

  DatabaseDetails details;
  std::map<std::string, std::uint64_t> groupCounts;  // stored (cp1250) name
  std::uint32_t largestFile = 0;
  std::uint32_t largestDir = 0;
  bool anyFile = false;
  bool anyDir = false;
  bool anyDisc = false;
  std::uint16_t mostFiles = 0;

  EntryWalker walker(file);
  CdHeader h;
  std::uint64_t number = 0;
  MemoryStream block;
  std::vector<std::string> names;  // the names down to the item, by level (stored bytes)
  while (walker.Next(h)) {
    ++number;
    const std::string description = ToUtf8(h.Description.Text());
    if (progress && !progress(number, total, description))
      break;
    if (h.IsMultigroup())
      continue;  // its members are discs of their own

    // Groups of the disc, each named once.
    const std::string groups = h.Groups.Text().bytes;
    std::vector<std::string> named;
    std::size_t start = 0;
    while (start <= groups.size()) {
      const std::size_t end = std::min(groups.find(';', start), groups.size());
      const std::string name = groups.substr(start, end - start);
      if (!name.empty() && std::find(named.begin(), named.end(), name) == named.end())
        named.push_back(name);
      start = end + 1;
    }
    if (named.empty())
      named.push_back(ToCp1250(kUnassignedGroup).bytes);
    for (const auto& name : named)
      ++groupCounts[name];

    const std::string discLabel = "[" + description + "] ";
    if (!anyDisc || h.FileCount > mostFiles) {
      anyDisc = true;
      mostFiles = h.FileCount;
      details.mostFiles.path = "[" + description + "]";
      details.mostFiles.value = std::to_string(h.FileCount);
      details.mostFiles.amount = h.FileCount;
    }

    block.Bytes().resize(static_cast<std::size_t>(walker.BlockLength()));
    file.Read(block.Bytes().data(), block.Bytes().size());
    block.Seek(0);
    names.clear();
    const auto damage = WalkItems(block, [&](bool directory, const TDirInfo& item) {
      const std::size_t level = item.Level == 0 ? 1 : item.Level;
      names.resize(level);
      // Kept as stored; only a path that is shown is converted.
      names[level - 1] = item.Name.chars;
      const auto itemPath = [&] {
        std::string p = discLabel;
        for (const auto& n : names) {
          // Appended piece by piece: no temporary "\name" string to build
          // (GCC 12 warned about its copy overlapping at -O3).
          p += '\\';
          p += ToUtf8(CharArrayToStr(TDynamicArray{n}));
        }
        return p;
      };
      if (directory) {
        if (!anyDir || item.Size > largestDir) {
          anyDir = true;
          largestDir = item.Size;
          details.largestDir.path = itemPath();
          details.largestDir.value = SizeToText(item.Size, format.decimalPoint);
          details.largestDir.amount = item.Size;
        }
      } else if (!anyFile || item.Size > largestFile) {
        anyFile = true;
        largestFile = item.Size;
        details.largestFile.path = itemPath();
        details.largestFile.value = SizeToText(item.Size, format.decimalPoint);
        details.largestFile.amount = item.Size;
      }
    });
    if (damage) {
      details.damagedDiscs.push_back(description);
      details.damageReports.push_back(
          DamagedItemsText(*damage, description, ToUtf8(h.Serial.Text())));
    }
  }

  for (const auto& [name, count] : groupCounts)
    details.groups.push_back({ToUtf8(Cp1250Text(name)), count});
  std::stable_sort(details.groups.begin(), details.groups.end(),
                   [](const GroupDiscCount& a, const GroupDiscCount& b) {
                     return CollationKey(a.group) < CollationKey(b.group);
                   });
  return details;
}

}  // namespace rondo
