// SPDX-License-Identifier: GPL-3.0-or-later
// The surface check: every file of a medium is read from the first byte to
// the last, so that a scratched disc shows which files can no longer be
// read. The data read is thrown away; only the counts and the failures
// remain. The catalogue is consulted read-only for what it knows about the
// disc in the drive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/format/records.h"

namespace rondo {

// The error lines, each followed by the full path.
inline constexpr const char* kCannotOpenFile = "Soubor nelze vůbec otevřít! ";
inline constexpr const char* kCannotReadFile = "Soubor nelze přečíst! ";
inline constexpr const char* kCannotOpenDir = "Adresář nelze otevřít! ";
// Shown when the medium left the drive while it was being checked.
inline constexpr const char* kMediumRemoved = "Disk byl vyjmut, kontrola skončila.";

// Bytes asked for by one read; a single buffer of this size serves the
// whole check.
inline constexpr std::size_t kSurfaceBlockSize = 200001;

// One directory entry as the check sorts it.
struct SurfaceEntry {
  enum class Kind {
    kDirectory,
    kFile,
    // Symbolic links (they may loop or lead off the medium) and special
    // files (FIFOs, sockets and devices could block a read for ever).
    kSkipped,
  };
  std::string name;
  Kind kind = Kind::kSkipped;
};

// An open file being read.
class SurfaceFile {
 public:
  virtual ~SurfaceFile() = default;
  // Fills buffer with up to n bytes; returns how many (0 at the end of the
  // file) or -1 when the medium could not deliver them.
  virtual long long Read(char* buffer, std::size_t n) = 0;
};

// Everything the check asks of the file system. The program uses
// PosixSurfaceFiles; the tests put failures of their own in between.
class SurfaceFiles {
 public:
  virtual ~SurfaceFiles() = default;
  // The entries of dir ("." and ".." left out) in the order the file system
  // gives them; false when the directory cannot be listed.
  virtual bool List(const std::string& dir, std::vector<SurfaceEntry>& entries) = 0;
  // The size of the file at path, nullopt when it cannot be found out.
  virtual std::optional<std::uint64_t> Size(const std::string& path) = 0;
  // The file opened for reading, null when it cannot be opened.
  virtual std::unique_ptr<SurfaceFile> Open(const std::string& path) = 0;
  // The device the path lies on; nullopt when the path is gone.
  virtual std::optional<std::uint64_t> Device(const std::string& path) = 0;
};

// The real file system. Files are opened without following links and
// their cached pages are dropped first, so the bytes come from the medium
// and not from memory left by an earlier read.
class PosixSurfaceFiles : public SurfaceFiles {
 public:
  bool List(const std::string& dir, std::vector<SurfaceEntry>& entries) override;
  std::optional<std::uint64_t> Size(const std::string& path) override;
  std::unique_ptr<SurfaceFile> Open(const std::string& path) override;
  std::optional<std::uint64_t> Device(const std::string& path) override;
};

// Where the check reports.
class SurfaceCheckHost {
 public:
  virtual ~SurfaceCheckHost() = default;
  // A file is about to be read: its full path and size.
  virtual void File(const std::string& path, std::uint64_t size) = 0;
  // One block of the current file was read.
  virtual void Block(std::size_t bytes) = 0;
  // An error line (one of the texts above and a full path).
  virtual void Error(const std::string& line) = 0;
  // Asked before each directory entry and after each block; false ends the
  // check there.
  virtual bool Running() = 0;
};

struct SurfaceCheckResult {
  std::uint64_t bytes = 0;      // bytes read
  std::uint64_t files = 0;      // files read to their end without an error
  std::uint64_t errors = 0;     // error lines reported
  bool stopped = false;         // Running() said false
  bool mediumGone = false;      // the medium left while it was being checked
  bool rootUnreadable = false;  // the root itself could not be listed
};

// Reads every file below root: in each directory first its subdirectories
// (each one whole, in the order they are listed), then its files. Links and
// special files are passed over.
SurfaceCheckResult CheckSurface(const std::string& root, SurfaceCheckHost& host,
                                SurfaceFiles& files);
SurfaceCheckResult CheckSurface(const std::string& root, SurfaceCheckHost& host);

// The header of the first disc in the catalogue at cataloguePath whose
// serial text is serial. A missing catalogue is created empty; one that
// cannot be opened or is damaged holds nothing.
std::optional<CdHeader> FindDiscHeader(const std::string& cataloguePath, const std::string& serial);

}  // namespace rondo
