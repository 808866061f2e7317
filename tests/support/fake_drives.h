// SPDX-License-Identifier: GPL-3.0-or-later
// Drives as a test sets them up: any folder can be a drive, with the label,
// serial and medium the test chooses. Ejecting takes the medium out.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "acquisition/drives.h"

namespace rondo::test {

class FakeDrives : public Drives {
 public:
  // A drive at root (listed in the order added) with a medium inserted
  // when volume is given.
  void AddDrive(const std::string& root, DriveType type, std::optional<VolumeInfo> volume,
                std::uint64_t size = 700u * 1024 * 1024, std::uint64_t free = 0) {
    DriveInfo info;
    info.root = root;
    info.type = type;
    info.fileSystem = volume ? volume->fileSystem : std::string();
    info.size = size;
    info.free = free;
    drives.push_back(info);
    if (volume)
      Insert(root, *volume);
  }

  // Puts a medium into the drive at root (or makes a folder readable).
  void Insert(const std::string& root, const VolumeInfo& volume) {
    volumes[root] = volume;
    media.insert(root);
  }

  std::vector<DriveInfo> List() override {
    ++listCalls;
    return drives;
  }

  bool HasMedia(const std::string& root) override { return media.count(root) > 0; }

  std::optional<VolumeInfo> Volume(const std::string& root) override {
    if (media.count(root) == 0)
      return std::nullopt;
    const auto found = volumes.find(root);
    if (found == volumes.end())
      return std::nullopt;
    return found->second;
  }

  bool Eject(const std::string& root, std::string& error) override {
    ejected.push_back(root);
    if (!ejectError.empty()) {
      error = ejectError;
      return false;
    }
    media.erase(root);
    return true;
  }

  std::vector<DriveInfo> drives;
  std::map<std::string, VolumeInfo> volumes;
  std::set<std::string> media;
  std::vector<std::string> ejected;  // every root asked to eject, in order
  std::string ejectError;            // when set, ejecting fails with it
  int listCalls = 0;
};

}  // namespace rondo::test
