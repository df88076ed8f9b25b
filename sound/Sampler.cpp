// Voice allocation, playback and mixing of the sound engine. The per-sample arithmetic is
// single precision in a fixed operation order, so renders are reproducible to the bit; the
// segment render repeats that order lane by lane, eight voices to a vector.
#include "sound/Sampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Closeness at which an envelope counts as having reached its target; also the level the
// rates are computed to reach after the stated number of samples.
constexpr float kEnvelopeEpsilon = 0.00005f;
// velocity / 127 as a single-precision factor.
constexpr float kVelocityScale = 0.007874016f;
// Four voices at full level reading full scale make full scale.
constexpr float kMixGain = 0.25f;
// Pitch bend held to two octaves either way (see setBend).
constexpr float kLowestBend = 0.25f;
constexpr float kHighestBend = 4.0f;

bool isValidNote(int32_t value)
{
    return value >= 0 && value < CSampler::kNoteCount;
}

// The segment render keeps the sounding voices in lanes of eight, one field per vector. The
// vectors are GCC's generic ones: the same source compiles to SSE2 pairs in the baseline and
// to AVX2 in the variant built for it, with identical per-lane arithmetic. No variant may
// fuse a multiply and an add: that would round once where the per-sample path rounds twice.
constexpr int32_t kLaneWidth = 8;
constexpr int32_t kGroupCapacity = CSampler::kVoiceCount / kLaneWidth;
constexpr int32_t kSmoothingStages = 4;

typedef float Floats __attribute__((vector_size(kLaneWidth * sizeof(float))));
typedef int32_t Ints __attribute__((vector_size(kLaneWidth * sizeof(int32_t))));
typedef uint32_t Words __attribute__((vector_size(kLaneWidth * sizeof(uint32_t))));
typedef double Doubles __attribute__((vector_size(kLaneWidth * sizeof(double))));

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

// Read by padding lanes, which never move.
const float kSilence[1] = {0.0f};

struct VoiceLanes
{
    Floats step[kGroupCapacity];  // bend x ratio x rate step, fixed for the segment
    Floats fraction[kGroupCapacity];
    Ints position[kGroupCapacity];
    Floats gain[kGroupCapacity];
    Floats value[kGroupCapacity];
    Ints state[kGroupCapacity];
    Floats smoothingState[kSmoothingStages][kGroupCapacity];
    Floats smoothingCoefficient[kSmoothingStages][kGroupCapacity];
    Ints loopStart[kGroupCapacity];
    Ints loopLength[kGroupCapacity];
    Doubles inverseLoopLength[kGroupCapacity];
    const float* data[kGroupCapacity][kLaneWidth];
    Floats rateCoefficients;  // envelopeRates by state, padded to a full vector
    Floats rateTargets;
    int32_t groups;
};

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

// Renders count samples of the groups of voices in lanes. Without mayLoop every lane is
// known to stay at or above position 0 and below its loop start for the whole segment, which
// spares the folding into the loop. The group count is fixed at compile time so that the
// loop-carried fields of one or two groups stay in registers.
template <bool mayLoop, int32_t groups>
inline __attribute__((always_inline)) void renderGroups(VoiceLanes& lanes, float* out,
                                                         int32_t count)
{
    const Floats zeros = {};
    const Ints noInts = {};
    const Ints offState = noInts + int32_t(CEnvelope::kOff);
    const Ints magnitudeBits = noInts + 0x7fffffff;
    Floats fraction[groups];
    Ints position[groups];
    Floats value[groups];
    Ints state[groups];
    Floats smoothing[kSmoothingStages][groups];
#pragma GCC unroll 4
    for (int32_t g = 0; g < groups; ++g) {
        fraction[g] = lanes.fraction[g];
        position[g] = lanes.position[g];
        value[g] = lanes.value[g];
        state[g] = lanes.state[g];
#pragma GCC unroll 4
        for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
            smoothing[stage][g] = lanes.smoothingState[stage][g];
        }
    }
    for (int32_t done = 0; done < count; done += kLaneWidth) {
        const int32_t frames = std::min(kLaneWidth, count - done);
        Floats rows[groups][kLaneWidth];
        for (int32_t t = 0; t < frames; ++t) {
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
                Floats signal;
#pragma GCC unroll 8
                for (int32_t l = 0; l < kLaneWidth; ++l) {
                    signal[l] = lanes.data[g][l][index[l]];
                }
                if (mayLoop) {
                    signal = position[g] < noInts ? zeros : signal;
                }
#pragma GCC unroll 4
                for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
                    Floats& smoothed = smoothing[stage][g];
                    const Floats coefficient = lanes.smoothingCoefficient[stage][g];
                    smoothed = (signal - smoothed) * coefficient + smoothed;
                    signal = smoothed;
                }
                rows[g][t] = lanes.gain[g] * signal * value[g];

                const Floats advanceBy = lanes.step[g] + fraction[g];
                const Ints whole = __builtin_convertvector(advanceBy, Ints);
                position[g] = Ints(Words(position[g]) + Words(whole));
                fraction[g] = advanceBy - __builtin_convertvector(whole, Floats);

                const Floats coefficient = lanePermute(lanes.rateCoefficients, state[g]);
                const Floats target = lanePermute(lanes.rateTargets, state[g]);
                value[g] = (value[g] - target) * coefficient + target;
                const Floats distance = Floats(Ints(value[g] - target) & magnitudeBits);
                const Ints reached = (distance <= kEnvelopeEpsilon) & (state[g] != offState);
                state[g] -= reached;  // a reached mask is -1
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
            lanes.smoothingState[stage][g] = smoothing[stage][g];
        }
    }
}

