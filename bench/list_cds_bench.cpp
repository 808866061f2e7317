// SPDX-License-Identifier: GPL-3.0-or-later
// Listing the discs of a 10,000-disc catalogue (the "All" group, a group
// name and the lent discs), as the main window does at every refresh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "bench_support.h"
#include "catalogue/engine.h"
#include "generator.h"

namespace {

using rondo::bench::PeakRssKb;
using rondo::bench::QuietHost;

const std::string& Catalogue() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("rondo-bench-" + std::to_string(::getpid()) + ".big"))
                              .string();
    rondo::bench::GenerateCatalogue(p, {.discs = 10000, .itemsPerDisc = 200, .seed = 42});
    return p;
  }();
  return path;
}

void ListCds(benchmark::State& state, const char* group) {
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = Catalogue();
  engine.GroupFilter = group;
  const long before = PeakRssKb();
  for (auto _ : state) {
    engine.RunOperation(rondo::OperationCode::kListCds);
    benchmark::DoNotOptimize(engine.Discs.rows.data());
  }
  state.counters["rows"] = static_cast<double>(engine.Discs.rows.size());
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(Catalogue())) / (1 << 20);
  state.counters["peak_rss_growth_kB"] = static_cast<double>(PeakRssKb() - before);
}

BENCHMARK_CAPTURE(ListCds, all, "All")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ListCds, group, "Hry")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ListCds, lent, "Půjčené")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(Catalogue());
  return 0;
}
