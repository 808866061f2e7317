// SPDX-License-Identifier: GPL-3.0-or-later
// Language files: what is read survives writing and reading again, and a
// key added is read back with the text it was added with.
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "settings/lng_file.h"
#include "shell/text.h"
#include "targets.h"

namespace rondo::fuzz {

namespace {

// Section and key names are the program's window and control names.
std::string Identifier(const std::string& bytes, const char* fallback) {
  std::string name;
  for (char c : bytes) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_')
      name += c;
  }
  return name.empty() ? std::string(fallback) : name;
}

// A text as the windows have them: any character of the code page, line
// breaks as "\n", no other control characters.
std::string WindowText(const std::string& bytes) {
  std::string cp;
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 || c == '\n' || c == '\t')
      cp += c;
  }
  return ToUtf8(Cp1250Text(cp));
}

// Splits at the separator 0x01.
std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == '\x01') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

void CheckSameValues(const LngFile& a, const LngFile& b) {
  Check(a.Sections() == b.Sections(), "the sections changed in a round trip");
  for (const auto& section : a.Sections()) {
    const auto entries = a.Entries(section);
    Check(entries == b.Entries(section), "the entries of [" + section + "] changed");
    for (const auto& [key, value] : entries) {
      Check(b.Value(section, key) == a.Value(section, key),
            "the value of " + section + "/" + key + " changed");
    }
  }
}

}  // namespace

// The file runs to the last zero byte; what follows it names a section, a
// key and a value separated by 0x01 bytes, to be added.
int LanguageTarget(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.rfind('\0');
  const std::string bytes = zero == std::string::npos ? input : input.substr(0, zero);
  const std::vector<std::string> added =
      Split(zero == std::string::npos ? std::string() : input.substr(zero + 1));

  const LngFile file = LngFile::Parse(bytes);
  const std::string written = file.Serialize();
  const LngFile again = LngFile::Parse(written);
  CheckSameValues(file, again);
  Check(again.Serialize() == written, "writing a read file again changes it");

  const std::string section = Identifier(added[0], "Okno");
  const std::string key = Identifier(added.size() > 1 ? added[1] : std::string(), "Popisek");
  const std::string value = WindowText(added.size() > 2 ? added[2] : std::string("Nový text"));

  LngFile changed = LngFile::Parse(bytes);
  const std::optional<std::string> old = changed.Value(section, key);
  const bool wasAdded = changed.AddMissing(section, key, value);
  Check(wasAdded == !old.has_value(), "AddMissing disagrees with Value about the key");
  const std::optional<std::string> now = changed.Value(section, key);
  Check(now == (wasAdded ? std::optional<std::string>(value) : old),
        "the value read after AddMissing is not the one expected");

  // Reading the file written after the addition gives the same texts, but
  // for the blanks around the added value: the format trims them.
  const LngFile reread = LngFile::Parse(changed.Serialize());
  const std::size_t first = value.find_first_not_of(" \t");
  const std::string trimmed = first == std::string::npos
                                  ? std::string()
                                  : value.substr(first, value.find_last_not_of(" \t") - first + 1);
  if (wasAdded) {
    Check(reread.Value(section, key) == trimmed, "the added value does not survive a round trip");
  }
  if (!wasAdded || trimmed == value)
    CheckSameValues(changed, reread);
  return 0;
}

}  // namespace rondo::fuzz
