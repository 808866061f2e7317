// SPDX-License-Identifier: GPL-3.0-or-later
// From a search hit to its place: the disc opened, its folders entered by
// name, the hit selected.
#include "catalogue/engine.h"

namespace rondo {

namespace {

// The row of a name; of several alike, the one at the hit's place, or for
// a folder the one the hit lies in (the last one before it in the block).
DirRow* FindRow(std::vector<DirRow>& rows, DirRowKind kind, const std::string& name,
                std::uint32_t hitAt, bool folderOfHit) {
  DirRow* first = nullptr;
  DirRow* best = nullptr;
  for (auto& row : rows) {
    if (row.kind != kind || row.Caption() != name)
      continue;
    if (first == nullptr)
      first = &row;
    if (!row.at)
      continue;
    if (!folderOfHit && *row.at == hitAt)
      return &row;
    if (folderOfHit && *row.at < hitAt && (best == nullptr || *best->at < *row.at))
      best = &row;
  }
  return best != nullptr ? best : first;
}

}  // namespace

Engine::HitShown Engine::ShowSearchHit(const SearchResults::Place& place) {
  PendingSerial = place.serial;
  if (!RunOperation(OperationCode::kSerialExists))
    return HitShown::kGone;
  // The disc is selected in the disc list too: leaving browsing shows it.
  host_.DiscListAboutToChange();
  for (auto& row : Discs.rows)
    row.selected = row.cells[kColSerial] == place.serial && row.Caption() != kUpRowCaption;
  host_.DiscListChanged();
  if (place.multigroup) {
    if (!DirStack.empty())
      LeaveBrowsing();
    return HitShown::kDiscList;
  }

  OpenDiscRoot(place.serial, place.disc);
  if (place.kind == SearchRowKind::kDisc)
    return HitShown::kBrowsed;
  for (const std::string& folder : place.folders) {
    DirRow* row = FindRow(Dirs.rows, DirRowKind::kDirectory, folder, place.at, true);
    if (row == nullptr)
      return HitShown::kBrowsed;  // hidden by its groups, or gone: as deep as it goes
    for (auto& r : Dirs.rows)
      r.selected = &r == row;
    OpenSelectedItem();
  }
  const DirRowKind kind =
      place.kind == SearchRowKind::kDirectory ? DirRowKind::kDirectory : DirRowKind::kFile;
  DirRow* hit = FindRow(Dirs.rows, kind, place.name, place.at, false);
  host_.DirListAboutToChange();
  for (auto& r : Dirs.rows)
    r.selected = &r == hit;
  host_.DirListChanged();
  return HitShown::kBrowsed;
}

}  // namespace rondo
