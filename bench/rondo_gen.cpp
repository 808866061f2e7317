// rondo-gen: writes a synthetic catalogue.
//   rondo-gen OUT.big [--discs N] [--items N] [--seed N]
#include <cstdlib>
#include <iostream>
#include <string>

#include "generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: rondo-gen OUT.big [--discs N] [--items N] [--seed N]\n";
    return 2;
  }
  rondo::bench::GeneratorOptions options;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    const auto value = std::strtoull(argv[i + 1], nullptr, 10);
    if (flag == "--discs") {
      options.discs = static_cast<std::uint32_t>(value);
    } else if (flag == "--items") {
      options.itemsPerDisc = static_cast<std::uint32_t>(value);
    } else if (flag == "--seed") {
      options.seed = value;
    } else {
      std::cerr << "unknown option " << flag << "\n";
      return 2;
    }
  }
  try {
    const auto result = rondo::bench::GenerateCatalogue(argv[1], options);
    std::cout << result.discEntries << " discs, " << result.multigroups << " multigroups, "
              << result.items << " items, " << result.bytes << " bytes\n";
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
