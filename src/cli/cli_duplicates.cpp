// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_duplicates.h"

#include <charconv>
#include <ostream>

#include "catalogue/engine.h"
#include "shell/dates.h"
#include "shell/text.h"

namespace rondo {

std::optional<DuplicateOptions> ParseDuplicateArguments(const std::vector<std::string>& words,
                                                        std::string& problem) {
  DuplicateOptions options;
  std::vector<std::string> groups;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& w = words[i];
    const bool hasValue = i + 1 < words.size();
    if (w == "--min-size" && hasValue) {
      const std::string& text = words[++i];
      std::uint64_t size = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
      if (ec != std::errc() || end != text.data() + text.size()) {
        problem = "--min-size je počet bajtů";
        return std::nullopt;
      }
      options.minSize = size;
    } else if (w == "--by" && hasValue) {
      const std::string& by = words[++i];
      if (by == "name") {
        options.by = DuplicateKey::kName;
      } else if (by == "name+size") {
        options.by = DuplicateKey::kNameSize;
      } else if (by == "name+size+time") {
        options.by = DuplicateKey::kNameSizeTime;
      } else {
        problem = "--by je name, name+size nebo name+size+time";
        return std::nullopt;
      }
    } else if (w == "--group" && hasValue) {
      groups.push_back(words[++i]);
    } else {
      problem = "nesprávný argument příkazu duplicates: " + w;
      return std::nullopt;
    }
  }
  if (!groups.empty())
    options.groups = groups;
  return options;
}

void PrintDuplicates(const DuplicateReport& report, const DisplayFormat& format,
                     std::ostream& out) {
  std::size_t number = 0;
  for (const auto& group : report.Groups()) {
    const std::string n = std::to_string(++number);
    for (std::size_t i = 0; i < group.copies; ++i) {
      const auto& copy = report.CopyOf(group, i);
      const auto& disc = report.DiscOf(copy);
      out << n << '\t' << copy.size << '\t' << EscapeControls(report.Name(copy)) << '\t'
          << EscapeControls(ToUtf8(disc.serial)) << '\t' << EscapeControls(ToUtf8(disc.description))
          << '\t' << EscapeControls(report.Location(copy)) << '\t'
          << DateTimeText(copy.time, format.dateTime) << '\n';
    }
  }
}

}  // namespace rondo
