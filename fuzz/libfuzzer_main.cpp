// SPDX-License-Identifier: GPL-3.0-or-later
// The libFuzzer entry point; RONDO_FUZZ_TARGET names the target function.
#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return RONDO_FUZZ_TARGET(data, size);
}
