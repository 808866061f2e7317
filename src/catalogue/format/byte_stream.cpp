// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/format/byte_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "catalogue/format/errors.h"
#include "catalogue/format/write_lock.h"

namespace rondo {

namespace {
constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr std::size_t kFirstFillSize = 4 * 1024;
constexpr const char* kShortRead = "neočekávaný konec souboru";

std::atomic<std::uint64_t> failAtStep{0};  // 0: not armed
std::atomic<std::uint64_t> stepsCounted{0};
std::atomic<int> failureErrno{EIO};
}  // namespace

std::uint64_t ArmWriteFailureForTests(std::uint64_t step, int error) {
  failAtStep.store(0);
  const std::uint64_t counted = stepsCounted.exchange(0);
  failureErrno.store(error);
  failAtStep.store(step);
  return counted;
}

bool InjectedWriteFailure() {
  if (failAtStep.load(std::memory_order_relaxed) == 0)
    return false;
  const std::uint64_t step = stepsCounted.fetch_add(1) + 1;
  std::uint64_t expected = step;
  if (!failAtStep.compare_exchange_strong(expected, 0))
    return false;
  errno = failureErrno.load();
  return true;
}

void MemoryStream::Read(void* buffer, std::size_t n) {
  if (ReadSome(buffer, n) != n)
    throw IoError(kShortRead);
}

std::size_t MemoryStream::ReadSome(void* buffer, std::size_t n) {
  if (position_ >= bytes_.size())
    return 0;
  const std::size_t available = static_cast<std::size_t>(bytes_.size() - position_);
  const std::size_t count = std::min(n, available);
  if (count > 0)
    std::memcpy(buffer, bytes_.data() + position_, count);
  position_ += count;
  return count;
}

void MemoryStream::Write(const void* buffer, std::size_t n) {
  if (n == 0)
    return;
  const std::uint64_t end = position_ + n;
  if (end > bytes_.size())
    bytes_.resize(static_cast<std::size_t>(end));
  std::memcpy(bytes_.data() + position_, buffer, n);
  position_ = end;
}

void MemoryStream::Seek(std::uint64_t position) {
  position_ = position;
}

FileStream::FileStream(const std::string& path, Mode mode) : path_(path) {
  // A folder, device, FIFO or socket is never opened for writing, and a
  // FIFO never makes the open or a read wait.
  RefuseSpecialFile(path);
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  switch (mode) {
    case Mode::kReadOnly:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kReadWriteOrCreate:
      flags |= O_RDWR | O_CREAT;
      break;
  }
  do {
    fd_ = ::open(path.c_str(), flags, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0)
    Fail("nelze otevřít");
  writable_ = mode != Mode::kReadOnly;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int saved = errno;
    ::close(fd_);
    fd_ = -1;
    errno = saved;
    Fail("nelze zjistit velikost");
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    RefuseSpecialFile(path);  // it was swapped since: says what it is now
    errno = EINVAL;
    Fail("nelze otevřít");
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
}

FileStream::FileStream(std::string path, int fd) : path_(std::move(path)), fd_(fd) {
  writable_ = true;
  struct stat st {};
  if (::fstat(fd_, &st) != 0)
    Fail("nelze zjistit velikost");
  size_ = static_cast<std::uint64_t>(st.st_size);
}

FileStream::~FileStream() {
  if (fd_ >= 0)
    ::close(fd_);
}

void FileStream::Fail(const char* what) const {
  throw IoError(std::string(what) + " „" + path_ + "“: " + std::strerror(errno));
}

void FileStream::Fill() {
  const bool sequential = !buffer_.empty() && position_ == bufferStart_ + buffer_.size();
  fillSize_ = sequential ? std::min(fillSize_ * 2, kReadBufferSize) : kFirstFillSize;
  buffer_.resize(fillSize_);
  bufferStart_ = position_;
  std::size_t got = 0;
  while (got < buffer_.size()) {
    const ssize_t r = ::pread(fd_, buffer_.data() + got, buffer_.size() - got,
                              static_cast<off_t>(bufferStart_ + got));
    if (r < 0) {
      if (errno == EINTR)
        continue;
      buffer_.clear();
      Fail("chyba čtení");
    }
    if (r == 0)
      break;
    got += static_cast<std::size_t>(r);
  }
  buffer_.resize(got);
}

std::size_t FileStream::ReadSome(void* buffer, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    if (position_ < bufferStart_ || position_ >= bufferStart_ + buffer_.size()) {
      if (n - done >= kFirstFillSize) {
        // A read of a page or more goes straight to the caller's memory.
        const ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(position_));
        if (r < 0) {
          if (errno == EINTR)
            continue;
          Fail("chyba čtení");
        }
        if (r == 0)
          break;
        done += static_cast<std::size_t>(r);
        position_ += static_cast<std::uint64_t>(r);
        continue;
      }
      Fill();
      if (buffer_.empty())
        break;
    }
    const std::size_t offset = static_cast<std::size_t>(position_ - bufferStart_);
    const std::size_t count = std::min(n - done, buffer_.size() - offset);
    std::memcpy(out + done, buffer_.data() + offset, count);
    done += count;
    position_ += count;
  }
  return done;
}

