// SPDX-License-Identifier: GPL-3.0-or-later
// Browsing a big disc: listing the root and a directory at depth 5 of a
// disc with 100,000 items, and sorting 100,000 rows by every column.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "bench_support.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_builder.h"
#include "catalogue/format/entry_walker.h"
#include "generator.h"
#include "shell/sizes.h"
#include "shell/text.h"

namespace {

using rondo::bench::QuietHost;

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("rondo-bench-") + name + "-" + std::to_string(::getpid()) + ".big"))
      .string();
}

// One generated disc of about 100,000 items, nested up to seven levels.
const std::string& DeepCatalogue() {
  static const std::string path = [] {
    const std::string p = TempPath("deep");
    rondo::bench::GenerateCatalogue(p, {.discs = 1, .itemsPerDisc = 66667, .seed = 7});
    return p;
  }();
  return path;
}

// One disc whose 100,000 files all lie in the root.
const std::string& FlatCatalogue() {
  static const std::string path = [] {
    const std::string p = TempPath("flat");
    std::vector<rondo::CatalogueItem> items(100000);
    for (std::size_t i = 0; i < items.size(); ++i) {
      auto& r = items[i].record;
      const std::string name = "soubor " + std::to_string((i * 7919) % 100000) + ".txt";
      r.Name.chars = rondo::ToCp1250(name).bytes;
      r.Size = static_cast<std::uint32_t>((i * 2654435761u) % 5000000);
      r.Attributes = (i % 3 == 0) ? 0x21 : 0x20;
      r.Comment.chars =
          rondo::ToCp1250(i % 5 == 0 ? "poznámka " + std::to_string(i) + "^" : "").bytes;
      r.Time = 40000.0 + static_cast<double>(i % 3000);
      r.Level = 1;
    }
    rondo::CdHeader h;
    h.Serial.Set(rondo::ToCp1250("FLAT-0001"));
    h.Description.Set(rondo::ToCp1250("Plochý disk"));
    rondo::MemoryStream out;
    rondo::WriteDatabaseHeader(out, rondo::DatabaseHeader::Current());
    const auto entry = rondo::BuildCdEntry(h, items, true);
    out.Write(entry.data(), entry.size());
    std::FILE* f = std::fopen(p.c_str(), "wb");
    std::fwrite(out.Bytes().data(), 1, out.Bytes().size(), f);
    std::fclose(f);
    return p;
  }();
  return path;
}

// Opens the first disc of a catalogue as a double click would.
void OpenFirstDisc(rondo::Engine& engine, const std::string& path) {
  engine.DatabasePath = path;
  engine.ShowForeignItems = true;
  engine.RunOperation(rondo::OperationCode::kListCds);
  engine.Discs.rows.at(0).selected = true;
  engine.OpenSelectedDisc();
}

void ListRoot(benchmark::State& state) {
  QuietHost host;
  rondo::Engine engine(host);
  OpenFirstDisc(engine, DeepCatalogue());
  for (auto _ : state)
    engine.RunOperation(rondo::OperationCode::kShowDiscRoot);
  state.counters["block_bytes"] = static_cast<double>(engine.BlockCache.Size());
  state.counters["rows"] = static_cast<double>(engine.Dirs.rows.size());
}
BENCHMARK(ListRoot)->Unit(benchmark::kMillisecond);

void ListDepth5(benchmark::State& state) {
  QuietHost host;
  rondo::Engine engine(host);
  OpenFirstDisc(engine, DeepCatalogue());
  // Stand in the last directory at level 5: its listing walks almost the
  // whole block.
  engine.BlockCache.Seek(0);
  rondo::ItemPrefix prefix;
  rondo::TDirInfo dir;
  std::uint64_t items = 0;
  bool found = false;
  while (!engine.BlockCache.Eof()) {
    prefix = rondo::ReadItemPrefix(engine.BlockCache);
    ++items;
    if (prefix.IsDirectory()) {
      rondo::ReadDirRecord(engine.BlockCache, prefix, dir);
      if (dir.Level == 5) {
        if (found)
          engine.DirStack.pop_back();
        found = true;
        engine.DirStack.push_back(
            {rondo::ToUtf8(rondo::CharArrayToStr(dir.Name)), rondo::SizeToText(dir.Size)});
      }
    } else {
      rondo::TFileInfo file;
      rondo::ReadFileRecord(engine.BlockCache, prefix, file);
    }
  }
  if (!found) {
    state.SkipWithError("no directory at depth 5");
    return;
  }
  engine.CurrentDepth = 5;
  for (auto _ : state)
    engine.RunOperation(rondo::OperationCode::kShowDirectory);
  state.counters["items_on_disc"] = static_cast<double>(items);
  state.counters["rows"] = static_cast<double>(engine.Dirs.rows.size());
}
BENCHMARK(ListDepth5)->Unit(benchmark::kMillisecond);

void ListFlatRoot(benchmark::State& state) {
  QuietHost host;
  rondo::Engine engine(host);
  OpenFirstDisc(engine, FlatCatalogue());
  for (auto _ : state)
    engine.RunOperation(rondo::OperationCode::kShowDiscRoot);
  state.counters["rows"] = static_cast<double>(engine.Dirs.rows.size());
}
BENCHMARK(ListFlatRoot)->Unit(benchmark::kMillisecond);

void SortRows(benchmark::State& state) {
  QuietHost host;
  rondo::Engine engine(host);
  OpenFirstDisc(engine, FlatCatalogue());
  const auto unsorted = engine.Dirs.rows;
  const int column = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    engine.Dirs.rows = unsorted;
    state.ResumeTiming();
    engine.SortDirList(column);
  }
  state.counters["rows"] = static_cast<double>(unsorted.size());
}
BENCHMARK(SortRows)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(DeepCatalogue());
  std::filesystem::remove(FlatCatalogue());
  return 0;
}
