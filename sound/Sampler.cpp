// Voice allocation, playback and mixing of the sound engine. The per-sample arithmetic is
// single precision in a fixed operation order, so renders are reproducible to the bit.
#include "sound/Sampler.h"

#include <cmath>

namespace {

// Closeness at which an envelope counts as having reached its target; also the level the
// rates are computed to reach after the stated number of samples.
constexpr float kEnvelopeEpsilon = 0.00005f;
// velocity / 127 as a single-precision factor.
constexpr float kVelocityScale = 0.007874016f;
// Four voices at full level reading full scale make full scale.
constexpr float kMixGain = 0.25f;

bool isValidNote(int32_t value)
{
    return value >= 0 && value < CSampler::kNoteCount;
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

CSampler::CSampler()
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
