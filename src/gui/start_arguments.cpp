// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/start_arguments.h"

#include <algorithm>
#include <cctype>

#include "version.h"

namespace rondo::gui {

namespace {

bool IsCommand(const std::string& word) {
  std::string lower = word;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "add" || lower == "search";
}

}  // namespace

StartArguments ParseStartArguments(const std::vector<std::string>& args) {
  StartArguments parsed;
  bool help = false;
  bool version = false;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
      help = true;
    } else if (!optionsEnded && arg == "--version") {
      version = true;
    } else if (!optionsEnded && arg.size() > 1 && arg.front() == '-') {
      if (parsed.error.empty())
        parsed.error = "neznámá volba „" + arg + "“";
    } else if (!optionsEnded && IsCommand(arg)) {
      if (!parsed.command.empty() && parsed.error.empty())
        parsed.error = "lze zadat jen jeden z příkazů add a search";
      parsed.command = arg;
    } else {
      if (!parsed.file.empty() && parsed.error.empty())
        parsed.error = "lze otevřít jen jednu databázi";
      parsed.file = arg;
    }
  }
  if (help)
    parsed.action = StartArguments::Action::kHelp;
  else if (version)
    parsed.action = StartArguments::Action::kVersion;
  else if (!parsed.error.empty())
    parsed.action = StartArguments::Action::kError;
  return parsed;
}

std::string VersionText() {
  return std::string("rondotheka (QEL Rondotheka ") + kVersion + ")\n" + kLicenseNotice;
}

std::string UsageText() {
  return "Použití: rondotheka [SOUBOR.big] [add|search]\n"
         "Katalog disků QEL Rondotheka.\n"
         "\n"
         "  SOUBOR.big   otevře pro tento běh danou databázi; při dalším spuštění\n"
         "               se otevře opět databáze z nastavení\n"
         "  add          začne přidáním CD\n"
         "  search       začne hledáním a po zavření okna hledání skončí\n"
         "  --help, -h   vypíše tuto nápovědu\n"
         "  --version    vypíše verzi programu\n"
         "\n"
         "Práce s databází z příkazové řádky: rondotheka-cli --help\n";
}

}  // namespace rondo::gui
