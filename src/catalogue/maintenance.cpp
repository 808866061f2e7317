// SPDX-License-Identifier: GPL-3.0-or-later
// Changing stored discs: removing them (and dissolving multigroups), lending,
// renaming, their groups, creating multigroups and importing group names.
#include <algorithm>
#include <set>
#include <unordered_set>

#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "catalogue/messages.h"
#include "settings/group_kinds.h"
#include "shell/text.h"
#include "shell/typed_text.h"

namespace rondo {

namespace {

bool Contains(const std::vector<std::string>& serials, const Cp1250Text& serial) {
  const std::string text = ToUtf8(serial);
  return std::find(serials.begin(), serials.end(), text) != serials.end();
}

// New 228-byte heads, gathered during a walk and written together when it
// is done: one head in place, several through a copy that replaces the
// catalogue, so a change of several discs changes all of them or none, also
// when the program is killed part-way.
class HeadRewrites {
 public:
  explicit HeadRewrites(FileStream& file, bool inPlace = false) : file_(file), inPlace_(inPlace) {}
  void Rewrite(std::uint64_t at, const CdHeader& h) {
    MemoryStream bytes;
    WriteCdHeader(bytes, h);
    patches_.Add(at, std::move(bytes.Bytes()));
  }
  void Write() { patches_.Apply(file_, inPlace_); }

