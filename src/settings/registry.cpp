// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/registry.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalogue/format/errors.h"
#include "catalogue/format/safe_replace.h"
#include "catalogue/format/write_lock.h"

namespace rondo {

namespace {

std::string FullKey(const std::string& key) {
  std::string full(kRegistryKey);
  if (!key.empty())
    full += "\\" + key;
  return full;
}

std::string Escape(const std::string& text, bool isName) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (isName && (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#')))) {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

// Position of the first "=" that is not escaped.
std::size_t SeparatorOf(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\') {
      ++i;
    } else if (line[i] == '=') {
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::string Registry::ReadText(const std::string& name, const std::string& key) {
  return Read(key, name).value_or("");
}

bool Registry::ReadBool(const std::string& name, const std::string& key) {
  const std::string v = ReadText(name, key);
  return v == "1" || v == "true" || v == "True";
}

std::int64_t Registry::ReadInteger(const std::string& name, const std::string& key) {
  const std::string v = ReadText(name, key);
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (ec != std::errc() || end != v.data() + v.size())
    return 0;
  return value;
}

void Registry::WriteText(const std::string& name, const std::string& value,
                         const std::string& key) {
  Write(key, name, value);
}

void Registry::WriteBool(const std::string& name, bool value, const std::string& key) {
  Write(key, name, value ? "1" : "0");
}

void Registry::WriteInteger(const std::string& name, std::int64_t value, const std::string& key) {
  Write(key, name, std::to_string(value));
}

std::optional<std::string> MemoryRegistry::Read(const std::string& key, const std::string& name) {
  const auto it = keys_.find(FullKey(key));
  if (it == keys_.end())
    return std::nullopt;
  for (const auto& [n, v] : it->second) {
    if (n == name)
      return v;
  }
  return std::nullopt;
}

void MemoryRegistry::Write(const std::string& key, const std::string& name,
                           const std::string& value) {
  auto& values = keys_[FullKey(key)];
  for (auto& [n, v] : values) {
    if (n == name) {
      v = value;
      return;
    }
  }
  values.emplace_back(name, value);
}

void MemoryRegistry::Delete(const std::string& key, const std::string& name) {
  const auto it = keys_.find(FullKey(key));
  if (it == keys_.end())
    return;
  std::erase_if(it->second, [&](const auto& value) { return value.first == name; });
}

std::vector<std::string> MemoryRegistry::ValueNames(const std::string& key) {
  std::vector<std::string> names;
  const auto it = keys_.find(FullKey(key));
  if (it == keys_.end())
    return names;
  for (const auto& value : it->second)
    names.push_back(value.first);
  return names;
}

FileRegistry::FileRegistry(std::string path) : path_(std::move(path)) {}

void FileRegistry::Load() {
  keys_.clear();
  std::error_code ec;
  const auto type = std::filesystem::status(path_, ec).type();
  if (type != std::filesystem::file_type::regular)
    return;  // no file yet (or a folder, FIFO, device: never read)
  std::ifstream in(path_, std::ios::binary);
  if (!in)
    return;  // no file yet: every value is missing
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#')
      continue;
    if (line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      keys_[section];
      continue;
    }
    const std::size_t eq = SeparatorOf(line);
    if (eq == std::string::npos || section.empty())
      continue;
    keys_[section].emplace_back(Unescape(std::string_view(line).substr(0, eq)),
                                Unescape(std::string_view(line).substr(eq + 1)));
  }
}

void FileRegistry::Change(const std::function<void()>& change) {
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
  }
  // Read again under the lock, so a value another program just wrote is
  // kept.
  const WriteLock lock(path_, {});
  Load();
  change();
  Save(lock.Target());
}

void FileRegistry::Save(const std::string& target) {
  std::ostringstream out;
  out << "; Rondotheka settings\n";
  for (const auto& [section, values] : keys_) {
    out << '[' << section << "]\n";
    for (const auto& [name, value] : values) {
      out << Escape(name, true) << '=' << Escape(value, false) << '\n';
    }
  }
  const std::string text = out.str();
  ReplacementFile file(target);
  file.Stream().Write(text.data(), text.size());
  file.Commit();
}

std::optional<std::string> FileRegistry::Read(const std::string& key, const std::string& name) {
  Load();
  return MemoryRegistry::Read(key, name);
}

void FileRegistry::Write(const std::string& key, const std::string& name,
                         const std::string& value) {
  Change([&] { MemoryRegistry::Write(key, name, value); });
}

void FileRegistry::Delete(const std::string& key, const std::string& name) {
  Change([&] { MemoryRegistry::Delete(key, name); });
}

std::vector<std::string> FileRegistry::ValueNames(const std::string& key) {
  Load();
  return MemoryRegistry::ValueNames(key);
}

}  // namespace rondo
