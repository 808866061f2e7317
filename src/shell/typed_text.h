// SPDX-License-Identifier: GPL-3.0-or-later
// Texts the user types for the catalogue: whether they can be stored as they
// are. The catalogue holds code page 1250 in fields of fixed width, and it
// uses ";" between group names and "^" between an item's comment and its
// groups; a text that would be cut, turned into "?" or split is refused with
// a message instead. Both programs ask here, so they refuse the same texts
// with the same words.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rondo {

enum class TypedField {
  kDiscName,     // a disc's (or multigroup's) name: 50 bytes
  kLendingName,  // to whom a disc is lent: 30 bytes
  kVolumeLabel,  // a volume label given by hand: 49 bytes
  kGroupName,    // one group name: no ";" or "^", 50 bytes
  kDiscGroups,   // a disc's group names joined with ";": 50 bytes
  kItemComment,  // an item's comment: no "^"; with "^" and its groups 255 bytes
  kItemGroups,   // an item's group names joined with ";": the rest of the 255
};

// How many characters (= stored bytes) the field holds.
std::size_t FieldWidth(TypedField field);

// Why text (UTF-8) cannot be stored in field, in Czech, or "" when it can.
// width replaces the field's own width where the room is shared (an item's
// comment and groups share 255 bytes).
std::string TypedTextRefusal(std::string_view text, TypedField field,
                             std::optional<std::size_t> width = std::nullopt);

// A chosen set of group names ("Nezařazeno" left out by the caller): each
// name as a group name, then the names joined with ";" against the field's
// width (kDiscGroups or kItemGroups).
std::string GroupsRefusal(const std::vector<std::string>& names, TypedField field,
                          std::optional<std::size_t> width = std::nullopt);

// The room left for an item's comment beside its stored groups, and for its
// groups beside its comment ("^" takes one byte).
std::size_t ItemCommentRoom(std::string_view groupsUtf8);
std::size_t ItemGroupsRoom(std::string_view commentUtf8);

}  // namespace rondo
