// The instrument driven as a format drives it: control changes at their sample whatever the
// host's blocks, and a state loaded on another thread while the audio thread plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "instrument/Instrument.h"
#include "tests/instrument/StreamHelpers.h"

using namespace controls;

namespace {

constexpr double kRate = 44100.0;

// One event of a song, at its sample from the song's start.
struct SongEvent
{
    uint32_t frame;
    bool isNote;
    uint8_t bytes[3];
    uint32_t id;
    float value;
};

SongEvent note(uint32_t frame, uint8_t status, uint8_t key, uint8_t velocity)
{
    return {frame, true, {status, key, velocity}, 0, 0.0f};
}

SongEvent change(uint32_t frame, uint32_t id, float value) { return {frame, false, {}, id, value}; }

// The song rendered in blocks of blockFrames, as a host cuts it; its events handed over in
// the order a VST3 host gives them: the notes, then the parameter changes.
std::vector<float> render(const std::vector<SongEvent>& song, uint32_t length, uint32_t blockFrames)
{
    Instrument instrument(kRate);
    instrument.activate();
    std::vector<float> left(length);
    std::vector<float> right(length);
    for (uint32_t start = 0; start < length; start += blockFrames) {
        const uint32_t frames = std::min(blockFrames, length - start);
        instrument.beginBlock(left.data() + start, right.data() + start, frames);
        for (bool notes : {true, false}) {
            for (const SongEvent& event : song) {
                if (event.isNote != notes || event.frame < start || event.frame >= start + frames) {
                    continue;
                }
                if (notes) {
                    instrument.midi(event.frame - start, event.bytes, 3);
                } else {
                    instrument.control(event.frame - start, event.id, event.value);
                }
            }
        }
        instrument.endBlock();
    }
    EXPECT_EQ(left, right);
    return left;
}

// Chord 1 (C) strummed, edited while it rings (which stops it at that sample), strummed
// again, the sound set switched, strummed again.
std::vector<SongEvent> songWithChanges()
{
    return {note(0, 0x90, 48, 100),     note(300, 0x90, 60, 110),
            note(2000, 0x80, 60, 0),    change(9001, kFirstString + 1, 5.0f),
            note(12345, 0x90, 62, 90),  change(20011, kSoundSet, 1.0f),
            note(20011, 0x90, 60, 127), note(30000, 0x90, 64, 80)};
}

constexpr uint32_t kSongFrames = 40000;

}  // namespace

TEST(Instrument, ControlChangesActAtTheirSampleWhateverTheBlockSize)
{
    const std::vector<float> reference = render(songWithChanges(), kSongFrames, 8192);
    for (uint32_t block : {1u, 7u, 64u, 500u, 4096u}) {
        EXPECT_EQ(render(songWithChanges(), kSongFrames, block), reference)
            << "blocks of " << block;
    }
}

TEST(Instrument, AControlChangeSplitsTheBlockAtItsSample)
{
    // The edit stops the ringing strings from its sample on, in the middle of a block: not
    // before it, and not at the block's start or end.
    std::vector<SongEvent> ringing = songWithChanges();
    ringing.erase(ringing.begin() + 3);
    const std::vector<float> edited = render(songWithChanges(), 12000, 4096);
    const std::vector<float> unedited = render(ringing, 12000, 4096);
    const auto firstDifference =
        std::mismatch(edited.begin(), edited.end(), unedited.begin()).first - edited.begin();
    EXPECT_GE(firstDifference, 9001);
    EXPECT_LE(firstDifference, 9004);
}

TEST(Instrument, OutOfOrderEventsTakeTheirPlaceInTime)
{
    Instrument inOrder(kRate);
    Instrument reversed(kRate);
    std::vector<float> a(512);
    std::vector<float> b(512);
    const uint8_t chord[3] = {0x90, 48, 100};
    const uint8_t strum[3] = {0x90, 60, 100};
    inOrder.beginBlock(a.data(), nullptr, 512);
    inOrder.midi(10, chord, 3);
    inOrder.midi(20, strum, 3);
    inOrder.control(100, kFirstString + 1, 7.0f);
    inOrder.endBlock();
    reversed.beginBlock(b.data(), nullptr, 512);
    reversed.control(100, kFirstString + 1, 7.0f);
    reversed.midi(20, strum, 3);
    reversed.midi(10, chord, 3);
    reversed.endBlock();
    EXPECT_EQ(a, b);
}

TEST(Instrument, UnknownIdsNotANumberAndOutputsChangeNothing)
{
    Instrument instrument(kRate);
    const Instrument::Settings before = instrument.settings();
    std::vector<float> out(64);
    instrument.beginBlock(out.data(), out.data(), 64);
    instrument.control(0, kCount, 1.0f);
    instrument.control(0, 0xFFFFFFFFu, 1.0f);
    instrument.control(3, kSoundSet, NAN);
    instrument.control(3, kPlayedChord, 5.0f);
    instrument.endBlock();
    instrument.setValue(kSwing, NAN);
    instrument.setValue(kRecognisedChord, 3.0f);
    EXPECT_EQ(instrument.settings(), before);
    instrument.setValue(kHumaniseTime, 1000.0f);
    EXPECT_EQ(instrument.value(kHumaniseTime), 30.0f);
}

