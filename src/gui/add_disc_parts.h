// SPDX-License-Identifier: GPL-3.0-or-later
// What the add-disc window's two source files share.
#pragma once

#include <QListWidgetItem>
#include <QString>

#include "gui/TLngINISupp.h"
#include "gui/qt_text.h"
#include "settings/group_kinds.h"

namespace rondo::gui::add_disc {

inline constexpr const char* kCountdownStart = "3";
inline constexpr const char* kZeroTime = "0:00:00";

inline QString Unassigned() {
  return FromUtf8(kUnassignedGroup);
}

// "Nezařazeno" in the chosen groups stands for no group: shown in the
// interface language, stored as it is.
inline QListWidgetItem* PlaceholderItem() {
  auto* item = new QListWidgetItem(ShownGroupName(Unassigned()));
  item->setData(Qt::UserRole, Unassigned());
  return item;
}

}  // namespace rondo::gui::add_disc
