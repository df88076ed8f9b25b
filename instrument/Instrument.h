// The musician's instrument, whatever plug-in format carries it: the engine with its player
// layer (held chords, patterns, humanising), its controls, the host's transport, key names
// and settings, driven by calls that name no format. lv2/, clap/ and vst3/ only translate
// their format's ports, events, parameters, transport and state to these calls.
//
// Threads. Calls come from two threads, and the instrument never blocks either:
// - the audio thread: beginBlock, the block's events (midi, control, transport, reset),
//   endBlock, then keyNamesChanged. One block at a time, never two threads at once.
// - the main thread (the host's, or the panel's), while the audio thread may be inside a
//   block: setValue (a panel's edit, a host's parameter change outside processing),
//   setSettings (a state load), settings, value, keyNames. One main thread at a time.
// - setSampleRate and activate: the main thread while no block runs, as every format
//   promises (LV2's instantiation and activate, CLAP's activate, VST3's setupProcessing and
//   setActive).
// What the main thread sets crosses to the audio thread through atomics (see the members)
// and takes effect at the start of the audio thread's next block; what the audio thread is
// given as an event takes effect at its own sample.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "host/Plektra.h"
#include "instrument/Controls.h"
#include "instrument/KeyNames.h"
#include "instrument/State.h"
#include "instrument/Transport.h"

class Instrument
{
public:
    using Settings = controls::Settings;

    explicit Instrument(double sampleRate);

    // Main thread, no block running.
    void setSampleRate(double sampleRate);
    // As a host's activation: the next block starts from wherever the host's clock is, and
    // nothing played before rings on or goes on strumming.
    void activate();

    // Audio thread: one block. beginBlock, then the block's events in any order, then
    // endBlock, which renders frames samples to both channels (a null channel is skipped;
    // both may be one buffer). The instrument takes the events in time order; at one sample,
    // controls, transport and resets before notes, otherwise in the order they came. An
    // event at sample f acts from sample f on, so the output does not depend on how the host
    // cuts its blocks. Frames are counted
    // from the block's start; controls, transport and resets past the block act at its end,
    // notes past it in the block they fall in. Up to kMaxEvents a block are kept: further
    // notes are dropped, further control changes act at the next block.
    static constexpr uint32_t kMaxEvents = 1024;
    void beginBlock(float* left, float* right, uint32_t frames);
    // A MIDI message of up to three bytes (longer ones are cut; system exclusive is left out).
    void midi(uint32_t frame, const uint8_t* bytes, uint32_t size);
    // A control's new value in its own units (controls::Range), held to its range; NaN and
    // unknown ids change nothing, and outputs are not set this way. kReset resets when it
    // rises to 1.
    void control(uint32_t frame, uint32_t id, float value);
    // The host's transport at this sample; from then on the clock runs on from it.
    void transport(uint32_t frame, const Transport& transport);
    // Stops every string: the panel's reset button.
    void reset(uint32_t frame);
    void endBlock();
    // Whether the last block changed the key names, for the host to be told.
    bool keyNamesChanged() const { return namesChanged; }

    // Any thread: a control's value as it stands (outputs as the last block left them; a
    // setting set but not yet taken by the audio thread counts as taken).
    float value(uint32_t id) const;

    // Main thread: a setting's new value, taken at the start of the next block. kReset set
    // to 1 resets there.
    void setValue(uint32_t id, float value);
    // Main thread: every setting at once, as a state load; the audio thread takes all of them
    // at the start of one block, never some of them.
    void setSettings(const Settings& settings);
    Settings settings() const;
    // Main thread: the settings written as a state (instrument/State.h), and a state read
    // into them, all of it or nothing: unless the answer is ok the instance is unchanged.
    bool saveState(state::Write write, void* context) const;
    state::Result loadState(state::Read read, void* context);

    // Main thread: the names of the keys as they play now.
    keynames::Names keyNames();

private:
    enum class EventKind : uint8_t { midi, control, transport, reset };
    struct Event
    {
        uint32_t frame;
        EventKind kind;
        uint8_t size;  // midi
        uint8_t bytes[3];
        uint32_t id;  // control; the slot in transports for a transport
        float value;
    };
    static constexpr uint32_t kMaxTransports = 4;

    // False when the block holds kMaxEvents already.
    bool queue(const Event& event);
    void takeMainThreadSettings();
    void apply(const Event& event);
    void applyControl(uint32_t id, float value);
    void applyPlayingAids();
    // Renders the block up to frame, if not there yet.
    void renderUntil(uint32_t frame);
    // Renders the block from where it stands to frame, the engine's run over that part.
    void renderSegment(uint32_t frame);

    Plektra plektra{nullptr};
    TransportClock clock;
    double sampleRate;

    // The block under way. Audio thread only.
    float* left = nullptr;
    float* right = nullptr;
    uint32_t blockFrames = 0;
    uint32_t rendered = 0;  // frames of the block rendered so far
    bool renderedAny = false;
    bool midiFull = false;  // the engine's queue took no more notes before the next render
    Event events[kMaxEvents];
    uint32_t eventCount = 0;
    Transport transports[kMaxTransports];
    uint32_t transportCount = 0;
    bool namesChanged = false;
    bool wasRolling = false;  // the host's transport in the last segment

    // The value each control has in the engine, held to its range. Audio thread only.
    Settings applied{};

    // Each control's value for other threads to read and set: the audio thread stores what
    // it applies and the block's outputs; the main thread stores its edits. A word per
    // control, on its own meaning nothing to anything else, so relaxed order, but for a
    // whole state, stored with release and read with acquire against settingsWriting; a
    // change wanted is announced by settingsEdited.
    std::array<std::atomic<float>, controls::kCount> values;
    // Raised (release) by the main thread after it stored values, taken (acquire) by the
    // audio thread at a block's start, so that the block sees the stored values.
    std::atomic<bool> settingsEdited{false};
    // Odd while setSettings stores a whole state: a block that started reading values while
    // it was odd, or that sees it moved on, takes none of them and looks again next block,
    // so a state is taken all at once.
    std::atomic<uint32_t> settingsWriting{0};
    // The chord zone as the key names last told it: kNoZone with chord keys only, else the
    // recognised chord. Written by the audio thread, read when the host asks for the names:
    // one word that nothing else depends on, so relaxed order.
    std::atomic<int32_t> zoneChord{keynames::kNoZone};
};
