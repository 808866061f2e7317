// SPDX-License-Identifier: GPL-3.0-or-later
// Searching against `LC_ALL=C grep -c abc` over the same file, in the same
// run: each iteration times one search and one grep, and the medians and
// their ratio are reported. Two catalogues: 10,000 discs of about 1,000
// items (about 360 MB) searched for "*abc*", which almost no name holds,
// so the scan that rules discs out is measured; and 10,000 discs of about
// 200 items with about 1.2 % of the names holding "abc" in some case
// (23,661 hits, nearly every disc has one), so matching names and making
// rows are measured. Also reports the peak memory growth of the searches.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "bench_support.h"
#include "catalogue/engine.h"
#include "generator.h"

extern char** environ;

namespace {

using rondo::bench::PeakRssKb;
using rondo::bench::QuietHost;

namespace fs = std::filesystem;

class Options : public rondo::FixedSearchHost {
 public:
  explicit Options(bool useCache) {
    pattern = "*abc*";
    directoryGroups = false;
    cache = useCache;
  }
};

std::map<int, std::string>& Made() {
  static std::map<int, std::string> paths;
  return paths;
}

// 0: the 10,000 discs of 1,000 items; 1: the 2 million items with hits.
const std::string& Catalogue(int which) {
  auto& path = Made()[which];
  if (path.empty()) {
    path = (fs::temp_directory_path() / ("rondo-bench-search-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(which) + ".big"))
               .string();
    if (which == 0) {
      rondo::bench::GenerateCatalogue(path, {.discs = 10000, .itemsPerDisc = 1000, .seed = 3});
    } else {
      rondo::bench::GenerateCatalogue(
          path, {.discs = 10000, .itemsPerDisc = 200, .seed = 1, .abcPer100k = 1179});
    }
    // Warm the page cache.
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
  }
  return path;
}

// Seconds `LC_ALL=C grep -c abc FILE` takes, or a negative number when grep
// cannot be started.
double GrepSeconds(std::string file) {
  char grep[] = "grep";
  char count[] = "-c";
  char text[] = "abc";
  char* argv[] = {grep, count, text, file.data(), nullptr};
  char locale[] = "LC_ALL=C";
  char* env[] = {locale, nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Not /dev/null: GNU grep stops at the first match when its output goes
  // nowhere, and would not read the file.
  const std::string countFile = file + ".count";
  posix_spawn_file_actions_addopen(&actions, 1, countFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const bool started = posix_spawnp(&pid, "grep", &actions, nullptr, argv, env) == 0;
  int status = 0;
  if (started)
    ::waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  fs::remove(countFile);
  if (!started)
    return -1.0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

// Arguments: the catalogue, the cache option.
void SearchAgainstGrep(benchmark::State& state) {
  const std::string& file = Catalogue(static_cast<int>(state.range(0)));
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = file;
  Options options(state.range(1) != 0);
  engine.Search = &options;
  const long before = PeakRssKb();
  std::vector<double> searches;
  std::vector<double> greps;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    engine.Found.Clear();
    engine.RunOperation(rondo::OperationCode::kSearch);
    const double search =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(search);
    searches.push_back(search);
    const double grep = GrepSeconds(file);
    if (grep < 0) {
      state.SkipWithError("grep could not be started");
      break;
    }
    greps.push_back(grep);
  }
  state.counters["rows"] = static_cast<double>(engine.Found.size());
  state.counters["file_MB"] = static_cast<double>(fs::file_size(file)) / (1 << 20);
  state.counters["search_ms"] = Median(searches) * 1000;
  state.counters["grep_ms"] = Median(greps) * 1000;
  state.counters["ratio"] = Median(greps) > 0 ? Median(searches) / Median(greps) : 0.0;
  state.counters["peak_rss_growth_MB"] = static_cast<double>(PeakRssKb() - before) / 1024.0;
}
BENCHMARK(SearchAgainstGrep)
    ->ArgNames({"hits", "cache"})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(7);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [which, path] : Made())
    fs::remove(path);
  return 0;
}
