// SPDX-License-Identifier: GPL-3.0-or-later
// The address structure of a disc: for every directory the byte length of
// the items inside it, so that the search can step over a whole subtree.
#include <cstring>
#include <optional>

#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "catalogue/messages.h"
#include "shell/text.h"

namespace rondo {

namespace {

struct IndexedItem {
  std::uint32_t prefixAt = 0;  // offset of the item's prefix in the block
  std::uint32_t end = 0;       // offset just after its record
  std::uint8_t level = 0;
  bool directory = false;
  std::uint32_t size = 0;
  std::uint32_t stored = 0;  // SubtreeLength as read
  std::uint32_t length = 0;  // SubtreeLength computed
};

// Reads every item of a block, unless the user cancels. Raises DamagedItems
// when the items do not end exactly at the block's end.
std::vector<IndexedItem> IndexBlock(MemoryStream& block, EngineHost& host, std::uint64_t records,
                                    bool& cancelled) {
  std::vector<IndexedItem> items;
  ItemPrefix prefix;
  TDirInfo record;
  while (!block.Eof()) {
    if (host.RecalcCancelRequested()) {
      cancelled = true;
      break;
    }
    IndexedItem item;
    item.prefixAt = static_cast<std::uint32_t>(block.Position());
    if (!ReadItem(block, prefix, record))
      break;  // an end mark as the block's last bytes
    item.directory = prefix.IsDirectory();
    item.level = record.Level;
    item.size = record.Size;
    item.stored = record.SubtreeLength;
    item.end = static_cast<std::uint32_t>(block.Position());
    items.push_back(item);
    host.RecalcProgress(0, items.size(), records);
  }
  return items;
}

// Every directory's length runs from just after its record to the first later
// item of the same or a lower level, or to the end of the items read.
void ComputeLengths(std::vector<IndexedItem>& items, EngineHost& host, bool& cancelled) {
  std::vector<std::size_t> open;
  const std::uint32_t itemsEnd = items.empty() ? 0 : items.back().end;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (host.RecalcCancelRequested()) {
      cancelled = true;
      return;
    }
    while (!open.empty() && items[open.back()].level >= items[i].level) {
      IndexedItem& dir = items[open.back()];
      dir.length = items[i].prefixAt - dir.end;
      open.pop_back();
    }
    if (items[i].directory)
      open.push_back(i);
    host.RecalcProgress(1, i + 1, items.size());
  }
  for (std::size_t d : open)
    items[d].length = itemsEnd - items[d].end;
  for (auto& item : items) {
    if (item.directory && item.size == 0)
      item.length = 0;
  }
}

// Stores a length in the record that ends at offset end.
void PutLength(std::vector<std::uint8_t>& block, std::uint32_t end, std::uint32_t length) {
  for (int b = 0; b < 4; ++b)
    block[end - 4 + b] = static_cast<std::uint8_t>(length >> (8 * b));
}

}  // namespace

void RecalculateBlock(std::vector<std::uint8_t>& block) {
  class Silent : public EngineHost {
   public:
    bool Confirm(const std::string&) override { return false; }
    void ShowMessage(const std::string&) override {}
  } silent;
  MemoryStream stream(block);
  bool stopped = false;
  std::vector<IndexedItem> items = IndexBlock(stream, silent, 0, stopped);
  ComputeLengths(items, silent, stopped);
  for (const auto& item : items) {
    if (item.directory && item.length != item.stored)
      PutLength(block, item.end, item.length);
  }
}

void Engine::RecalculateStructure(FileStream& file) {
  host_.RecalcStarted();
  struct Finish {
    EngineHost& host;
    ~Finish() { host.RecalcFinished(); }
  } finish{host_};

  // A disc whose lengths change goes, with its new lengths, into a copy of
  // the catalogue begun at the first change; the copy replaces the file at
  // the end, so all of the changes are made or (after a failure or a crash)
  // none. Only one disc's block is in memory at a time.
  std::optional<ReplacementFile> replacement;
  std::uint64_t copied = 0;  // the bytes of the old file the copy has so far
  // Discs with damaged items are passed over and named at the end, with any
  // error that ended the run.
  std::vector<std::string> problems;
  try {
    const bool all = RecalcSerial == "All";
    FixedText<9> wanted;
    wanted.Set(ToCp1250(RecalcSerial));
    bool cancelled = false;
    CheckEntries(file);
    EntryWalker walker(file);
    CdHeader h;
    while (walker.Next(h)) {
      for (int bar = 0; bar < 3; ++bar)
        host_.RecalcProgress(bar, 0, 0);
      host_.ProcessPendingEvents();
      if (!all && h.Serial != wanted)
        continue;
      if (!cancelled && host_.RecalcCancelRequested())
        cancelled = true;
      if (!cancelled && !h.IsMultigroup() && walker.BlockLength() > 0) {
        host_.RecalcDisc(ToUtf8(h.Description.Text()), h.DirCount, h.FileCount);
        MemoryStream block;
        block.Bytes().resize(static_cast<std::size_t>(walker.BlockLength()));
        file.Read(block.Bytes().data(), block.Bytes().size());

        bool stopped = false;
        bool damaged = false;
        std::vector<IndexedItem> items;
        try {
          items = IndexBlock(block, host_, std::uint64_t{h.DirCount} + h.FileCount, stopped);
        } catch (const DamagedItems& e) {
          // Lengths computed from items that do not fit their block would
          // only be wrong in another way: the disc keeps what it has.
          damaged = true;
          problems.push_back(
              DamagedItemsText(e.damage, ToUtf8(h.Description.Text()), ToUtf8(h.Serial.Text())));
        }
        if (!stopped && !damaged)
          ComputeLengths(items, host_, stopped);
        // A cancelled disc keeps what it had: half-computed lengths are worse
        // than the old ones.
        if (stopped) {
          cancelled = true;
        } else if (!damaged) {
          std::uint64_t dirs = 0;
          std::uint64_t written = 0;
          bool changed = false;
          for (const auto& item : items)
            dirs += item.directory ? 1 : 0;
          for (const auto& item : items) {
            if (!item.directory)
              continue;
            if (item.length != item.stored) {
              PutLength(block.Bytes(), item.end, item.length);
              changed = true;
            }
            host_.RecalcProgress(2, ++written, dirs);
          }
          if (changed) {
            if (!replacement) {
              if (!file.Writable()) {
                throw IoError("nelze zapisovat do „" + file.Path() +
                              "“: soubor je otevřen jen pro čtení");
              }
              replacement.emplace(file.Path());
              replacement->Stream().Reserve(file.Size());
            }
            file.CopyRangeTo(replacement->Stream(), copied, walker.BlockStart() - copied);
            replacement->Stream().Write(block.Bytes().data(), block.Bytes().size());
            copied = walker.BlockStart() + block.Bytes().size();
          }
        }
      }
      if (!all)
        break;
    }
    if (replacement) {
      file.CopyRangeTo(replacement->Stream(), copied, file.Size() - copied);
      replacement->Commit();
      file.CloseInBackground();  // freeing the replaced file takes a while
    }
  } catch (const std::exception& e) {
    problems.push_back(e.what());
  }
  if (!problems.empty()) {
    std::string report(msg::kRecalcErrorPrefix);
    for (std::size_t i = 0; i < problems.size(); ++i)
      report += (i == 0 ? "" : "\r\n") + problems[i];
    host_.ShowMessage(report);
  }
}

}  // namespace rondo
