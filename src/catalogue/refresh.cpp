// SPDX-License-Identifier: GPL-3.0-or-later
// Showing again what another program changed in the open catalogue, without
// losing the user's place.
#include <algorithm>
#include <set>
#include <utility>

#include "catalogue/engine.h"

namespace rondo {

namespace {

template <typename Rows, typename Key>
std::set<std::string> SelectedKeys(const Rows& rows, Key key) {
  std::set<std::string> keys;
  for (const auto& row : rows) {
    if (row.selected)
      keys.insert(key(row));
  }
  return keys;
}

template <typename Rows, typename Key>
void SelectKeys(Rows& rows, const std::set<std::string>& keys, Key key) {
  for (auto& row : rows)
    row.selected = keys.count(key(row)) != 0;
}

}  // namespace

bool Engine::RefreshFromFile(bool browsing) {
  const auto serialOf = [](const DiscRow& row) { return row.cells[kColSerial]; };
  const auto nameOf = [](const DirRow& row) { return row.Caption(); };
  const std::set<std::string> discs = SelectedKeys(Discs.rows, serialOf);

  PendingSerial = ShownMultigroup;
  if (ShownMultigroup.empty() || !RunOperation(OperationCode::kSerialExists)) {
    RunOperation(OperationCode::kListCds);
  } else {
    RunOperation(OperationCode::kShowMultigroup);
  }
  host_.DiscListAboutToChange();
  SelectKeys(Discs.rows, discs, serialOf);
  host_.DiscListChanged();
  if (!browsing)
    return true;

  const std::vector<TOneDir> path = DirStack;
  const std::set<std::string> items = SelectedKeys(Dirs.rows, nameOf);
  PendingSerial = LoadedSerial;
  if (LoadedSerial.empty() || !RunOperation(OperationCode::kSerialExists)) {
    LoadedSerial.clear();
    BlockCache.Clear();
    LeaveBrowsing();
    return false;
  }
  // The block as it is now: read again, not taken from the cache.
  const std::string serial = std::exchange(LoadedSerial, std::string());
  OpenDiscRoot(serial, LoadedDiscName);
  for (std::size_t level = 1; level < path.size(); ++level) {
    // The folder of that name; of two alike, the one at the same place.
    DirRow* found = nullptr;
    for (auto& row : Dirs.rows) {
      if (row.kind != DirRowKind::kDirectory || row.Caption() != path[level].Name)
        continue;
      if (found == nullptr || row.at == path[level].At)
        found = &row;
    }
    if (found == nullptr)
      break;
    for (auto& row : Dirs.rows)
      row.selected = &row == found;
    OpenSelectedItem();
  }
  host_.DirListAboutToChange();
  SelectKeys(Dirs.rows, items, nameOf);
  host_.DirListChanged();
  return true;
}

}  // namespace rondo
