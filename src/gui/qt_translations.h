// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own texts (the Yes/No buttons, the file dialogs, the edit fields'
// context menus) in the language of the program's language file.
#pragma once

#include <QString>

namespace rondo::gui {

// The language code of a language file by its name ("czech.lng" → "cs");
// empty when it is not known.
QString QtLanguageOf(const QString& languageFile);

// Loads Qt's translation for the language of languageFile into the
// application, replacing the one loaded before; English needs none. A
// translation that is not installed leaves Qt's own English texts.
void UseQtTranslations(const QString& languageFile);

}  // namespace rondo::gui
