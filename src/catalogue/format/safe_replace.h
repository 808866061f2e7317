// Replacing a whole file without ever leaving it half-written: the new
// content goes to a temporary file in the same folder, is flushed to the
// medium and then renamed over the original in one step. Until Commit the
// original is untouched; a replacement that is dropped removes its
// temporary file.
#pragma once

#include <memory>
#include <string>

#include "catalogue/format/byte_stream.h"

namespace rondo {

class ReplacementFile {
 public:
  // Creates the temporary file next to target (exclusive creation, a name
  // nobody can have prepared). Throws IoError.
  explicit ReplacementFile(const std::string& targetPath);
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

}  // namespace rondo
