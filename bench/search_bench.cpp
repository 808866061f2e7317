// SPDX-License-Identifier: GPL-3.0-or-later
// Searching a catalogue of ten million items (about 500 MB) for "*abc*",
// with and without the cache option, against `LC_ALL=C grep -c abc` over
// the same file. Also reports the peak memory of a search.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "catalogue/engine.h"
#include "generator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class QuietHost : public rondo::EngineHost {
 public:
  bool Confirm(const std::string&) override { return false; }
  void ShowMessage(const std::string& text) override { throw std::runtime_error(text); }
};

class Options : public rondo::FixedSearchHost {
 public:
  explicit Options(bool useCache) {
    pattern = "*abc*";
    directoryGroups = false;
    cache = useCache;
  }
};

const std::string& Catalogue() {
  static const std::string path = [] {
    const std::string p =
        (fs::temp_directory_path() / ("rondo-bench-search-" + std::to_string(::getpid()) + ".big"))
            .string();
    rondo::bench::GenerateCatalogue(p, {.discs = 10000, .itemsPerDisc = 1000, .seed = 3});
    // Warm the page cache.
    std::ifstream in(p, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
    }
    return p;
  }();
  return path;
}

long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Search(benchmark::State& state) {
  const bool cache = state.range(0) != 0;
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = Catalogue();
  Options options(cache);
  engine.Search = &options;
  const long before = PeakRssKb();
  for (auto _ : state) {
    engine.Found.Clear();
    engine.RunOperation(rondo::OperationCode::kSearch);
  }
  state.counters["rows"] = static_cast<double>(engine.Found.size());
  state.counters["file_MB"] = static_cast<double>(fs::file_size(Catalogue())) / (1 << 20);
  state.counters["peak_rss_growth_MB"] = static_cast<double>(PeakRssKb() - before) / 1024.0;
}
BENCHMARK(Search)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

void Grep(benchmark::State& state) {
  std::string file = Catalogue();
  for (auto _ : state) {
    char grep[] = "grep";
    char count[] = "-c";
    char text[] = "abc";
    char* argv[] = {grep, count, text, file.data(), nullptr};
    char locale[] = "LC_ALL=C";
    char* env[] = {locale, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "grep", &actions, nullptr, argv, env) != 0) {
      state.SkipWithError("grep could not be started");
      break;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
  }
}
BENCHMARK(Grep)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove(Catalogue());
  return 0;
}
