#include "shell/text.h"

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

}  // namespace
}  // namespace rondo
