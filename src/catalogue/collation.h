// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's locale-aware text order, as sort keys: computing one key per
// row and comparing keys is far cheaper than comparing texts with the locale
// at every step of a sort.
#pragma once

#include <string>
#include <string_view>

namespace rondo {

// A key whose byte order is the order of the texts under the process's
// collation locale (LC_COLLATE). Texts are UTF-8.
std::string CollationKey(std::string_view utf8);

// The same order, except that runs of digits compare as numbers: "Disk 2"
// comes before "Disk 10", "Disk 02" beside "Disk 2".
std::string NaturalCollationKey(std::string_view utf8);

}  // namespace rondo
