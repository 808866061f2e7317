// SPDX-License-Identifier: GPL-3.0-or-later
// The disc list holding only the given serials, each selected, as if the
// user had picked them: what every disc command works on.
#pragma once

#include <string>
#include <vector>

#include "catalogue/engine.h"

namespace rondo::test {

inline void SelectSerials(Engine& engine, const std::vector<std::string>& serials) {
  engine.Discs.rows.clear();
  for (const auto& serial : serials) {
    DiscRow row;
    row.cells[kColSerial] = serial;
    row.selected = true;
    engine.Discs.rows.push_back(row);
  }
}

}  // namespace rondo::test