 private:
  FileStream& file_;
  bool inPlace_;
  FilePatches patches_;
};

// The selected serials no stored disc has (in the desktop program: discs
// another program removed meanwhile), named as the list shows them.
std::vector<std::string> MissingDiscs(const std::vector<std::string>& selected,
                                      const std::set<std::string>& found, const DiscList& discs) {
  std::vector<std::string> missing;
  for (const auto& serial : selected) {
    if (found.count(serial) != 0)
      continue;
    std::string name;
    for (const auto& row : discs.rows) {
      if (row.cells[kColSerial] == serial && !row.cells[kColDescription].empty())
        name = "„" + row.cells[kColDescription] + "“ (" + serial + ")";
    }
    missing.push_back(name.empty() ? serial : name);
  }
  std::sort(missing.begin(), missing.end());
  missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
  return missing;
}

// Says which discs are missing; true when there are any, and then the
// change must write nothing.
bool ReportMissing(const std::vector<std::string>& missing, EngineHost& host) {
  if (missing.empty())
    return false;
  std::string names;
  for (const auto& name : missing)
    names += (names.empty() ? "" : ", ") + name;
  host.ShowMessage("CD " + names +
                   (missing.size() == 1 ? " v databázi není." : " v databázi nejsou.") +
                   " Nic nebylo změněno.");
  return true;
}

}  // namespace

std::vector<std::string> Engine::SelectedSerials() const {
  std::vector<std::string> serials;
  for (const auto& row : Discs.rows) {
    // The ".." row of a multigroup view has no serial and matches nothing.
    if (row.selected && !row.cells[kColSerial].empty())
      serials.push_back(row.cells[kColSerial]);
  }
  return serials;
}

void Engine::RemoveCds(FileStream& file) {
  const std::vector<std::string> selected = SelectedSerials();

  // One walk checks every entry before anything is written, notes where
  // each lies and collects the members of every selected multigroup: they
  // come back into the list.
  struct Span {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    bool removed = false;
    bool member = false;  // hidden in a multigroup
    std::string serial;   // stored bytes
  };
  std::vector<Span> spans;
  std::unordered_set<std::string> dissolve;
  std::set<std::string> found;
  {
    EntryWalker walker(file);
    CdHeader h;
    while (walker.Next(h)) {
      Span span{walker.EntryStart(), walker.EntryStart() + h.BlockSize,
                Contains(selected, h.Serial.Text()), h.InMultigroup != 0,
                std::string(h.Serial.raw.begin(), h.Serial.raw.end())};
      if (span.removed && h.IsMultigroup()) {
        for (const auto& member : ReadMembers(file, walker.BlockLength()))
          dissolve.insert(std::string(member.raw.begin(), member.raw.end()));
      }
      if (span.removed)
        found.insert(ToUtf8(h.Serial.Text()));
      spans.push_back(std::move(span));
    }
  }
  if (ReportMissing(MissingDiscs(selected, found, Discs), host_)) {
    RunOperation(OperationCode::kListCds);
    return;
  }

  // One new file, written beside the catalogue and renamed over it: a
  // failure or a crash at any point leaves the old catalogue as it was.
  ReplacementFile replacement(file.Path());
  FileStream& out = replacement.Stream();
  std::uint64_t newSize = kDatabaseHeaderSize;
  for (const Span& span : spans) {
    if (!span.removed)
      newSize += span.end - span.start;
  }
  out.Reserve(newSize);
  // Runs of entries that stay as they are go over in one kernel copy.
  std::uint64_t runStart = 0;
  std::uint64_t runEnd = kDatabaseHeaderSize;
  const auto flush = [&] {
    if (runEnd > runStart)
      file.CopyRangeTo(out, runStart, runEnd - runStart);
  };
  for (const Span& span : spans) {
    if (span.removed) {
      flush();
      runStart = runEnd = span.end;
      continue;
    }
    if (span.member && dissolve.count(span.serial) != 0) {
      flush();
      file.Seek(span.start);
      CdHeader h = ReadCdHeader(file);
      h.InMultigroup = 0;
      WriteCdHeader(out, h);
      runStart = span.start + kCdHeaderSize;
    }
    runEnd = span.end;
  }
  flush();
  replacement.Commit();
  file.CloseInBackground();
  RunOperation(OperationCode::kListCds);
}

bool Engine::AskLendingName() {
  EngineHost::TextPrompt prompt{"Pujčit komu?", "Půjčení CD", "Komu:", ""};
  prompt.field = TypedField::kLendingName;
  const auto answer = host_.AskText(prompt);
  if (!answer)
    return false;
  if (const std::string refusal = TypedTextRefusal(*answer, TypedField::kLendingName);
      !refusal.empty()) {
    host_.ShowMessage(refusal + " Nic nebylo změněno.");
    return false;
  }
  lendingName_ = *answer;
  return true;
}

void Engine::ChangeLending(FileStream& file, OperationCode code) {
  const std::vector<std::string> selected = SelectedSerials();
  const std::string name = lendingName_;
  CheckEntries(file);
  const double now = EncodeOleDate(NowLocal());
  HeadRewrites rewrites(file);
  std::set<std::string> found;
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    if (!Contains(selected, h.Serial.Text()))
      continue;
    found.insert(ToUtf8(h.Serial.Text()));
    switch (code) {
      case OperationCode::kLendCds:
        h.Lending.Set(ToCp1250(name));
        h.LendDate = now;
        break;
      case OperationCode::kReturnCds:
        h.Lending.Set(Cp1250Text(ToCp1250("Vráceno: ").bytes + h.Lending.Text().bytes));
        h.LendDate = now;
        break;
      default:
        h.Lending.Set(Cp1250Text());
        h.LendDate = 0.0;
        break;
    }
    rewrites.Rewrite(walker.EntryStart(), h);
  }
  if (!ReportMissing(MissingDiscs(selected, found, Discs), host_))
    rewrites.Write();
  RunOperation(OperationCode::kListCds);
}

void Engine::ChangeSelectedHeads(FileStream& file, const std::function<bool(CdHeader&)>& change) {
  const std::vector<std::string> selected = SelectedSerials();
  CheckEntries(file);
  // Every disc must be there before the first question is asked.
  {
    std::set<std::string> found;
    EntryWalker walker(file);
    CdHeader h;
    while (walker.Next(h)) {
      if (Contains(selected, h.Serial.Text()))
        found.insert(ToUtf8(h.Serial.Text()));
    }
    if (ReportMissing(MissingDiscs(selected, found, Discs), host_))
      return;
  }
  HeadRewrites rewrites(file);
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    for (const auto& serial : selected) {
      if (ToUtf8(h.Serial.Text()) == serial && change(h)) {
        rewrites.Rewrite(walker.EntryStart(), h);
      }
    }
  }
  rewrites.Write();
}

