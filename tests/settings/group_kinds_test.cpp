// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/group_kinds.h"

#include <gtest/gtest.h>

namespace rondo {
namespace {

using Names = std::vector<std::string>;

TEST(GroupKinds, MenuOfAFreshStoreAndSortedKinds) {
  MemoryRegistry registry;
  EXPECT_EQ(GroupMenuEntries(registry), (Names{"All", "Půjčené", "Nepůjčené", "-", "Audio CD"}));
  EXPECT_EQ(ReadGroupList(registry), Names{"Audio CD"});

  RegisterGroup(registry, "hudba", "none");
  RegisterGroup(registry, "Filmy");
  RegisterGroup(registry, "Zálohy");
  RegisterGroup(registry, "filmy2");
  // Sorted without regard to case; the store keeps its own order.
  EXPECT_EQ(GroupMenuEntries(registry), (Names{"All", "Půjčené", "Nepůjčené", "-", "Audio CD",
                                               "Filmy", "filmy2", "hudba", "Zálohy"}));
  EXPECT_EQ(ReadGroupList(registry), (Names{"Audio CD", "hudba", "Filmy", "Zálohy", "filmy2"}));

  // Removing "Audio CD" lasts only until the menu is built again.
  UnregisterGroup(registry, "Audio CD");
  EXPECT_EQ(ReadGroupList(registry).front(), "hudba");
  GroupMenuEntries(registry);
  EXPECT_EQ(ReadGroupList(registry).back(), "Audio CD");

  // Registering a name twice keeps one entry.
  RegisterGroup(registry, "Filmy");
  EXPECT_EQ(ReadGroupList(registry).size(), 5u);
}

TEST(GroupKinds, ChosenGroupsAreJoinedWithoutThePlaceholder) {
  EXPECT_EQ(JoinChosenGroups({}), "");
  EXPECT_EQ(JoinChosenGroups({"Nezařazeno"}), "");
  EXPECT_EQ(JoinChosenGroups({"Hry"}), "Hry");
  EXPECT_EQ(JoinChosenGroups({"Nezařazeno", "Hry", "Filmy"}), "Hry;Filmy");
  EXPECT_EQ(JoinChosenGroups({"Hry", "Hry"}), "Hry;Hry");  // chosen twice, stored twice
}

TEST(GroupKinds, StartCounterSurvivesBadValues) {
  MemoryRegistry registry;
  CountStart(registry);
  EXPECT_EQ(registry.ReadText("Spusteni"), "1");
  CountStart(registry);
  EXPECT_EQ(registry.ReadText("Spusteni"), "2");
  for (const char* bad : {"dvě", "", "-4", "12abc", "9223372036854775807"}) {
    registry.WriteText("Spusteni", bad);
    CountStart(registry);
    EXPECT_EQ(registry.ReadText("Spusteni"), "1") << bad;
  }
}

}  // namespace
}  // namespace rondo
