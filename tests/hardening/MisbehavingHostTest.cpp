// Hosts that call in the wrong order or pass what they should not, met through the module
// exactly as a host loads it. Whatever they do, every block is written in full with finite,
// bounded samples and nothing outside it, and the instrument goes on playing.
#include <climits>
#include <limits>

#include "tests/hardening/HardeningHost.h"

namespace hardening {
namespace {

constexpr int32_t kBlock = 512;
constexpr int32_t kSongLength = 16384;

// Chord 4 selected and strummed down at once, then single strings and a strum up.
const std::vector<MidiEvent> kSong = {
    {0, kNoteOn, kFirstChordKey + 4, 100},
    {0, kNoteOn, kStrumDownKey, 100},
    {5000, kNoteOn, kPickKeys[0], 90},
    {9000, kNoteOn, kStrumUpKey, 70},
};

class MisbehavingHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
        ASSERT_NE(host.open(), nullptr);
    }

    // The song in blocks of the given size, every block checked.
    std::vector<float> playSong(PluginHost& player, int32_t blockSize = kBlock)
    {
        std::vector<float> song;
        for (int32_t start = 0; start < kSongLength; start += blockSize) {
            const int32_t frames = std::min(blockSize, kSongLength - start);
            std::vector<MidiEvent> due;
            for (const MidiEvent& event : kSong) {
                if (event.deltaFrames >= start && event.deltaFrames < start + frames) {
                    due.push_back(
                        {event.deltaFrames - start, event.status, event.data1, event.data2});
                }
            }
            if (!due.empty()) player.sendMidi(due);
            const std::vector<float> block = renderChecked(player, frames);
            song.insert(song.end(), block.begin(), block.end());
        }
        return song;
    }

    // The song as a well-behaved host at 44100 Hz plays it, from a fresh instance.
    std::vector<float> wellBehavedSong(int32_t blockSize = kBlock)
    {
        PluginHost reference;
        EXPECT_TRUE(reference.load(LYREVANE_MODULE_PATH) && reference.open());
        reference.startUp(44100.0f, blockSize);
        return playSong(reference, blockSize);
    }

    PluginHost host;
};

TEST_F(MisbehavingHost, ProcessingBeforeOpenAndResumeSoundsAsAfterThem)
{
    // No effOpen, no rate, no block size, no resume: none of them is needed to play.
    EXPECT_EQ(playSong(host), wellBehavedSong());
}

TEST_F(MisbehavingHost, CloseWhileNotesSoundWithoutSuspend)
{
    host.startUp();
    host.sendMidi({{0, kNoteOn, kStrumDownKey, 127}});
    EXPECT_GT(peak(renderChecked(host, kBlock)), 0.0f);
    EXPECT_EQ(host.close(), 1);
    // Nothing of the closed instance lingers for the next one the module makes.
    ASSERT_NE(host.open(), nullptr);
    host.startUp();
    EXPECT_EQ(playSong(host), wellBehavedSong());
}

TEST_F(MisbehavingHost, EditorAndLifecycleOpcodesInAnyOrder)
{
    // Editor close before any open, idle after close, knob mode and keys without a window,
    // effOpen twice, resume twice, suspend before resume.
    EXPECT_EQ(host.dispatch(effEditClose), 0);
    EXPECT_EQ(host.dispatch(effEditIdle), 0);
    EXPECT_EQ(host.dispatch(effEditClose), 0);
    EXPECT_EQ(host.dispatch(effEditIdle), 0);
    host.dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f);
    host.dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f);
    host.dispatch(effSetEditKnobMode, 0, 2);
    host.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(host.dispatch(effOpen), 0);
    EXPECT_EQ(host.dispatch(effOpen), 0);
    host.dispatch(effMainsChanged, 0, 1);
    host.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(playSong(host), wellBehavedSong());
}

