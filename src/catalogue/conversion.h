// SPDX-License-Identifier: GPL-3.0-or-later
// Converting a catalogue of the previous format (versions 3.x: no file
// header, 249-byte disc heads, directory records without the subtree
// length) into the current format, in place.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "catalogue/format/write_lock.h"

namespace rondo {

// The file given to the conversion has the current format already: nothing
// to convert (not damage).
class AlreadyCurrentFormat : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ConversionProgress {
  // A disc is about to be converted: its description (UTF-8) and the old
  // block length, the gauge's maximum.
  std::function<void(const std::string& description, std::uint64_t maximum)> disc;
  // Bytes of the disc's items converted so far.
  std::function<void(std::uint64_t converted)> converted;
  // How long to wait while another program changes the file.
  LockWaiter wait;
};

// Converts the file at path. The whole old file is checked first: a file
// that already has the current format, or whose blocks do not fit together
// as a 3.x catalogue, is refused (DamagedCatalogue with the reason) and left
// untouched. The new catalogue is written beside the old one and renamed
// over it only when complete, so a failure leaves the old file as it was. A
// missing file becomes an empty catalogue; an empty file is refused (it is
// no catalogue of either format). The conversion holds the write lock. Directory subtree lengths
// are written as 0; the structure recalculation fills them in. Throws IoError.
void ConvertOldCatalogue(const std::string& path, const ConversionProgress& progress = {});

}  // namespace rondo
