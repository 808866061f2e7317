// SPDX-License-Identifier: GPL-3.0-or-later
// What libudfread reads but does not hand out: the modification time of a
// File Entry and the characteristics (hidden, deleted) of a directory's File
// Identifier Descriptors. The library reads its blocks through an input of
// ours, which keeps a copy of the blocks read while one call runs (opening
// the volume, a directory or a file); the records are then parsed from that
// copy. Partition maps, the metadata partition and allocation stay the
// library's business: the copy holds the physical blocks it chose.
#pragma once

#include <udfread/blockinput.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rondo::images {

constexpr std::size_t kUdfBlock = 2048;

// The tag identifier of the File Set Descriptor.
constexpr int kUdfFileSetDescriptor = 256;

// File characteristics of a File Identifier Descriptor.
constexpr std::uint8_t kUdfHidden = 0x01;
constexpr std::uint8_t kUdfDeleted = 0x04;
constexpr std::uint8_t kUdfParent = 0x08;

// A libudfread block input over an image file.
class RecordingUdfInput {
 public:
  RecordingUdfInput(int fd, std::uint64_t size);
  RecordingUdfInput(const RecordingUdfInput&) = delete;
  RecordingUdfInput& operator=(const RecordingUdfInput&) = delete;

  // For udfread_open_input; it stays ours (the library does not close it).
  udfread_block_input* Input() { return &raw_.base; }
  // Keeps a copy of every block read from now on...
  void Start();
  // ...until here: the blocks in the order they were read.
  std::vector<std::string> Stop();

 private:
  static int Read(udfread_block_input* input, std::uint32_t lba, void* buffer, std::uint32_t blocks,
                  int flags);
  static std::uint32_t Size(udfread_block_input* input);

  struct Raw {
    udfread_block_input base;
    RecordingUdfInput* self;
  };
  Raw raw_;
  int fd_;
  std::uint64_t size_;
  bool recording_ = false;
  std::vector<std::string> blocks_;
};

// The modification time (seconds since 1970 UTC) of the File Entry or
// Extended File Entry a block starts with; nullopt when the block holds
// none or its time is no real date.
std::optional<std::time_t> UdfModificationTime(std::string_view block);

// A directory as the blocks read while it was opened show it: its own
// modification time and each entry's characteristics by name (UTF-8), in
// the order of the records. The parent entry is left out.
struct UdfDirectoryRecords {
  std::optional<std::time_t> time;
  std::unordered_map<std::string, std::vector<std::uint8_t>> characteristics;

  // The characteristics of the next record of that name (as the library
  // lists them, in order); 0 when there is none left.
  std::uint8_t Take(const std::string& name);
};

// afterBlock: the tag identifier of a descriptor read just before the
// directory's File Entry (the File Set Descriptor, 256, when the volume is
// opened), or 0 when the File Entry comes first.
UdfDirectoryRecords ParseUdfDirectory(const std::vector<std::string>& blocks, int afterBlock = 0);

}  // namespace rondo::images
