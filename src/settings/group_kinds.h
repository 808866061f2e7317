// SPDX-License-Identifier: GPL-3.0-or-later
// The group list: the names under the settings key "Druhy CD". Only the
// names mean anything; the data is "none" or empty.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/registry.h"

namespace rondo {

// "Nezařazeno" stands for "no group" in the group picker and is never stored.
inline constexpr std::string_view kUnassignedGroup = "Nezařazeno";
inline constexpr std::string_view kAudioCdGroup = "Audio CD";
inline constexpr std::string_view kMenuSeparator = "-";

// The group names in the store's order.
std::vector<std::string> ReadGroupList(Registry& registry);
// Registering an existing name changes nothing visible.
void RegisterGroup(Registry& registry, const std::string& name, const std::string& data = "");
void UnregisterGroup(Registry& registry, const std::string& name);

// The stored form of a chosen set of groups: the names in order, without
// "Nezařazeno", joined with ";"; an empty set is the empty text.
std::string JoinChosenGroups(const std::vector<std::string>& chosen);

// The entries of the group selector's menu: registers "Audio CD", then "All",
// "Půjčené", "Nepůjčené", "-" and the group list sorted without regard to
// letter case in the user's locale. "-" is the separator.
std::vector<std::string> GroupMenuEntries(Registry& registry);

// Start counter "Spusteni": "1" when missing (or not a number), otherwise
// raised by one. Counted at every build of the group menu.
void CountStart(Registry& registry);

}  // namespace rondo
