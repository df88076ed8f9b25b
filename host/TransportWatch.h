// Tells a real transport jump from a host that raises the transport-changed bit on every
// block while its position simply runs on.
#pragma once

#include <cstdint>

#include "host/VstInterface.h"

class TransportWatch
{
public:
    // The next raised bit counts as a jump whatever the position says: after a resume the
    // last block we saw says nothing about where the host is now.
    void forget() { known = false; }

    // Whether this block starts somewhere other than where the last one led: the playing
    // state changed, or the position does not follow on from the last block's position and
    // length. time is the block's answer to the position request (null when the host gave
    // none), frames the block's length, hostRate the host's sample rate. Remembers this
    // block for the next question.
    bool jumped(const VstTimeInfo* time, int32_t frames, double hostRate);

private:
    bool followsOn(const VstTimeInfo& time, double hostRate) const;

    bool known = false;
    bool playing = false;
    double samplePos = 0.0;
    double ppqPos = 0.0;
    double tempo = 0.0;
    int32_t frames = 0;
};
