// SPDX-License-Identifier: GPL-3.0-or-later
// The program's settings: named values under the key
// "Software\QEL Software\Rondotheka" and its subkeys (such as "Druhy CD").
// Missing values read as empty text, false or 0.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rondo {

inline constexpr std::string_view kRegistryKey = "Software\\QEL Software\\Rondotheka";
inline constexpr std::string_view kGroupKindsKey = "Druhy CD";

class Registry {
 public:
  virtual ~Registry() = default;

  // key is a subkey path below the program's key; "" is the key itself.
  virtual std::optional<std::string> Read(const std::string& key, const std::string& name) = 0;
  virtual void Write(const std::string& key, const std::string& name, const std::string& value) = 0;
  virtual void Delete(const std::string& key, const std::string& name) = 0;
  // The value names of a key, in stored order.
  virtual std::vector<std::string> ValueNames(const std::string& key) = 0;

  std::string ReadText(const std::string& name, const std::string& key = "");
  bool ReadBool(const std::string& name, const std::string& key = "");
  std::int64_t ReadInteger(const std::string& name, const std::string& key = "");
  void WriteText(const std::string& name, const std::string& value, const std::string& key = "");
  void WriteBool(const std::string& name, bool value, const std::string& key = "");
  void WriteInteger(const std::string& name, std::int64_t value, const std::string& key = "");
};

// Keys and values in memory; what the tests use.
class MemoryRegistry : public Registry {
 public:
  std::optional<std::string> Read(const std::string& key, const std::string& name) override;
  void Write(const std::string& key, const std::string& name, const std::string& value) override;
  void Delete(const std::string& key, const std::string& name) override;
  std::vector<std::string> ValueNames(const std::string& key) override;

 protected:
  using Values = std::vector<std::pair<std::string, std::string>>;
  std::map<std::string, Values> keys_;
};

// The settings kept in a text file (UTF-8, one "[key]" line per key and one
// "name=value" line per value, with "\\", "\n", "\r" and "\=" escapes). The
// file is read again before every access, so two programs sharing it see
// each other's changes, and every write replaces it atomically.
class FileRegistry : public MemoryRegistry {
 public:
  explicit FileRegistry(std::string path);

  std::optional<std::string> Read(const std::string& key, const std::string& name) override;
  void Write(const std::string& key, const std::string& name, const std::string& value) override;
  void Delete(const std::string& key, const std::string& name) override;
  std::vector<std::string> ValueNames(const std::string& key) override;

  const std::string& Path() const { return path_; }

 private:
  void Load();
  // Loads, changes and saves the file under its write lock.
  void Change(const std::function<void()>& change);
  void Save(const std::string& target);

  std::string path_;
};

}  // namespace rondo
