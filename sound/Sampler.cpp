// Voice allocation, playback and mixing of the sound engine. The per-sample arithmetic is
// single precision in a fixed operation order, so renders are reproducible to the bit; the
// segment render hands the sounding voices to the lane kernel (sound/SamplerKernel.cpp),
// which repeats that order lane by lane, eight voices to a vector.
#include "sound/Sampler.h"

#include <algorithm>
#include <cmath>

#include "sound/SamplerKernel.h"

namespace {

using voicekernel::kEnvelopeEpsilon;
using voicekernel::kGroupCapacity;
using voicekernel::kLaneWidth;
using voicekernel::kMixGain;
using voicekernel::kSmoothingStages;
using voicekernel::SampleFormat;

static_assert(kGroupCapacity * kLaneWidth == CSampler::kVoiceCount, "every voice has a lane");
static_assert(voicekernel::kOffState == CEnvelope::kOff, "the lanes know the silent state");

// velocity / 127 as a single-precision factor.
constexpr float kVelocityScale = 0.007874016f;
// Pitch bend held to two octaves either way (see setBend).
constexpr float kLowestBend = 0.25f;
constexpr float kHighestBend = 4.0f;

bool isValidNote(int32_t value)
{
    return value >= 0 && value < CSampler::kNoteCount;
}

// A stage at coefficient 1.0 hands a 16-bit sample through unchanged while its state is one
// too: both lie on the grid of 2^-15 within [-1, 1], so x - state is exact and adding state
// back gives x. States start at 0.0 and then hold the last sample, so this fails only for a
// voice whose last samples were floats, or the last stage of a varied stroke.
bool handsThroughPcm(const CSamplerVoice& voice, int32_t stages)
{
    for (int32_t s = 0; s < stages; ++s) {
        const SmoothingStage& stage = voice.smoothing[s];
        // Within [-1, 1] the scaled state fits an int, so the conversion is defined.
        const float steps = stage.state * 32768.0f;
        if (stage.coefficient != 1.0f || !(std::fabs(stage.state) <= 1.0f) ||
            static_cast<float>(static_cast<int32_t>(steps)) != steps) {
            return false;
        }
    }
    return true;
}

// Whether an envelope keeps its value and state through any number of advances.
bool holdsValue(const CEnvelope& envelope, const EnvelopeRates& rates)
{
    const EnvelopeRate& rate = rates[envelope.state];
    if (envelope.state == CEnvelope::kOff) {
        return envelope.value == 0.0f;
    }
    return envelope.state == CEnvelope::kSustain && rate.coefficient == 1.0f &&
           rate.target == 0.0f && std::fabs(envelope.value) > kEnvelopeEpsilon;
}

// A varied stroke: its level by up to kLevelShare either way (0.5 dB), its pitch by up to
// kPitchShare (1.25 cents), its start up to kLatestStart recording samples into the attack,
// and a tone filter whose corner falls kDarkOctaves from the hardest velocity to the softest
// and whose coefficient the pick's place moves by up to kPickShare either way. Shares, not
// powers: a note-on computes no exponential, as strums start many at once.
constexpr double kLevelShare = 0.0576;
constexpr double kPitchShare = 0.000722;
constexpr double kLatestStart = 32.0;
constexpr double kBrightestHz = 18000.0;
constexpr double kDarkOctaves = 3.5;
constexpr double kPickShare = 0.15;

// An even share in [-1, 1) for one stroke and one use of it (splitmix64's finaliser).
double shareOf(uint32_t seed, int64_t place, int32_t note, uint64_t use)
{
    uint64_t z = (uint64_t(seed) << 32) ^ uint64_t(place) * 0x9E3779B97F4A7C15ULL ^
                 (uint64_t(uint32_t(note)) << 8 | use) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return double(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

}  // namespace

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
    return wave->sample(index);
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
    setToneCoefficients(kRecordingRate);
}

void CSampler::setToneCoefficients(float hostRate)
{
    for (int32_t velocity = 0; velocity < kVelocityCount; ++velocity) {
        const double octaves = -kDarkOctaves * (127 - velocity) / 126.0;
        const double corner = std::min(kBrightestHz * std::exp2(octaves), 0.45 * hostRate);
        toneCoefficients[velocity] =
            static_cast<float>(1.0 - std::exp(-2.0 * 3.141592653589793 * corner / hostRate));
    }
}

void CSampler::noteOn(int32_t channel, int32_t note, int32_t velocity)
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
    if (channel > channelOf(Take::ringing) && channel < kTakeCount &&
        takeMap[channel - 1][note] != nullptr) {
        mapped = takeMap[channel - 1][note];
    }
    player.wave = mapped != nullptr ? mapped : &player.ownWave;
    voice.envelope.setParameters(attackTime, decayTime, kSustainLevel, releaseTime, rates);
    voice.velocityGain = static_cast<float>(velocity) * kVelocityScale;
    voice.note = note;
    player.ratio = static_cast<float>(noteFrequency(note)) / player.wave->rootFrequency();
    player.fraction = 0.0f;
    player.position = 0;
    voice.envelope.value = 0.0f;
    voice.envelope.state = CEnvelope::kAttack;
    player.bend = engineBend;
    SmoothingStage& tone = voice.smoothing[kSmoothingStages - 1];
    if (varied) {
        const auto share = [&](uint64_t use) {
            return shareOf(variationSeed, songPosition, note, use);
        };
        voice.velocityGain *= static_cast<float>(1.0 + kLevelShare * share(0));
        player.ratio *= static_cast<float>(1.0 + kPitchShare * share(1));
        player.position = static_cast<int32_t>(kLatestStart * 0.5 * (share(2) + 1.0));
        const double coefficient = toneCoefficients[velocity] * (1.0 + kPickShare * share(3));
        tone.coefficient = static_cast<float>(std::min(coefficient, 1.0));
        tone.state = 0.0f;
    } else if (tone.coefficient != 1.0f) {
        // Left by a varied stroke: this one plays as if variation had never been on.
        tone = SmoothingStage{};
    }
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
    setToneCoefficients(hostRate);
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
    ++songPosition;
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

void CSampler::setVariation(bool on, uint32_t seed)
{
    varied = on;
    variationSeed = seed;
}

void CSampler::setSongPosition(int64_t samples)
{
    songPosition = samples;
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
    voicekernel::VoiceLanes lanes;
    int32_t laneVoice[kVoiceCount];
    int32_t laneCount = 0;
    bool mayLoop = false;
    bool anyPcm = false;
    bool anyFloat = false;
    bool pcmHandedThrough = true;
    bool pcmHandedToLastStage = true;
    bool steady[kGroupCapacity] = {true, true, true, true};
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
        const uint8_t* pcm = player.wave->pcm();
        anyPcm = anyPcm || pcm != nullptr;
        anyFloat = anyFloat || pcm == nullptr;
        pcmHandedThrough = pcmHandedThrough && handsThroughPcm(voice, kSmoothingStages);
        pcmHandedToLastStage =
            pcmHandedToLastStage && handsThroughPcm(voice, kSmoothingStages - 1);
        steady[g] = steady[g] && holdsValue(voice.envelope, rates);
        lanes.data[g][l] = pcm != nullptr ? static_cast<const void*>(pcm)
                                          : static_cast<const void*>(player.wave->floatSamples());
        // Each advance moves at most step + 1 (the fraction carried); the margin covers the
        // rounding of the float sums.
        const double furthest =
            double(player.position) + (double(step) * 1.001 + 1.0) * count + 1.0;
        mayLoop = mayLoop || player.position < 0 || furthest >= double(loopStart);
    }
    if (laneCount == 0) {
        std::fill(out, out + count, 0.0f);
        songPosition += count;
        return;
    }
    if (anyPcm && (anyFloat || !pcmHandedToLastStage)) {
        // Only records filled from float samples by hand meet embedded ones; the plain path
        // serves that rare mix, and 16-bit samples after float ones, with the same result.
        for (int32_t i = 0; i < count; ++i) {
            out[i] = renderSample();
            advance();
        }
        return;
    }
    const SampleFormat format = !anyPcm            ? SampleFormat::float32
                                : pcmHandedThrough ? SampleFormat::pcm16
                                                   : SampleFormat::pcm16LastStage;
    // Only the folding into loops divides; most segments stay clear of every loop.
    for (int32_t lane = 0; mayLoop && lane < laneCount; ++lane) {
        const int32_t g = lane / kLaneWidth;
        const int32_t l = lane % kLaneWidth;
        lanes.inverseLoopLength[g][l] = 1.0 / lanes.loopLength[g][l];
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
        lanes.data[g][l] = voicekernel::silentSample(format);
    }
    for (int32_t g = 0; g < lanes.groups; ++g) {
        lanes.envelopeSteady[g] = steady[g];
        if (format != SampleFormat::float32) {
            lanes.gain[g] *= CWaveData::kPcmScale;
        }
    }
    for (int32_t s = 0; s < kLaneWidth; ++s) {
        const EnvelopeRate rate = s <= CEnvelope::kOff ? rates[s] : EnvelopeRate{0.0f, 0.0f};
        lanes.rateCoefficients[s] = rate.coefficient;
        lanes.rateTargets[s] = rate.target;
    }

    voicekernel::renderVoiceLanes(lanes, out, count, mayLoop, format,
                                  units == VectorUnits::avx2);

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
    songPosition += count;
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

void CSampler::mapTake(Take take, int32_t note, const CWaveData* record)
{
    if (take != Take::ringing && channelOf(take) < kTakeCount && isValidNote(note)) {
        takeMap[channelOf(take) - 1][note] = record;
    }
}

const CWaveData* CSampler::takeEntry(Take take, int32_t note) const
{
    if (take == Take::ringing || channelOf(take) >= kTakeCount || !isValidNote(note)) {
        return nullptr;
    }
    return takeMap[channelOf(take) - 1][note];
}
