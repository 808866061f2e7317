// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the item records of one disc's block straight from the catalogue
// file, for the walks that read every disc in turn (the search, the
// duplicates): a block is read at once when it is small enough, else in
// windows, so memory stays small whatever the disc.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "catalogue/format/byte_stream.h"

namespace rondo {

class BlockReader {
 public:
  static constexpr std::size_t kWindow = 1 << 20;
  static constexpr std::uint64_t kLargestCached = 32u << 20;

  BlockReader(ByteStream& file, std::uint64_t start, std::uint64_t length, bool cache)
      : file_(file), start_(start), length_(length) {
    window_ = cache && length <= kLargestCached ? static_cast<std::size_t>(length) : kWindow;
  }

  // n contiguous bytes at the read position, or nullptr when the block ends
  // before them.
  const std::uint8_t* Need(std::size_t n) {
    if (position_ + n > length_)
      return nullptr;
    if (position_ < bufferStart_ || position_ + n > bufferStart_ + buffer_.size()) {
      bufferStart_ = position_;
      const std::uint64_t size = std::min<std::uint64_t>(std::max(window_, n), length_ - position_);
      buffer_.resize(static_cast<std::size_t>(size));
      file_.Seek(start_ + position_);
      file_.Read(buffer_.data(), buffer_.size());
    }
    return buffer_.data() + (position_ - bufferStart_);
  }
  void Skip(std::uint64_t n) { position_ += n; }
  // The whole block when it is read in one piece (which is most discs).
  std::optional<std::string_view> WholeBlock() {
    if (length_ > window_)
      return std::nullopt;
    const std::uint64_t keep = position_;
    position_ = 0;
    const std::uint8_t* all = Need(static_cast<std::size_t>(length_));
    position_ = keep;
    return std::string_view(reinterpret_cast<const char*>(all), static_cast<std::size_t>(length_));
  }
  std::uint64_t Position() const { return position_; }

 private:
  ByteStream& file_;
  std::uint64_t start_;
  std::uint64_t length_;
  std::size_t window_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t bufferStart_ = 0;
  std::uint64_t position_ = 0;
};

// Little-endian fields of a record in memory.
inline std::uint32_t ReadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

inline double ReadLeDouble(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = bits << 8 | p[i];
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace rondo
