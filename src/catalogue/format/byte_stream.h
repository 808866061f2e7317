// SPDX-License-Identifier: GPL-3.0-or-later
// One interface for the catalogue file and for an in-memory copy of a disc's
// data block, so the same record readers and writers serve both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rondo {

// For tests only: makes the step-th writing step from now on (1 = the next
// one) fail as a failing medium would, with errno set to error. The steps
// are every FileStream::Write, Reserve, Truncate and Sync, every slice of
// CopyRangeTo and the rename in ReplacementFile::Commit, in any thread (a
// Reserve that fails always says the medium is full). The
// failure strikes once and disarms itself; step 0 disarms. Returns how many
// steps were counted since the previous call (equal to that call's step
// exactly when the failure struck). Unarmed, nothing is counted or changed.
std::uint64_t ArmWriteFailureForTests(std::uint64_t step, int error);

// True (with errno set) when the armed failure strikes at this writing step.
bool InjectedWriteFailure();

class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Reads exactly n bytes or throws IoError (a short read is an error).
  virtual void Read(void* buffer, std::size_t n) = 0;
  // Reads up to n bytes, returns how many were there (0 at the end).
  virtual std::size_t ReadSome(void* buffer, std::size_t n) = 0;
  virtual void Write(const void* buffer, std::size_t n) = 0;
  virtual void Seek(std::uint64_t position) = 0;
  virtual std::uint64_t Position() const = 0;
  virtual std::uint64_t Size() const = 0;
  bool Eof() const { return Position() >= Size(); }
};

// A growable block of bytes.
class MemoryStream final : public ByteStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  void Read(void* buffer, std::size_t n) override;
  std::size_t ReadSome(void* buffer, std::size_t n) override;
  void Write(const void* buffer, std::size_t n) override;
  void Seek(std::uint64_t position) override;
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return bytes_.size(); }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  void Clear() {
    bytes_.clear();
    position_ = 0;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

// The catalogue file. Reads go through a buffer (the entry and item walks
// read many small records); every call is checked and failures raise IoError
// with the system's text. The handle is closed by the destructor.
class FileStream final : public ByteStream {
 public:
  enum class Mode {
    kReadOnly,
    kReadWrite,          // the file must exist
    kReadWriteOrCreate,  // created empty when missing
  };
  FileStream(const std::string& path, Mode mode);
  // Takes over an open read-write descriptor.
  FileStream(std::string path, int fd);
  ~FileStream() override;
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  void Read(void* buffer, std::size_t n) override;
  std::size_t ReadSome(void* buffer, std::size_t n) override;
  void Write(const void* buffer, std::size_t n) override;
  void Seek(std::uint64_t position) override;
  std::uint64_t Position() const override { return position_; }
  std::uint64_t Size() const override { return size_; }

  // Copies count bytes from offset of this file to target's position (the
  // kernel copies them when it can), advancing target's position.
  // progress, when given, hears after each slice how many bytes were copied
  // and how many of them have been written out to the medium.
  using CopyProgress = std::function<void(std::uint64_t copied, std::uint64_t written)>;
  void CopyRangeTo(FileStream& target, std::uint64_t offset, std::uint64_t count,
                   const CopyProgress& progress = {});

  // Flushes written data to the medium.
  void Sync();
  // Closes the file on another thread and leaves this stream unusable. For
  // a file just replaced by a new one: the last close of the old file frees
  // its whole content, which takes a while for a large file and need not
  // hold up the user.
  void CloseInBackground();
  // Sets aside room on the medium for a file that will grow to bytes, so a
  // full disk is met before anything is written and the data lies in one
  // piece. Where the file system cannot, nothing happens.
  void Reserve(std::uint64_t bytes);
  void Truncate(std::uint64_t size);
  bool Writable() const { return writable_; }
  const std::string& Path() const { return path_; }

 private:
  [[noreturn]] void Fail(const char* what) const;
  void Fill();

  std::string path_;
  int fd_ = -1;
  bool writable_ = false;
  std::uint64_t position_ = 0;
  std::uint64_t size_ = 0;
  // Read buffer: bytes [bufferStart_, bufferStart_ + buffer_.size()).
  std::vector<std::uint8_t> buffer_;
  std::uint64_t bufferStart_ = 0;
  // Reads that continue where the buffer ended double the next fill; a
  // jump (the entry walk skipping a block) starts small again, so walking
  // the headers of big entries does not read their blocks.
  std::size_t fillSize_ = 0;
};

}  // namespace rondo
