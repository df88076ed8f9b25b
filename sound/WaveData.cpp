// Recording storage with its validity rules.
#include "sound/WaveData.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int32_t kDefaultLength = 20;
// One cycle of the default 20 samples at 44100 Hz.
constexpr float kDefaultRoot = 2205.0f;
// Shared by every default record, so a record (and each voice's stand-in) allocates nothing.
const uint8_t kSilentCycle[2 * kDefaultLength] = {};

}  // namespace

CWaveData::CWaveData()
    : pcmBytes(kSilentCycle),
      count(kDefaultLength),
      root(kDefaultRoot),
      firstLooped(0),
      lastLooped(kDefaultLength - 1)
{
}

bool CWaveData::isValid(const void* newSamples, float rootFrequency, int32_t newCount,
                        int32_t loopStart, int32_t loopEnd)
{
    // A NaN or infinite root would turn every voice step into an invalid conversion.
    return newSamples != nullptr && newCount >= 3 && std::isfinite(rootFrequency) &&
           rootFrequency >= 1.0f && loopStart >= 0 && loopStart <= newCount - 1 &&
           loopEnd > loopStart && loopEnd <= newCount - 1;
}

void CWaveData::setData(float rootFrequency, const float* newSamples, int32_t newCount,
                        int32_t loopStart, int32_t loopEnd)
{
    if (!isValid(newSamples, rootFrequency, newCount, loopStart, loopEnd)) {
        return;
    }
    floats.reset(new float[newCount]);
    std::copy(newSamples, newSamples + newCount, floats.get());
    pcmBytes = nullptr;
    count = newCount;
    root = rootFrequency;
    firstLooped = loopStart;
    lastLooped = loopEnd;
}

void CWaveData::setPcm(float rootFrequency, const uint8_t* pcm, int32_t newCount,
                       int32_t loopStart, int32_t loopEnd)
{
    if (!isValid(pcm, rootFrequency, newCount, loopStart, loopEnd)) {
        return;
    }
    floats.reset();
    pcmBytes = pcm;
    count = newCount;
    root = rootFrequency;
    firstLooped = loopStart;
    lastLooped = loopEnd;
}
