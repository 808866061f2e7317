// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's command line: "rondotheka [SOUBOR.big] [add|search]",
// "--version" and "--help". Plain C++: "--version" and "--help" are answered
// before Qt starts, so they need no display.
#pragma once

#include <string>
#include <vector>

namespace rondo::gui {

struct StartArguments {
  enum class Action { kRun, kVersion, kHelp, kError };
  Action action = Action::kRun;
  // A catalogue to open for this run instead of the one in the settings.
  std::string file;
  // "add" or "search" as written (any case); empty for neither.
  std::string command;
  // Why the arguments were refused (kError), in Czech.
  std::string error;
};

// Reads the arguments after the program's name. "--help" (or "-h") wins
// over everything, then "--version", so both work whatever else is there
// (Qt's own options included, which Qt takes out only later). After "--"
// every argument is a file name.
StartArguments ParseStartArguments(const std::vector<std::string>& args);

// "rondotheka (QEL Rondotheka 4.4)" and a line end.
std::string VersionText();
// The short usage "--help" prints.
std::string UsageText();

}  // namespace rondo::gui
