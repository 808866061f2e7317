// SPDX-License-Identifier: GPL-3.0-or-later
// A wait that keeps the window alive.
#pragma once

#include <cstdint>
#include <functional>

namespace rondo {

// Waits until at least ms milliseconds have passed on the monotonic clock,
// calling pump (when given) between looks at the clock so pending window
// events run. Without pump the thread sleeps instead of spinning.
void DelayMs(std::uint32_t ms, const std::function<void()>& pump = {});

}  // namespace rondo
