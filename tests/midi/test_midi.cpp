// Queue and decoding behaviour of the MIDI message decoder.
#include "midi/CMidiMsg.h"

#include "host/VstInterface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Writes one line per handler call so that a test sees exactly which handlers ran.
class RecordingDecoder : public CMidiMsg
{
public:
    std::vector<std::string> calls;

    using CMidiMsg::entries;
    using CMidiMsg::msgCount;
    using CMidiMsg::readIndex;

    void onNoteOn(int32_t c, int32_t n, int32_t v) override { log("noteOn", c, n, v); }
    void onNoteOff(int32_t c, int32_t n, int32_t v) override { log("noteOff", c, n, v); }
    void onProgramChange(int32_t c, int32_t p) override { log("program", c, p); }
    void onPolyPressure(int32_t c, int32_t n, int32_t p) override { log("poly", c, n, p); }
    void onChannelPressure(int32_t c, int32_t p) override { log("pressure", c, p); }
    void onPitchBend(int32_t c, int16_t bend) override { log("bend", c, bend); }
    void onQuarterFrame(int32_t d) override { log("quarterFrame", d); }
    void onSongPosition(uint16_t p) override { log("songPosition", p); }
    void onSongSelect(int32_t s) override { log("songSelect", s); }
    void onTuneRequest() override { log("tuneRequest"); }
    void onClock() override { log("clock"); }
    void onStart() override { log("start"); }
    void onContinue() override { log("continue"); }
    void onStop() override { log("stop"); }
    void onActiveSensing() override { log("activeSensing"); }
    void onSystemReset() override { log("systemReset"); }
    void onController0(int32_t c, int32_t v) override { log("cc0", c, v); }
    void onController63(int32_t c, int32_t v) override { log("cc63", c, v); }
    void onController64(int32_t c, int32_t v) override { log("cc64", c, v); }
    void onController65(int32_t c, int32_t v) override { log("cc65", c, v); }
    void onController127(int32_t c, int32_t v) override { log("cc127", c, v); }

    std::vector<std::string> decode(uint32_t kind, uint32_t channel, uint32_t d1, uint32_t d2)
    {
        calls.clear();
        dispatch(0, packMsg(kind, channel, d1, d2));
        return calls;
    }

private:
    template <typename... Args>
    void log(const char* name, Args... args)
    {
        std::string line = name;
        ((line += " " + std::to_string(args)), ...);
        calls.push_back(line);
    }
};

using Calls = std::vector<std::string>;

VstMidiEvent midiEvent(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2)
{
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = deltaFrames;
    event.noteLength = 99;
    event.detune = 12;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(data1);
    event.midiData[2] = static_cast<char>(data2);
    return event;
}

}  // namespace

TEST(MidiDecoder, PacksHostEventsWithoutMaskingDataBytes)
{
    RecordingDecoder decoder;
    const VstMidiEvent noteOn = midiEvent(17, 0x93, 60, 100);
    const VstMidiEvent wild = midiEvent(-4, 0x45, 0xC8, 0xFF);
    EXPECT_EQ(decoder.pushMidiEvent(&noteOn), 1);
    EXPECT_EQ(decoder.pushMidiEvent(&wild), 1);
    ASSERT_EQ(decoder.pendingCount(), 2);
    EXPECT_EQ(decoder.entries[0].time, 17);
    EXPECT_EQ(decoder.entries[0].packed, 0x643C0390u);
    // A first byte below 0x80 keeps its high nibble as the kind; data bytes stay unmasked.
    EXPECT_EQ(decoder.entries[1].time, -4);
    EXPECT_EQ(decoder.entries[1].packed, 0xFFC80540u);
}

TEST(MidiDecoder, ChannelMessagesReachTheirHandlersOnEveryChannel)
{
    RecordingDecoder d;
    for (uint32_t channel = 0; channel < 16; ++channel) {
        const std::string c = std::to_string(channel);
        EXPECT_EQ(d.decode(0x90, channel, 60, 100), Calls{"noteOn " + c + " 60 100"});
        EXPECT_EQ(d.decode(0x80, channel, 60, 30), Calls{"noteOff " + c + " 60 30"});
        EXPECT_EQ(d.decode(0xA0, channel, 61, 7), Calls{"poly " + c + " 61 7"});
        EXPECT_EQ(d.decode(0xC0, channel, 5, 9), Calls{"program " + c + " 5"});
        EXPECT_EQ(d.decode(0xD0, channel, 44, 9), Calls{"pressure " + c + " 44"});
    }
    // A note-on of velocity 0 is a release with velocity 0.
    EXPECT_EQ(d.decode(0x90, 2, 64, 0), Calls{"noteOff 2 64 0"});
    // Data bytes above 127 are handed on unchanged.
    EXPECT_EQ(d.decode(0x90, 0, 200, 255), Calls{"noteOn 0 200 255"});
    // Running-status data bytes (kind below 0x80) decode to nothing.
    EXPECT_EQ(d.decode(0x30, 0, 60, 100), Calls{});
}

