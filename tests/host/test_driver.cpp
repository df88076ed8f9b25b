// The block driver: where events take effect, what is written, and what the host may send.
#include <cmath>
#include <limits>

#include "tests/host/PlektraFixture.h"

namespace plektratest {
namespace {

using harness::Block;
using harness::MidiEvent;

const float kWholeTone = std::pow(2.0f, 1.0f / 6.0f);

TEST_F(PlektraTest, EventsTakeEffectAtTheirOwnSample)
{
    tuneHighestStringTo69();
    host.sendMidi({{0, kNoteOn, kPickHighestKey, 127}});
    Block block = host.render(kBlock);
    ASSERT_NE(heldVoice(69), nullptr);
    EXPECT_EQ(heldVoice(69)->player.position, kBlock);
    EXPECT_EQ(block.left, block.right);

    restart();
    tuneHighestStringTo69();
    host.sendMidi({{kBlock - 1, kNoteOn, kPickHighestKey, 127}});
    block = host.render(kBlock);
    ASSERT_NE(heldVoice(69), nullptr);
    EXPECT_EQ(heldVoice(69)->player.position, 1);
    for (float sample : block.left) ASSERT_EQ(sample, 0.0f);

    // Two events at one sample: both act before that sample is rendered, in list order,
    // so the note starts already bent. The lowest string of chord 0 is muted, so its key
    // plays the next one up, note 48, also at its recording's root.
    restart();
    tuneHighestStringTo69();
    host.sendMidi({{100, kPitchBend, 0x7F, 0x7F},
                   {100, kNoteOn, kPickHighestKey, 127},
                   {100, kNoteOn, kPickLowestKey, 127}});
    host.render(kBlock);
    ASSERT_NE(heldVoice(69), nullptr);
    ASSERT_NE(heldVoice(48), nullptr);
    EXPECT_FLOAT_EQ(heldVoice(69)->player.bend, kWholeTone);
    EXPECT_EQ(heldVoice(48)->player.position, heldVoice(69)->player.position);
    EXPECT_NEAR(heldVoice(69)->player.position, (kBlock - 100) * kWholeTone, 1.0f);
    EXPECT_FLOAT_EQ(plektra->soundEngine().bend(), kWholeTone);
}

TEST_F(PlektraTest, EmptyBlocksStillRunTheEngines)
{
    tuneHighestStringTo69();
    host.clearCalls();
    float sentinel[4] = {9.0f, 9.0f, 9.0f, 9.0f};
    float* outputs[2] = {sentinel, sentinel + 2};
    AEffect* effect = host.effect();
    host.sendMidi({{0, kNoteOn, kPickHighestKey, 127}});
    effect->processReplacing(effect, nullptr, outputs, 0);
    effect->processReplacing(effect, nullptr, outputs, -7);
    for (float value : sentinel) EXPECT_EQ(value, 9.0f);
    EXPECT_EQ(host.callCount(audioMasterGetTime), 4u);
    // The key was taken in by the empty block and acts at the start of the next one.
    EXPECT_EQ(heldVoice(69), nullptr);
    host.render(kBlock);
    ASSERT_NE(heldVoice(69), nullptr);
    EXPECT_EQ(heldVoice(69)->player.position, kBlock);
}

TEST_F(PlektraTest, TransportJumpReleasesVoicesButKeepsTheStrumGoing)
{
    // E major strummed down: notes 40, 47 in the first block, 52 at 920.
    host.sendMidi({{0, kNoteOn, kFirstChordKey + 4, 100}, {0, kNoteOn, kStrumDownKey, 100}});
    host.render(kBlock);
    ASSERT_NE(heldVoice(40), nullptr);
    ASSERT_NE(heldVoice(47), nullptr);

    host.timeInfo.flags |= kVstTransportChanged;
    host.render(kBlock);
    host.timeInfo.flags &= ~kVstTransportChanged;
    EXPECT_EQ(heldVoice(40), nullptr);
    EXPECT_EQ(heldVoice(47), nullptr);
    ASSERT_NE(heldVoice(52), nullptr);
    host.render(kBlock);
    EXPECT_NE(heldVoice(52), nullptr);
    EXPECT_NE(heldVoice(56), nullptr);
}

TEST_F(PlektraTest, StrumOnsetsFollowTempoAndHostRate)
{
    const std::vector<MidiEvent> strum = {{0, kNoteOn, kFirstChordKey + 4, 100},
                                          {0, kNoteOn, kStrumDownKey, 100}};
    using Onsets = std::vector<std::pair<int32_t, int>>;
    EXPECT_EQ(onsets(2400, strum),
              (Onsets{{0, 40}, {460, 47}, {920, 52}, {1380, 56}, {1840, 59}, {2300, 64}}));

    // The strum keeps its duration in seconds: about 500.7 host samples per string.
    restart(48000.0f);
    const Onsets at48k = onsets(2600, strum);
    ASSERT_EQ(at48k.size(), 6u);
    const int32_t spacing = at48k[1].first - at48k[0].first;
    EXPECT_GE(spacing, 499);
    EXPECT_LE(spacing, 501);
    for (size_t k = 1; k < at48k.size(); ++k) {
        EXPECT_EQ(at48k[k].first - at48k[k - 1].first, spacing);
    }

    // A host that answers a time request with nothing leaves the last tempo in force:
    // 240 beats per minute halves the spacing.
    restart();
    host.timeInfo.tempo = 240.0;
    host.render(kBlock);
    host.answerTimeWithNull = true;
    host.render(kBlock);
    EXPECT_EQ(onsets(300, strum), (Onsets{{0, 40}, {230, 47}}));
}

TEST_F(PlektraTest, WhateverTheHostSendsEverySampleIsWrittenInsideTheBuffers)
{
    constexpr int32_t kGuard = 64;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    AEffect* effect = host.effect();
    std::vector<float> left(kBlock + 2 * kGuard), right(kBlock + 2 * kGuard);
    float* outputs[2] = {left.data() + kGuard, right.data() + kGuard};
    for (int round = 0; round < 8; ++round) {
        std::fill(left.begin(), left.end(), nan);
        std::fill(right.begin(), right.end(), nan);
        host.sendMidi({{-5, kNoteOn, kStrumDownKey, 255},
                       {kBlock, kPitchBend, 0x00, 0x40},
                       {INT32_MIN, kNoteOn, kPickLowestKey, 200},
                       {INT32_MAX, kPitchBend, 0xFF, 0xFF},
                       {300, kNoteOn, 0xFF, 0xFF},
                       {-1, 0xB0, 64, 127},
                       {kBlock - 1, kNoteOn, static_cast<uint8_t>(kFirstChordKey + round), 0xF0},
                       {kBlock * 3, kNoteOn, kStrumDownKey, 1}});
        effect->processReplacing(effect, nullptr, outputs, kBlock);
        for (int32_t i = 0; i < kGuard; ++i) {
            ASSERT_TRUE(std::isnan(left[i]) && std::isnan(right[i]));
            ASSERT_TRUE(std::isnan(left[kGuard + kBlock + i]));
            ASSERT_TRUE(std::isnan(right[kGuard + kBlock + i]));
        }
        for (int32_t i = 0; i < kBlock; ++i) {
            ASSERT_TRUE(std::isfinite(outputs[0][i])) << "round " << round << " sample " << i;
            ASSERT_EQ(outputs[0][i], outputs[1][i]);
            ASSERT_LT(std::fabs(outputs[0][i]), 8.0f);
        }
    }

    // Missing channels are skipped; the engines still move on.
    restart();
    tuneHighestStringTo69();
    host.sendMidi({{0, kNoteOn, kPickHighestKey, 127}});
    effect = host.effect();
    effect->processReplacing(effect, nullptr, nullptr, 100);
    std::vector<float> only(100, nan);
    float* rightOnly[2] = {nullptr, only.data()};
    effect->processReplacing(effect, nullptr, rightOnly, 100);
    ASSERT_NE(heldVoice(69), nullptr);
    EXPECT_EQ(heldVoice(69)->player.position, 200);
    for (float sample : only) EXPECT_TRUE(std::isfinite(sample));
}

TEST_F(PlektraTest, EventListsAreTakenUpToTheQueuesCapacity)
{
    // 300 bends: the first 255 (full up) are queued, the last 45 (full down) are lost.
    std::vector<MidiEvent> bends(255, {0, kPitchBend, 0x7F, 0x7F});
    bends.resize(300, {0, kPitchBend, 0x00, 0x00});
    host.sendMidi(bends);
    host.render(kBlock);
    EXPECT_FLOAT_EQ(plektra->soundEngine().bend(), kWholeTone);

    // Other event types and null entries are skipped, the MIDI events around them kept.
    tuneHighestStringTo69();
    VstEvent sysex{kVstSysExType, sizeof(VstEvent), 0, 0, {}};
    VstEvent unknown{99, sizeof(VstEvent), 0, 0, {}};
    VstMidiEvent pick{kVstMidiType, sizeof(VstMidiEvent), 10, 0, 0, 0, {}, 0, 0, 0, 0};
    pick.midiData[0] = static_cast<char>(kNoteOn);
    pick.midiData[1] = static_cast<char>(kPickHighestKey);
    pick.midiData[2] = 100;
    host.sendEvents({&sysex, nullptr, reinterpret_cast<VstEvent*>(&pick), &unknown});
    host.render(kBlock);
    ASSERT_NE(heldVoice(69), nullptr);
    EXPECT_EQ(heldVoice(69)->player.position, kBlock - 10);

    // A second delivery before the block replaces the first.
    host.sendMidi({{0, kNoteOn, kMuteKey, 100}});
    host.sendMidi({{0, kNoteOn, kPickLowestKey, 100}});
    host.render(kBlock);
    EXPECT_NE(heldVoice(69), nullptr);
    EXPECT_NE(heldVoice(48), nullptr);
    EXPECT_EQ(host.dispatch(effProcessEvents, 0, 0, nullptr), 1);
}

}  // namespace
}  // namespace plektratest
