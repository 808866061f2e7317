// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window's files share: the names of its settings and the
// way its commands report a failure.
#pragma once

#include <QString>

namespace rondo::gui::main_window {

// Registry names of the settings the main window uses.
inline constexpr const char* kCataloguePathSetting = "Cesta";
inline constexpr const char* kShownGroupSetting = "ZobrazitSkupinu";
inline constexpr const char* kFontSizeSetting = "VelikostFontu";
inline constexpr const char* kForeignDirectoriesSetting = "ZobrAdresare";
inline constexpr const char* kProgramPathSetting = "AppPath";
inline constexpr const char* kProgramVersionSetting = "VerzeProgramu";
inline constexpr const char* kLanguageSetting = "Language";
// The user's column widths and the disc list's order.
inline constexpr const char* kDiscColumnsSetting = "SloupceSeznamuCD";
inline constexpr const char* kDirColumnsSetting = "SloupceSeznamuAdresaru";
inline constexpr const char* kDiscSortSetting = "RazeniSeznamuCD";
inline constexpr const char* kDiscSortDescendingSetting = "RazeniSeznamuCDSestupne";

// Prefix of the messages about failed operations.
inline constexpr const char* kFailurePrefix = "Chyba: ";

// The font sizes the lists accept from the settings.
inline constexpr int kSmallestFontSize = 1;
inline constexpr int kLargestFontSize = 200;

// Menu and button texts take "&" as a mnemonic mark; group names do not.
inline QString WithoutMnemonics(QString text) {
  return text.replace(QLatin1Char('&'), "&&");
}

}  // namespace rondo::gui::main_window
