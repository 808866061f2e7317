// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/environment.h"

#include <langinfo.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "borrowed/borrowed_list.h"

namespace rondo::platform {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::string(value) : fallback;
}

std::string Home() {
  return EnvOr("HOME", "/tmp");
}

namespace fs = std::filesystem;

// The installed data folder relative to the installed programs, and the
// absolute one the program was built for; the build gives both from its
// install directories.
constexpr const char* kDataFromPrograms = RONDO_DATA_FROM_PROGRAMS;
constexpr const char* kInstalledData = RONDO_INSTALLED_DATA;
constexpr const char* kLanguageFileExtension = ".lng";

// The folder without "..", "." and symbolic links when it exists, so that
// one folder reached two ways is listed once; as given when it does not.
std::string Canonical(const std::string& folder) {
  std::error_code error;
  const fs::path canonical = fs::canonical(folder, error);
  return error ? fs::path(folder).lexically_normal().string() : canonical.string();
}

}  // namespace

void UseUserLocale() {
  if (std::setlocale(LC_ALL, "") == nullptr)
    std::setlocale(LC_ALL, "C.UTF-8");
  // Numbers are always formatted by the program itself; the C library keeps
  // the "." it expects when parsing.
  std::setlocale(LC_NUMERIC, "C");
}

DisplayFormat CurrentDisplayFormat() {
  DisplayFormat format;
  const char* date = ::nl_langinfo(D_FMT);
  const char* time = ::nl_langinfo(T_FMT);
  if (date != nullptr && *date != '\0')
    format.dateTime.shortDate = date;
  if (time != nullptr && *time != '\0')
    format.dateTime.longTime = time;
  // LC_NUMERIC stays "C" for the library; ask the user's numeric locale.
  const char* numeric = std::getenv("LC_ALL");
  if (numeric == nullptr || *numeric == '\0')
    numeric = std::getenv("LC_NUMERIC");
  if (numeric == nullptr || *numeric == '\0')
    numeric = std::getenv("LANG");
  if (numeric != nullptr && *numeric != '\0') {
    if (locale_t loc = ::newlocale(LC_NUMERIC_MASK, numeric, static_cast<locale_t>(0))) {
      const char* point = ::nl_langinfo_l(RADIXCHAR, loc);
      if (point != nullptr && *point != '\0')
        format.decimalPoint = point;
      ::freelocale(loc);
    }
  }
  return format;
}

std::string RegistryFilePath() {
  if (const char* explicitPath = std::getenv("RONDOTHEKA_REGISTRY");
      explicitPath != nullptr && *explicitPath != '\0') {
    return explicitPath;
  }
  return EnvOr("XDG_CONFIG_HOME", Home() + "/.config") + "/rondotheka/registry.ini";
}

std::string UserDataFolder() {
  return EnvOr("XDG_DATA_HOME", Home() + "/.local/share") + "/rondotheka";
}

std::string DefaultCataloguePath() {
  return UserDataFolder() + "/katalog.big";
}

std::string ProgramPath() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0)
    return {};
  return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string ProgramFolder() {
  const std::string program = ProgramPath();
  const auto slash = program.find_last_of('/');
  return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

std::vector<std::string> LanguageFolders(const std::string& programFolder) {
  std::vector<std::string> candidates;
  if (!programFolder.empty()) {
    candidates.push_back(programFolder);
    candidates.push_back(UserDataFolder());
    candidates.push_back(programFolder + "/" + kDataFromPrograms);
  } else {
    candidates.push_back(UserDataFolder());
  }
  candidates.push_back(kInstalledData);

  std::vector<std::string> folders;
  for (const std::string& candidate : candidates) {
    std::error_code error;
    if (!fs::is_directory(candidate, error))
      continue;
    const std::string folder = Canonical(candidate);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  return folders;
}

std::vector<std::string> LanguageFolders() {
  return LanguageFolders(ProgramFolder());
}

bool IsPortableCopy(const std::string& programFolder) {
  if (programFolder.empty() || ::access(programFolder.c_str(), W_OK) != 0)
    return false;
  const std::string folder = Canonical(programFolder);
  if (folder == "/usr" || folder.starts_with("/usr/"))
    return false;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() == kLanguageFileExtension && it->is_regular_file(error))
      return true;
  }
  return false;
}

std::string WritableDataFolder(const std::string& programFolder) {
  if (IsPortableCopy(programFolder))
    return Canonical(programFolder);
  const std::string data = UserDataFolder();
  std::error_code error;
  fs::create_directories(data, error);
  // A folder that cannot be made is reported by whoever writes into it.
  return Canonical(data);
}

std::string WritableDataFolder() {
  return WritableDataFolder(ProgramFolder());
}

std::string BorrowedListPath() {
  if (const char* explicitPath = std::getenv("RONDOTHEKA_BORROWED");
      explicitPath != nullptr && *explicitPath != '\0') {
    return explicitPath;
  }
  return WritableDataFolder() + "/" + kBorrowedFileName;
}

}  // namespace rondo::platform
