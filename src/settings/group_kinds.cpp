// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/group_kinds.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "catalogue/collation.h"
#include "catalogue/engine.h"
#include "shell/text.h"

namespace rondo {

namespace {
const std::string kKindsKey(kGroupKindsKey);
}  // namespace

std::vector<std::string> ReadGroupList(Registry& registry) {
  return registry.ValueNames(kKindsKey);
}

void RegisterGroup(Registry& registry, const std::string& name, const std::string& data) {
  registry.Write(kKindsKey, name, data);
}

void UnregisterGroup(Registry& registry, const std::string& name) {
  registry.Delete(kKindsKey, name);
}

std::string JoinChosenGroups(const std::vector<std::string>& chosen) {
  std::string joined;
  for (const auto& name : chosen) {
    if (name == kUnassignedGroup)
      continue;
    joined += ";" + name;
  }
  return joined.empty() ? joined : joined.substr(1);
}

std::vector<std::string> GroupMenuEntries(Registry& registry) {
  RegisterGroup(registry, std::string(kAudioCdGroup));
  std::vector<std::string> kinds = ReadGroupList(registry);
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(kinds.size());
  for (auto& kind : kinds)
    keyed.emplace_back(CollationKey(AsciiLower(kind)), std::move(kind));
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> entries = {std::string(kGroupAll), std::string(kGroupLent),
                                      std::string(kGroupNotLent), std::string(kMenuSeparator)};
  for (auto& [key, name] : keyed)
    entries.push_back(std::move(name));
  return entries;
}

void CountStart(Registry& registry) {
  // A value that is missing, not a number or out of range starts again at 1.
  std::int64_t next = 1;
  if (const std::optional<std::string> stored = registry.Read("", "Spusteni")) {
    std::int64_t count = 0;
    const char* end = stored->data() + stored->size();
    const auto [last, ec] = std::from_chars(stored->data(), end, count);
    if (ec == std::errc() && last == end && count >= 0 &&
        count < std::numeric_limits<std::int64_t>::max()) {
      next = count + 1;
    }
  }
  registry.WriteText("Spusteni", std::to_string(next));
}

}  // namespace rondo
