// SPDX-License-Identifier: GPL-3.0-or-later
// The duplicates report over the 10,000-disc catalogue (about 14 million
// items, 500 MB) and over a quarter of it, by name and size, and by name,
// size and time. (By name alone nearly every file of the generated
// catalogue has a namesake on another disc: the report is the catalogue.) Reports the time, the
// different keys the first pass told apart, the bytes of its table and how far the peak memory
// grew: the memory follows the number of different keys, not the catalogue's size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "bench_support.h"
#include "catalogue/engine.h"
#include "generator.h"

namespace {

using rondo::bench::PeakRssKb;
using rondo::bench::QuietHost;

namespace fs = std::filesystem;

// The catalogue of the given number of discs, made once and read once so
// that it is in the page cache.
const std::string& Catalogue(std::uint32_t discs) {
  static std::map<std::uint32_t, std::string> made;
  auto [at, fresh] = made.try_emplace(discs);
  if (fresh) {
    at->second = (fs::temp_directory_path() / ("rondo-bench-duplicates-" + std::to_string(discs) +
                                               "-" + std::to_string(::getpid()) + ".big"))
                     .string();
    rondo::bench::GenerateCatalogue(at->second, {.discs = discs, .itemsPerDisc = 1400, .seed = 3});
    std::ifstream in(at->second, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
  }
  return at->second;
}

void Duplicates(benchmark::State& state) {
  const auto discs = static_cast<std::uint32_t>(state.range(0));
  const auto by = static_cast<rondo::DuplicateKey>(state.range(1));
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = Catalogue(discs);
  rondo::FixedDuplicateHost options;
  options.options.by = by;
  engine.DuplicateSearch = &options;
  const long before = PeakRssKb();
  for (auto _ : state)
    engine.RunOperation(rondo::OperationCode::kFindDuplicates);
  const auto& report = engine.Duplicates;
  std::size_t copies = 0;
  for (const auto& group : report.Groups())
    copies += group.copies;
  state.counters["groups"] = static_cast<double>(report.Groups().size());
  state.counters["copies"] = static_cast<double>(copies);
  state.counters["keys"] = static_cast<double>(report.keys);
  state.counters["table_MB"] = static_cast<double>(report.tableBytes) / (1 << 20);
  state.counters["file_MB"] = static_cast<double>(fs::file_size(engine.DatabasePath)) / (1 << 20);
  state.counters["peak_rss_growth_MB"] = static_cast<double>(PeakRssKb() - before) / 1024.0;
}
// The smaller catalogue first: the peak memory only ever grows.
BENCHMARK(Duplicates)
    ->Args({2500, static_cast<int>(rondo::DuplicateKey::kNameSize)})
    ->Args({10000, static_cast<int>(rondo::DuplicateKey::kNameSize)})
    ->Args({10000, static_cast<int>(rondo::DuplicateKey::kNameSizeTime)})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const std::uint32_t discs : {2500u, 10000u}) {
    std::error_code ignored;
    fs::remove(fs::temp_directory_path() / ("rondo-bench-duplicates-" + std::to_string(discs) +
                                            "-" + std::to_string(::getpid()) + ".big"),
               ignored);
  }
  return 0;
}
