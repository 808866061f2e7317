// SPDX-License-Identifier: GPL-3.0-or-later
// Menu captions stay as written; one letter of each is underlined so that
// Alt and that letter opens the menu or chooses the command.
#pragma once

#include <QString>

class QWidget;

namespace rondo::gui {

// Gives every caption of the window's menu bar and of the menus reached
// from it that has none a mnemonic: the first letter or digit not yet taken in that
// menu. Menus the program fills with values of its own ("666" names, the
// group menu) are left alone: their captions are data.
void AssignMnemonics(QWidget* window);

// The caption as written: "&&" becomes "&", a single "&" goes.
QString WithoutMnemonic(const QString& caption);

}  // namespace rondo::gui
