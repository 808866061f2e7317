// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/typed_text.h"

#include <cstdio>

#include "shell/text.h"

namespace rondo {

namespace {

constexpr std::size_t kItemCommentBytes = 255;

struct FieldWords {
  const char* subject;  // the text as the message names it
  bool plural;          // "Skupiny ... mohou", not "může"
  std::size_t width;
  const char* forbidden;  // characters the text may not hold
};

FieldWords Words(TypedField field) {
  switch (field) {
    case TypedField::kDiscName:
      return {"Jméno CD", false, 50, ""};
    case TypedField::kLendingName:
      return {"Jméno vypůjčitele", false, 30, ""};
    case TypedField::kVolumeLabel:
      return {"Jmenovka svazku", false, 49, ""};
    case TypedField::kGroupName:
      return {"Jméno skupiny", false, 50, ";^"};
    case TypedField::kDiscGroups:
      return {"Skupiny CD", true, 50, "^"};
    case TypedField::kItemComment:
      return {"Komentář", false, kItemCommentBytes - 1, "^"};
    case TypedField::kItemGroups:
      return {"Skupiny položky", true, kItemCommentBytes - 1, "^"};
  }
  return {"Text", false, 0, ""};
}

// "1 znak", "3 znaky", "5 znaků".
std::string Characters(std::size_t n) {
  const char* word = n == 1 ? "znak" : (n >= 2 && n <= 4) ? "znaky" : "znaků";
  return std::to_string(n) + " " + word;
}

std::size_t SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

char32_t CodePoint(std::string_view ch) {
  const auto lead = static_cast<unsigned char>(ch[0]);
  if (ch.size() == 1)
    return lead;
  char32_t cp = lead & (ch.size() == 2 ? 0x1F : ch.size() == 3 ? 0x0F : 0x07);
  for (std::size_t i = 1; i < ch.size(); ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(ch[i]) & 0x3F);
  return cp;
}

// The character as the message shows it: itself in quotes and its number,
// a control character only escaped.
std::string Named(std::string_view ch) {
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(CodePoint(ch)));
  return "„" + EscapeControls(ch) + "“ (" + number + ")";
}

}  // namespace

std::size_t FieldWidth(TypedField field) {
  return Words(field).width;
}

std::string TypedTextRefusal(std::string_view text, TypedField field,
                             std::optional<std::size_t> width) {
  const FieldWords words = Words(field);
  const std::string subject = words.subject;
  if (ValidUtf8(text) != text)
    return subject + " není platný text v kódování UTF-8.";
  for (std::size_t i = 0; i < text.size();) {
    const std::string_view ch = text.substr(i, SequenceLength(static_cast<unsigned char>(text[i])));
    i += ch.size();
    if (ch.size() == 1 && std::string_view(words.forbidden).find(ch[0]) != std::string_view::npos) {
      const char* role = ch[0] == ';' ? "odděluje jména skupin" : "odděluje komentář od skupin";
      return subject + (words.plural ? " nesmějí" : " nesmí") + " obsahovat znak „" +
             std::string(ch) + "“: v katalogu " + role + ".";
    }
    if (ToCp1250(ch).bytes == "?" && ch != "?") {
      return subject + (words.plural ? " obsahují" : " obsahuje") + " znak " + Named(ch) +
             ", který katalog neumí uložit (kódová stránka 1250).";
    }
  }
  const std::size_t limit = width.value_or(words.width);
  const std::size_t length = ToCp1250(text).size();
  if (length > limit) {
    std::string refusal = subject + (words.plural ? " mohou mít dohromady" : " může mít") +
                          " nejvýše " + Characters(limit) + ", zadaný text má " +
                          std::to_string(length) + ".";
    if (field == TypedField::kItemComment || field == TypedField::kItemGroups)
      refusal += " Komentář, „^“ a skupiny položky mají dohromady nejvýše 255 znaků.";
    return refusal;
  }
  return {};
}

std::string GroupsRefusal(const std::vector<std::string>& names, TypedField field,
                          std::optional<std::size_t> width) {
  std::string joined;
  for (const auto& name : names) {
    if (std::string refusal = TypedTextRefusal(name, TypedField::kGroupName); !refusal.empty())
      return refusal;
    if (!joined.empty())
      joined += ';';
    joined += name;
  }
  return TypedTextRefusal(joined, field, width);
}

std::size_t ItemCommentRoom(std::string_view groupsUtf8) {
  const std::size_t taken = ToCp1250(groupsUtf8).size() + 1;
  return taken >= kItemCommentBytes ? 0 : kItemCommentBytes - taken;
}

std::size_t ItemGroupsRoom(std::string_view commentUtf8) {
  return ItemCommentRoom(commentUtf8);
}

}  // namespace rondo
