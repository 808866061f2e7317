// SPDX-License-Identifier: GPL-3.0-or-later
// The filter field above the disc list: narrowing 10,000 disc rows to the
// ones that hold the typed text, as the window does at every keystroke.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

#include "catalogue/disc_filter.h"

namespace {

rondo::DiscList GeneratedDiscs(std::size_t count) {
  static const char* const kWords[] = {"Fotky", "Hudba",     "Záloha", "Filmy",      "Čeština",
                                       "Hry",   "Dokumenty", "Šachy",  "Účetnictví", "Léto"};
  static const char* const kGroups[] = {"Rodina", "Práce;Záloha", "Hry", "Filmy;Hudba", ""};
  std::mt19937 random(42);
  rondo::DiscList list;
  list.rows.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    auto& c = list.rows[i].cells;
    c[rondo::kColDescription] =
        std::string(kWords[random() % 10]) + " " + kWords[random() % 10] + " " + std::to_string(i);
    char serial[10];
    std::snprintf(serial, sizeof serial, "%04X-%04X", static_cast<unsigned>(random() & 0xFFFF),
                  static_cast<unsigned>(i & 0xFFFF));
    c[rondo::kColSerial] = serial;
    c[rondo::kColVolumeLabel] = "DISK_" + std::to_string(i % 977);
    c[rondo::kColGroups] = kGroups[random() % 5];
    list.rows[i].selected = i % 3 == 0;
  }
  return list;
}

// One keystroke: the rows that hold the text typed so far.
void FilterDiscs(benchmark::State& state, const char* typed) {
  const rondo::DiscList generated = GeneratedDiscs(10000);
  rondo::DiscList list = generated;
  std::size_t shown = 0;
  for (auto _ : state) {
    const auto rows = rondo::DiscFilter(typed).Apply(list);
    shown = rows.size();
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["rows"] = static_cast<double>(generated.rows.size());
  state.counters["shown"] = static_cast<double>(shown);
}
BENCHMARK_CAPTURE(FilterDiscs, one_letter, "z")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FilterDiscs, word, "ZÁLOHA")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FilterDiscs, serial, "1a2b-")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FilterDiscs, nothing, "nic takového")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
