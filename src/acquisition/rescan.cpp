// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/rescan.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "settings/group_kinds.h"
#include "shell/fields.h"
#include "shell/text.h"

namespace rondo {

namespace {

constexpr const char* kNothingChanged = " Nic nebylo změněno.";

// The stored disc a rescan replaces.
struct StoredDisc {
  CdHeader header;
  std::uint64_t entryStart = 0;
  std::vector<std::uint8_t> block;
};

// Finds the one disc of this serial (letter case aside) and reads its
// block; refuses a missing, repeated or multigroup serial.
StoredDisc FindDisc(FileStream& file, const std::string& serial) {
  file.Seek(0);
  if (!ReadDatabaseHeader(file).IsCurrentFormat())
    throw DamagedCatalogue("Databáze má jiný formát; disk v ní nelze aktualizovat.");
  CheckEntries(file);
  const std::string wanted = AsciiLower(ToCp1250(serial).bytes);
  std::optional<StoredDisc> found;
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (AsciiLower(h.Serial.Text().bytes) != wanted)
      continue;
    if (found) {
      throw RescanRefused("CD " + serial +
                          " je v databázi víckrát; nelze určit, které aktualizovat." +
                          kNothingChanged);
    }
    if (h.IsMultigroup()) {
      throw RescanRefused("„" + ToUtf8(h.Description.Text()) +
                          "“ je multiskupina, ne CD; aktualizovat lze jen CD." + kNothingChanged);
    }
    found.emplace();
    found->header = h;
    found->entryStart = walker.EntryStart();
    found->block.resize(static_cast<std::size_t>(walker.BlockLength()));
    file.Read(found->block.data(), found->block.size());
  }
  if (!found) {
    throw RescanRefused("CD " + serial +
                        " v databázi není (mohl ho mezitím odstranit jiný program)." +
                        kNothingChanged);
  }
  return std::move(*found);
}

// One item of a block with the key it is matched by: its path below the
// root (names joined by "/"), A-Z in lower case.
struct KeyedItem {
  std::string key;
  bool directory = false;
  ItemRecord record;
};

std::vector<KeyedItem> KeyedItems(const std::vector<std::uint8_t>& bytes, const CdHeader& h) {
  std::vector<KeyedItem> items;
  std::vector<std::string> folders;  // the keys of the directories above
  MemoryStream block(bytes);
  ItemPrefix prefix;
  KeyedItem item;
  try {
    while (ReadItem(block, prefix, item.record)) {
      const std::size_t level = std::max<std::size_t>(item.record.Level, 1);
      folders.resize(std::min(folders.size(), level - 1));
      const std::string name = AsciiLower(item.record.Name.chars);
      item.key = folders.empty() ? name : folders.back() + "/" + name;
      item.directory = prefix.IsDirectory();
      if (item.directory && folders.size() == level - 1)
        folders.push_back(item.key);
      items.push_back(item);
    }
  } catch (const DamagedItems& e) {
    throw RescanRefused(
        DamagedItemsText(e.damage, ToUtf8(h.Description.Text()), ToUtf8(h.Serial.Text())) +
        kNothingChanged);
  }
  return items;
}

// The new block with the old comments carried over, its directory lengths
// computed, and what changed.
std::vector<std::uint8_t> MergedBlock(const StoredDisc& old, const ScanResult& scanned,
                                      RescanSummary& summary) {
  struct Old {
    bool directory;
    std::uint32_t size;
    double time;
    const TDynamicArray* comment;
    bool matched = false;
  };
  std::vector<KeyedItem> oldItems = KeyedItems(old.block, old.header);
  // Of two old items at one key (names that differ in case only) the later
  // one counts, as the later of two comment rows does when a disc is added.
  std::unordered_map<std::string, Old> byKey;
  for (const KeyedItem& item : oldItems) {
    byKey.insert_or_assign(
        item.key, Old{item.directory, item.record.Size, item.record.Time, &item.record.Comment});
  }
  const std::vector<std::uint8_t> scannedBlock(
      scanned.entry.begin() + static_cast<std::ptrdiff_t>(kCdHeaderSize), scanned.entry.end());
  MemoryStream merged;
  for (KeyedItem& item : KeyedItems(scannedBlock, scanned.header)) {
    const auto at = byKey.find(item.key);
    const bool same = at != byKey.end() && at->second.directory == item.directory;
    std::uint64_t& added = item.directory ? summary.dirsAdded : summary.filesAdded;
    std::uint64_t& changed = item.directory ? summary.dirsChanged : summary.filesChanged;
    if (!same) {
      ++added;
    } else {
      at->second.matched = true;
      item.record.Comment = *at->second.comment;
      if (at->second.size != item.record.Size || at->second.time != item.record.Time)
        ++changed;
    }
    if (item.directory) {
      TDirInfo dir;
      static_cast<ItemRecord&>(dir) = item.record;
      WriteDirItem(merged, dir);
    } else {
      TFileInfo file;
      static_cast<ItemRecord&>(file) = item.record;
      WriteFileItem(merged, file);
    }
  }
  for (const KeyedItem& item : oldItems) {
    const Old& o = byKey.at(item.key);
    const bool gone = !o.matched || o.directory != item.directory;
    if (!gone)
      continue;
    ++(item.directory ? summary.dirsRemoved : summary.filesRemoved);
    if (!item.record.Comment.chars.empty())
      ++summary.commentsLost;
  }
  RecalculateBlock(merged.Bytes());
  return std::move(merged.Bytes());
}

}  // namespace

