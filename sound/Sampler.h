// The sound engine: 32 sample-playback voices, each with an exponential envelope, read
// without interpolation and mixed into one mono signal.
//
// A plain single-threaded engine: notes, bend, reset, set selection and sample-rate changes
// are all made on the audio thread (the instrument hands requests from other threads over
// at the start of a block), so nothing here is atomic. Nothing allocates after construction.
#pragma once

#include <array>
#include <cstdint>

#include "sound/NoteFrequency.h"
#include "sound/Take.h"
#include "sound/WaveData.h"

struct EnvelopeRate
{
    float coefficient;  // fraction of the distance to target left after one sample
    float target;
};

// One row per envelope state. Every sampler has its own table, shared by its 32 voices:
// instruments in one host may run at different rates, so the table cannot be process-wide.
using EnvelopeRates = std::array<EnvelopeRate, 5>;

struct CEnvelope
{
    enum State : int32_t { kAttack = 0, kDecay = 1, kSustain = 2, kRelease = 3, kOff = 4 };

    // Stores the times (in output samples) and level, and rebuilds the whole shared table.
    void setParameters(float attackTime, float decayTime, float sustainLevel,
                       float releaseTime, EnvelopeRates& rates);
    void advance(const EnvelopeRates& rates);

    float attack = 220.0f;
    float decay = 8820.0f;
    float sustain = 1.0f;
    float release = 441.0f;
    int32_t state = kOff;
    float value = 0.0f;
};

struct CWavePlayer
{
    CWavePlayer() : wave(&ownWave) {}

    // The stored sample at the read position, folded into the loop; silence while the
    // position has wrapped negative.
    float sample() const;
    // Moves on by bend x ratio x rateStep recording samples, keeping the fraction.
    void step(float rateStep);

    float ratio = 1.0f;     // note frequency / recording root frequency
    float bend = 1.0f;
    float fraction = 0.0f;  // in [0, 1)
    int32_t position = 0;   // in recording samples; wraps to negative after 2^31 - 1
    const CWaveData* wave;
    CWaveData ownWave;      // silent stand-in until the first start or for an empty map entry
};

struct SmoothingStage
{
    float state = 0.0f;
    float coefficient = 1.0f;  // 1.0 hands the input straight through
};

struct CSamplerVoice
{
    int32_t note = 0;
    float velocityGain = 0.0f;  // velocity / 127
    CWavePlayer player;
    CEnvelope envelope;
    std::array<SmoothingStage, 4> smoothing;
};

class CSampler
{
public:
    static constexpr int32_t kVoiceCount = 32;
    static constexpr int32_t kNoteCount = 128;
    static constexpr int32_t kVelocityCount = 128;
    // Rate of the recordings; the envelope times below are in samples at this rate.
    static constexpr float kRecordingRate = 44100.0f;
    static constexpr float kAttackTime = 220.0f;
    static constexpr float kDecayTime = 8820.0f;
    static constexpr float kSustainLevel = 1.0f;
    static constexpr float kReleaseTime = 441.0f;

    CSampler();
    CSampler(const CSampler&) = delete;
    CSampler& operator=(const CSampler&) = delete;

    // Starts a voice (a free one, else the lowest releasing one; dropped when all 32 are
    // held). Notes or velocities outside 0..127 are ignored. The channel names the take
    // (sound/Take.h): 0 and any channel without a take mapped for the note play the ringing
    // recording.
    void noteOn(int32_t channel, int32_t note, int32_t velocity);
    // Releases the lowest-numbered held voice playing this note, if any.
    void noteOff(int32_t note);
    // Releases every voice and centres the bend.
    void reset();
    // Pitch-bend ratio for the sounding voices and later starts; ignored unless positive
    // and finite.
    void setBend(float ratio);
    // Adapts pitch steps and envelope times to the host's output rate so both keep their
    // sound in Hz and seconds; ignored unless finite and at least 1 Hz.
    void setSampleRate(float hostRate);
    // Strokes that never repeat exactly: with on, each note-on plays its recording a little
    // louder or softer (within 0.5 dB), sharper or flatter (within 1.25 cents), from a moment
    // later in its attack and through a tone filter set by the velocity (soft strokes darker)
    // and by where the pick meets the string. Every draw comes from seed, the note and the
    // stroke's place in the song (see setSongPosition), so a song renders the same every
    // time. Off, the default, plays every note exactly as before.
    void setVariation(bool on, uint32_t seed);
    // The song position, in samples at the host rate, of the next sample rendered; the
    // sampler counts on from it. Without it the count runs from the sampler's construction.
    void setSongPosition(int64_t samples);

    float renderSample();
    void advance();
    // Writes count samples: the same result as count x (renderSample, advance), computed
    // for the sounding voices side by side. A voice that is off and silent is left where it
    // is: it adds nothing, and its next start sets its position afresh.
    void render(float* out, int32_t count);

    // The instruction sets the segment render may use. The best one the processor offers is
    // chosen at construction; tests and benchmarks force the portable baseline to check and
    // measure it.
    enum class VectorUnits { baseline, avx2 };
    static VectorUnits bestVectorUnits();
    // Falls back to the baseline when the processor lacks the requested set.
    void useVectorUnits(VectorUnits requested);
    VectorUnits vectorUnits() const { return units; }

    // Makes every velocity of note play record (the set selections fill the map this way).
    void mapNote(int32_t note, const CWaveData& record);
    // Null for an entry not yet filled or a note or velocity outside 0..127.
    const CWaveData* mapEntry(int32_t note, int32_t velocity) const;
    // Makes note play record when a note-on asks for take (palm-muted or dead); null leaves
    // that take of the note to the ringing recording.
    void mapTake(Take take, int32_t note, const CWaveData* record);
    // Null where the ringing recording plays that take of the note.
    const CWaveData* takeEntry(Take take, int32_t note) const;

    const CSamplerVoice& voice(int32_t index) const { return voices[index]; }
    float bend() const { return engineBend; }
    const EnvelopeRates& envelopeRates() const { return rates; }

private:
    void setToneCoefficients(float hostRate);

    const CWaveData* sampleMap[kNoteCount][kVelocityCount] = {};
    // The palm-muted and dead takes by note; every velocity plays the same one.
    const CWaveData* takeMap[kTakeCount - 1][kNoteCount] = {};
    CSamplerVoice voices[kVoiceCount];
    float engineBend = 1.0f;
    EnvelopeRates rates{};
    // Recording samples per output sample at unit pitch: 1.0 at the recordings' own rate.
    float rateStep = 1.0f;
    float attackTime = kAttackTime;    // output samples at the host rate
    float decayTime = kDecayTime;
    float releaseTime = kReleaseTime;
    VectorUnits units;
    bool varied = false;
    uint32_t variationSeed = 0;
    int64_t songPosition = 0;
    // A varied stroke's tone filter by velocity, before the pick moves it.
    float toneCoefficients[kVelocityCount] = {};
};
