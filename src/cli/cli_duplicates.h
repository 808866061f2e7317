// SPDX-License-Identifier: GPL-3.0-or-later
// The command "duplicates": its arguments and its rows.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/duplicates.h"

namespace rondo {

struct DisplayFormat;

// The options of "duplicates [--min-size BYTES] [--by name|name+size|
// name+size+time] [--group G]..." (words[0] is the command itself); nullopt
// with the problem in problem when an argument is wrong.
std::optional<DuplicateOptions> ParseDuplicateArguments(const std::vector<std::string>& words,
                                                        std::string& problem);

// One row per copy, the groups in their order: the group's number (from 1),
// the copy's size in bytes, its name, the disc's serial and description,
// the folders from the disc's root joined by "\" (empty at the root) and the
// file's time. Control characters are escaped as in every other row.
void PrintDuplicates(const DuplicateReport& report, const DisplayFormat& format, std::ostream& out);

}  // namespace rondo
