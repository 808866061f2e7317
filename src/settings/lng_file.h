// SPDX-License-Identifier: GPL-3.0-or-later
// A language file: INI text in code page 1250, one section per window, one
// "name = text" line per control. Reading is forgiving: lines that are
// neither a section header nor "key=value" are kept but mean nothing, the
// first of duplicate keys counts, sections and keys match without regard to
// ASCII letter case. Writing keeps every line as it was and adds new keys
// at the end of their section.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rondo {

class LngFile {
 public:
  // Parses the raw bytes of a file: code page 1250, or UTF-8 after a UTF-8
  // byte-order mark; lines end in CR LF, LF or CR.
  static LngFile Parse(const std::string& bytes);
  // The file's bytes (code page 1250, CR LF line ends for new lines).
  std::string Serialize() const;

  // Reads path; false when it cannot be read (missing, a folder, no
  // permission), leaving the content empty.
  bool Load(const std::string& path);
  // Writes the file whole, replacing the old one in one step. Throws
  // IoError.
  void Save(const std::string& path) const;

  // Texts are UTF-8; a "\n" in a stored value stands for a line break, a
  // "\\" for one backslash.
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;
  bool Has(const std::string& section, const std::string& key) const;
  // Adds the key when it is missing; an existing key keeps its value.
  // Returns true when it was added.
  bool AddMissing(const std::string& section, const std::string& key, const std::string& value);
  // Sets the key, adding it when missing.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // Removes a whole section; true when there was one.
  bool EraseSection(const std::string& section);

  std::vector<std::string> Sections() const;
  // The keys of a section with their values, in file order, duplicates
  // left out.
  std::vector<std::pair<std::string, std::string>> Entries(const std::string& section) const;

 private:
  struct Line {
    std::string raw;  // as in the file (code page 1250), without line end
    std::string key;  // empty for lines that are not entries
    std::string value;
  };
  struct Section {
    std::string name;    // empty for the lines before the first header
    std::string header;  // the header line as in the file
    std::vector<Line> lines;
  };

  const Section* Find(const std::string& name) const;
  Section* Find(const std::string& name);

  std::vector<Section> sections_;
};

}  // namespace rondo
