// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks share besides the generated catalogue: an engine host
// that asks nobody, and the process's peak memory.
#pragma once

#include <sys/resource.h>

#include <stdexcept>
#include <string>

#include "catalogue/engine.h"

namespace rondo::bench {

// Says no to every question; a message is a failure of the benchmark.
class QuietHost : public EngineHost {
 public:
  bool Confirm(const std::string&) override { return false; }
  void ShowMessage(const std::string& text) override { throw std::runtime_error(text); }
};

// The largest resident size the process has had, in KiB.
inline long PeakRssKb() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace rondo::bench