TEST(MidiDecoder, PitchBendIsCenteredAndSigned)
{
    RecordingDecoder d;
    EXPECT_EQ(d.decode(0xE0, 1, 0x00, 0x40), Calls{"bend 1 0"});
    EXPECT_EQ(d.decode(0xE0, 1, 0x7F, 0x7F), Calls{"bend 1 8191"});
    EXPECT_EQ(d.decode(0xE0, 1, 0x00, 0x00), Calls{"bend 1 -8192"});
    EXPECT_EQ(d.decode(0xE0, 1, 0x01, 0x40), Calls{"bend 1 1"});
}

TEST(MidiDecoder, SystemMessagesDecodeByStatus)
{
    RecordingDecoder d;
    EXPECT_EQ(d.decode(0xF0, 0x1, 0x25, 0), Calls{"quarterFrame 37"});
    EXPECT_EQ(d.decode(0xF0, 0x2, 0x7F, 0x7F), Calls{"songPosition 16383"});
    EXPECT_EQ(d.decode(0xF0, 0x2, 0x05, 0x01), Calls{"songPosition 133"});
    EXPECT_EQ(d.decode(0xF0, 0x3, 9, 0), Calls{"songSelect 9"});
    EXPECT_EQ(d.decode(0xF0, 0x6, 0, 0), Calls{"tuneRequest"});
    EXPECT_EQ(d.decode(0xF0, 0x8, 0, 0), Calls{"clock"});
    EXPECT_EQ(d.decode(0xF0, 0xA, 0, 0), Calls{"start"});
    EXPECT_EQ(d.decode(0xF0, 0xB, 0, 0), Calls{"continue"});
    EXPECT_EQ(d.decode(0xF0, 0xC, 0, 0), Calls{"stop"});
    EXPECT_EQ(d.decode(0xF0, 0xE, 0, 0), Calls{"activeSensing"});
    EXPECT_EQ(d.decode(0xF0, 0xF, 0, 0), Calls{"systemReset"});
    for (uint32_t silent : {0x0u, 0x4u, 0x5u, 0x7u, 0x9u, 0xDu}) {
        EXPECT_EQ(d.decode(0xF0, silent, 1, 2), Calls{}) << "status 0xF" << silent;
    }
}

TEST(MidiDecoder, ControllersCallOnlyTheirOwnHandler)
{
    RecordingDecoder d;
    EXPECT_EQ(d.decode(0xB0, 3, 64, 100), Calls{"cc64 3 100"});
    EXPECT_EQ(d.decode(0xB0, 15, 0, 1), Calls{"cc0 15 1"});
    EXPECT_EQ(d.decode(0xB0, 0, 127, 127), Calls{"cc127 0 127"});
    EXPECT_EQ(d.decode(0xB0, 0, 65, 0), Calls{"cc65 0 0"});
    // Unmasked controller numbers above 127 have no handler.
    EXPECT_EQ(d.decode(0xB0, 0, 128, 1), Calls{});
    EXPECT_EQ(d.decode(0xB0, 0, 255, 1), Calls{});
}

TEST(MidiDecoder, QueueHoldsAtMost255AndDrainsInOrder)
{
    RecordingDecoder d;
    for (int32_t i = 0; i < 255; ++i) {
        ASSERT_EQ(d.pushMsg(i, packMsg(0x90, 0, static_cast<uint32_t>(i % 128), 1)), 1);
    }
    EXPECT_EQ(d.pushMsg(999, packMsg(0x90, 0, 1, 1)), 0);
    EXPECT_EQ(d.pendingCount(), 255);

    for (int32_t i = 0; i < 255; ++i) {
        ASSERT_EQ(d.nextTime(), i);
        d.calls.clear();
        d.dispatchNext();
        ASSERT_EQ(d.calls, Calls{"noteOn 0 " + std::to_string(i % 128) + " 1"});
    }
    EXPECT_EQ(d.pendingCount(), 0);
    EXPECT_EQ(d.readIndex, 254);
    // A stray pop on the empty queue keeps count and index in range.
    d.popMsg();
    EXPECT_EQ(d.pendingCount(), 0);
    EXPECT_EQ(d.readIndex, 254);

    d.clearQueue();
    EXPECT_EQ(d.pendingCount(), 0);
    EXPECT_EQ(d.readIndex, 0);
    EXPECT_EQ(d.entries[100].packed, 0u);
    EXPECT_EQ(d.pushMsg(5, 0x12345690u), 1);
    EXPECT_EQ(d.nextTime(), 5);
    EXPECT_EQ(d.popMsg().packed, 0x12345690u);

    // Clears after partial fills, with pops in between, leave every entry zero too.
    for (int32_t fill : {10, 3, 0}) {
        for (int32_t i = 0; i < fill; ++i) d.pushMsg(i + 1, 0x90u + uint32_t(i));
        d.popMsg();
        d.clearQueue();
        for (const TimedMsg& entry : d.entries) {
            ASSERT_EQ(entry.time, 0) << fill;
            ASSERT_EQ(entry.packed, 0u) << fill;
        }
    }
}