std::vector<std::pair<std::string, std::uint64_t>> SummaryRows(const RescanSummary& s) {
  return {{"Přidané soubory", s.filesAdded},
          {"Odebrané soubory", s.filesRemoved},
          {"Změněné soubory", s.filesChanged},
          {"Přidané adresáře", s.dirsAdded},
          {"Odebrané adresáře", s.dirsRemoved},
          {"Změněné adresáře", s.dirsChanged},
          {"Ztracené komentáře", s.commentsLost},
          {"Souborů dříve", s.oldFiles},
          {"Adresářů dříve", s.oldDirs},
          {"Bajtů dříve", s.oldBytes},
          {"Souborů nyní", s.newFiles},
          {"Adresářů nyní", s.newDirs},
          {"Bajtů nyní", s.newBytes}};
}

std::string DiscToRescan(const std::string& databasePath, const std::string& serial) {
  const std::unique_ptr<FileStream> file = OpenCatalogue(databasePath, false);
  return ToUtf8(FindDisc(*file, serial).header.Description.Text());
}

RescanSummary RescanDisc(const std::string& databasePath, const std::string& serial,
                         const std::string& root, FileTree& tree, Registry& registry,
                         ScanProgress& progress, const LockWaiter& wait,
                         const std::function<LocalDateTime()>& now) {
  if (databasePath.empty())
    throw IoError("Není nastavena cesta k databázi.");
  DiscToRescan(databasePath, serial);

  // Read with no group to register: the disc keeps the groups it has.
  ScanRequest request;
  request.root = root;
  request.groups = {std::string(kUnassignedGroup)};
  const ScanResult scanned = ScanDisc(request, tree, registry, progress, now);
  if (scanned.altered) {
    throw RescanRefused(
        "Disk nebyl přečten celý nebo má jména, která katalog neumí uložit (viz hlášení výše)." +
        std::string(kNothingChanged));
  }

  // Read and checked again under the lock: another program may have changed
  // or removed the disc while the medium was read.
  const WriteLock lock(databasePath, wait);
  const std::unique_ptr<FileStream> file = OpenCatalogue(lock.Target(), true);
  const StoredDisc old = FindDisc(*file, serial);
  RescanSummary summary;
  const std::vector<std::uint8_t> block = MergedBlock(old, scanned, summary);

  if (kCdHeaderSize + block.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw RescanRefused("Záznam disku by byl delší než 4 GB; disk nelze uložit." +
                        std::string(kNothingChanged));
  }
  CdHeader h = old.header;
  h.FileCount = scanned.header.FileCount;
  h.DirCount = scanned.header.DirCount;
  h.CdSize = scanned.header.CdSize;
  h.BlockSize = static_cast<std::uint32_t>(kCdHeaderSize + block.size());
  summary.oldFiles = old.header.FileCount;
  summary.oldDirs = old.header.DirCount;
  summary.oldBytes = old.header.CdSize;
  summary.newFiles = h.FileCount;
  summary.newDirs = h.DirCount;
  summary.newBytes = h.CdSize;
  if (h == old.header && block == old.block)
    return summary;  // the disc is as it was stored, its date too
  h.Finished = scanned.header.Finished;

  // The catalogue with the new entry in the old one's place is written
  // beside the old file and renamed over it.
  const std::uint64_t tailStart = old.entryStart + kCdHeaderSize + old.block.size();
  const std::uint64_t tail = file->Size() - tailStart;
  ReplacementFile replacement(lock.Target());
  FileStream& out = replacement.Stream();
  out.Reserve(old.entryStart + kCdHeaderSize + block.size() + tail);
  file->CopyRangeTo(out, 0, old.entryStart);
  WriteCdHeader(out, h);
  out.Write(block.data(), block.size());
  file->CopyRangeTo(out, tailStart, tail);
  replacement.Commit();
  file->CloseInBackground();
  summary.written = true;
  return summary;
}

}  // namespace rondo