TEST_F(MisbehavingHost, NullWhereAPointerIsExpected)
{
    host.startUp();
    for (int32_t opcode :
         {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName,
          effSetProgramName, effEditGetRect, effGetChunk, effSetChunk, effString2Parameter,
          effGetEffectName, effGetVendorString, effGetProductString, effCanDo,
          effGetSpeakerArrangement, effGetMidiKeyName, effGetInputProperties,
          effGetOutputProperties, effGetParameterProperties}) {
        host.dispatch(opcode, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(host.dispatch(effCanDo, 0, 0, nullptr), 0);
    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, nullptr), 1);

    // An event list with a hole in it: the events around it still count.
    VstMidiEvent strum{};
    strum.type = kVstMidiType;
    strum.byteSize = sizeof strum;
    strum.midiData[0] = static_cast<char>(kNoteOn);
    strum.midiData[1] = static_cast<char>(kStrumDownKey);
    strum.midiData[2] = 100;
    host.sendEvents({nullptr, reinterpret_cast<VstEvent*>(&strum), nullptr});

    // No output array, and an array of null channels: nothing to write, nothing written.
    AEffect* effect = host.effect();
    effect->processReplacing(effect, nullptr, nullptr, kBlock);
    float* noChannels[2] = {nullptr, nullptr};
    effect->processReplacing(effect, nullptr, noChannels, kBlock);
    // The strum went on while the host listened to nothing.
    EXPECT_GT(peak(renderChecked(host, kBlock)), 0.0f);
}

TEST_F(MisbehavingHost, TimeRequestsAnsweredWithNull)
{
    // Never an answer: the strum engine plays at its initial 120 beats per minute.
    host.answerTimeWithNull = true;
    host.startUp();
    EXPECT_EQ(playSong(host), wellBehavedSong());

    // Answers that stop mid-song: the last tempo heard stays in force.
    PluginHost fast;
    ASSERT_TRUE(fast.load(LYREVANE_MODULE_PATH) && fast.open());
    fast.startUp();
    fast.timeInfo.tempo = 200.0;
    PluginHost fading;
    ASSERT_TRUE(fading.load(LYREVANE_MODULE_PATH) && fading.open());
    fading.startUp();
    fading.timeInfo.tempo = 200.0;
    renderChecked(fast, kBlock);
    renderChecked(fading, kBlock);
    fading.answerTimeWithNull = true;
    EXPECT_EQ(playSong(fading), playSong(fast));
}

TEST_F(MisbehavingHost, EventsOutsideTheBlockAndOutOfOrder)
{
    host.startUp();
    // Late, early, far out and backwards: each block is still written in full, once.
    for (int32_t delta : {kBlock, kBlock + 1000, -1, -5000, INT_MAX, INT_MIN}) {
        host.sendMidi({{300, kNoteOn, kStrumDownKey, 100},
                       {delta, kNoteOn, kPickKeys[0], 100},
                       {10, kNoteOn, kStrumUpKey, 100}});
        renderChecked(host, kBlock);
    }
    // More events than the queue holds, all at one sample.
    std::vector<MidiEvent> flood(400, MidiEvent{kBlock - 1, kNoteOn, kPickKeys[0], 127});
    host.sendMidi(flood);
    EXPECT_GT(peak(renderChecked(host, kBlock)), 0.0f);
}

TEST_F(MisbehavingHost, BlocksLargerThanAnnouncedAndOfOddSizes)
{
    // The announced size has no part in the sound: announced 64 and sent 8192 at a time, or
    // announced 4096 and sent one sample at a time, the song sounds as when announced right.
    host.startUp(44100.0f, 64);
    EXPECT_EQ(playSong(host, 8192), wellBehavedSong(8192));
    PluginHost single;
    ASSERT_TRUE(single.load(LYREVANE_MODULE_PATH) && single.open());
    single.startUp(44100.0f, 4096);
    EXPECT_EQ(playSong(single, 1), wellBehavedSong(1));
    // Empty and negative blocks write nothing.
    renderChecked(host, 0);
    renderChecked(host, -1);
    renderChecked(host, INT_MIN);
}

TEST_F(MisbehavingHost, SampleRatesNoHostRuns)
{
    // Rates no audio device runs at are ignored: the instrument keeps the rate in force.
    const std::vector<float> reference = wellBehavedSong();
    for (float rate : {0.0f, 1.0f, 1e9f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()}) {
        PluginHost odd;
        ASSERT_TRUE(odd.load(LYREVANE_MODULE_PATH) && odd.open());
        odd.startUp(rate, kBlock);
        EXPECT_EQ(playSong(odd), reference) << "at rate " << rate;
    }
}

}  // namespace
}  // namespace hardening