TEST(Instrument, KeyNamesFollowTheChordsAndTheHostIsTold)
{
    Instrument instrument(kRate);
    EXPECT_EQ(instrument.keyNames()[48], "C3 chord: C");
    EXPECT_EQ(instrument.keyNames()[60], "Strum down");
    std::vector<float> out(64);
    instrument.beginBlock(out.data(), nullptr, 64);
    // C major's E (the D string's second fret) lowered to D#, the high E muted: Cm.
    instrument.control(0, kFirstString + 2, 1.0f);
    instrument.control(0, kFirstString + 5, -1.0f);
    instrument.endBlock();
    EXPECT_TRUE(instrument.keyNamesChanged());
    EXPECT_EQ(instrument.keyNames()[48], "C3 chord: Cm");
    instrument.beginBlock(out.data(), nullptr, 64);
    instrument.endBlock();
    EXPECT_FALSE(instrument.keyNamesChanged());
}

TEST(Instrument, KeyNamesNameTheChordsAsTheySoundAndTheArticulationKeys)
{
    Instrument instrument(kRate);
    std::vector<float> out(64);
    instrument.beginBlock(out.data(), nullptr, 64);
    instrument.control(0, kCapo, 2.0f);
    instrument.endBlock();
    EXPECT_TRUE(instrument.keyNamesChanged());
    // E major's shape two frets up sounds F#; D (x x 0 2 3 2) with the capo at 2 sounds E.
    EXPECT_EQ(instrument.keyNames()[52], "E3 chord: F#");
    EXPECT_EQ(instrument.keyNames()[50], "D3 chord: E");
    instrument.beginBlock(out.data(), nullptr, 64);
    instrument.control(0, kCapo, 0.0f);
    instrument.control(0, kTuning, 1.0f);  // drop D: the E shape sounds over a D bass
    instrument.control(0, kArticulationKeys, 1.0f);
    instrument.endBlock();
    EXPECT_TRUE(instrument.keyNamesChanged());
    EXPECT_EQ(instrument.keyNames()[52], "E3 chord: E7/D");
    EXPECT_EQ(instrument.keyNames()[61], "Dead strum down");
    EXPECT_EQ(instrument.keyNames()[63], "Dead strum up");
    EXPECT_EQ(instrument.keyNames()[66], "Palm-muted strum down");
    EXPECT_EQ(instrument.keyNames()[68], "Palm-muted strum up");
    instrument.beginBlock(out.data(), nullptr, 64);
    instrument.control(0, kArticulationKeys, 0.0f);
    instrument.endBlock();
    EXPECT_EQ(instrument.keyNames()[61], "Silence");
}

namespace {

// The names of the twelve chord keys: what chords the engine holds now.
std::vector<std::string> chordKeyNames(Instrument& instrument)
{
    const keynames::Names names = instrument.keyNames();
    return {names.begin() + 48, names.begin() + 60};
}

}  // namespace

// A host (VST3's setState) loading states on its own thread while the audio thread plays:
// every block takes one whole state or none, never part of one.
TEST(ConcurrencyInstrument, StatesLoadedWhileTheAudioThreadPlaysAreTakenWhole)
{
    Instrument instrument(kRate);
    instrument.activate();
    const Instrument::Settings first = instrument.settings();
    Instrument::Settings second = first;
    for (uint32_t id = kFirstString; id < kSoundSet; ++id)
        second[id] = 2.0f;
    second[kSwing] = 0.5f;
    const std::vector<uint8_t> states[2] = {stateBytes(first), stateBytes(second)};
    std::vector<float> out(128);
    Instrument reference(kRate);
    const std::vector<std::string> firstChords = chordKeyNames(reference);
    reference.setSettings(second);
    reference.beginBlock(out.data(), nullptr, 128);
    reference.endBlock();
    const std::vector<std::string> secondChords = chordKeyNames(reference);
    ASSERT_NE(firstChords, secondChords);

    std::atomic<bool> loading{true};
    std::thread host([&] {
        for (int i = 0; i < 2000; ++i) {
            MemoryStream stream{states[i % 2], 0, {7}};
            EXPECT_EQ(instrument.loadState(MemoryStream::read, &stream), state::Result::ok);
        }
        MemoryStream last{states[1], 0, {}};
        EXPECT_EQ(instrument.loadState(MemoryStream::read, &last), state::Result::ok);
        loading = false;
    });
    const uint8_t strum[3] = {0x90, 60, 100};
    int mixed = 0;
    int blocks = 0;
    for (bool more = true; more; ++blocks) {
        // The last load is taken by the first block that starts after it.
        more = loading;
        instrument.beginBlock(out.data(), out.data(), 128);
        instrument.midi(5, strum, 3);
        instrument.endBlock();
        const std::vector<std::string> chords = chordKeyNames(instrument);
        if (chords != firstChords && chords != secondChords) ++mixed;
    }
    host.join();
    EXPECT_EQ(mixed, 0) << "of " << blocks << " blocks";
    EXPECT_EQ(chordKeyNames(instrument), secondChords);
    EXPECT_EQ(instrument.settings()[kSwing], 0.5f);
}
