// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/lng_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "catalogue/format/safe_replace.h"
#include "shell/text.h"

namespace rondo {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos)
    return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

// A line break is written "\n" and a backslash "\\", so that a backslash
// followed by "n" in a text stays what it was.
std::string Escape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
      continue;
    if (text[i] == '\n' || text[i] == '\r') {
      out += "\\n";
    } else if (text[i] == '\\') {
      out += "\\\\";
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      out += '\\';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Bytes that are no text (control characters but TAB) make a line unusable.
bool IsText(const std::string& s) {
  return std::none_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && u != '\t';
  });
}

}  // namespace

LngFile LngFile::Parse(const std::string& fileBytes) {
  // Language files are code page 1250; one that starts with the UTF-8
  // byte-order mark was saved as UTF-8 by an editor and is read as such
  // (written back, it is code page 1250 again).
  const std::string bytes =
      fileBytes.starts_with(kUtf8Bom)
          ? ToCp1250(std::string_view(fileBytes).substr(kUtf8Bom.size())).bytes
          : fileBytes;
  LngFile file;
  file.sections_.push_back({});
  std::size_t start = 0;
  while (start < bytes.size()) {
    // Lines end in CR LF, LF or a lone CR.
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos)
      end = bytes.size();
    std::string raw = bytes.substr(start, end - start);
    start = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);

    const std::string line = Trim(raw);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']' && IsText(line)) {
      Section section;
      section.name = Trim(line.substr(1, line.size() - 2));
      section.header = raw;
      file.sections_.push_back(std::move(section));
      continue;
    }
    Line entry{raw, {}, {}};
    const auto eq = line.find('=');
    if (eq != std::string::npos && eq > 0 && line[0] != ';' && IsText(line)) {
      entry.key = Trim(line.substr(0, eq));
      entry.value = Trim(line.substr(eq + 1));
    }
    file.sections_.back().lines.push_back(std::move(entry));
  }
  return file;
}

std::string LngFile::Serialize() const {
  std::string out;
  for (const auto& section : sections_) {
    if (!section.header.empty())
      out += section.header + "\r\n";
    for (const auto& line : section.lines)
      out += line.raw + "\r\n";
  }
  // Text that would begin with the byte-order mark's three bytes ("ďť»")
  // goes out as UTF-8 after a mark, or it would not read back the same.
  if (out.starts_with(kUtf8Bom))
    return std::string(kUtf8Bom) + ToUtf8(Cp1250Text(out));
  return out;
}

bool LngFile::Load(const std::string& path) {
  *this = Parse({});
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec))
    return false;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad())
    return false;
  *this = Parse(bytes);
  return true;
}

void LngFile::Save(const std::string& path) const {
  const std::string bytes = Serialize();
  ReplacementFile replacement(path);
  replacement.Stream().Write(bytes.data(), bytes.size());
  replacement.Commit();
}

const LngFile::Section* LngFile::Find(const std::string& name) const {
  const std::string wanted = ToCp1250(name).bytes;
  for (const auto& section : sections_) {
    if (!section.header.empty() && EqualsIgnoringAsciiCase(section.name, wanted))
      return &section;
  }
  return nullptr;
}

LngFile::Section* LngFile::Find(const std::string& name) {
  return const_cast<Section*>(static_cast<const LngFile*>(this)->Find(name));
}

std::optional<std::string> LngFile::Value(const std::string& section,
                                          const std::string& key) const {
  const Section* s = Find(section);
  if (s == nullptr)
    return std::nullopt;
  const std::string wanted = ToCp1250(key).bytes;
  for (const auto& line : s->lines) {
    if (!line.key.empty() && EqualsIgnoringAsciiCase(line.key, wanted))
      return Unescape(ToUtf8(Cp1250Text(line.value)));
  }
  return std::nullopt;
}

bool LngFile::Has(const std::string& section, const std::string& key) const {
  return Value(section, key).has_value();
}

bool LngFile::AddMissing(const std::string& section, const std::string& key,
                         const std::string& value) {
  if (Has(section, key))
    return false;
  Section* s = Find(section);
  if (s == nullptr) {
    if (sections_.empty())
      sections_.push_back({});
    Section added;
    added.name = ToCp1250(section).bytes;
    added.header = "[" + added.name + "]";
    sections_.push_back(std::move(added));
    s = &sections_.back();
  }
  Line line;
  line.key = ToCp1250(key).bytes;
  line.value = ToCp1250(Escape(value)).bytes;
  line.raw = line.key + "=" + line.value;
  // After the section's last entry, before any blank lines that end it.
  auto at = s->lines.end();
  while (at != s->lines.begin() && Trim((at - 1)->raw).empty())
    --at;
  s->lines.insert(at, std::move(line));
  return true;
}

void LngFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  if (AddMissing(section, key, value))
    return;
  Section* s = Find(section);
  const std::string wanted = ToCp1250(key).bytes;
  for (auto& line : s->lines) {
    if (!line.key.empty() && EqualsIgnoringAsciiCase(line.key, wanted)) {
      line.value = ToCp1250(Escape(value)).bytes;
      line.raw = line.key + "=" + line.value;
      return;
    }
  }
}

bool LngFile::EraseSection(const std::string& section) {
  const std::string wanted = ToCp1250(section).bytes;
  const auto before = sections_.size();
  std::erase_if(sections_, [&](const Section& s) {
    return !s.header.empty() && EqualsIgnoringAsciiCase(s.name, wanted);
  });
  return sections_.size() != before;
}

std::vector<std::string> LngFile::Sections() const {
  std::vector<std::string> names;
  for (const auto& s : sections_) {
    if (!s.header.empty())
      names.push_back(ToUtf8(Cp1250Text(s.name)));
  }
  return names;
}

std::vector<std::pair<std::string, std::string>> LngFile::Entries(
    const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> entries;
  const Section* s = Find(section);
  if (s == nullptr)
    return entries;
  std::vector<std::string> seen;
  for (const auto& line : s->lines) {
    if (line.key.empty())
      continue;
    const std::string lowered = AsciiLower(line.key);
    if (std::find(seen.begin(), seen.end(), lowered) != seen.end())
      continue;
    seen.push_back(lowered);
    entries.emplace_back(ToUtf8(Cp1250Text(line.key)), Unescape(ToUtf8(Cp1250Text(line.value))));
  }
  return entries;
}

}  // namespace rondo
