// Comments and groups of the files and directories of a browsed disc. The
// changed record changes length, so the catalogue is written anew beside
// itself and renamed over the old one: a failure leaves the old file whole.
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
  std::uint64_t prefixAt = 0;  // in the file
  std::uint64_t end = 0;       // just after the record
  ItemPrefix prefix;
  TDirInfo record;
};

}  // namespace

void Engine::ChangeItem(FileStream& file, bool groups) {
  const DirRow* row = Dirs.FirstSelected();
  if (row == nullptr)
    return;
  const std::string caption = row->Caption();
  const std::string sizeText = row->cells[kDirColSize];

  std::optional<std::string> edited;
  std::optional<std::vector<std::string>> picked;
  if (groups) {
    picked = host_.PickGroups({});
  } else {
    edited = host_.AskText(
        {"Změna komentáře...", "Změna komentáře...", "Nový popis:", row->cells[kDirColComment]});
  }

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

      // The item: its name, its size as the list shows it, one level below
      // the shown directory. The first one in the block is taken.
      std::optional<FoundItem> found;
      MemoryStream block;
      block.Bytes().resize(static_cast<std::size_t>(walker.BlockLength()));
      file.Read(block.Bytes().data(), block.Bytes().size());
      try {
        while (!block.Eof()) {
          FoundItem item;
          item.prefixAt = walker.BlockStart() + block.Position();
          item.prefix = ReadItemPrefix(block);
          if (item.prefix.IsEndMark())
            break;
          if (item.prefix.IsDirectory()) {
            ReadDirRecord(block, item.prefix, item.record);
          } else {
            TFileInfo f;
            ReadFileRecord(block, item.prefix, f);
            static_cast<ItemRecord&>(item.record) = f;
          }
          item.end = walker.BlockStart() + block.Position();
          if (ToUtf8(CharArrayToStr(item.record.Name)) == caption &&
              SizeToText(item.record.Size, format_.decimalPoint) == sizeText &&
              item.record.Level == CurrentDepth + 1) {
            found = std::move(item);
            break;
          }
        }
      } catch (const IoError&) {
        // A damaged block: only the items before the damage can be changed.
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
          const std::size_t recordAt = found->prefixAt - walker.BlockStart();
          const std::size_t recordEnd = found->end - walker.BlockStart();
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
