// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/environment.h"

#include <langinfo.h>
#include <unistd.h>

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

std::string BorrowedListPath() {
  if (const char* explicitPath = std::getenv("RONDOTHEKA_BORROWED");
      explicitPath != nullptr && *explicitPath != '\0') {
    return explicitPath;
  }
  const std::string program = ProgramPath();
  const auto slash = program.find_last_of('/');
  if (slash != std::string::npos) {
    const std::string folder = program.substr(0, slash);
    const std::string beside = folder + "/" + kBorrowedFileName;
    if (::access(beside.c_str(), W_OK) == 0 ||
        (::access(beside.c_str(), F_OK) != 0 && ::access(folder.c_str(), W_OK) == 0)) {
      return beside;
    }
  }
  const std::string data = UserDataFolder();
  std::error_code ec;
  std::filesystem::create_directories(data, ec);
  return data + "/" + kBorrowedFileName;
}

}  // namespace rondo::platform
