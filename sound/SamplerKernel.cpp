// The vectorised voice loop. The vectors are GCC's generic ones: the same source compiles to
// SSE2 pairs in the baseline and to AVX2 in the variant built for it, with identical per-lane
// arithmetic, so renders are reproducible to the bit whichever runs.
#include "sound/SamplerKernel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "sound/WaveData.h"

namespace voicekernel {

namespace {

constexpr float kPcmScale = CWaveData::kPcmScale;

// Lane permutes. Clang lacks GCC's __builtin_shuffle, and its own builtin takes only
// constant indices; the clang build (used for fuzzing) permutes lane by lane instead.
#if defined(__clang__)
inline Floats lanePermute(Floats a, Ints mask)
{
    Floats result;
    for (int32_t i = 0; i < kLaneWidth; ++i) result[i] = a[mask[i] & (kLaneWidth - 1)];
    return result;
}

inline Floats lanePermute(Floats a, Floats b, Ints mask)
{
    Floats result;
    for (int32_t i = 0; i < kLaneWidth; ++i) {
        const int32_t k = mask[i] & (2 * kLaneWidth - 1);
        result[i] = k < kLaneWidth ? a[k] : b[k - kLaneWidth];
    }
    return result;
}
#else
#define lanePermute __builtin_shuffle
#endif

// Transposes eight rows of eight: row t holds one output sample of eight voices, and each
// result holds eight output samples of one voice.
inline __attribute__((always_inline)) void transpose(Floats (&rows)[kLaneWidth])
{
    const Ints low = {0, 8, 1, 9, 4, 12, 5, 13};
    const Ints high = {2, 10, 3, 11, 6, 14, 7, 15};
    const Ints evenPairs = {0, 1, 8, 9, 4, 5, 12, 13};
    const Ints oddPairs = {2, 3, 10, 11, 6, 7, 14, 15};
    const Ints lowHalves = {0, 1, 2, 3, 8, 9, 10, 11};
    const Ints highHalves = {4, 5, 6, 7, 12, 13, 14, 15};
    Floats t[kLaneWidth];
    for (int32_t i = 0; i < kLaneWidth; i += 2) {
        t[i] = lanePermute(rows[i], rows[i + 1], low);
        t[i + 1] = lanePermute(rows[i], rows[i + 1], high);
    }
    Floats u[kLaneWidth];
    for (int32_t i = 0; i < kLaneWidth; i += 4) {
        u[i] = lanePermute(t[i], t[i + 2], evenPairs);
        u[i + 1] = lanePermute(t[i], t[i + 2], oddPairs);
        u[i + 2] = lanePermute(t[i + 1], t[i + 3], evenPairs);
        u[i + 3] = lanePermute(t[i + 1], t[i + 3], oddPairs);
    }
    for (int32_t i = 0; i < 4; ++i) {
        rows[i] = lanePermute(u[i], u[i + 4], lowHalves);
        rows[i + 4] = lanePermute(u[i], u[i + 4], highHalves);
    }
}

// One voice's sample at index, read from its recording in the segment's format: a float, or
// a 16-bit value as it is stored. The 1/32768 that makes the latter the value the per-sample
// path reads is carried by the gain (see VoiceLanes::gain).
template <SampleFormat format>
inline __attribute__((always_inline)) void gatherSamples(const void* const (&data)[kLaneWidth],
                                                        const Ints& index, Floats& signal)
{
    if (format == SampleFormat::float32) {
#pragma GCC unroll 8
        for (int32_t l = 0; l < kLaneWidth; ++l) {
            signal[l] = static_cast<const float*>(data[l])[index[l]];
        }
        return;
    }
    // The indices leave the vector two at a time: one move of 64 bits and a shift cost less
    // than two moves of one lane each, and moving lanes out is most of the cost of a read.
    typedef uint64_t Pairs __attribute__((vector_size(kLaneWidth * sizeof(uint32_t))));
    const Pairs pairs = Pairs(index);
    Ints raw;
#pragma GCC unroll 4
    for (int32_t p = 0; p < kLaneWidth / 2; ++p) {
        const uint64_t both = pairs[p];
        const uint8_t* low = static_cast<const uint8_t*>(data[2 * p]) + 2 * size_t(uint32_t(both));
        const uint8_t* high =
            static_cast<const uint8_t*>(data[2 * p + 1]) + 2 * size_t(uint32_t(both >> 32));
        raw[2 * p] = static_cast<int16_t>(static_cast<uint16_t>(low[0] | low[1] << 8));
        raw[2 * p + 1] = static_cast<int16_t>(static_cast<uint16_t>(high[0] | high[1] << 8));
    }
    signal = __builtin_convertvector(raw, Floats);
}

// Renders count samples of the groups of voices in lanes. Without mayLoop the folding into
// the loop is spared. The group count is fixed at compile time so that the loop-carried
// fields of one or two groups stay in registers.
//
// Two parts of the per-sample arithmetic are spared where they change nothing: 16-bit
// samples skip the smoothing chain, which hands them through unchanged (see handsThroughPcm
// in sound/Sampler.cpp), and a group whose envelopes all hold their value skips the
// envelope.
template <bool mayLoop, int32_t groups, SampleFormat format, bool allSteady>
inline __attribute__((always_inline)) void renderGroups(VoiceLanes& lanes, float* out,
                                                         int32_t count)
{
    constexpr bool smooth = format == SampleFormat::float32;
    // 16-bit samples through the last stage alone, in their stored scale: the stage is
    // linear and the scale a power of two, so every rounding falls as in the per-sample path.
    constexpr bool lastStage = format == SampleFormat::pcm16LastStage;
    constexpr int32_t last = kSmoothingStages - 1;
    const Floats zeros = {};
    const Ints noInts = {};
    const Ints offState = noInts + kOffState;
    const Ints magnitudeBits = noInts + 0x7fffffff;
    Floats fraction[groups];
    Ints position[groups];
    Floats value[groups];
    Ints state[groups];
    Floats smoothing[kSmoothingStages][groups];
    Floats signal[groups];
#pragma GCC unroll 4
    for (int32_t g = 0; g < groups; ++g) {
        fraction[g] = lanes.fraction[g];
        position[g] = lanes.position[g];
        value[g] = lanes.value[g];
        state[g] = lanes.state[g];
        signal[g] = zeros;
#pragma GCC unroll 4
        for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
            smoothing[stage][g] = lanes.smoothingState[stage][g];
        }
        if (lastStage) {
            smoothing[last][g] *= 1.0f / kPcmScale;
        }
    }
    for (int32_t done = 0; done < count; done += kLaneWidth) {
        const int32_t frames = std::min(kLaneWidth, count - done);
        Floats rows[groups][kLaneWidth];
        auto renderSample = [&](int32_t t) __attribute__((always_inline)) {
#pragma GCC unroll 4
            for (int32_t g = 0; g < groups; ++g) {
                Ints index = position[g];
                if (mayLoop) {
                    const Ints inLoop = position[g] >= lanes.loopStart[g];
                    // Only lanes in the loop use the offset, so its wrap for a negative
                    // position is harmless; unsigned arithmetic keeps it defined.
                    const Ints offset =
                        inLoop ? Ints(Words(position[g]) - Words(lanes.loopStart[g])) : noInts;
                    // A double quotient truncates to the exact one or one below it for any
                    // 32-bit offset, so a single correction gives the exact remainder.
                    const Ints quotient = __builtin_convertvector(
                        __builtin_convertvector(offset, Doubles) * lanes.inverseLoopLength[g],
                        Ints);
                    Ints remainder = offset - quotient * lanes.loopLength[g];
                    remainder = remainder >= lanes.loopLength[g]
                                    ? remainder - lanes.loopLength[g]
                                    : remainder;
                    index = inLoop ? lanes.loopStart[g] + remainder : position[g];
                    index = position[g] < noInts ? noInts : index;
                }
                gatherSamples<format>(lanes.data[g], index, signal[g]);
                if (mayLoop) {
                    signal[g] = position[g] < noInts ? zeros : signal[g];
                }
                Floats smoothed = signal[g];
                if (smooth) {
#pragma GCC unroll 4
                    for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
                        Floats& stageState = smoothing[stage][g];
                        const Floats coefficient = lanes.smoothingCoefficient[stage][g];
                        stageState = (smoothed - stageState) * coefficient + stageState;
                        smoothed = stageState;
                    }
                } else if (lastStage) {
                    Floats& stageState = smoothing[last][g];
                    stageState = (smoothed - stageState) * lanes.smoothingCoefficient[last][g] +
                                 stageState;
                    smoothed = stageState;
                }
                rows[g][t] = lanes.gain[g] * smoothed * value[g];

                const Floats advanceBy = lanes.step[g] + fraction[g];
                const Ints whole = __builtin_convertvector(advanceBy, Ints);
                position[g] = Ints(Words(position[g]) + Words(whole));
                fraction[g] = advanceBy - __builtin_convertvector(whole, Floats);

                if (groups == 1 ? !allSteady : !lanes.envelopeSteady[g]) {
                    const Floats coefficient = lanePermute(lanes.rateCoefficients, state[g]);
                    const Floats target = lanePermute(lanes.rateTargets, state[g]);
                    value[g] = (value[g] - target) * coefficient + target;
                    const Floats distance = Floats(Ints(value[g] - target) & magnitudeBits);
                    const Ints reached = (distance <= kEnvelopeEpsilon) & (state[g] != offState);
                    state[g] -= reached;  // a reached mask is -1
                }
            }
        };
        // A lone group's full batch is unrolled, so that the reads of its eight samples
        // overlap; with more groups that would run out of registers.
        if (groups == 1 && frames == kLaneWidth) {
#pragma GCC unroll 8
            for (int32_t t = 0; t < kLaneWidth; ++t) {
                renderSample(t);
            }
        } else {
            for (int32_t t = 0; t < frames; ++t) {
                renderSample(t);
            }
        }
        // Voices are summed in the order of their numbers, as the per-sample mix does; the
        // voices left out add exactly 0 there, which changes no sum.
        Floats sum = zeros;
#pragma GCC unroll 4
        for (int32_t g = 0; g < groups; ++g) {
            for (int32_t t = frames; t < kLaneWidth; ++t) {
                rows[g][t] = zeros;
            }
            transpose(rows[g]);
#pragma GCC unroll 8
            for (int32_t l = 0; l < kLaneWidth; ++l) {
                sum += rows[g][l];
            }
        }
        sum *= kMixGain;
        std::memcpy(out + done, &sum, sizeof(float) * frames);
    }
#pragma GCC unroll 4
    for (int32_t g = 0; g < groups; ++g) {
        lanes.fraction[g] = fraction[g];
        lanes.position[g] = position[g];
        lanes.value[g] = value[g];
        lanes.state[g] = state[g];
#pragma GCC unroll 4
        for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
            // A chain handed through holds the last sample in every stage.
            lanes.smoothingState[stage][g] = smooth ? smoothing[stage][g] : signal[g] * kPcmScale;
        }
        if (lastStage) {
            lanes.smoothingState[last][g] = smoothing[last][g] * kPcmScale;
        }
    }
}

