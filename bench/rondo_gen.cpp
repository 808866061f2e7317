// SPDX-License-Identifier: GPL-3.0-or-later
// rondo-gen: writes a synthetic catalogue.
//   rondo-gen OUT.big [--discs N] [--items N] [--seed N] [--abc N]
#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "generator.h"

namespace {

constexpr const char* kUsage =
    "Použití: rondo-gen VÝSTUP.big [--discs N] [--items N] [--seed N] [--abc N]\n"
    "Zapíše do VÝSTUP.big (přepíše ho) umělý katalog, pro stejná čísla vždy stejný.\n"
    "--abc N: N položek ze 100 000 má ve jméně navíc „abc“ (hledání s mnoha nálezy).\n";

int Usage(const std::string& problem) {
  std::cerr << "rondo-gen: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  for (const auto& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  // An option in the place of the file name would name the catalogue.
  if (args.empty() || args[0].starts_with("-"))
    return Usage(args.empty() ? "chybí VÝSTUP.big" : "první argument je výstupní soubor");
  rondo::bench::GeneratorOptions options;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    const std::string& flag = args[i];
    if (i + 1 == args.size())
      return Usage(flag + " potřebuje číslo");
    const std::string& text = args[i + 1];
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
      return Usage(flag + " potřebuje číslo, ne " + text);
    if (flag == "--discs") {
      options.discs = static_cast<std::uint32_t>(value);
    } else if (flag == "--items") {
      options.itemsPerDisc = static_cast<std::uint32_t>(value);
    } else if (flag == "--seed") {
      options.seed = value;
    } else if (flag == "--abc") {
      options.abcPer100k = static_cast<std::uint32_t>(value);
    } else {
      return Usage("neznámá volba " + flag);
    }
  }
  try {
    const auto result = rondo::bench::GenerateCatalogue(args[0], options);
    std::cout << result.discEntries << " discs, " << result.multigroups << " multigroups, "
              << result.items << " items, " << result.bytes << " bytes\n";
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
