// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "cli/cli.h"
#include "platform/environment.h"
#include "settings/registry.h"

int main(int argc, char** argv) {
  rondo::platform::UseUserLocale();
  rondo::FileRegistry registry(rondo::platform::RegistryFilePath());
  std::vector<std::string> args(argv + 1, argv + argc);
  return rondo::RunCli(args, registry, std::cout, std::cerr);
}
