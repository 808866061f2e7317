// SPDX-License-Identifier: GPL-3.0-or-later
// One writer at a time. Every change of a catalogue, of the borrowed-discs
// list or of the settings file holds a WriteLock from reading the file to
// renaming its replacement over it. Readers never take it: they see the old
// file or the new one, never a mix, because a change is always renamed into
// place whole.
//
// The lock is an flock() on a hidden lock file beside the file
// (".NAME.rondotheka-lock"). It is never replaced, so it stays the same
// while the file it guards is renamed over. Where the folder cannot hold
// one (a read-only folder), the file itself is locked: nothing can then be
// renamed over it anyway.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "catalogue/format/errors.h"

namespace rondo {

// Asked again and again (at most every 50 ms) while another program holds
// the lock, with the time waited so far; false gives up. An empty waiter
// waits kDefaultLockWait.
inline constexpr std::chrono::seconds kDefaultLockWait{10};
using LockWaiter = std::function<bool(std::chrono::milliseconds waited)>;

// A waiter that gives up after limit.
LockWaiter WaitAtMost(std::chrono::milliseconds limit);

// The lock was not free within the time the user or the caller allowed.
class CatalogueBusy : public IoError {
 public:
  using IoError::IoError;
};

// Refuses a path that is a folder, a device, a FIFO or a socket (also
// through symbolic links), before anything opens it. A missing path passes.
void RefuseSpecialFile(const std::string& path);

// The file a path names once symbolic links are followed (also a link to a
// file that does not exist yet). A replacement is renamed over this, so the
// links stay links.
std::string ResolveLinks(const std::string& path);

class WriteLock {
 public:
  // Takes the lock for changing the file at path, waiting as wait allows
  // (CatalogueBusy when it gives up). Before and after waiting it refuses,
  // with nothing changed: a path that is not a regular file, a file that
  // may not be written (no write permission, or every write bit cleared by
  // its owner), a file with other hard links (a replacement would part them).
  // Once held it removes temporary files that an interrupted change of the
  // same file left behind. Throws IoError.
  WriteLock(const std::string& path, const LockWaiter& wait);
  ~WriteLock();
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;

  // The real file behind path: what to open and what to rename over.
  const std::string& Target() const { return target_; }

 private:
  std::string target_;
  int fd_ = -1;
};

// The folder of a file's path ("." for a bare name, "/" for the root's).
std::string FolderOf(const std::string& path);

// The prefix of the temporary files that replace target (the name is
// completed with six random characters). Recognisable, so that a later
// writer can remove the ones an interrupted change left behind.
std::string TemporaryPrefix(const std::string& target);

// Checks that target may be changed: it is a regular file (or missing), may
// be written, and has no other names. Throws IoError saying why not.
void CheckChangeable(const std::string& target);

}  // namespace rondo
