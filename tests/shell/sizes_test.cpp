// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/sizes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include <unistd.h>

namespace rondo {
namespace {

TEST(SizeText, IntegerAndFractional) {
  const std::pair<std::int64_t, const char*> integers[] = {
      {0, "0 B"},
      {1024, "1024 B"},
      {1025, "1 kB"},
      {1536, "1 kB"},
      {2047, "1 kB"},
      {1048576, "1024 kB"},
      {1048577, "1 MB"},
      {(5LL << 30) - 1, "4 GB"},
      {1LL << 40, "1024 GB"},
      {(1LL << 40) + 1, "1 TB"},
      {-5000, "-5000 B"},
      {std::numeric_limits<std::int64_t>::max(), "8388607 TB"},  // TB is the last unit
  };
  for (const auto& [value, text] : integers) {
    EXPECT_EQ(IntegerSizeText(value), text) << value;
  }
  EXPECT_EQ(SizeToText(0), "    0.00 B");
  EXPECT_EQ(SizeToText(1024), " 1024.00 B");
  EXPECT_EQ(SizeToText(1025), "    1.00 kB");
  EXPECT_EQ(SizeToText(7864320), "    7.50 MB");
  EXPECT_EQ(SizeToText(4294967295U), "    4.00 GB");
  EXPECT_EQ(SizeToText(1536, ","), "    1,50 kB");
  EXPECT_EQ(SizeToTextFrom(1000, 0), " 1000.00 bytes");
  EXPECT_EQ(SizeToTextFrom(1536, 0), "    1.50 B");
  EXPECT_EQ(SizeToTextFrom(3000, 4), "    2.93 TB");
  EXPECT_EQ(SizeToTextFrom(4294967295U, 5), "4294967295.00 TB");
}

TEST(SizeText, FileSizes) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("rondo_sizes_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path file = dir / fs::path(u8"žluťoučký.bin");
  std::ofstream(file, std::ios::binary) << std::string(1500, 'x');
  const auto utf8 = [](const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
  };
  EXPECT_EQ(FileSizeText(utf8(file), false), "1500");
  EXPECT_EQ(FileSizeText(utf8(file), true), "1 kB");
  EXPECT_EQ(FileSizeText(utf8(dir), false), "0");  // a folder counts as empty
  EXPECT_EQ(FileSizeText(utf8(dir / "missing"), false), "0 B");
  EXPECT_EQ(FileSizeText("", true), "0 B");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace rondo
