// Repeatable human timing and dynamics for pattern strokes: every nudge comes from a hash of
// the seed and the stroke's position in the song, so a song renders the same each time,
// whatever the block size or the point where rendering started, and a new seed plays it anew.
#pragma once

#include <cstdint>

class Humaniser
{
public:
    static constexpr float kMaxMilliseconds = 30.0f;
    static constexpr float kMaxPercent = 30.0f;
    // Song positions are counted in these ticks per beat, which every pattern grid divides.
    static constexpr int64_t kTicksPerBeat = 960;

    // Values outside 0 to 30 are held to the range; NaN counts as 0.
    void set(float milliseconds, float percent, uint32_t seed);
    bool movesTime() const { return milliseconds > 0.0f; }

    // The stroke at this position plays this many samples early (negative) or late: at most
    // the set time, and at most limit samples, so that neighbouring strokes keep their order.
    int64_t timeOffset(int64_t position, double sampleRate, double limit) const;
    // Its velocity moved by at most the set percentage, held to 1..127.
    int32_t velocity(int64_t position, int32_t velocity) const;

private:
    // An even share in [-1, 1] for one position and one use of it.
    double share(int64_t position, uint64_t use) const;

    float milliseconds = 0.0f;
    float percent = 0.0f;
    uint32_t seed = 0;
};
