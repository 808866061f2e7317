// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/format/safe_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "catalogue/format/errors.h"
#include "catalogue/format/write_lock.h"

namespace rondo {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
  throw IoError(what + " „" + path + "“: " + std::strerror(errno));
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& targetPath, const std::string& lockedPath)
    : targetPath_(targetPath) {
  std::string pattern = TemporaryPrefix(lockedPath.empty() ? targetPath : lockedPath) + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0)
    Fail("nelze vytvořit dočasný soubor pro", targetPath);
  temporaryPath_ = name.data();
  // Keep the permissions of the file being replaced.
  struct stat st {};
  if (::stat(targetPath.c_str(), &st) == 0) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    // A new file gets what any newly created file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  try {
    stream_ = std::make_unique<FileStream>(temporaryPath_, fd);
  } catch (...) {
    ::close(fd);
    ::unlink(temporaryPath_.c_str());
    throw;
  }
}

ReplacementFile::~ReplacementFile() {
  stream_.reset();
  if (!committed_)
    ::unlink(temporaryPath_.c_str());
}

void ReplacementFile::Commit() {
  stream_->Sync();
  stream_.reset();
  if (InjectedWriteFailure() || ::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
    Fail("nelze přepsat", targetPath_);
  }
  committed_ = true;
  const std::string folder = FolderOf(targetPath_);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

void FilePatches::Add(std::uint64_t at, std::vector<std::uint8_t> bytes) {
  if (!patches_.empty() && patches_.back().first == at) {
    patches_.back().second = std::move(bytes);
    return;
  }
  patches_.emplace_back(at, std::move(bytes));
}

void FilePatches::Apply(FileStream& file, bool inPlace) {
  if (patches_.empty())
    return;
  if (!file.Writable()) {
    throw IoError("nelze zapisovat do „" + file.Path() + "“: soubor je otevřen jen pro čtení");
  }
  if (inPlace) {
    for (const auto& [at, bytes] : patches_) {
      file.Seek(at);
      file.Write(bytes.data(), bytes.size());
    }
    return;
  }
  if (patches_.size() == 1) {
    const auto& [at, bytes] = patches_.front();
    std::vector<std::uint8_t> old(bytes.size());
    file.Seek(at);
    file.Read(old.data(), old.size());
    try {
      file.Seek(at);
      file.Write(bytes.data(), bytes.size());
    } catch (...) {
      try {
        file.Seek(at);
        file.Write(old.data(), old.size());
      } catch (const std::exception&) {
        // The medium refuses writes: nothing more can be done.
      }
      throw;
    }
    return;
  }
  ReplacementFile replacement(file.Path());
  FileStream& out = replacement.Stream();
  const std::uint64_t size = file.Size();
  out.Reserve(size);
  std::uint64_t copied = 0;
  for (const auto& [at, bytes] : patches_) {
    file.CopyRangeTo(out, copied, at - copied);
    out.Write(bytes.data(), bytes.size());
    copied = at + bytes.size();
  }
  file.CopyRangeTo(out, copied, size - copied);
  replacement.Commit();
  file.CloseInBackground();
}

}  // namespace rondo
