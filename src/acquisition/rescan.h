// SPDX-License-Identifier: GPL-3.0-or-later
// Updating a stored disc whose medium has changed: the root is scanned again
// and the disc's entry replaced, in its place in the catalogue, by the new
// contents. The disc keeps its serial, name, groups, lending and multigroup
// membership, and its items keep their comments and groups where an item of
// the same kind is still found at the same path.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/file_tree.h"
#include "acquisition/scanner.h"
#include "catalogue/format/write_lock.h"
#include "settings/registry.h"
#include "shell/dates.h"

namespace rondo {

// What a rescan changed. Items are matched by their path below the root,
// letter case of A-Z aside (as the add-disc window matches its comment rows).
struct RescanSummary {
  std::uint64_t filesAdded = 0;
  std::uint64_t filesRemoved = 0;
  std::uint64_t filesChanged = 0;  // size or time
  std::uint64_t dirsAdded = 0;
  std::uint64_t dirsRemoved = 0;
  std::uint64_t dirsChanged = 0;
  // Items with a comment or groups that are no longer there.
  std::uint64_t commentsLost = 0;
  // The disc's totals as stored before and after.
  std::uint64_t oldFiles = 0;
  std::uint64_t oldDirs = 0;
  std::uint64_t oldBytes = 0;
  std::uint64_t newFiles = 0;
  std::uint64_t newDirs = 0;
  std::uint64_t newBytes = 0;
  // False when the disc came out byte for byte as it was stored: nothing was
  // written.
  bool written = false;
};

// The summary as rows of a Czech label and a number, in the order the
// desktop program shows them and rondotheka-cli rescan prints them.
std::vector<std::pair<std::string, std::uint64_t>> SummaryRows(const RescanSummary& summary);

// A rescan refused or given up with the catalogue unchanged; what() says
// why, in Czech.
class RescanRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Checks, before the medium is read, that the catalogue holds exactly one
// disc of this serial and that it is not a multigroup; returns its name.
std::string DiscToRescan(const std::string& databasePath, const std::string& serial);

// Scans root through tree and replaces the disc of this serial in one
// change of the catalogue under its write lock (waiting as wait allows),
// checked again under the lock. A scan that could not read everything, or
// met a name the catalogue cannot hold as it is, changes nothing, as does
// an exception thrown from the progress (a cancel).
RescanSummary RescanDisc(const std::string& databasePath, const std::string& serial,
                         const std::string& root, FileTree& tree, Registry& registry,
                         ScanProgress& progress, const LockWaiter& wait = {},
                         const std::function<LocalDateTime()>& now = NowLocal);

}  // namespace rondo
