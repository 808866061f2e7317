// SPDX-License-Identifier: GPL-3.0-or-later
// Language files as text: forgiving reading, writing that keeps what was
// there, code page 1250 on disk.
#include "settings/lng_file.h"

#include <gtest/gtest.h>

#include "support/catalogue_builder.h"

namespace rondo {
namespace {

TEST(LngFileTest, ReadsWhatIsUsableAndIgnoresTheRest) {
  const std::string bytes =
      "garbage before any section\r\n"
      "[MainForm]\r\n"
      "  actionQuit = Konec  \r\n"
      "no equals sign here\r\n"
      "=value without a key\r\n"
      "actionQuit=Second value\r\n"  // a duplicate: the first counts
      "; comment=not an entry\r\n"
      "bad\x01key=x\r\n"
      "[Unknown Window]\n"
      "x=\xE8\x9A\r\n"  // "čš" in code page 1250
      "[broken section\r\n"
      "ACTIONSEARCH=Hledat\r\n"
      "multi=a\\nb\r\n";
  const LngFile file = LngFile::Parse(bytes);
  EXPECT_EQ(file.Value("MainForm", "actionQuit"), "Konec");
  EXPECT_EQ(file.Value("mainform", "ActionQuit"), "Konec");
  EXPECT_EQ(file.Value("MainForm", "bad\x01key"), std::nullopt);
  EXPECT_EQ(file.Value("MainForm", "; comment"), std::nullopt);
  EXPECT_EQ(file.Value("Unknown Window", "x"), "čš");
  EXPECT_EQ(file.Value("Unknown Window", "actionSearch"),
            "Hledat");  // the broken header is no section
  EXPECT_EQ(file.Value("Unknown Window", "multi"), "a\nb");
  EXPECT_EQ(file.Sections(), (std::vector<std::string>{"MainForm", "Unknown Window"}));
  const auto entries = file.Entries("MainForm");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].second, "Konec");
  // Every line survives a rewrite as it was; line ends become CR LF.
  std::string rewritten = bytes;
  rewritten.replace(rewritten.find("Window]\n"), 8, "Window]\r\n");
  EXPECT_EQ(file.Serialize(), rewritten);
}

TEST(LngFileTest, AddsMissingKeysIntoTheirSectionAndWritesCodePage1250) {
  LngFile file = LngFile::Parse("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_FALSE(file.AddMissing("a", "X", "other"));  // present: kept
  EXPECT_TRUE(file.AddMissing("A", "nový", "Řádek\nDruhý"));
  EXPECT_TRUE(file.AddMissing("C", "z", "3"));
  file.Set("B", "y", "22");
  EXPECT_EQ(file.Serialize(),
            "[A]\r\nx=1\r\nnov\xFD=\xD8\xE1"
            "dek\\nDruh\xFD\r\n\r\n[B]\r\ny=22\r\n[C]\r\nz=3\r\n");
  EXPECT_TRUE(file.EraseSection("b"));
  EXPECT_FALSE(file.EraseSection("B"));
  EXPECT_EQ(file.Value("A", "nový"), "Řádek\nDruhý");

  test::TempDir dir;
  const std::string path = (dir / "x.lng").string();
  LngFile missing;
  EXPECT_FALSE(missing.Load(path));
  EXPECT_FALSE(missing.Load(dir.Path().string()));  // a folder
  file.Save(path);
  LngFile back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.Serialize(), file.Serialize());
}

TEST(LngFileTest, BackslashesSurviveBesideLineBreaks) {
  LngFile file = LngFile::Parse("[A]\r\nold=C:\\temp\\\\x\r\n");
  // A stored "\\" reads as one backslash; a lone backslash stays.
  EXPECT_EQ(file.Value("A", "old"), "C:\\temp\\x");
  EXPECT_TRUE(file.AddMissing("A", "path", "C:\\novy\nradek\\"));
  EXPECT_EQ(file.Value("A", "path"), "C:\\novy\nradek\\");
  EXPECT_EQ(file.Serialize(), "[A]\r\nold=C:\\temp\\\\x\r\npath=C:\\\\novy\\nradek\\\\\r\n");
  EXPECT_EQ(LngFile::Parse(file.Serialize()).Value("A", "path"), "C:\\novy\nradek\\");
}

TEST(LngFileTest, ReadsUtf8WithAByteOrderMarkAndAnyLineEnd) {
  struct Case {
    std::string bytes;
    std::string serialized;  // code page 1250, CR LF
  };
  const std::vector<Case> cases = {
      {"\xEF\xBB\xBF[Okno]\r\nx=Žluťoučký kůň\r\ny=2\r\n",
       "[Okno]\r\nx=\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2\r\ny=2\r\n"},
      {"[Okno]\rx=\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2\ry=2",
       "[Okno]\r\nx=\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2\r\ny=2\r\n"},
      {"\xEF\xBB\xBF[Okno]\nx=Žluťoučký kůň\r\r\ny=2\r",
       "[Okno]\r\nx=\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2\r\n\r\ny=2\r\n"},
  };
  for (const auto& c : cases) {
    const LngFile file = LngFile::Parse(c.bytes);
    EXPECT_EQ(file.Value("Okno", "x"), "Žluťoučký kůň") << c.bytes;
    EXPECT_EQ(file.Value("Okno", "y"), "2") << c.bytes;
    EXPECT_EQ(file.Serialize(), c.serialized) << c.bytes;
  }
  // Text that begins like the mark reads back the same.
  const LngFile odd = LngFile::Parse("\xEF\xBB\xBF\xC4\x8F\xC5\xA5\xC2\xBB=1\r\n");
  EXPECT_EQ(LngFile::Parse(odd.Serialize()).Serialize(), odd.Serialize());
}

}  // namespace
}  // namespace rondo
