// SPDX-License-Identifier: GPL-3.0-or-later
// Cataloguing a disc image of 100,000 files in 5,000 directories against
// `bsdtar -tvf` over the same image, in the same run, and the peak memory
// of cataloguing that image and of the same tree with a file of
// 4 GiB - 1 bytes beside it (an image 20 times larger).
//
//   build/bench/image_bench [WORK_FOLDER]
//
// Needs xorriso and bsdtar (libarchive-tools). Prints the medians of three
// runs after one to warm the page cache.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "acquisition/scanner.h"
#include "images/disc_image.h"
#include "settings/registry.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Run {
  double seconds = 0;
  long peakKb = 0;
};

// 5,000 directories up to eight levels deep holding 100,000 small files,
// as the folder benchmark makes them.
void MakeTree(const fs::path& root) {
  fs::create_directories(root);
  std::mt19937 random(11);
  std::vector<fs::path> dirs{root};
  std::vector<int> depth{0};
  while (dirs.size() < 5000) {
    const std::size_t parent = random() % dirs.size();
    if (depth[parent] >= 8)
      continue;
    dirs.push_back(dirs[parent] / ("adresář " + std::to_string(dirs.size())));
    depth.push_back(depth[parent] + 1);
    fs::create_directory(dirs.back());
  }
  for (int i = 0; i < 100000; ++i) {
    std::ofstream(dirs[random() % dirs.size()] / ("soubor_" + std::to_string(i) + ".txt"))
        << std::string(random() % 64, 'x');
  }
}

Run Finished(pid_t pid, std::chrono::steady_clock::time_point started) {
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const auto elapsed = std::chrono::steady_clock::now() - started;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "image_bench: a run failed\n");
    std::exit(1);
  }
  return {std::chrono::duration<double>(elapsed).count(), usage.ru_maxrss};
}

Run Bsdtar(const std::string& image) {
  char bsdtar[] = "bsdtar";
  char list[] = "-tvf";
  std::string path = image;
  char* argv[] = {bsdtar, list, path.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto started = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "bsdtar", &actions, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "image_bench: bsdtar could not be started\n");
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  return Finished(pid, started);
}

// What rondotheka-cli add IMAGE does, in a child of its own so that its
// peak memory is its own: the image's tree read, the disc scanned into an
// entry and stored in a fresh catalogue.
Run Catalogue(const std::string& image, const std::string& catalogue) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    try {
      std::ofstream(catalogue, std::ios::trunc);
      rondo::images::DiscImage disc(image);
      rondo::ScanRequest request{.root = image, .description = "Obraz"};
      request.volume = disc.Volume();
      rondo::MemoryRegistry registry;
      rondo::ScanProgress progress;
      const rondo::ScanResult result = rondo::ScanDisc(request, disc, registry, progress);
      rondo::StoreScannedEntry(catalogue, result.entry, progress);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "image_bench: %s\n", e.what());
      ::_exit(1);
    }
    ::_exit(0);
  }
  return Finished(pid, started);
}

Run Median(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  Run median = runs[runs.size() / 2];
  for (const Run& r : runs)
    median.peakKb = std::max(median.peakKb, r.peakKb);
  return median;
}

void MakeImage(const fs::path& work, const std::string& tree, const std::string& image) {
  const std::string command = "cd '" + work.string() +
                              "' && LC_ALL=C.UTF-8 xorriso -as mkisofs -J -R -quiet " + tree +
                              " 2>/dev/null | cp --sparse=always /dev/stdin '" + image + "'";
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "image_bench: xorriso failed: %s\n", command.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path work =
      argc > 1 ? fs::path(argv[1])
               : fs::temp_directory_path() / ("rondo-image-bench-" + std::to_string(::getpid()));
  fs::create_directories(work);
  MakeTree(work / "strom");
  const std::string image = (work / "strom.iso").string();
  MakeImage(work, "strom", image);
  const std::string catalogue = (work / "katalog.big").string();

  Bsdtar(image);
  Catalogue(image, catalogue);
  std::vector<Run> tar, ours;
  for (int i = 0; i < 3; ++i) {
    tar.push_back(Bsdtar(image));
    ours.push_back(Catalogue(image, catalogue));
  }
  const Run t = Median(tar), o = Median(ours);

  // The same tree beside a file of 4 GiB - 1 bytes: an image twenty times
  // larger with the same number of entries.
  fs::create_directories(work / "velký");
  fs::rename(work / "strom", work / "velký" / "strom");
  { std::ofstream(work / "velký" / "velký.bin"); }
  fs::resize_file(work / "velký" / "velký.bin", 0xFFFFFFFFull);
  const std::string large = (work / "velký.iso").string();
  MakeImage(work, "velký", large);
  Catalogue(large, catalogue);
  std::vector<Run> big;
  for (int i = 0; i < 3; ++i)
    big.push_back(Catalogue(large, catalogue));
  const Run b = Median(big);

  std::printf("image of 100,000 files in 5,000 directories: %.0f MB\n",
              static_cast<double>(fs::file_size(image)) / 1e6);
  std::printf("bsdtar -tvf:          %7.0f ms, peak %6ld kB\n", t.seconds * 1000, t.peakKb);
  std::printf("catalogued:           %7.0f ms, peak %6ld kB\n", o.seconds * 1000, o.peakKb);
  std::printf("ratio:                %7.2f x bsdtar\n", o.seconds / t.seconds);
  std::printf("same tree + 4 GiB-1 file, image %.0f MB: catalogued %7.0f ms, peak %6ld kB\n",
              static_cast<double>(fs::file_size(large)) / 1e6, b.seconds * 1000, b.peakKb);
  fs::remove_all(work);
  return o.seconds <= 1.2 * t.seconds ? 0 : 2;
}
