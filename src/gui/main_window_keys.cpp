// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's keyboard: shortcuts of the commands, and Space, Enter
// and Backspace in the lists.
#include <QAction>
#include <QKeySequence>
#include <QTreeView>

#include "gui/TMainForm.h"
#include "gui/mnemonics.h"

namespace rondo::gui {

void TMainForm::buildKeys() {
  const struct {
    const char* command;
    QKeySequence key;
  } shortcuts[] = {
      {"actionSearch", QKeySequence(Qt::CTRL | Qt::Key_F)},
      {"actionAddCd", QKeySequence(Qt::Key_Insert)},
      {"actionRemoveCds", QKeySequence(Qt::Key_Delete)},
      {"actionRenameCd", QKeySequence(Qt::Key_F2)},
      {"actionLendCds", QKeySequence(Qt::CTRL | Qt::Key_L)},
      {"actionQuit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
  };
  for (const auto& s : shortcuts) {
    if (QAction* action = command(QString::fromLatin1(s.command)))
      action->setShortcut(s.key);
  }
  // F5 shows the catalogue again as it is in the file; a command of the
  // window, not of a menu.
  auto* refresh = new QAction(this);
  refresh->setObjectName(QStringLiteral("actionRefresh666"));
  refresh->setShortcut(QKeySequence(Qt::Key_F5));
  addAction(refresh);
  connect(refresh, &QAction::triggered, this, &TMainForm::catalogueChangedOutside);
  AssignMnemonics(this);
}

bool TMainForm::handleListKey(bool discList, int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers != Qt::NoModifier && modifiers != Qt::KeypadModifier)
    return false;
  if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (discList)
      openSelectedDisc();
    else
      openSelectedItem();
    return true;
  }
  if (key == Qt::Key_Backspace && !discList) {
    // One level up, as the ".." row does.
    auto& rows = engine_.Dirs.rows;
    if (rows.empty() || rows.front().kind != DirRowKind::kUp)
      return false;
    for (auto& row : rows)
      row.selected = false;
    rows.front().selected = true;
    openSelectedItem();
    return true;
  }
  return false;
}

}  // namespace rondo::gui
