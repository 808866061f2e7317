// SPDX-License-Identifier: GPL-3.0-or-later
// rondotheka-cli: the catalogue from the command line.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace rondo {

class Registry;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNo = 1;      // "exists" answered no
inline constexpr int kExitUsage = 2;   // wrong arguments
inline constexpr int kExitFailed = 3;  // the catalogue could not be used

// Runs one command. args excludes the program name. Output is UTF-8, one row
// per line, cells separated by one TAB; errors go to err.
int RunCli(const std::vector<std::string>& args, Registry& registry, std::ostream& out,
           std::ostream& err);

}  // namespace rondo
