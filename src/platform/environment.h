// SPDX-License-Identifier: GPL-3.0-or-later
// Facts the program takes from the Linux desktop: where its settings and
// data live, where the program itself is, and how the user's locale writes
// dates and numbers.
#pragma once

#include <string>
#include <vector>

#include "catalogue/engine.h"

namespace rondo::platform {

// Applies the user's locale (LC_ALL from the environment) to the process;
// called once at start by each front end.
void UseUserLocale();

// Dates, times and the decimal separator of the current locale.
DisplayFormat CurrentDisplayFormat();

// The settings file: $RONDOTHEKA_REGISTRY when set, else
// $XDG_CONFIG_HOME/rondotheka/registry.ini (~/.config/... by default).
std::string RegistryFilePath();

// $XDG_DATA_HOME/rondotheka (~/.local/share/rondotheka by default).
std::string UserDataFolder();

// Where a catalogue is created when none is configured yet.
std::string DefaultCataloguePath();

// Full path of the running program file.
std::string ProgramPath();
// The folder the running program file is in.
std::string ProgramFolder();

// Where the language files are looked for, first one first; a file found in
// several folders is read from the first. For the program in programFolder:
//  1. programFolder itself (a portable copy, or the build tree, which has
//     the language files beside the programs);
//  2. the user's data folder (UserDataFolder());
//  3. the installed data folder, relative to the programs (share/rondotheka
//     beside bin, wherever the tree was installed or moved);
//  4. the installed data folder at the path the program was built for.
// Only folders that exist are listed, each once.
std::vector<std::string> LanguageFolders(const std::string& programFolder);
std::vector<std::string> LanguageFolders();

// Whether programFolder is a portable copy: it holds language files itself,
// the user may write into it, and it is not below /usr (a system's folder
// is never written into, not even by root).
bool IsPortableCopy(const std::string& programFolder);

// Where the program writes its data files (a language file completed with
// new texts, the borrowed-discs list): programFolder when it is a portable
// copy, else the user's data folder, created when it is not there yet.
std::string WritableDataFolder(const std::string& programFolder);
std::string WritableDataFolder();

// The list of discs borrowed from others: $RONDOTHEKA_BORROWED when set,
// else "mnoupujcene.big" in WritableDataFolder().
std::string BorrowedListPath();

}  // namespace rondo::platform
