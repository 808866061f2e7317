// SPDX-License-Identifier: GPL-3.0-or-later
// Building real catalogue files for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "catalogue/format/entry_builder.h"
#include "catalogue/format/records.h"

namespace rondo::test {

// A disc header with texts given in UTF-8.
struct DiscSpec {
  std::string serial = "0000-0001";
  std::string description = "Disk";
  std::string groups;
  std::string lending;
  std::string label = "DATA";
  double lendDate = 0.0;
  double created = 45000.5;
  double finished = 45000.5 + 90.0 / 86400.0;
  std::uint16_t files = 0;
  std::uint16_t dirs = 0;
  std::uint32_t cdSize = 0;
  bool inMultigroup = false;
};

CdHeader MakeHeader(const DiscSpec& disc);

// An item for BuildCdEntry, name and comment in UTF-8.
CatalogueItem Item(bool directory, const std::string& name, std::uint8_t level,
                   std::uint32_t size = 0, const std::string& comment = "");

class CatalogueBytes {
 public:
  CatalogueBytes();  // starts with the current header
  CatalogueBytes& AddDisc(const DiscSpec& disc, const std::vector<CatalogueItem>& items = {});
  CatalogueBytes& AddMultigroup(const DiscSpec& disc, const std::vector<std::string>& members);
  CatalogueBytes& AddRaw(const std::vector<std::uint8_t>& bytes);
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  void Save(const std::filesystem::path& path) const;

 private:
  std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The names in folder, without the writers' lock files (which stay): what
// a test compares to see that no temporary file was left behind.
std::set<std::string> FilesIn(const std::filesystem::path& folder);

// A fresh folder removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace rondo::test
