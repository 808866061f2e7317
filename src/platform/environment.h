// SPDX-License-Identifier: GPL-3.0-or-later
// Facts the program takes from the Linux desktop: where its settings and
// data live, where the program itself is, and how the user's locale writes
// dates and numbers.
#pragma once

#include <string>

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

// The list of discs borrowed from others: $RONDOTHEKA_BORROWED when set;
// else "mnoupujcene.big" in the program's folder when it is there or the
// folder can be written; else in the user's data folder (an installed
// program's folder belongs to the system).
std::string BorrowedListPath();

}  // namespace rondo::platform
