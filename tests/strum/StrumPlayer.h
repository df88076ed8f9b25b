// Test helper: a strum engine driven block by block like the instrument's block driver,
// recording every dispatched event at the absolute sample where it would take effect.
#pragma once

#include "strum/CArpStrum.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

struct PlayedEvent {
    int64_t sample;  // from the start of the first block
    uint32_t kind;   // 0x90 sounds a note, 0x80 releases it, 0xE0 pitch bend
    int32_t note;    // or the bend value
    int32_t velocity;

    bool operator==(const PlayedEvent& o) const
    {
        return sample == o.sample && kind == o.kind && note == o.note && velocity == o.velocity;
    }
};

inline std::ostream& operator<<(std::ostream& out, const PlayedEvent& e)
{
    return out << "{" << e.sample << ", 0x" << std::hex << e.kind << std::dec << ", " << e.note
               << ", " << e.velocity << "}";
}

inline PlayedEvent on(int64_t sample, int32_t note, int32_t velocity)
{
    return {sample, 0x90, note, velocity};
}

inline PlayedEvent off(int64_t sample, int32_t note)
{
    return {sample, 0x80, note, 0};
}

class StrumPlayer : public CArpStrum
{
public:
    using CArpStrum::allNotesOff;
    using CArpStrum::chordBank;
    using CArpStrum::elapsed;
    using CArpStrum::eventCount;
    using CArpStrum::eventQueue;
    using CArpStrum::lastAction;
    using CArpStrum::noteCount;
    using CArpStrum::selectedChord;

    std::vector<PlayedEvent> played;
    std::vector<int32_t> noteOnChannels;  // of each note-on in played, in order: the take
    float hostTempo = 120.0f;
    float hostRate = 44100.0f;

    // Host messages for the next block: offset and packed message.
    void key(int32_t offset, uint32_t note, uint32_t velocity, uint32_t channel = 0)
    {
        pending.push_back({offset, packMsg(0x90, channel, note, velocity)});
    }
    void hostMsg(int32_t offset, uint32_t packed) { pending.push_back({offset, packed}); }

    // One block as the driver runs it; checks what the driver relies on: offsets inside
    // the block and never decreasing.
    void block(int32_t frames)
    {
        clearQueue();
        for (const TimedMsg& msg : pending) {
            pushMsg(msg.time, msg.packed);
        }
        pending.clear();
        processBlock(hostTempo, 0.0f, frames, hostRate);
        int32_t previous = 0;
        while (pendingCount() > 0) {
            const int32_t t = nextTime();
            EXPECT_GE(t, previous) << "out of order in block at " << blockStart;
            EXPECT_LT(t, frames) << "outside the block at " << blockStart;
            previous = t;
            dispatchTime = blockStart + t;
            dispatchNext();
        }
        blockStart += frames > 0 ? frames : 0;
    }

    void blocks(int32_t count, int32_t frames)
    {
        for (int32_t i = 0; i < count; ++i) {
            block(frames);
        }
    }

    // Selects a chord from a fresh start without leaving anything scheduled or sounding,
    // then starts counting samples from zero.
    void select(uint32_t chord)
    {
        key(0, 48 + chord, 100);
        block(1);
        played.clear();
        blockStart = 0;
    }

    std::vector<PlayedEvent> notesOn() const { return ofKind(0x90); }
    std::vector<PlayedEvent> releases() const { return ofKind(0x80); }

    void onNoteOn(int32_t channel, int32_t note, int32_t velocity) override
    {
        played.push_back({dispatchTime, 0x90, note, velocity});
        noteOnChannels.push_back(channel);
    }
    void onNoteOff(int32_t, int32_t note, int32_t) override
    {
        played.push_back({dispatchTime, 0x80, note, 0});
    }
    void onPitchBend(int32_t, int16_t bend) override
    {
        played.push_back({dispatchTime, 0xE0, bend, 0});
    }

    int64_t blockStart = 0;

private:
    std::vector<PlayedEvent> ofKind(uint32_t kind) const
    {
        std::vector<PlayedEvent> result;
        for (const PlayedEvent& e : played) {
            if (e.kind == kind) {
                result.push_back(e);
            }
        }
        return result;
    }

    std::vector<TimedMsg> pending;
    int64_t dispatchTime = 0;
};