template <bool mayLoop>
inline __attribute__((always_inline)) void renderLanes(VoiceLanes& lanes, float* out,
                                                        int32_t count)
{
    switch (lanes.groups) {
    case 1: renderGroups<mayLoop, 1>(lanes, out, count); break;
    case 2: renderGroups<mayLoop, 2>(lanes, out, count); break;
    case 3: renderGroups<mayLoop, 3>(lanes, out, count); break;
    default: renderGroups<mayLoop, 4>(lanes, out, count); break;
    }
}

void renderLanesBaseline(VoiceLanes& lanes, float* out, int32_t count, bool mayLoop)
{
    if (mayLoop) {
        renderLanes<true>(lanes, out, count);
    } else {
        renderLanes<false>(lanes, out, count);
    }
}

__attribute__((target("avx2"))) void renderLanesAvx2(VoiceLanes& lanes, float* out,
                                                     int32_t count, bool mayLoop)
{
    if (mayLoop) {
        renderLanes<true>(lanes, out, count);
    } else {
        renderLanes<false>(lanes, out, count);
    }
}

}  // namespace

float noteFrequency(int32_t note)
{
    return static_cast<float>(440.0 * std::pow(2.0, (note - 69) * (1.0 / 12)));
}

void CEnvelope::setParameters(float attackTime, float decayTime, float sustainLevel,
                              float releaseTime, EnvelopeRates& rates)
{
    attack = attackTime;
    decay = decayTime;
    sustain = sustainLevel;
    release = releaseTime;
    rates[kAttack] = {std::pow(kEnvelopeEpsilon, 1.0f / attack), 1.0f};
    rates[kDecay] = {std::pow(kEnvelopeEpsilon, 1.0f / decay), sustain};
    rates[kSustain] = {1.0f, 0.0f};
    rates[kRelease] = {std::pow(kEnvelopeEpsilon, 1.0f / release), 0.0f};
    rates[kOff] = {0.0f, 0.0f};
}

void CEnvelope::advance(const EnvelopeRates& rates)
{
    const EnvelopeRate& rate = rates[state];
    value = (value - rate.target) * rate.coefficient + rate.target;
    if (std::fabs(value - rate.target) <= kEnvelopeEpsilon && state != kOff) {
        state += 1;
    }
}

float CWavePlayer::sample() const
{
    if (position < 0) {
        return 0.0f;
    }
    int32_t index = position;
    const int32_t loopStart = wave->loopStart();
    if (index >= loopStart) {
        index = loopStart + (index - loopStart) % (wave->loopEnd() - loopStart + 1);
    }
    return wave->data()[index];
}

void CWavePlayer::step(float rateStep)
{
    const float advanceBy = bend * ratio * rateStep + fraction;
    const int32_t whole = static_cast<int32_t>(advanceBy);
    // Past 2^31 - 1 the position wraps to negative and the voice falls silent; unsigned
    // arithmetic gives that wrap without signed overflow.
    position = static_cast<int32_t>(static_cast<uint32_t>(position) + static_cast<uint32_t>(whole));
    fraction = advanceBy - static_cast<float>(whole);
}

