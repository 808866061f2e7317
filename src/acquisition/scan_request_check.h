// SPDX-License-Identifier: GPL-3.0-or-later
// The texts typed for a disc before it is scanned, checked before anything
// is read, registered or stored.
#pragma once

#include <string>

#include "acquisition/scanner.h"

namespace rondo {

// Why the request's name, groups, comments or directory groups cannot be
// stored as typed (TypedTextRefusal), or "" when they can. A comment shares
// its item's 255 bytes with "^" and the groups given for the same path.
// label is a volume label typed by hand ("" when it is the medium's own).
std::string ScanRequestRefusal(const ScanRequest& request, const std::string& label = {});

}  // namespace rondo
