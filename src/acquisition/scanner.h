// SPDX-License-Identifier: GPL-3.0-or-later
// Turning the tree below a drive root (or any folder) into one complete disc
// entry in memory, in exactly the bytes in which it is appended to the
// catalogue: the header, then every directory followed at once by its whole
// subtree (its subdirectories, each with its own subtree, then its files).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "acquisition/drives.h"
#include "acquisition/file_tree.h"
#include "catalogue/format/records.h"
#include "catalogue/format/write_lock.h"
#include "settings/registry.h"
#include "shell/dates.h"

namespace rondo {

// A comment or group row typed before the scan: the full path of the item
// (the root, the separator, the names below it) and the text. UTF-8.
struct PathText {
  std::string path;
  std::string text;
};

struct ScanRequest {
  std::string root;         // the drive's mount point or any folder
  std::string description;  // the disc's name in the catalogue
  std::vector<std::string> groups{"Nezařazeno"};
  std::vector<PathText> commentRows;
  std::vector<PathText> groupRows;  // directories only; texts are "A;B"
  bool withoutStructure = false;
  VolumeInfo volume;
  char separator = '/';
};

// Where the scan reports what it does. Every call may let window events run.
class ScanProgress {
 public:
  virtual ~ScanProgress() = default;
  virtual void Log(const std::string& /*line*/) {}
  // Something the user should know about (a size that could not be read, a
  // name cut short); shown like any other line unless the caller says
  // otherwise.
  virtual void Warn(const std::string& line) { Log(line); }
  // The sizing pass is done: the totals and the progress bars' maximums.
  virtual void Sized(std::uint64_t /*dirs*/, std::uint64_t /*files*/, std::uint64_t /*bytes*/) {}
  // One more directory (bytes 0) or file stored; path is the file's full path.
  virtual void Stored(bool /*directory*/, const std::string& /*path*/, std::uint64_t /*bytes*/) {}
  virtual void ProcessEvents() {}
};

struct ScanResult {
  CdHeader header;
  std::vector<std::uint8_t> entry;  // header and items, BlockSize set
  // Something was not stored as it is on the medium: a directory or a size
  // that could not be read, or a name the catalogue cannot hold as it is.
  bool altered = false;
};

// Registers the chosen groups (data "none"), walks the tree once and builds
// the entry. now() stamps Created and Finished.
ScanResult ScanDisc(const ScanRequest& request, FileTree& tree, Registry& registry,
                    ScanProgress& progress, const std::function<LocalDateTime()>& now = NowLocal);

// Appends a scanned entry to the end of the catalogue. The catalogue must be
// valid (it is walked first; a missing or empty file gets its header). The
// new catalogue replaces the old one in one step, so a failed write or a
// crash leaves it byte for byte as it was. Progress reports the bytes of
// the entry written so far. The change holds the catalogue's write lock,
// waiting for another program's change as wait allows. With
// refuseStoredSerial, a disc of the same serial stored meanwhile (by another
// program, while this one scanned) is refused with nothing written.
void StoreScannedEntry(const std::string& databasePath, const std::vector<std::uint8_t>& entry,
                       ScanProgress& progress,
                       const std::function<void(std::uint64_t, std::uint64_t)>& written = {},
                       const LockWaiter& wait = {}, bool refuseStoredSerial = false);

}  // namespace rondo
