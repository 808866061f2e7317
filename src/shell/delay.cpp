// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting without freezing the window.

#include "shell/delay.h"

#include <chrono>
#include <thread>

namespace rondo {

void DelayMs(std::uint32_t ms, const std::function<void()>& pump) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const Clock::duration wanted = std::chrono::milliseconds(ms);
  for (;;) {
    const Clock::duration elapsed = Clock::now() - start;
    if (elapsed >= wanted) {
      return;
    }
    if (pump) {
      pump();
      // A short nap between pumps keeps the wait from burning a whole core.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
      std::this_thread::sleep_for(wanted - elapsed);
    }
  }
}

}  // namespace rondo
