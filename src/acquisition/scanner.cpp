// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/scanner.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "settings/group_kinds.h"
#include "shell/paths.h"
#include "shell/text.h"

namespace rondo {

namespace {

constexpr std::uint64_t kMaxU16 = std::numeric_limits<std::uint16_t>::max();
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kMaxTextBytes = 255;
constexpr std::size_t kMaxLabelBytes = 49;

// One listed entry and, for a directory that was entered, its contents.
struct Node {
  TreeEntry entry;
  std::vector<Node> children;
  std::uint64_t bytes = 0;  // files below (directories) or the size (files)
};

struct Totals {
  std::uint64_t dirs = 0;
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
  bool incomplete = false;
};

// The deepest level a stored item can have: the Level byte holds no more.
constexpr std::uint8_t kDeepestLevel = 255;

bool Inside(const std::string& path, const std::string& root) {
  if (root.empty() || root == "/")
    return path.starts_with('/');
  const std::string base = root.ends_with('/') ? root.substr(0, root.size() - 1) : root;
  return path == base || path.starts_with(base + "/");
}

struct TreeReader {
  FileTree& tree;
  char separator;
  std::string root;  // canonical, to tell links that leave the disc
  Totals& totals;
  ScanProgress& progress;

  // Lists the whole tree once; every later step works from memory. Each
  // problem met is one line in the log; the scan goes on.
  void Read(const std::string& path, std::uint8_t level, std::vector<Node>& children,
            std::uint64_t& bytes) {
    std::vector<TreeEntry> entries;
    if (!tree.List(path, entries)) {
      totals.incomplete = true;
      progress.Warn((entries.empty() ? "Adresář nelze otevřít! " : "Adresář nelze přečíst celý! ") +
                    ValidUtf8(path));
    }
    children.reserve(entries.size());
    for (auto& entry : entries) {
      if (entry.name == "." || entry.name == "..")
        continue;
      Node node;
      node.entry = std::move(entry);
      const std::string itemPath = WithTrailingBackslash(path, separator) + node.entry.name;
      const bool leaves =
          node.entry.link && !node.entry.linkTarget.empty() && !Inside(node.entry.linkTarget, root);
      if (leaves) {
        // Its size would be of something that is not on the disc.
        progress.Warn("Odkaz " + ValidUtf8(itemPath) + " vede mimo disk (" +
                      ValidUtf8(node.entry.linkTarget) + "); uložen bez obsahu a velikosti.");
        node.entry.size = 0;
      } else if (node.entry.linkToDirectory) {
        progress.Warn("Odkaz " + ValidUtf8(itemPath) + " vede na adresář; uložen bez obsahu.");
      }
      if (node.entry.directory) {
        ++totals.dirs;
        // A directory at the deepest level is stored without its contents
        // (the writer says so); deeper levels are never read.
        if (!node.entry.linkToDirectory && level < kDeepestLevel)
          Read(itemPath, static_cast<std::uint8_t>(level + 1), node.children, node.bytes);
      } else {
        ++totals.files;
        if (!node.entry.sizeKnown)
          totals.incomplete = true;
        node.bytes = node.entry.sizeKnown ? node.entry.size : 0;
        totals.bytes += node.bytes;
      }
      bytes += node.bytes;
      children.push_back(std::move(node));
    }
    progress.ProcessEvents();
  }
};

// True when one of the items holds more than 4 GB by itself: its own line
// explains why everything around it is capped too.
bool HasOversizedItem(const std::vector<Node>& children) {
  return std::any_of(children.begin(), children.end(),
                     [](const Node& n) { return n.bytes > kMaxU32; });
}

std::uint32_t Saturated32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min(value, kMaxU32));
}

std::uint16_t Saturated16(std::uint64_t value) {
  return static_cast<std::uint16_t>(std::min(value, kMaxU16));
}

class EntryWriter {
 public:
  EntryWriter(const ScanRequest& request, ScanProgress& progress)
      : request_(request), progress_(progress) {}

  // path leads to the directory on the medium; shown is the same path as
  // the log shows it.
  void WriteDirectory(const std::string& path, const std::string& shown,
                      const std::vector<Node>& children, std::uint8_t level) {
    ++level;
    if (level == 0) {  // past 255 levels the Level byte cannot say more
      progress_.Warn("Adresář " + shown + " je zanořen hlouběji než 255 úrovní; nezapsán.");
      altered_ = true;
      return;
    }
    for (const Node& node : children) {
      if (node.entry.directory)
        WriteItem(path, shown, node, level);
    }
    for (const Node& node : children) {
      if (!node.entry.directory)
        WriteItem(path, shown, node, level);
    }
  }

  MemoryStream& Buffer() { return buffer_; }
  std::uint64_t Dirs() const { return dirs_; }
  std::uint64_t Files() const { return files_; }
  bool Altered() const { return altered_; }