void Engine::RenameCd(FileStream& file) {
  ChangeSelectedHeads(file, [this](CdHeader& h) {
    EngineHost::TextPrompt prompt{"Změna komentáře...", "Změna komentáře...",
                                  "Nový popis:", ToUtf8(h.Description.Text())};
    prompt.field = TypedField::kDiscName;
    const auto answer = host_.AskText(prompt);
    if (!answer)
      return false;
    if (const std::string refusal = TypedTextRefusal(*answer, TypedField::kDiscName);
        !refusal.empty()) {
      host_.ShowMessage(refusal + " Nic nebylo změněno.");
      return false;
    }
    h.Description.Set(ToCp1250(*answer));
    return true;
  });
  RunOperation(OperationCode::kListCds);
}

void Engine::ChangeCdGroups(FileStream& file) {
  ChangeSelectedHeads(file, [this](CdHeader& h) {
    // The chosen list starts with the disc's groups, one entry per piece.
    std::vector<std::string> chosen;
    const std::string groups = ToUtf8(h.Groups.Text());
    if (!groups.empty()) {
      std::size_t start = 0;
      while (true) {
        const std::size_t semicolon = groups.find(';', start);
        chosen.push_back(groups.substr(start, semicolon - start));
        if (semicolon == std::string::npos)
          break;
        start = semicolon + 1;
      }
    }
    const auto picked = host_.PickGroups(chosen);
    if (!picked)
      return false;
    std::vector<std::string> kept;
    for (const auto& group : *picked) {
      if (group != kUnassignedGroup)
        kept.push_back(group);
    }
    // Checked whole before any name joins the group list.
    if (const std::string refusal = GroupsRefusal(kept, TypedField::kDiscGroups);
        !refusal.empty()) {
      host_.ShowMessage(refusal + " Nic nebylo změněno.");
      return false;
    }
    for (const auto& group : kept) {
      if (Settings != nullptr)
        RegisterGroup(*Settings, group, "none");
    }
    h.Groups.Set(ToCp1250(JoinChosenGroups(kept)));
    return true;
  });
  host_.GroupListChanged();
  RunOperation(OperationCode::kListCds);
}

void Engine::MarkMultigroupMembers(FileStream& file, bool inCopy) {
  const std::vector<std::string> selected = SelectedSerials();
  CheckEntries(file);
  HeadRewrites rewrites(file, inCopy);
  EntryWalker walker(file);
  CdHeader h;
  std::size_t slot = 0;
  while (slot < kMemberSlots && MultigroupMembers.Slots[slot].raw[0] != 0)
    ++slot;
  while (walker.Next(h)) {
    for (const auto& serial : selected) {
      if (ToUtf8(h.Serial.Text()) != serial)
        continue;
      // Never a disc hidden without a slot to list it.
      if (slot >= kMemberSlots) {
        rewrites.Write();
        return;
      }
      h.InMultigroup = 1;
      MultigroupMembers.Slots[slot++] = h.Serial;
      MultigroupTemplate.FileCount =
          static_cast<std::uint16_t>(MultigroupTemplate.FileCount + h.FileCount);
      MultigroupTemplate.DirCount =
          static_cast<std::uint16_t>(MultigroupTemplate.DirCount + h.DirCount);
      MultigroupTemplate.ReservedCount =
          static_cast<std::uint16_t>(MultigroupTemplate.ReservedCount + h.ReservedCount);
      MultigroupTemplate.CdSize += h.CdSize;
      MultigroupTemplate.Groups = h.Groups;
      rewrites.Rewrite(walker.EntryStart(), h);
    }
  }
  rewrites.Write();
}