CSampler::CSampler() : units(bestVectorUnits())
{
    voices[0].envelope.setParameters(kAttackTime, kDecayTime, kSustainLevel, kReleaseTime,
                                     rates);
}

void CSampler::noteOn(int32_t /*channel*/, int32_t note, int32_t velocity)
{
    // The decoder passes data bytes unmasked, so anything may arrive here.
    if (!isValidNote(note) || velocity < 0 || velocity >= kVelocityCount) {
        return;
    }
    CSamplerVoice* picked = nullptr;
    for (CSamplerVoice& voice : voices) {
        if (voice.envelope.state == CEnvelope::kOff) {
            picked = &voice;
            break;
        }
    }
    if (picked == nullptr) {
        for (CSamplerVoice& voice : voices) {
            if (voice.envelope.state == CEnvelope::kRelease) {
                picked = &voice;
                break;
            }
        }
    }
    if (picked == nullptr) {
        return;
    }
    CSamplerVoice& voice = *picked;
    CWavePlayer& player = voice.player;
    const CWaveData* mapped = sampleMap[note][velocity];
    player.wave = mapped != nullptr ? mapped : &player.ownWave;
    voice.envelope.setParameters(attackTime, decayTime, kSustainLevel, releaseTime, rates);
    voice.velocityGain = static_cast<float>(velocity) * kVelocityScale;
    voice.note = note;
    player.ratio = noteFrequency(note) / player.wave->rootFrequency();
    player.fraction = 0.0f;
    player.position = 0;
    voice.envelope.value = 0.0f;
    voice.envelope.state = CEnvelope::kAttack;
    player.bend = engineBend;
}

void CSampler::noteOff(int32_t note)
{
    for (CSamplerVoice& voice : voices) {
        if (voice.note == note && voice.envelope.state < CEnvelope::kRelease) {
            voice.envelope.state = CEnvelope::kRelease;
            return;
        }
    }
}

void CSampler::reset()
{
    for (CSamplerVoice& voice : voices) {
        voice.envelope.state = CEnvelope::kRelease;
    }
    engineBend = 1.0f;
}

void CSampler::setBend(float ratio)
{
    if (!(ratio > 0.0f) || !std::isfinite(ratio)) {
        return;
    }
    // The instrument bends by two semitones at most; holding any caller to two octaves
    // keeps every voice's step far inside the range of its integer position.
    ratio = std::clamp(ratio, kLowestBend, kHighestBend);
    engineBend = ratio;
    for (CSamplerVoice& voice : voices) {
        if (voice.envelope.state != CEnvelope::kOff) {
            voice.player.bend = ratio;
        }
    }
}

void CSampler::setSampleRate(float hostRate)
{
    if (!std::isfinite(hostRate) || hostRate < 1.0f) {
        return;
    }
    // At the recordings' own rate both factors are exactly 1.0, so every step and every
    // envelope coefficient stays bit-identical to the unscaled figures.
    rateStep = kRecordingRate / hostRate;
    const float timeScale = hostRate / kRecordingRate;
    attackTime = kAttackTime * timeScale;
    decayTime = kDecayTime * timeScale;
    releaseTime = kReleaseTime * timeScale;
    for (CSamplerVoice& voice : voices) {
        voice.envelope.setParameters(attackTime, decayTime, kSustainLevel, releaseTime, rates);
    }
}

float CSampler::renderSample()
{
    float sum = 0.0f;
    for (CSamplerVoice& voice : voices) {
        float signal = voice.player.sample();
        for (SmoothingStage& stage : voice.smoothing) {
            stage.state = (signal - stage.state) * stage.coefficient + stage.state;
            signal = stage.state;
        }
        sum += voice.velocityGain * signal * voice.envelope.value;
    }
    return sum * kMixGain;
}

void CSampler::advance()
{
    for (CSamplerVoice& voice : voices) {
        voice.player.step(rateStep);
        voice.envelope.advance(rates);
    }
}

CSampler::VectorUnits CSampler::bestVectorUnits()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? VectorUnits::avx2 : VectorUnits::baseline;
}

void CSampler::useVectorUnits(VectorUnits requested)
{
    units = requested == VectorUnits::avx2 ? bestVectorUnits() : VectorUnits::baseline;
}

