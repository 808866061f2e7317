// SPDX-License-Identifier: GPL-3.0-or-later
// Removing one disc from a 500 MB catalogue against `cp` of the same file,
// and the in-place lending change, which must not depend on block sizes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "acquisition/scanner.h"
#include "catalogue/engine.h"
#include "catalogue/format/entry_walker.h"
#include "generator.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

class QuietHost : public rondo::EngineHost {
 public:
  bool Confirm(const std::string&) override { return true; }
  void ShowMessage(const std::string& text) override { throw std::runtime_error(text); }
  std::optional<std::string> AskText(const TextPrompt&) override { return "Pepa"; }
};

std::string Temp(const std::string& name) {
  return (fs::temp_directory_path() / ("rondo-bench-" + name + "-" + std::to_string(::getpid())))
      .string();
}

const std::string& Original() {
  static const std::string path = [] {
    const std::string p = Temp("maint") + ".big";
    rondo::bench::GenerateCatalogue(p, {.discs = 10000, .itemsPerDisc = 1400, .seed = 9});
    return p;
  }();
  return path;
}

std::string MiddleSerial(const std::string& path) {
  rondo::FileStream file(path, rondo::FileStream::Mode::kReadOnly);
  rondo::EntryWalker walker(file);
  rondo::CdHeader h;
  std::string serial;
  for (int i = 0; i < 5000 && walker.Next(h); ++i)
    serial = h.Serial.Text().bytes;
  return serial;
}

// Every timed run starts with nothing left to write out from the setup, so
// the preparing copy's write-out is not charged to whatever runs next; the
// pause lets the disk (a virtual one, often) finish what sync handed it.
void SettleWrites() {
  ::sync();
  ::sleep(1);
}

void Select(rondo::Engine& engine, const std::string& serial) {
  engine.Discs.rows.assign(1, {});
  engine.Discs.rows[0].cells[rondo::kColSerial] = serial;
  engine.Discs.rows[0].selected = true;
}

void RemoveOneDisc(benchmark::State& state) {
  const std::string work = Temp("remove") + ".big";
  const std::string serial = MiddleSerial(Original());
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = work;
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(Original(), work, fs::copy_options::overwrite_existing);
    Select(engine, serial);
    SettleWrites();
    state.ResumeTiming();
    engine.RunOperation(rondo::OperationCode::kRemoveCds);
  }
  state.counters["file_MB"] = static_cast<double>(fs::file_size(Original())) / (1 << 20);
  fs::remove(work);
}
BENCHMARK(RemoveOneDisc)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// `cp` of the catalogue to a new file, as a user would copy it. The copy
// only reaches the page cache; its write-out is settled before the next run.
bool RunCp(benchmark::State& state, std::string& from, std::string& to) {
  char cp[] = "cp";
  char* argv[] = {cp, from.data(), to.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0) {
    state.SkipWithError("cp could not be started");
    return false;
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return true;
}

// `cp` to a new file over and over; with flush, each copy is also flushed
// to the medium before the clock stops.
void TimedCopies(benchmark::State& state, const std::string& name, bool flush) {
  std::string from = Original();
  std::string to = Temp(name) + ".big";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(to);
    SettleWrites();
    state.ResumeTiming();
    if (!RunCp(state, from, to))
      break;
    if (flush) {
      const int fd = ::open(to.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0 || ::fsync(fd) != 0) {
        state.SkipWithError("the copy could not be flushed");
        break;
      }
      ::close(fd);
    }
  }
  fs::remove(to);
}

void Copy(benchmark::State& state) {
  TimedCopies(state, "cp", false);
}
BENCHMARK(Copy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same `cp`, then the copy flushed to the medium: what the catalogue's
// own rewrites must do before the new file may replace the old one.
void CopyAndFlush(benchmark::State& state) {
  TimedCopies(state, "cpf", true);
}
BENCHMARK(CopyAndFlush)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A comment change in the first disc: the whole catalogue after it moves.
void CommentInFirstDisc(benchmark::State& state) {
  const std::string work = Temp("comment") + ".big";
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = work;
  engine.ShowForeignItems = true;
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(Original(), work, fs::copy_options::overwrite_existing);
    engine.LoadedSerial.clear();
    engine.RunOperation(rondo::OperationCode::kListCds);
    // The first disc in the file, opened at its root, its first item chosen.
    rondo::FileStream file(work, rondo::FileStream::Mode::kReadOnly);
    rondo::EntryWalker walker(file);
    rondo::CdHeader h;
    walker.Next(h);
    for (auto& row : engine.Discs.rows)
      row.selected = row.cells[rondo::kColSerial] == h.Serial.Text().bytes;
    engine.OpenSelectedDisc();
    engine.Dirs.rows.at(1).selected = true;
    SettleWrites();
    state.ResumeTiming();
    engine.RunOperation(rondo::OperationCode::kChangeItemComment);
  }
  fs::remove(work);
}
BENCHMARK(CommentInFirstDisc)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Storing a newly scanned disc: the catalogue with the new entry is written
// beside the old one and replaces it, like a removal.
void StoreOneDisc(benchmark::State& state) {
  const std::string work = Temp("store") + ".big";
  // The entry: the first disc of the catalogue under a serial no disc has.
  std::vector<std::uint8_t> entry;
  {
    rondo::FileStream file(Original(), rondo::FileStream::Mode::kReadOnly);
    rondo::EntryWalker walker(file);
    rondo::CdHeader h;
    walker.Next(h);
    h.Serial.Set(rondo::Cp1250Text("FFFF-FFFF"));
    rondo::MemoryStream out;
    rondo::WriteCdHeader(out, h);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(walker.BlockLength()));
    file.Seek(walker.BlockStart());
    file.Read(block.data(), block.size());
    out.Write(block.data(), block.size());
    entry = std::move(out.Bytes());
  }
  rondo::ScanProgress progress;
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(Original(), work, fs::copy_options::overwrite_existing);
    SettleWrites();
    state.ResumeTiming();
    rondo::StoreScannedEntry(work, entry, progress);
  }
  state.counters["entry_kB"] = static_cast<double>(entry.size()) / 1024;
  fs::remove(work);
}
BENCHMARK(StoreOneDisc)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void LendOneDisc(benchmark::State& state) {
  const std::string work = Temp("lend") + ".big";
  fs::copy_file(Original(), work, fs::copy_options::overwrite_existing);
  const std::string serial = MiddleSerial(work);
  QuietHost host;
  rondo::Engine engine(host);
  engine.DatabasePath = work;
  for (auto _ : state) {
    Select(engine, serial);
    engine.RunOperation(rondo::OperationCode::kLendCds);
  }
  fs::remove(work);
}
BENCHMARK(LendOneDisc)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove(Original());
  return 0;
}
