// The humaniser's hash: splitmix64's finaliser over the seed, the position and the use.
#include "strum/Humaniser.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint64_t kTimeUse = 0x9E3779B97F4A7C15u;
constexpr uint64_t kVelocityUse = 0xD1B54A32D192ED03u;

uint64_t mix(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9u;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

float heldTo(float value, float maximum)
{
    return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, maximum);
}

}  // namespace

void Humaniser::set(float ms, float pct, uint32_t newSeed)
{
    milliseconds = heldTo(ms, kMaxMilliseconds);
    percent = heldTo(pct, kMaxPercent);
    seed = newSeed;
}

double Humaniser::share(int64_t position, uint64_t use) const
{
    const uint64_t bits = mix(mix(static_cast<uint64_t>(seed) + use) ^ static_cast<uint64_t>(position));
    // The top 53 bits as a fraction in [0, 1), then spread over [-1, 1).
    return static_cast<double>(bits >> 11) * 0x1p-52 - 1.0;
}

int64_t Humaniser::timeOffset(int64_t position, double sampleRate, double limit) const
{
    if (!movesTime()) return 0;
    const double most = std::min(milliseconds * 0.001 * sampleRate, std::max(limit, 0.0));
    return std::llround(share(position, kTimeUse) * most);
}

int32_t Humaniser::velocity(int64_t position, int32_t velocity) const
{
    if (percent <= 0.0f) return velocity;
    const double moved = velocity * (1.0 + share(position, kVelocityUse) * percent * 0.01);
    return static_cast<int32_t>(std::clamp<long>(std::lround(moved), 1, 127));
}
