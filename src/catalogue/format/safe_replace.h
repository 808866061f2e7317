// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a whole file without ever leaving it half-written: the new
// content goes to a temporary file in the same folder, is flushed to the
// medium and then renamed over the original in one step. Until Commit the
// original is untouched; a replacement that is dropped removes its
// temporary file.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/format/byte_stream.h"

namespace rondo {

class ReplacementFile {
 public:
  // Creates the temporary file next to target (exclusive creation, a name
  // nobody can have prepared). It is named after lockedPath when given (the
  // file whose write lock is held, when target is another file beside it),
  // so that the next writer of that file removes it should this one be
  // killed. Throws IoError.
  explicit ReplacementFile(const std::string& targetPath, const std::string& lockedPath = {});
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  FileStream& Stream() { return *stream_; }
  const std::string& TemporaryPath() const { return temporaryPath_; }

  // Flushes, closes and renames the temporary file over the target, then
  // flushes the folder so the rename itself survives a crash.
  void Commit();

 private:
  std::string targetPath_;
  std::string temporaryPath_;
  std::unique_ptr<FileStream> stream_;
  bool committed_ = false;
};

// Changes of bytes at fixed places of a file (the discs' heads), gathered
// first and then written all together: a single change in place, in one
// write; several through a copy that replaces the file in one step. Either
// way a crash leaves all of them or none.
class FilePatches {
 public:
  // Places come in increasing order; a change at the place of the one before
  // replaces it.
  void Add(std::uint64_t at, std::vector<std::uint8_t> bytes);
  bool Empty() const { return patches_.empty(); }
  std::size_t Count() const { return patches_.size(); }

  // Writes the changes into file. With inPlace, file is a copy nobody else
  // sees yet and every change goes straight into it. After a replacement,
  // file refers to the old, replaced catalogue and is closed. Throws
  // IoError; a failed single write in place puts the old bytes back.
  void Apply(FileStream& file, bool inPlace = false);

 private:
  std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> patches_;
};

}  // namespace rondo
