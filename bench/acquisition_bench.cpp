// SPDX-License-Identifier: GPL-3.0-or-later
// Adding discs: scanning a real tree of 100,000 files in 5,000 directories
// against `find` over the same tree, recalculating the structure of a
// 100,000-item disc, and the duplicate check on a 10,000-disc catalogue.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "acquisition/scanner.h"
#include "bench_support.h"
#include "catalogue/engine.h"
#include "generator.h"
#include "platform/linux_file_tree.h"
#include "settings/registry.h"

extern char** environ;

namespace {

using rondo::bench::QuietHost;

namespace fs = std::filesystem;

std::string Temp(const std::string& name) {
  return (fs::temp_directory_path() / ("rondo-bench-" + name + "-" + std::to_string(::getpid())))
      .string();
}

// 5,000 directories up to eight levels deep holding 100,000 small files.
const std::string& Tree() {
  static const std::string root = [] {
    const std::string r = Temp("tree");
    fs::create_directories(r);
    std::mt19937 random(11);
    std::vector<std::string> dirs{r};
    std::vector<int> depth{0};
    while (dirs.size() < 5000) {
      std::size_t parent = random() % dirs.size();
      if (depth[parent] >= 8)
        continue;
      dirs.push_back(dirs[parent] + "/adresář " + std::to_string(dirs.size()));
      depth.push_back(depth[parent] + 1);
      fs::create_directory(dirs.back());
    }
    for (int i = 0; i < 100000; ++i) {
      std::ofstream(dirs[random() % dirs.size()] + "/soubor_" + std::to_string(i) + ".txt")
          << std::string(random() % 64, 'x');
    }
    return r;
  }();
  return root;
}

void ScanTree(benchmark::State& state) {
  const std::string root = Tree();
  rondo::platform::LinuxFileTree tree;
  rondo::MemoryRegistry registry;
  rondo::ScanProgress progress;
  rondo::ScanRequest request{.root = root, .description = "Strom"};
  const std::string db = Temp("scan") + ".big";
  std::size_t bytes = 0;
  for (auto _ : state) {
    const auto result = rondo::ScanDisc(request, tree, registry, progress);
    std::ofstream(db, std::ios::trunc);  // a fresh catalogue each time
    rondo::StoreScannedEntry(db, result.entry, progress);
    bytes = result.entry.size();
  }
  fs::remove(db);
  state.counters["entry_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(ScanTree)->Unit(benchmark::kMillisecond)->Iterations(5);

void FindTree(benchmark::State& state) {
  const std::string root = Tree();
  for (auto _ : state) {
    char find[] = "find";
    char format[] = "-printf";
    char pattern[] = "%s %T@\\n";
    std::string rootArg = root;
    char* argv[] = {find, rootArg.data(), format, pattern, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0) {
      state.SkipWithError("find could not be started");
      break;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
  }
}
BENCHMARK(FindTree)->Unit(benchmark::kMillisecond)->Iterations(5);

void RecalcBigDisc(benchmark::State& state) {
  const std::string db = Temp("recalc") + ".big";
  rondo::bench::GenerateCatalogue(db, {.discs = 1, .itemsPerDisc = 66667, .seed = 5});
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = db;
  engine.RecalcSerial = "All";
  for (auto _ : state)
    engine.RunOperation(rondo::OperationCode::kRecalculateStructure);
  state.counters["file_bytes"] = static_cast<double>(fs::file_size(db));
  fs::remove(db);
}
BENCHMARK(RecalcBigDisc)->Unit(benchmark::kMillisecond);

void DuplicateCheck(benchmark::State& state) {
  const std::string db = Temp("dup") + ".big";
  rondo::bench::GenerateCatalogue(db, {.discs = 10000, .itemsPerDisc = 200, .seed = 42});
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = db;
  engine.PendingSerial = "FFFF-FFFF";  // not stored: the whole catalogue is walked
  for (auto _ : state)
    benchmark::DoNotOptimize(engine.RunOperation(rondo::OperationCode::kSerialExists));
  fs::remove(db);
}
BENCHMARK(DuplicateCheck)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(Temp("tree"), ec);
  return 0;
}