 private:
  // The comment of an item: the last comment row naming it, then for a
  // directory "^" and the groups of every group row naming it. A comment
  // without group rows still ends in "^": the text before the first "^" is
  // the comment and the rest the groups, and a bare text would be read as a
  // group list, hiding the item from every other group.
  std::string CommentFor(const std::string& fullPath, bool directory) const {
    const std::string key = AsciiLower(fullPath);
    std::string comment;
    for (const auto& row : request_.commentRows) {
      if (AsciiLower(row.path) == key)
        comment = row.text;
    }
    bool grouped = false;
    if (directory) {
      for (const auto& row : request_.groupRows) {
        if (AsciiLower(row.path) == key) {
          comment += "^" + row.text;
          grouped = true;
        }
      }
    }
    if (!grouped && !comment.empty())
      comment += "^";
    return comment;
  }

  TDynamicArray Field(Cp1250Text text, const std::string& what, const std::string& shownPath) {
    TDynamicArray array;
    array.chars = std::move(text.bytes);
    if (array.chars.size() > kMaxTextBytes) {
      array.chars.resize(kMaxTextBytes);
      altered_ = true;
      progress_.Warn(what + " položky " + shownPath + " je delší než 255 bajtů; zkráceno.");
    }
    return array;
  }

  void WriteItem(const std::string& path, const std::string& shown, const Node& node,
                 std::uint8_t level) {
    const std::string fullPath = WithTrailingBackslash(path, request_.separator) + node.entry.name;
    // The name as it is stored: bytes that are not UTF-8 and characters
    // outside the code page become "?", and the log says so once.
    Cp1250Text name = ToCp1250(node.entry.name);
    const std::string shownName = ToUtf8(name);
    const std::string shownPath = WithTrailingBackslash(shown, request_.separator) + shownName;
    if (shownName != node.entry.name) {
      progress_.Warn("Jméno položky " + shownPath +
                     " obsahuje znaky, které katalog neumí uložit; uloženy jako „?“.");
      altered_ = true;
    }
    ItemRecord r;
    r.Name = Field(std::move(name), "Jméno", shownPath);
    r.Comment = Field(ToCp1250(CommentFor(fullPath, node.entry.directory)), "Komentář", shownPath);
    r.Attributes = node.entry.attributes;
    r.Time = node.entry.time;
    r.Level = level;
    if (node.entry.directory) {
      if (node.bytes > kMaxU32 && !HasOversizedItem(node.children)) {
        progress_.Warn("Adresář " + shownPath + " má přes 4 GB; uložena největší možná velikost.");
      }
      TDirInfo dir;
      static_cast<ItemRecord&>(dir) = std::move(r);
      dir.Size = Saturated32(node.bytes);
      WriteDirItem(buffer_, dir);
      ++dirs_;
      progress_.Stored(true, shownPath, 0);
      WriteDirectory(fullPath, shownPath, node.children, level);
    } else {
      if (!node.entry.sizeKnown)
        progress_.Warn("Nelze zjistit velikost souboru !" + shownPath);
      if (node.bytes > kMaxU32) {
        progress_.Warn("Soubor " + shownPath + " má přes 4 GB; uložena největší možná velikost.");
      }
      TFileInfo file;
      static_cast<ItemRecord&>(file) = std::move(r);
      file.Size = Saturated32(node.bytes);
      WriteFileItem(buffer_, file);
      ++files_;
      progress_.Stored(false, shownPath, node.bytes);
    }
    progress_.ProcessEvents();
  }

  const ScanRequest& request_;
  ScanProgress& progress_;
  MemoryStream buffer_;
  std::uint64_t dirs_ = 0;
  std::uint64_t files_ = 0;
  bool altered_ = false;
};

}  // namespace

