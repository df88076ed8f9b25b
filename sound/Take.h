// How a string is played, and so which take of its recordings a note starts. A string note's
// MIDI channel names the take: the strum engine sends channel 0, the ringing take, unless a
// key or a pattern step asks for a dead or palm-muted stroke.
#pragma once

#include <cstdint>

enum class Take : int32_t { ringing = 0, palmMuted = 1, dead = 2 };
constexpr int32_t kTakeCount = 3;

// The MIDI channel that asks the sampler for a take.
constexpr int32_t channelOf(Take take)
{
    return static_cast<int32_t>(take);
}
