// SPDX-License-Identifier: GPL-3.0-or-later
// Comments and groups of the files and directories of a browsed disc. The
// changed record changes length, so the catalogue is written anew beside
// itself and renamed over the old one: a failure leaves the old file whole.
#include <utility>

#include "catalogue/browsed_path.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "catalogue/messages.h"
#include "settings/group_kinds.h"
#include "shell/sizes.h"
#include "shell/text.h"

namespace rondo {

namespace {

struct FoundItem {
  std::uint64_t at = 0;   // offset of its prefix in the block
  std::uint64_t end = 0;  // just after its record
  ItemPrefix prefix;
  TDirInfo record;
};

// The row the user chose, taken before the dialog opens (the list may be
// made again while it is open).
struct ChosenItem {
  bool isItem = false;  // a file or directory row, not ".." or a special row
  bool directory = false;
  std::string name;  // UTF-8, as shown
  std::string sizeText;
  std::optional<std::uint32_t> at;  // in the block the list was made from
};

struct Lookup {
  std::optional<FoundItem> item;
  std::size_t alike = 0;  // items that fit the chosen one by their place
};

// Finds the chosen item in the disc's block as it is in the file now. In
// the very block the list was made from the row's offset names it; in a
// block another program has changed since, the item is looked for by its
// place in the tree (the directories of path, its name, size and kind) and
// taken only when exactly one fits. The whole block is walked, so a damaged
// one raises DamagedItems whatever the item.
Lookup FindChosenItem(MemoryStream& block, const ChosenItem& chosen, bool listedFromThisBlock,
                      const std::vector<TOneDir>& path, std::size_t depth,
                      const std::string& decimalPoint) {
  Lookup result;
  EnclosingDirs dirs;
  FoundItem item;
  block.Seek(0);
  for (std::uint64_t at = 0; ReadItem(block, item.prefix, item.record); at = block.Position()) {
    const bool alike = chosen.isItem && item.record.Level == depth + 1 &&
                       item.prefix.IsDirectory() == chosen.directory &&
                       ToUtf8(CharArrayToStr(item.record.Name)) == chosen.name &&
                       SizeToText(item.record.Size, decimalPoint) == chosen.sizeText;
    if (alike) {
      item.at = at;
      item.end = block.Position();
      if (listedFromThisBlock) {
        if (chosen.at == at)
          result.item = item;
      } else if (dirs.Are(path, depth + 1, decimalPoint) && ++result.alike == 1) {
        result.item = item;
      }
    }
    dirs.Pass(item.record, item.prefix.IsDirectory());
  }
  if (result.alike > 1)
    result.item.reset();
  return result;
}

}  // namespace

bool Engine::AskItemChange(bool groups) {
  itemText_.reset();
  itemGroups_.reset();
  const DirRow* row = Dirs.FirstSelected();
  if (row == nullptr)
    return false;
  if (groups) {
    itemGroups_ = host_.PickGroups({});
  } else {
    // The comment shares the item's 255 bytes with "^" and its groups.
    EngineHost::TextPrompt prompt{"Změna komentáře...", "Změna komentáře...",
                                  "Nový popis:", row->cells[kDirColComment]};
    prompt.field = TypedField::kItemComment;
    prompt.width = ItemCommentRoom(row->cells[kDirColGroups]);
    itemText_ = host_.AskText(prompt);
  }
  if (itemText_ || itemGroups_)
    return true;
  // Cancelled: nothing is written, the list is shown again as it was.
  RunOperation(OperationCode::kLoadCdBlock);
  RunOperation(DirStack.size() <= 1 ? OperationCode::kShowDiscRoot : OperationCode::kShowDirectory);
  return false;
}

void Engine::ChangeItem(FileStream& file, bool groups) {
  const DirRow* row = Dirs.FirstSelected();
  if (row == nullptr)
    return;
  ChosenItem chosen;
  chosen.isItem = row->kind == DirRowKind::kDirectory || row->kind == DirRowKind::kFile;
  chosen.directory = row->kind == DirRowKind::kDirectory;
  chosen.name = row->Caption();
  chosen.sizeText = row->cells[kDirColSize];
  chosen.at = row->at;
  const std::uint64_t listedLoad = listedLoad_;

  // Asked before the lock was taken (AskItemChange).
  const std::optional<std::string> edited = std::exchange(itemText_, std::nullopt);
  const std::optional<std::vector<std::string>> picked = std::exchange(itemGroups_, std::nullopt);
  if (groups ? !picked : !edited)
    return;

  FixedText<9> lastSerial;
  if (edited || picked) {
    CheckEntries(file);
    const Cp1250Text wanted = ToCp1250(LoadedSerial);
    EntryWalker walker(file);
    CdHeader h;
    while (walker.Next(h)) {
      lastSerial = h.Serial;
      if (h.Serial.Text() != wanted)
        continue;

      // The disc's block as it is now; the list may have been made from an
      // older one.
      MemoryStream block;
      block.Bytes().resize(static_cast<std::size_t>(walker.BlockLength()));
      file.Read(block.Bytes().data(), block.Bytes().size());
      const bool sameBlock = listedLoad == blockLoads_ && block.Bytes() == BlockCache.Bytes();
      Lookup lookup;
      try {
        lookup =
            FindChosenItem(block, chosen, sameBlock, DirStack, CurrentDepth, format_.decimalPoint);
      } catch (const DamagedItems& e) {
        throw DamagedCatalogue(
            DamagedItemsText(e.damage, ToUtf8(h.Description.Text()), ToUtf8(h.Serial.Text())) +
            std::string(msg::kNothingChanged));
      }
      std::optional<FoundItem>& found = lookup.item;
      if (chosen.isItem && !found) {
        host_.ShowMessage(lookup.alike > 1 ? msg::ItemAmbiguous(chosen.name)
                                           : msg::ItemGone(chosen.name));
      }
      if (found) {
        // The comment part and the group part, split at the first "^".
        const std::string old = CharArrayToStr(found->record.Comment).bytes;
        const std::size_t caret = old.find('^');
        const std::string commentPart = caret == std::string::npos ? "" : old.substr(0, caret);
        const std::string groupPart = caret == std::string::npos ? old : old.substr(caret + 1);
        std::string text;
        if (groups) {
          std::vector<std::string> kept;
          for (const auto& g : *picked) {
            if (g == kUnassignedGroup)
              continue;
            if (Settings != nullptr)
              RegisterGroup(*Settings, g, "none");
            kept.push_back(g);
          }
          text = commentPart + "^" + ToCp1250(JoinChosenGroups(kept)).bytes;
          host_.GroupListChanged();
        } else {
          text = ToCp1250(*edited).bytes + "^" + groupPart;
        }
        if (text.size() > 255) {
          host_.ShowMessage(std::string(msg::kCommentTooLong));
        } else {
          const std::int64_t delta = static_cast<std::int64_t>(text.size()) -
                                     static_cast<std::int64_t>(found->record.Comment.size());
          found->record.Comment.chars = text;
          h.BlockSize = static_cast<std::uint32_t>(static_cast<std::int64_t>(h.BlockSize) + delta);

          // The disc's block as it will be, its structure lengths already
          // right: the file is replaced in one step by its final bytes, so
          // no moment exists in which the block's lengths are stale.
          const std::vector<std::uint8_t>& oldBlock = block.Bytes();
          const std::size_t recordAt = static_cast<std::size_t>(found->at);
          const std::size_t recordEnd = static_cast<std::size_t>(found->end);
          MemoryStream newBlock;
          newBlock.Write(oldBlock.data(), recordAt);
          ItemPrefix prefix = found->prefix;
          prefix.CommentLength = static_cast<std::uint8_t>(text.size());
          WriteItemPrefix(newBlock, prefix);
          if (found->prefix.IsDirectory()) {
            WriteDirRecord(newBlock, found->record);
          } else {
            TFileInfo f;
            static_cast<ItemRecord&>(f) = found->record;
            WriteFileRecord(newBlock, f);
          }
          newBlock.Write(oldBlock.data() + recordEnd, oldBlock.size() - recordEnd);
          RecalculateBlock(newBlock.Bytes());

          ReplacementFile replacement(file.Path());
          FileStream& out = replacement.Stream();
          out.Reserve(static_cast<std::uint64_t>(static_cast<std::int64_t>(file.Size()) + delta));
          file.CopyRangeTo(out, 0, walker.EntryStart());
          WriteCdHeader(out, h);
          out.Write(newBlock.Bytes().data(), newBlock.Bytes().size());
          // The entries after the disc move by delta; the progress window
          // is up for exactly that span, also when it fails.
          const std::uint64_t tailStart = walker.BlockStart() + walker.BlockLength();
          const std::uint64_t tail = file.Size() - tailStart;
          host_.ShiftStarted();
          struct Closer {
            EngineHost& host;
            ~Closer() { host.ShiftFinished(); }
          } closer{host_};
          host_.ShiftProgress(0, 0, tail);
          host_.ShiftProgress(1, 0, tail);
          file.CopyRangeTo(out, tailStart, tail, [&](std::uint64_t copied, std::uint64_t written) {
            host_.ShiftProgress(0, copied, tail);
            host_.ShiftProgress(1, written, tail);
          });
          replacement.Commit();
          file.CloseInBackground();
          host_.ShiftProgress(1, tail, tail);
        }
      }
      break;
    }
  }

  // Whatever happened: the disc's structure is recalculated (a changed disc
  // has nothing left to correct, an unchanged one may), reloaded and shown
  // again.
  // (Nine zero bytes when no disc was read: they match no disc.)
  RecalcSerial = ToUtf8(lastSerial.Text());
  RunOperation(OperationCode::kRecalculateStructure);
  RunOperation(OperationCode::kLoadCdBlock);
  RunOperation(DirStack.size() <= 1 ? OperationCode::kShowDiscRoot : OperationCode::kShowDirectory);
}

}  // namespace rondo
