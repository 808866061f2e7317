// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program looks for its language files and where it writes its
// data: a portable copy, the user's data folder and an installed tree (a
// fake prefix in a temporary folder).
#include "platform/environment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace rondo::platform {
namespace {

namespace fs = std::filesystem;

class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("rondo-environment-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    root_ = fs::canonical(root_);
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(root_);
  }
  std::string Folder(const std::string& name, bool withLanguageFile) const {
    const fs::path folder = root_ / name;
    fs::create_directories(folder);
    if (withLanguageFile)
      std::ofstream(folder / "czech.lng") << "[Language]\r\n";
    return folder.string();
  }

  fs::path root_;
};

TEST_F(EnvironmentTest, LanguageFoldersComeInOrderOnceEach) {
  // An installed tree: programs in bin, language files in share/rondotheka.
  const std::string bin = Folder("usr/bin", false);
  const std::string shared = Folder("usr/share/rondotheka", true);
  const std::string user = root_ / "data/rondotheka";

  // No user folder yet: it is left out, and bin/.. reaches the same bin.
  std::vector<std::string> folders = LanguageFolders(bin + "/../bin/");
  ASSERT_GE(folders.size(), 2u);
  EXPECT_EQ(folders[0], bin);
  EXPECT_EQ(folders[1], shared);

  // The user's folder comes before the installed one.
  Folder("data/rondotheka", false);
  folders = LanguageFolders(bin);
  ASSERT_GE(folders.size(), 3u);
  EXPECT_EQ(folders[0], bin);
  EXPECT_EQ(folders[1], user);
  EXPECT_EQ(folders[2], shared);
  EXPECT_EQ(std::count(folders.begin(), folders.end(), shared), 1);
}

TEST_F(EnvironmentTest, OnlyAPortableCopyIsWrittenBesideThePrograms) {
  const std::string user = root_ / "data/rondotheka";
  // Installed programs (no language files beside them): the user's folder,
  // made when it is missing.
  const std::string bin = Folder("usr/bin", false);
  EXPECT_FALSE(IsPortableCopy(bin));
  EXPECT_EQ(WritableDataFolder(bin), user);
  EXPECT_TRUE(fs::is_directory(user));
  // A portable copy holds its language files itself.
  const std::string portable = Folder("portable", true);
  EXPECT_TRUE(IsPortableCopy(portable));
  EXPECT_EQ(WritableDataFolder(portable), portable);
  EXPECT_FALSE(IsPortableCopy(root_ / "missing"));

  // The borrowed list follows: beside this test program (the build tree is
  // a portable copy, its language files beside the programs) unless the
  // environment names another file.
  EXPECT_TRUE(IsPortableCopy(ProgramFolder()));
  EXPECT_EQ(BorrowedListPath(), ProgramFolder() + "/mnoupujcene.big");
  ::setenv("RONDOTHEKA_BORROWED", "/elsewhere/list.big", 1);
  EXPECT_EQ(BorrowedListPath(), "/elsewhere/list.big");
  ::unsetenv("RONDOTHEKA_BORROWED");
}

}  // namespace
}  // namespace rondo::platform