void FileStream::Read(void* buffer, std::size_t n) {
  if (ReadSome(buffer, n) != n) {
    throw IoError(std::string("chyba čtení „") + path_ + "“: " + kShortRead);
  }
}

void FileStream::Write(const void* buffer, std::size_t n) {
  if (!writable_) {
    throw IoError("nelze zapisovat do „" + path_ + "“: soubor je otevřen jen pro čtení");
  }
  if (n > 0 && InjectedWriteFailure())
    Fail("chyba zápisu");
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pwrite(fd_, in + done, n - done, static_cast<off_t>(position_ + done));
    if (r < 0) {
      if (errno == EINTR)
        continue;
      Fail("chyba zápisu");
    }
    if (r == 0) {
      errno = ENOSPC;
      Fail("chyba zápisu");
    }
    done += static_cast<std::size_t>(r);
  }
  // Keep the read buffer true to the file.
  const std::uint64_t begin = position_;
  const std::uint64_t end = position_ + n;
  const std::uint64_t bufferEnd = bufferStart_ + buffer_.size();
  if (begin < bufferEnd && end > bufferStart_)
    buffer_.clear();
  position_ = end;
  size_ = std::max(size_, end);
}

void FileStream::Seek(std::uint64_t position) {
  position_ = position;
}

void FileStream::CopyRangeTo(FileStream& target, std::uint64_t offset, std::uint64_t count,
                             const CopyProgress& progress) {
  if (!target.writable_) {
    throw IoError("nelze zapisovat do „" + target.path_ + "“: soubor je otevřen jen pro čtení");
  }
  const std::uint64_t targetStart = target.position_;
  loff_t in = static_cast<loff_t>(offset);
  loff_t out = static_cast<loff_t>(target.position_);
  std::uint64_t left = count;
  // Copied in slices whose write-out to the medium starts at once: the
  // target is flushed before it replaces anything, and a flush that only
  // waits for writes already under way is far shorter than one that starts
  // them all at the end. Someone watching the progress also learns how much
  // has reached the medium: each slice waits for the one before it.
  constexpr std::uint64_t kSlice = 16u << 20;
  loff_t previousStart = out;
  loff_t previousEnd = out;
  while (left > 0) {
    const loff_t sliceStart = out;
    if (InjectedWriteFailure())
      target.Fail("chyba zápisu");
    const ssize_t n = ::copy_file_range(fd_, &in, target.fd_, &out,
                                        static_cast<std::size_t>(std::min(left, kSlice)), 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (n == 0 || errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        break;  // the kernel cannot: copy through memory below
      }
      target.Fail("chyba zápisu");
    }
    // Only hints; the final flush reports any error.
    ::sync_file_range(target.fd_, sliceStart, n, SYNC_FILE_RANGE_WRITE);
    left -= static_cast<std::uint64_t>(n);
    if (progress) {
      if (previousEnd > previousStart) {
        ::sync_file_range(
            target.fd_, previousStart, previousEnd - previousStart,
            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
      }
      progress(count - left, static_cast<std::uint64_t>(previousEnd) - targetStart);
      previousStart = sliceStart;
      previousEnd = out;
    }
  }
  target.position_ = static_cast<std::uint64_t>(out);
  target.size_ = std::max(target.size_, target.position_);
  target.buffer_.clear();
  if (left > 0) {
    std::vector<std::uint8_t> chunk;
    Seek(static_cast<std::uint64_t>(in));
    while (left > 0) {
      chunk.resize(static_cast<std::size_t>(std::min<std::uint64_t>(left, 1u << 20)));
      Read(chunk.data(), chunk.size());
      target.Write(chunk.data(), chunk.size());
      left -= chunk.size();
      if (progress)
        progress(count - left, count - left);
    }
  }
}

void FileStream::Reserve(std::uint64_t bytes) {
  if (bytes == 0)
    return;
  if (InjectedWriteFailure()) {
    errno = ENOSPC;  // what a reservation that fails means
    Fail("chyba zápisu");
  }
  while (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes)) != 0) {
    if (errno == EINTR)
      continue;
    if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)
      Fail("chyba zápisu");
    return;  // not supported here: the writes find out on their own
  }
}

void FileStream::CloseInBackground() {
  if (fd_ < 0)
    return;
  const int fd = fd_;
  fd_ = -1;
  buffer_.clear();
  try {
    std::thread([fd] { ::close(fd); }).detach();
  } catch (const std::system_error&) {
    ::close(fd);  // no thread to be had: close here
  }
}

void FileStream::Sync() {
  if (InjectedWriteFailure())
    Fail("nelze uložit na disk");
  while (::fsync(fd_) != 0) {
    if (errno != EINTR)
      Fail("nelze uložit na disk");
  }
}

void FileStream::Truncate(std::uint64_t size) {
  if (InjectedWriteFailure())
    Fail("nelze zkrátit");
  while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR)
      Fail("nelze zkrátit");
  }
  size_ = size;
  buffer_.clear();
}

}  // namespace rondo