template <bool mayLoop, SampleFormat format>
inline __attribute__((always_inline)) void renderLanes(VoiceLanes& lanes, float* out,
                                                        int32_t count)
{
    switch (lanes.groups) {
    case 1:
        if (lanes.envelopeSteady[0]) {
            renderGroups<mayLoop, 1, format, true>(lanes, out, count);
        } else {
            renderGroups<mayLoop, 1, format, false>(lanes, out, count);
        }
        break;
    case 2: renderGroups<mayLoop, 2, format, false>(lanes, out, count); break;
    case 3: renderGroups<mayLoop, 3, format, false>(lanes, out, count); break;
    default: renderGroups<mayLoop, 4, format, false>(lanes, out, count); break;
    }
}

// The same source for every instruction set; always_inline makes each variant its own copy.
inline __attribute__((always_inline)) void renderAny(VoiceLanes& lanes, float* out,
                                                      int32_t count, bool mayLoop,
                                                      SampleFormat format)
{
    if (format == SampleFormat::pcm16) {
        if (mayLoop) {
            renderLanes<true, SampleFormat::pcm16>(lanes, out, count);
        } else {
            renderLanes<false, SampleFormat::pcm16>(lanes, out, count);
        }
    } else if (format == SampleFormat::pcm16LastStage) {
        if (mayLoop) {
            renderLanes<true, SampleFormat::pcm16LastStage>(lanes, out, count);
        } else {
            renderLanes<false, SampleFormat::pcm16LastStage>(lanes, out, count);
        }
    } else if (mayLoop) {
        renderLanes<true, SampleFormat::float32>(lanes, out, count);
    } else {
        renderLanes<false, SampleFormat::float32>(lanes, out, count);
    }
}

void renderBaseline(VoiceLanes& lanes, float* out, int32_t count, bool mayLoop,
                    SampleFormat format)
{
    renderAny(lanes, out, count, mayLoop, format);
}

__attribute__((target("avx2"))) void renderAvx2(VoiceLanes& lanes, float* out, int32_t count,
                                                bool mayLoop, SampleFormat format)
{
    renderAny(lanes, out, count, mayLoop, format);
}

// Read by padding lanes, which never move.
const float kSilentFloat[1] = {0.0f};
const uint8_t kSilentPcm[2] = {0, 0};

}  // namespace

const void* silentSample(SampleFormat format)
{
    return format != SampleFormat::float32 ? static_cast<const void*>(kSilentPcm)
                                         : static_cast<const void*>(kSilentFloat);
}

void renderVoiceLanes(VoiceLanes& lanes, float* out, int32_t count, bool mayLoop,
                      SampleFormat format, bool avx2)
{
    if (avx2) {
        renderAvx2(lanes, out, count, mayLoop, format);
    } else {
        renderBaseline(lanes, out, count, mayLoop, format);
    }
}

}  // namespace voicekernel
