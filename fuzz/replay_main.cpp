// SPDX-License-Identifier: GPL-3.0-or-later
// Replays saved inputs through a target without libFuzzer: every file given,
// and every file of every folder given (in name order), is fed to the target
// function RONDO_FUZZ_TARGET names. Fails when no input was found.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "targets.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    if (fs::is_directory(arg)) {
      std::vector<fs::path> files;
      for (const auto& entry : fs::directory_iterator(arg)) {
        if (entry.is_regular_file())
          files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      inputs.insert(inputs.end(), files.begin(), files.end());
    } else if (fs::is_regular_file(arg)) {
      inputs.push_back(arg);
    } else {
      std::fprintf(stderr, "not found: %s\n", argv[i]);
      return 2;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs\n");
    return 2;
  }
  for (const auto& path : inputs) {
    const std::string bytes = rondo::fuzz::ReadFile(path.string());
    std::printf("%s (%zu B)\n", path.filename().string().c_str(), bytes.size());
    std::fflush(stdout);
    RONDO_FUZZ_TARGET(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs replayed\n", inputs.size());
  return 0;
}
