// The capo, tuning and articulation-key ports through lilv: a capo or a tuning plays a chord
// exactly as the VST module plays the chord it sounds, sample for sample; bad values are held
// to valid ones; and run() allocates nothing with all of them on.
#include "tests/lv2/AllocationCounter.h"
#include "tests/lv2/Lv2TestSupport.h"

using namespace lv2test;

namespace {

constexpr uint8_t kNoteOn = 0x90;
constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 256;

// A chord key, then a strum down, a short strum up and the high and low strings picked.
Song strummed(uint8_t chordKey)
{
    Song song;
    song.events = {{0, kNoteOn, chordKey, 100},
                   {700, kNoteOn, 60, 100},
                   {30000, kNoteOn, 65, 90},
                   {50000, kNoteOn, 76, 110},
                   {60000, kNoteOn, 67, 80}};
    song.frames = 90000;
    return song;
}

std::vector<float> lv2With(const Song& song, const std::vector<Setting>& settings)
{
    Lv2Host host(LYREVANE_LV2_PATH, kPluginUri);
    EXPECT_TRUE(host.instantiate(kRate, kBlock)) << host.error();
    return renderLv2(host, song, kRate, kBlock, settings);
}

}  // namespace

TEST(Lv2Guitar, ACapoOrATuningPlaysWhatTheModulePlaysForTheSoundingChord)
{
    constexpr uint8_t kEKey = 52;
    constexpr uint8_t kFSharpKey = 54;  // F# major, the module's E shape at fret 2
    const std::vector<float> fSharp = renderVst(strummed(kFSharpKey), kRate, kBlock, {});
    const std::vector<float> e = renderVst(strummed(kEKey), kRate, kBlock, {});
    ASSERT_GT(loudest(fSharp), 0.05f);
    EXPECT_EQ(firstDifference(lv2With(strummed(kEKey), {{kCapo, 2.0f, 0.0f}}), fSharp), -1);
    // Half a step down with the capo at 1 is the standard tuning again; a whole step down
    // with the capo at 4 is two semitones up.
    EXPECT_EQ(firstDifference(lv2With(strummed(kEKey), {{kTuning, 2.0f, 0.0f}, {kCapo, 1.0f, 0.0f}}),
                              e),
              -1);
    EXPECT_EQ(firstDifference(lv2With(strummed(kEKey), {{kTuning, 3.0f, 0.0f}, {kCapo, 4.0f, 0.0f}}),
                              fSharp),
              -1);
    // Out of range, fractional and not a number: held to the nearest valid value, or the
    // default.
    EXPECT_EQ(firstDifference(lv2With(strummed(kEKey), {{kTuning, 2.6f, 0.0f}, {kCapo, 4.2f, 0.0f}}),
                              fSharp),
              -1);
    EXPECT_EQ(firstDifference(lv2With(strummed(kEKey), {{kTuning, NAN, 0.0f},
                                                        {kCapo, -7.0f, 0.0f},
                                                        {kArticulationKeys, 0.4f, 0.0f}}),
                              e),
              -1);
    EXPECT_EQ(firstDifference(lv2With(strummed(kEKey), {{kCapo, 40.0f, 0.0f}}),
                              lv2With(strummed(kEKey), {{kCapo, 12.0f, 0.0f}})),
              -1);
}

TEST(Lv2Guitar, RunAllocatesNothingWithEveryGuitarControlOn)
{
    Lv2Host host(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(host.instantiate(kRate, kBlock)) << host.error();
    host.control(kCapo) = 3.0f;
    host.control(kTuning) = 8.0f;
    host.control(kArticulationKeys) = 1.0f;
    host.control(kChordInput) = 1.0f;
    host.run(kBlock);
    // A chord held, dead and palm-muted strums, the capo and tuning changed while it sounds.
    const std::vector<lv2host::Midi> first = {{0, {kNoteOn, 28, 90}},  {1, {kNoteOn, 32, 90}},
                                              {2, {kNoteOn, 35, 90}},  {10, {kNoteOn, 61, 100}},
                                              {100, {kNoteOn, 66, 100}}};
    EXPECT_EQ(allocations::countDuring([&] { host.run(kBlock, first); }), 0);
    host.control(kTuning) = 5.0f;
    host.control(kCapo) = 0.0f;
    const std::vector<lv2host::Midi> second = {{5, {kNoteOn, 63, 100}}, {9, {kNoteOn, 68, 100}}};
    EXPECT_EQ(allocations::countDuring([&] { host.run(kBlock, second); }), 0);
}
