// Tick count and sleep on the monotonic clock, which wall-clock changes cannot move.
#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

uint32_t tickCount()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
    return static_cast<uint32_t>(ms);
}

void sleepMs(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace platform
