// The segment render's inner loop: the sounding voices of the sampler side by side, eight
// to a vector, repeating the per-sample voice arithmetic of sound/Sampler.cpp lane by lane.
#pragma once

#include <cstdint>

namespace voicekernel {

// Closeness at which an envelope counts as having reached its target; also the level the
// rates are computed to reach after the stated number of samples.
constexpr float kEnvelopeEpsilon = 0.00005f;
// Four voices at full level reading full scale make full scale.
constexpr float kMixGain = 0.25f;
// The envelope state that stays silent (CEnvelope::kOff).
constexpr int32_t kOffState = 4;

// The segment render keeps the sounding voices in lanes of eight, one field per vector. The
// vectors are GCC's generic ones: the same source compiles to SSE2 pairs in the baseline and
// to AVX2 in the variant built for it, with identical per-lane arithmetic. No variant may
// fuse a multiply and an add: that would round once where the per-sample path rounds twice.
constexpr int32_t kLaneWidth = 8;
constexpr int32_t kGroupCapacity = 32 / kLaneWidth;  // the sampler's voices
constexpr int32_t kSmoothingStages = 4;

typedef float Floats __attribute__((vector_size(kLaneWidth * sizeof(float))));
typedef int32_t Ints __attribute__((vector_size(kLaneWidth * sizeof(int32_t))));
typedef uint32_t Words __attribute__((vector_size(kLaneWidth * sizeof(uint32_t))));
typedef double Doubles __attribute__((vector_size(kLaneWidth * sizeof(double))));

// How the recordings of a segment's voices hold their samples (see CWaveData), and for 16-bit
// samples whether the last smoothing stage shapes them (the first three hand them through).
enum class SampleFormat { pcm16, pcm16LastStage, float32 };

struct VoiceLanes
{
    Floats step[kGroupCapacity];  // bend x ratio x rate step, fixed for the segment
    Floats fraction[kGroupCapacity];
    Ints position[kGroupCapacity];
    // velocityGain; for 16-bit samples times 1/32768, which the kernel then leaves out of
    // every sample. Scaling by a power of two is exact, so gain x (v / 32768) and
    // (gain / 32768) x v round the same product alike.
    Floats gain[kGroupCapacity];
    Floats value[kGroupCapacity];
    Ints state[kGroupCapacity];
    Floats smoothingState[kSmoothingStages][kGroupCapacity];
    Floats smoothingCoefficient[kSmoothingStages][kGroupCapacity];
    Ints loopStart[kGroupCapacity];
    Ints loopLength[kGroupCapacity];
    Doubles inverseLoopLength[kGroupCapacity];
    const void* data[kGroupCapacity][kLaneWidth];  // in the segment's one sample format
    Floats rateCoefficients;  // envelopeRates by state, padded to a full vector
    Floats rateTargets;
    // Every envelope of the group holds its value for the whole segment: sustaining, or off
    // and silent.
    bool envelopeSteady[kGroupCapacity];
    int32_t groups;
};

// Stands for a padding lane's recording: one silent sample, never moved from.
const void* silentSample(SampleFormat format);

// Renders count samples of the voices in lanes into out and leaves their moved state in
// lanes. 16-bit samples are handed through the smoothing chain unchanged, or through all but
// its last stage for pcm16LastStage, which the caller must have made sure of. Without
// mayLoop every lane is known to stay at or above position 0
// and below its loop start for the whole segment. avx2 picks the variant built for that
// instruction set.
void renderVoiceLanes(VoiceLanes& lanes, float* out, int32_t count, bool mayLoop,
                      SampleFormat format, bool avx2);

}  // namespace voicekernel
