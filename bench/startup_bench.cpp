// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's start on a 10,000-disc catalogue: from constructing the
// window to the disc list on screen (settings read, group menu built, discs
// listed, window shown and painted). And the directory list showing a
// directory of 100,000 files: model reset plus the view's update.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTreeView>
#include <filesystem>
#include <memory>

#include "catalogue/dir_list.h"
#include "generator.h"
#include "gui/TMainForm.h"
#include "gui/dir_list_model.h"
#include "gui/disc_list_model.h"
#include "gui/icon_cache.h"
#include "settings/registry.h"

namespace {

const std::string& Catalogue() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("rondo-startup-bench-" + std::to_string(::getpid()) + ".big"))
                              .string();
    rondo::bench::GenerateCatalogue(p, {.discs = 10000, .itemsPerDisc = 200, .seed = 42});
    return p;
  }();
  return path;
}

void StartupToDiscList(benchmark::State& state) {
  const std::string& path = Catalogue();
  int rows = 0;
  for (auto _ : state) {
    rondo::MemoryRegistry registry;
    registry.WriteText("Cesta", path);
    registry.WriteText("VerzeProgramu", rondo::gui::kApplicationTitle);
    auto window = std::make_unique<rondo::gui::TMainForm>(registry);
    window->splashMilliseconds = 0;
    window->quitOnClose = false;
    window->start();
    window->show();
    QCoreApplication::processEvents();
    rows = window->discModel()->rowCount();
    benchmark::DoNotOptimize(rows);

    state.PauseTiming();
    window.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["rows"] = rows;
}
BENCHMARK(StartupToDiscList)->Unit(benchmark::kMillisecond);

void DirectoryListOf100kRows(benchmark::State& state) {
  rondo::DirList list;
  constexpr std::size_t kRows = 100000;
  list.rows.reserve(kRows);
  for (std::size_t i = 0; i < kRows; ++i) {
    static const char* const kExtensions[] = {".txt", ".jpg", ".mp3", ".pdf", ".zip", ""};
    std::string name = "soubor ";
    name += std::to_string(i);
    name += kExtensions[i % 6];
    std::string size = std::to_string(i * 37 % 100000);
    size += " B";
    // Each row made whole (name, size, attributes, time) in one expression.
    list.rows.push_back(
        rondo::DirRow{.cells = {std::move(name), std::move(size), "a", "1.1.2020 12:00:00"},
                      .kind = i < 50 ? rondo::DirRowKind::kDirectory : rondo::DirRowKind::kFile});
  }
  rondo::gui::IconCache icons;
  rondo::gui::DirListModel model(list, icons);
  QTreeView view;
  view.setUniformRowHeights(true);
  view.setRootIsDecorated(false);
  view.setModel(&model);
  view.resize(900, 500);
  view.show();
  QCoreApplication::processEvents();
  bool top = true;
  for (auto _ : state) {
    model.BeginReset();
    model.EndReset();
    // Alternate ends so every round paints rows it has not just painted.
    if (top)
      view.scrollToTop();
    else
      view.scrollToBottom();
    top = !top;
    view.viewport()->repaint();
    QCoreApplication::processEvents();
  }
  state.counters["rows"] = model.rowCount();
}
BENCHMARK(DirectoryListOf100kRows)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // The window's settings must never be the user's.
  const std::string settings = (std::filesystem::temp_directory_path() /
                                ("rondo-startup-bench-" + std::to_string(::getpid()) + ".ini"))
                                   .string();
  qputenv("RONDOTHEKA_REGISTRY", settings.c_str());
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(Catalogue());
  std::filesystem::remove(settings);
  return 0;
}
