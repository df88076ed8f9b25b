// Millisecond tick count and short sleeps for the editor's idle pacing.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds from an arbitrary fixed start; wraps like any 32-bit tick count.
uint32_t tickCount();
void sleepMs(uint32_t milliseconds);

}  // namespace platform
