// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/text.h"
#include "shell/typed_text.h"

#include <gtest/gtest.h>

namespace rondo {
namespace {

TEST(Cp1250Text, RoundTripsAndMapsLetters) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const Cp1250Text one(std::string(1, static_cast<char>(b)));
    EXPECT_EQ(ToCp1250(ToUtf8(one)), one) << "byte " << b;
    all.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(ToCp1250(ToUtf8(Cp1250Text(all))).bytes, all);

  const std::string sentence = "Příliš žluťoučký kůň úpěl ďábelské ódy";
  const Cp1250Text stored = ToCp1250(sentence);
  EXPECT_EQ(stored.bytes,
            "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2 \xFAp\xECl \xEF\341belsk\xE9 \363dy");
  EXPECT_EQ(ToUtf8(stored), sentence);
  EXPECT_EQ(ToCp1250("ČŘĚŮĽľŠŤŽŹ").bytes, "\xC8\xD8\xCC\xD9\xBC\xBE\x8A\x8D\x8E\x8F");
  EXPECT_EQ(ToCp1250("€„“”–—™ŁĄŻ˙").bytes, "\x80\x84\x93\x94\x96\x97\x99\xA3\xA5\xAF\xFF");
  EXPECT_EQ(ToUtf8(Cp1250Text("\x80\xA0")), "€\xC2\xA0");
  // The undefined bytes travel as the C1 controls of the same number.
  EXPECT_EQ(ToUtf8(Cp1250Text("\x81\x98")), "\xC2\x81\xC2\x98");
}

TEST(Cp1250Text, UnmappableAndInvalidBecomeQuestionMarks) {
  const std::pair<const char*, const char*> cases[] = {
      {"a日b", "a?b"},
      {"x😀y", "x?y"},
      {"ñ", "?"},                    // U+00F1 is not in the code page
      {"\xC2\x80", "?"},             // neither is U+0080
      {"\x80", "?"},                 // stray continuation byte
      {"\xFF", "?"},                 // never a lead byte
      {"\xC3", "?"},                 // cut off at the end
      {"\303A", "?A"},               // continuation missing
      {"\xE2\x82Z€", "?Z\x80"},      // first two bytes of "€"
      {"\xC0\xAF", "??"},            // overlong "/"
      {"\xE0\x80\xAF", "???"},       // overlong, three bytes
      {"\xED\xA0\x80", "???"},       // a surrogate
      {"\xF4\x90\x80\x80", "????"},  // above U+10FFFF
      {"\xF0\x9F\x98", "?"},         // emoji cut short
  };
  for (const auto& [utf8, expected] : cases) {
    EXPECT_EQ(ToCp1250(utf8).bytes, expected) << utf8;
    EXPECT_NE(ToUtf8(ToCp1250(utf8)), utf8) << utf8;  // the scanner reports these
  }
  const std::string fits = "Žluťoučký kůň ? \xC2\x81";
  EXPECT_EQ(ToUtf8(ToCp1250(fits)), fits);

  // Text shown to the user: valid UTF-8 stays whole, even outside the code
  // page; broken bytes become the same "?" the catalogue stores.
  EXPECT_EQ(ValidUtf8("a日b 😀 ñ"), "a日b 😀 ñ");
  EXPECT_EQ(ValidUtf8("\xE2\x82Z€\xFF"), "?Z€?");
  EXPECT_EQ(ValidUtf8("\xF0\x9F\x98"), "?");
  EXPECT_EQ(ValidUtf8("\xC0\xAFok"), "??ok");
}

TEST(Cp1250Text, AsciiCaseOnly) {
  EXPECT_EQ(AsciiLower("ABC xyz [@Z] ČAJ \xC8"), "abc xyz [@z] Čaj \xC8");
  EXPECT_TRUE(EqualsIgnoringAsciiCase("Hry", "hRY"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Čaj", "čaj"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("Hry", "Hr"));
  EXPECT_FALSE(EqualsIgnoringAsciiCase("[", "{"));  // '[' + 32 is '{', not a letter
}

TEST(Cp1250Text, ControlCharactersAreShownNeverSent) {
  struct Case {
    std::string text, escaped, inMessage, pictures;
  };
  const std::vector<Case> cases = {
      {"Hry a zábava", "Hry a zábava", "Hry a zábava", "Hry a zábava"},
      {"a\tb\nc\rd", "a\\tb\\nc\\rd", "a\\tb\\nc\\rd", "a\u2409b\u240Ac\u240Dd"},
      {"\x1b[31mčervená", "\\x1B[31mčervená", "\\x1B[31mčervená", "\u241B[31mčervená"},
      {"\x01\x7f", "\\x01\\x7F", "\\x01\\x7F", "\u2401\u2421"},
      {"\xC2\x81\xC2\x9B"
       "x",
       "\\x81\\x9Bx", "\\x81\\x9Bx", "\\x81\\x9Bx"},  // C1
      {"C:\\temp\\n", "C:\\\\temp\\\\n", "C:\\temp\\n", "C:\\temp\\n"},
      {"řádek\r\ndruhý", "řádek\\r\\ndruhý", "řádek\ndruhý", "řádek\u240D\u240Adruhý"},
      {"\xC2\xA0Ž", "\xC2\xA0Ž", "\xC2\xA0Ž", "\xC2\xA0Ž"},  // no control: U+00A0
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeControls(c.text), c.escaped) << c.text;
    EXPECT_EQ(EscapeControlsInMessage(c.text), c.inMessage) << c.text;
    EXPECT_EQ(ControlPictures(c.text), c.pictures) << c.text;
  }
}

TEST(TypedText, WhatCannotBeStoredIsRefusedWithTheReason) {
  struct Case {
    std::string text;
    TypedField field;
    std::optional<std::size_t> width;
    std::string refusal;  // "" when it can be stored
  };
  const std::string fifty(50, 'x');
  const std::vector<Case> cases = {
      {fifty, TypedField::kDiscName, {}, ""},
      {fifty + "y",
       TypedField::kDiscName,
       {},
       "Jméno CD může mít nejvýše 50 znaků, zadaný text má 51."},
      {"Jiří Nováček z Žďáru nad Sáz.", TypedField::kLendingName, {}, ""},
      {std::string(31, 'a'), TypedField::kLendingName, {}, "nejvýše 30 znaků"},
      {"Hry;Filmy", TypedField::kGroupName, {}, "nesmí obsahovat znak „;“"},
      {"Hry^x", TypedField::kGroupName, {}, "nesmí obsahovat znak „^“"},
      {"pro B^Tajné", TypedField::kItemComment, {}, "Komentář nesmí obsahovat znak „^“"},
      {"ahoj", TypedField::kItemComment, 3, "nejvýše 3 znaky"},
      {"a", TypedField::kItemComment, 0, "nejvýše 0 znaků"},
      {"Novák 日", TypedField::kLendingName, {}, "znak „日“ (U+65E5), který katalog neumí uložit"},
      {"x\xFF", TypedField::kDiscName, {}, "není platný text v kódování UTF-8"},
      {"Ř?", TypedField::kDiscName, {}, ""},
  };
  for (const auto& c : cases) {
    const std::string refusal = TypedTextRefusal(c.text, c.field, c.width);
    if (c.refusal.empty())
      EXPECT_EQ(refusal, "") << c.text;
    else
      EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
  }
  EXPECT_EQ(GroupsRefusal({"Hry", "Filmy"}, TypedField::kDiscGroups), "");
  EXPECT_NE(GroupsRefusal({std::string(25, 'a'), std::string(25, 'b')}, TypedField::kDiscGroups)
                .find("Skupiny CD mohou mít dohromady nejvýše 50 znaků, zadaný text má 51."),
            std::string::npos);
  EXPECT_NE(GroupsRefusal({"a", "b;c"}, TypedField::kItemGroups).find("„;“"), std::string::npos);
  EXPECT_EQ(ItemCommentRoom("Rodina;Moře"), 255u - 12u);
  EXPECT_EQ(ItemCommentRoom(std::string(300, 'x')), 0u);
}

}  // namespace
}  // namespace rondo
