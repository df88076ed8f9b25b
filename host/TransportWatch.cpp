// Decides from the host's positions whether a block continues the one before it.
#include "host/TransportWatch.h"

#include <algorithm>
#include <cmath>

namespace {

// One sample's slack for hosts that round the position they report.
constexpr double kSampleTolerance = 1.0;

// Whether moved lies within one tolerance of [low, high].
bool within(double moved, double low, double high, double tolerance)
{
    return moved >= low - tolerance && moved <= high + tolerance;
}

}  // namespace

bool TransportWatch::jumped(const VstTimeInfo* time, int32_t blockFrames, double hostRate)
{
    const bool jump = !known || !time || !followsOn(*time, hostRate);
    known = time != nullptr;
    if (time) {
        playing = (time->flags & kVstTransportPlaying) != 0;
        samplePos = time->samplePos;
        ppqPos = time->ppqPos;
        tempo = time->tempo;
        frames = blockFrames;
    }
    return jump;
}

bool TransportWatch::followsOn(const VstTimeInfo& time, double hostRate) const
{
    const bool nowPlaying = (time.flags & kVstTransportPlaying) != 0;
    if (nowPlaying != playing) return false;
    // A stopped transport may stand still or keep counting; a rolling one must run on by
    // exactly the last block's length.
    const double low = playing ? 1.0 : 0.0;

    // A host that leaves samplePos at zero fills in only the musical position.
    const bool samplesGiven = std::isfinite(time.samplePos) && std::isfinite(samplePos) &&
                              (time.samplePos != 0.0 || samplePos != 0.0);
    if (samplesGiven) {
        return within(time.samplePos - samplePos, low * frames, frames, kSampleTolerance);
    }

    // In quarter notes, the last block's length lies between what the two tempos give, so
    // a tempo change at the block boundary is no jump either.
    const double quartersPerSample = 1.0 / (60.0 * hostRate);
    const double slow = std::min(tempo, time.tempo) * quartersPerSample;
    const double fast = std::max(tempo, time.tempo) * quartersPerSample;
    return within(time.ppqPos - ppqPos, low * frames * slow, frames * fast,
                  kSampleTolerance * fast);
}
