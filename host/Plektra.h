// Plektra, the instrument: the host-facing effect joined with the strum engine, owning the
// sound engine and the two sound sets; its 77 parameters and its per-block driver.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/AudioEffectX.h"
#include "host/PlektraParameters.h"
#include "host/TransportWatch.h"
#include "sound/RiffReader.h"
#include "sound/SampleBank.h"
#include "sound/Sampler.h"
#include "sound/WaveData.h"
#include "strum/CArpStrum.h"

class Plektra : public AudioEffectX, public CArpStrum
{
public:
    // Makes the instrument's editor, which registers itself with the effect it is given.
    // The module hands in the panel's; without one the instrument has no editor, so the
    // engine builds and plays with no windowing or drawing at all.
    using EditorFactory = AEffEditor* (*)(AudioEffect* effect);

    explicit Plektra(audioMasterCallback audioMaster, EditorFactory makeEditor = nullptr);
    ~Plektra() override = default;

    // Any thread: the host's automation and the editor. Resets and the sound-set switch are
    // carried out by the audio thread at the start of its next block.
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;

    // The host's thread for effMainsChanged; the audio thread takes note at its next block.
    void resume() override;

    // The audio thread: the block's events, then the block's audio.
    int32_t processEvents(VstEvents* events) override;
    void processReplacing(float** inputs, float** outputs, int32_t frames) override;
    // The block driver behind both plug-in interfaces: the block's MIDI is already queued
    // (clearQueue, pushMidiEvent). time is the host's clock for this block, null when the
    // host gave none, and transportChanged its transport-changed bit. Renders frames
    // samples to both channels; a null channel is skipped.
    void renderBlock(bool transportChanged, const VstTimeInfo* time, float* left, float* right,
                     int32_t frames);

    void onNoteOn(int32_t channel, int32_t note, int32_t velocity) override;
    void onNoteOff(int32_t channel, int32_t note, int32_t velocity) override;
    void onPitchBend(int32_t channel, int16_t bend) override;

    const CSampler& soundEngine() const { return sampler; }
    // The audio thread: strokes that never repeat exactly (CSampler::setVariation). Off, as
    // the VST module always plays, unless the musician's instrument turns it on.
    void setVariation(bool on, uint32_t seed) { sampler.setVariation(on, seed); }

private:
    void requestReset();
    void applyPendingRequests();
    // Writes count frames of the sound engine to both channels; a null channel is skipped.
    void renderFrames(float* left, float* right, int32_t count);

    CSampler sampler;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
    StringTakes takes;
    CRiffReader reader;

    // Raised by setParameter on any thread, taken by the audio thread before a block. The
    // requested set is stored before the reset flag is raised (release), so the audio
    // thread that takes the flag (acquire) also sees the set that came with it.
    std::atomic<bool> resetRequested{false};
    std::atomic<int32_t> requestedSet{static_cast<int32_t>(SoundSet::acoustic)};
    // Raised by resume; carries no other data, so relaxed order is enough.
    std::atomic<bool> resumed{false};

    // Audio thread only.
    SoundSet setInForce = SoundSet::acoustic;
    float sampleRateInForce = CSampler::kRecordingRate;
    // Kept for blocks whose time request the host answers with nothing.
    float hostTempo = 120.0f;
    float hostPosition = 0.0f;
    TransportWatch transportWatch;
};
