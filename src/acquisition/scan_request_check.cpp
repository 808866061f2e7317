// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/scan_request_check.h"

#include "settings/group_kinds.h"
#include "shell/text.h"
#include "shell/typed_text.h"

namespace rondo {

namespace {

std::vector<std::string> SplitGroups(const std::string& text) {
  std::vector<std::string> names;
  for (std::size_t start = 0;;) {
    const std::size_t semicolon = text.find(';', start);
    names.push_back(text.substr(start, semicolon - start));
    if (semicolon == std::string::npos)
      return names;
    start = semicolon + 1;
  }
}

}  // namespace

std::string ScanRequestRefusal(const ScanRequest& request, const std::string& label) {
  std::string refusal = TypedTextRefusal(request.description, TypedField::kDiscName);
  if (refusal.empty() && !label.empty())
    refusal = TypedTextRefusal(label, TypedField::kVolumeLabel);
  if (refusal.empty()) {
    std::vector<std::string> chosen;
    for (const auto& group : request.groups) {
      if (group != kUnassignedGroup)
        chosen.push_back(group);
    }
    refusal = GroupsRefusal(chosen, TypedField::kDiscGroups);
  }
  for (const auto& row : request.groupRows) {
    if (refusal.empty())
      refusal = GroupsRefusal(SplitGroups(row.text), TypedField::kItemGroups);
  }
  for (const auto& row : request.commentRows) {
    if (!refusal.empty())
      break;
    // The stored comment: the text, then "^" and the groups of every group
    // row naming the same item.
    std::size_t groups = 0;
    for (const auto& groupRow : request.groupRows) {
      if (AsciiLower(groupRow.path) == AsciiLower(row.path))
        groups += 1 + ToCp1250(groupRow.text).size();
    }
    refusal = TypedTextRefusal(row.text, TypedField::kItemComment);
    if (refusal.empty() && ToCp1250(row.text).size() + groups > 255) {
      refusal = "Komentář položky " + row.path + " by se skupinami měl víc než 255 znaků.";
    }
  }
  return refusal;
}

}  // namespace rondo