void Engine::AppendMultigroup(FileStream& file) {
  CheckEntries(file);
  std::unordered_set<std::string> taken;
  {
    EntryWalker walker(file);
    CdHeader h;
    while (walker.Next(h))
      taken.insert(h.Serial.Text().bytes);
  }
  std::uniform_int_distribution<int> draw(0, 9998);
  std::string serial;
  do {
    serial = std::to_string(draw(random_)) + "-" + std::to_string(draw(random_));
  } while (taken.count(serial) != 0);

  CdHeader h = MultigroupTemplate;
  h.Serial.Set(ToCp1250(serial));
  h.VolumeLabel.Set(ToCp1250(kMultiGroupLabel));
  h.BlockSize = static_cast<std::uint32_t>(kMultigroupBlockSize);
  PendingSerial = serial;

  const std::uint64_t oldSize = file.Size();
  try {
    file.Seek(oldSize);
    MemoryStream entry;
    WriteCdHeader(entry, h);
    WriteMemberList(entry, MultigroupMembers);
    file.Write(entry.Bytes().data(), entry.Bytes().size());
    file.Sync();
  } catch (...) {
    try {
      file.Truncate(oldSize);
    } catch (const IoError&) {
    }
    throw;
  }
}

std::string Engine::CreateMultigroup(const std::string& name) {
  MultigroupTemplate = CdHeader{};
  MultigroupMembers = MemberList{};
  const std::vector<std::string> selected = SelectedSerials();
  PendingSerial.clear();
  // Checking the chosen discs and writing the multigroup are one change
  // under the lock, against the catalogue as it is now.
  ChangeLock lock(*this);
  WriteHeaderIfEmpty(DatabasePath);
  std::unique_ptr<FileStream> file = OpenCatalogue(DatabasePath, true);
  file->Seek(0);
  if (!ReadDatabaseHeader(*file).IsCurrentFormat()) {
    file.reset();
    RunOperation(OperationCode::kListCds);  // offers the conversion
    return {};
  }
  // Every chosen disc must be stored and chosen once; a multigroup holds at
  // most 20 (a serial stored twice joins with both copies).
  std::string problem;
  {
    std::vector<std::string> stored;
    EntryWalker walker(*file);
    CdHeader h;
    while (walker.Next(h)) {
      if (Contains(selected, h.Serial.Text()))
        stored.push_back(ToUtf8(h.Serial.Text()));
    }
    for (std::size_t i = 0; i < selected.size() && problem.empty(); ++i) {
      if (std::count(stored.begin(), stored.end(), selected[i]) == 0)
        problem = "CD " + selected[i] + " v databázi není.";
      else if (std::count(selected.begin(), selected.end(), selected[i]) > 1)
        problem = "CD " + selected[i] + " je vybráno vícekrát.";
    }
    if (problem.empty() && stored.size() > kMemberSlots) {
      problem = "Multiskupina může obsahovat nejvýše 20 CD; vybráno je " +
                std::to_string(stored.size()) + ".";
    }
  }
  if (!problem.empty()) {
    host_.ShowMessage(problem + " Nic nebylo změněno.");
    return {};
  }
  // Flagging the members and appending the multigroup are one change: both
  // are made in a copy that replaces the catalogue in one step, so neither
  // a failure nor a crash can leave discs hidden in a multigroup that was
  // never written.
  ReplacementFile replacement(file->Path());
  FileStream& out = replacement.Stream();
  file->CopyRangeTo(out, 0, file->Size());
  MarkMultigroupMembers(out, true);
  MultigroupTemplate.Description.Set(ToCp1250(name));
  AppendMultigroup(out);
  replacement.Commit();
  file->CloseInBackground();  // freeing the replaced file takes a while
  return PendingSerial;
}

void Engine::ImportGroups(FileStream& file) {
  EntryWalker walker(file);
  CdHeader h;
  while (walker.Next(h)) {
    const std::string groups = h.Groups.Text().bytes;
    if (groups.empty() || Settings == nullptr)
      continue;
    // A ";" ends a piece only when the piece is not empty; otherwise it is
    // part of the name.
    std::string piece;
    for (char c : groups) {
      if (c == ';' && !piece.empty()) {
        RegisterGroup(*Settings, ToUtf8(Cp1250Text(piece)));
        piece.clear();
      } else {
        piece += c;
      }
    }
    if (!piece.empty())
      RegisterGroup(*Settings, ToUtf8(Cp1250Text(piece)));
  }
  host_.GroupListChanged();
  host_.ShowMessage(std::string(msg::kImportDone));
  SortDiscsByCaption();
  host_.DiscListChanged();
}

}  // namespace rondo