ScanResult ScanDisc(const ScanRequest& request, FileTree& tree, Registry& registry,
                    ScanProgress& progress, const std::function<LocalDateTime()>& now) {
  progress.Log("Kontrola skupin...");
  std::vector<std::string> kept;
  for (const auto& group : request.groups) {
    if (group == kUnassignedGroup)
      continue;
    RegisterGroup(registry, group, "none");
    kept.push_back(group);
  }

  CdHeader h;
  h.Serial.Set(ToCp1250(SerialText(request.volume.serial)));
  Cp1250Text label = ToCp1250(request.volume.label);
  if (label.bytes.size() > kMaxLabelBytes)
    label.bytes.resize(kMaxLabelBytes);
  h.VolumeLabel.Set(label);
  h.Description.Set(ToCp1250(request.description));
  h.Groups.Set(ToCp1250(JoinChosenGroups(kept)));
  h.Created = EncodeOleDate(now());

  progress.Log("Zjištuji velikost CD...");
  std::vector<Node> root;
  std::uint64_t rootBytes = 0;
  Totals totals;
  TreeReader reader{tree, request.separator, tree.Canonical(request.root), totals, progress};
  reader.Read(request.root, 1, root, rootBytes);
  if (totals.incomplete)
    progress.Warn("Nelze zjistit velikost některého ze souborů!");
  progress.Sized(totals.dirs, totals.files, totals.bytes);
  if (totals.dirs > kMaxU16 || totals.files > kMaxU16) {
    progress.Warn("Disk má přes 65535 souborů nebo adresářů; uložen největší možný počet.");
  }
  // (A single item over 4 GB says so itself when the items are stored.)
  if (totals.bytes > kMaxU32 && (request.withoutStructure || !HasOversizedItem(root))) {
    progress.Warn("Disk má přes 4 GB dat; uložena největší možná velikost.");
  }
  h.CdSize = Saturated32(totals.bytes);
  progress.Log("Velikost CD: " + std::to_string(totals.bytes) + " B");
  progress.Log("Položek: " + std::to_string(totals.dirs + totals.files));
  progress.Log("Zpracovávám...");

  EntryWriter writer(request, progress);
  WriteCdHeader(writer.Buffer(), h);
  std::uint64_t dirs = totals.dirs;
  std::uint64_t files = totals.files;
  if (!request.withoutStructure) {
    writer.WriteDirectory(request.root, ValidUtf8(request.root), root, 0);
    dirs = writer.Dirs();
    files = writer.Files();
  }

  progress.Log("Ukládám do databáze...");
  MemoryStream& buffer = writer.Buffer();
  if (buffer.Size() > kMaxU32) {
    throw std::length_error("Záznam disku by byl delší než 4 GB; disk nelze uložit.");
  }
  h.Finished = EncodeOleDate(now());
  h.FileCount = Saturated16(files);
  h.DirCount = Saturated16(dirs);
  h.BlockSize = static_cast<std::uint32_t>(buffer.Size());
  buffer.Seek(0);
  WriteCdHeader(buffer, h);
  return ScanResult{h, std::move(buffer.Bytes()), totals.incomplete || writer.Altered()};
}

void StoreScannedEntry(const std::string& databasePath, const std::vector<std::uint8_t>& entry,
                       ScanProgress& progress,
                       const std::function<void(std::uint64_t, std::uint64_t)>& written,
                       const LockWaiter& wait, bool refuseStoredSerial) {
  if (databasePath.empty())
    throw IoError("Není nastavena cesta k databázi.");
  std::unique_ptr<WriteLock> lock;
  std::unique_ptr<FileStream> file;
  try {
    // Read and checked under the lock: the entry goes after whatever other
    // programs stored meanwhile.
    lock = std::make_unique<WriteLock>(databasePath, wait);
    WriteHeaderIfEmpty(lock->Target());
    file = OpenCatalogue(lock->Target(), true);
  } catch (const CatalogueBusy&) {
    throw;
  } catch (const IoError&) {
    progress.Log("Nelze otevřít odkládací soubor!");
    throw;
  }
  // The file has its header by now (a new one was given it above).
  const std::uint64_t oldSize = file->Size();
  file->Seek(0);
  if (!ReadDatabaseHeader(*file).IsCurrentFormat()) {
    throw DamagedCatalogue("Databáze má jiný formát; disk do ní nelze uložit.");
  }
  // One walk over the heads: the new entry must be reachable (every entry
  // before it has to fit), and with refuseStoredSerial no disc of its serial
  // may be stored. A damaged catalogue is told first, wherever the damage.
  MemoryStream head(std::vector<std::uint8_t>(
      entry.begin(), entry.begin() + std::min<std::size_t>(entry.size(), kCdHeaderSize)));
  std::optional<CdHeader> stored;
  if (refuseStoredSerial && entry.size() >= kCdHeaderSize)
    stored = ReadCdHeader(head);
  bool storedAlready = false;
  EntryWalker walker(*file);
  CdHeader h;
  while (walker.Next(h))
    storedAlready = storedAlready || (stored && h.Serial.Text() == stored->Serial.Text());
  if (refuseStoredSerial) {
    if (!stored)
      stored = ReadCdHeader(head);  // an entry without a whole head is refused here
    if (storedAlready) {
      throw IoError("CD je již v databázi! (" + ToUtf8(stored->Serial.Text()) +
                    "; mezitím ho uložil jiný program)");
    }
  }

  progress.Log("Ukládám...");
  // The catalogue with the new entry is written beside the old one and
  // renamed over it: a failure or a crash part-way through never leaves a
  // half-written entry at the end (the walk would refuse the whole file).
  // The kernel copies the old entries, often without moving their bytes.
  ReplacementFile replacement(lock->Target());
  FileStream& out = replacement.Stream();
  out.Reserve(oldSize + entry.size());
  file->CopyRangeTo(out, 0, oldSize);
  constexpr std::size_t kChunk = 256 * 1024;
  std::uint64_t done = 0;
  while (done < entry.size()) {
    const std::size_t n = std::min<std::size_t>(kChunk, entry.size() - done);
    out.Write(entry.data() + done, n);
    done += n;
    if (written)
      written(done, entry.size());
    progress.ProcessEvents();
  }
  replacement.Commit();
  // The replaced catalogue is freed when its last handle closes; that can
  // take a while for a large file and nobody needs to wait for it.
  file->CloseInBackground();
}

}  // namespace rondo