void CSampler::render(float* out, int32_t count)
{
    if (count <= 0) {
        return;
    }
    VoiceLanes lanes;
    int32_t laneVoice[kVoiceCount];
    int32_t laneCount = 0;
    bool mayLoop = false;
    for (int32_t v = 0; v < kVoiceCount; ++v) {
        const CSamplerVoice& voice = voices[v];
        if (voice.envelope.state == CEnvelope::kOff && voice.envelope.value == 0.0f) {
            continue;
        }
        const int32_t g = laneCount / kLaneWidth;
        const int32_t l = laneCount % kLaneWidth;
        laneVoice[laneCount++] = v;
        const CWavePlayer& player = voice.player;
        const float step = player.bend * player.ratio * rateStep;
        lanes.step[g][l] = step;
        lanes.fraction[g][l] = player.fraction;
        lanes.position[g][l] = player.position;
        lanes.gain[g][l] = voice.velocityGain;
        lanes.value[g][l] = voice.envelope.value;
        lanes.state[g][l] = voice.envelope.state;
        for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
            lanes.smoothingState[stage][g][l] = voice.smoothing[stage].state;
            lanes.smoothingCoefficient[stage][g][l] = voice.smoothing[stage].coefficient;
        }
        const int32_t loopStart = player.wave->loopStart();
        const int32_t loopLength = player.wave->loopEnd() - loopStart + 1;
        lanes.loopStart[g][l] = loopStart;
        lanes.loopLength[g][l] = loopLength;
        lanes.inverseLoopLength[g][l] = 1.0 / loopLength;
        lanes.data[g][l] = player.wave->data();
        // Each advance moves at most step + 1 (the fraction carried); the margin covers the
        // rounding of the float sums.
        const double furthest =
            double(player.position) + (double(step) * 1.001 + 1.0) * count + 1.0;
        mayLoop = mayLoop || player.position < 0 || furthest >= double(loopStart);
    }
    if (laneCount == 0) {
        std::fill(out, out + count, 0.0f);
        return;
    }
    lanes.groups = (laneCount + kLaneWidth - 1) / kLaneWidth;
    for (int32_t padding = laneCount; padding < lanes.groups * kLaneWidth; ++padding) {
        const int32_t g = padding / kLaneWidth;
        const int32_t l = padding % kLaneWidth;
        lanes.step[g][l] = 0.0f;
        lanes.fraction[g][l] = 0.0f;
        lanes.position[g][l] = 0;
        lanes.gain[g][l] = 0.0f;
        lanes.value[g][l] = 0.0f;
        lanes.state[g][l] = CEnvelope::kOff;
        for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
            lanes.smoothingState[stage][g][l] = 0.0f;
            lanes.smoothingCoefficient[stage][g][l] = 1.0f;
        }
        lanes.loopStart[g][l] = INT32_MAX;
        lanes.loopLength[g][l] = 1;
        lanes.inverseLoopLength[g][l] = 1.0;
        lanes.data[g][l] = kSilence;
    }
    for (int32_t s = 0; s < kLaneWidth; ++s) {
        const EnvelopeRate rate = s <= CEnvelope::kOff ? rates[s] : EnvelopeRate{0.0f, 0.0f};
        lanes.rateCoefficients[s] = rate.coefficient;
        lanes.rateTargets[s] = rate.target;
    }

    if (units == VectorUnits::avx2) {
        renderLanesAvx2(lanes, out, count, mayLoop);
    } else {
        renderLanesBaseline(lanes, out, count, mayLoop);
    }

    for (int32_t lane = 0; lane < laneCount; ++lane) {
        const int32_t g = lane / kLaneWidth;
        const int32_t l = lane % kLaneWidth;
        CSamplerVoice& voice = voices[laneVoice[lane]];
        voice.player.fraction = lanes.fraction[g][l];
        voice.player.position = lanes.position[g][l];
        voice.envelope.value = lanes.value[g][l];
        voice.envelope.state = lanes.state[g][l];
        for (int32_t stage = 0; stage < kSmoothingStages; ++stage) {
            voice.smoothing[stage].state = lanes.smoothingState[stage][g][l];
        }
    }
}

void CSampler::mapNote(int32_t note, const CWaveData& record)
{
    if (!isValidNote(note)) {
        return;
    }
    for (const CWaveData*& entry : sampleMap[note]) {
        entry = &record;
    }
}

const CWaveData* CSampler::mapEntry(int32_t note, int32_t velocity) const
{
    if (!isValidNote(note) || velocity < 0 || velocity >= kVelocityCount) {
        return nullptr;
    }
    return sampleMap[note][velocity];
}
