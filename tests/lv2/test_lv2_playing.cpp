// Held chords, strum patterns and humanising through the LV2 plug-in as lilv loads it, each
// held against the VST module playing the same strokes by its keys, sample for sample:
// chords recognised in every quality, inversion and octave and changed at exact samples;
// every pattern on the beat grid at three tempos and two rates; the transport's start, stop
// and jump; humanising repeatable by seed; and bad input held safe.
#include "tests/lv2/AllocationCounter.h"
#include "tests/lv2/Lv2TestSupport.h"

#include <lv2/units/units.h>

#include <functional>

#include "strum/ChordZone.h"
#include "strum/PatternPlayer.h"
#include "strum/PatternTable.h"
#include "tests/support/HeldChordNotes.h"

using namespace lv2test;

namespace {

constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kEMajorKey = 52;
constexpr uint8_t kPickKeys[6] = {67, 69, 71, 72, 74, 76};

// The key of the key map that plays a pattern's stroke.
uint8_t keyOf(KeyAction action, int32_t string)
{
    switch (action) {
    case StrumDown: return 60;
    case StrumUp: return 62;
    case ShortStrumDown: return 64;
    case ShortStrumUp: return 65;
    case DeadStrumDown: return 61;
    case DeadStrumUp: return 63;
    case MutedStrumDown: return 66;
    case MutedStrumUp: return 68;
    default: return kPickKeys[string];
    }
}

bool articulated(const StrumPattern& pattern)
{
    return std::any_of(pattern.steps, pattern.steps + pattern.stepCount,
                       [](const PatternStep& step) { return step.action >= DeadStrumUp; });
}

// Where the host's transport goes at a block's start: rolling or standing, at a beat.
struct Move {
    int64_t sample;
    bool rolling;
    double beat;
};

// One performance: keys at song samples and the host's transport at a constant tempo.
struct Take {
    double rate = 44100.0;
    double bpm = 120.0;
    int32_t block = 256;
    int64_t frames = 0;
    std::vector<SongEvent> keys;
    std::vector<Move> moves = {{0, true, 0.0}};
};

double samplesPerBeat(const Take& take)
{
    return 60.0 * take.rate / take.bpm;
}

// The clock through a take: at each block's start the last move's beat, moved on while the
// transport rolls; calls step(start, frames, clock, moved) for every block.
template <typename Step>
void walk(const Take& take, Step step)
{
    Move at{0, false, 0.0};
    size_t next = 0;
    for (int64_t start = 0; start < take.frames; start += take.block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(take.block, take.frames - start));
        const bool moved = next < take.moves.size() && take.moves[next].sample == start;
        if (moved) at = take.moves[next++];
        SongClock clock;
        clock.rolling = at.rolling;
        clock.beat = at.beat + (at.rolling ? (start - at.sample) / samplesPerBeat(take) : 0.0);
        clock.barStart = std::floor(clock.beat / 4.0) * 4.0;
        clock.beatsPerMinute = take.bpm;
        step(start, frames, clock, moved);
    }
}

std::vector<float> renderLv2Take(Lv2Host& host, const Take& take)
{
    std::vector<float> out;
    size_t next = 0;
    walk(take, [&](int64_t start, int32_t frames, const SongClock& clock, bool moved) {
        std::vector<lv2host::Midi> due;
        for (; next < take.keys.size() && take.keys[next].frame < start + frames; ++next) {
            const SongEvent& e = take.keys[next];
            due.push_back({e.frame - start, {e.status, e.data1, e.data2}});
        }
        std::vector<lv2host::Position> positions;
        // The song position in samples too, as Ardour and jalv state it.
        const auto songFrame = std::llround(clock.beat * samplesPerBeat(take));
        if (moved) {
            positions.push_back({0, take.bpm, clock.rolling ? 1.0 : 0.0, clock.beat, songFrame});
        }
        host.run(frames, due, positions);
        out.insert(out.end(), host.left().begin(), host.left().begin() + frames);
    });
    return out;
}

// The VST module told the same clock, playing keys.
std::vector<float> renderVstTake(const Take& take, const std::vector<SongEvent>& keys)
{
    harness::PluginHost host;
    EXPECT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
    EXPECT_NE(host.open(), nullptr);
    host.startUp(static_cast<float>(take.rate), take.block);
    std::vector<float> out;
    size_t next = 0;
    walk(take, [&](int64_t start, int32_t frames, const SongClock& clock, bool moved) {
        std::vector<harness::MidiEvent> due;
        for (; next < keys.size() && keys[next].frame < start + frames; ++next) {
            const SongEvent& e = keys[next];
            due.push_back({static_cast<int32_t>(e.frame - start), e.status, e.data1, e.data2});
        }
        if (!due.empty()) host.sendMidi(due);
        host.timeInfo.flags = (clock.rolling ? kVstTransportPlaying : 0) | kVstPpqPosValid |
                              kVstTempoValid | (moved ? kVstTransportChanged : 0);
        host.timeInfo.tempo = take.bpm;
        host.timeInfo.ppqPos = clock.beat;
        host.timeInfo.samplePos = std::round(clock.beat * samplesPerBeat(take));
        const harness::Block rendered = host.render(frames);
        out.insert(out.end(), rendered.left.begin(), rendered.left.end());
    });
    return out;
}

// The strokes a pattern plays through a take, by the engine's own player: the keys that
// play them, merged with the take's own keys (these first at equal samples).
std::vector<SongEvent> strokesAsKeys(const Take& take, int32_t pattern, float humaniseMs = 0.0f,
                                     float humanisePercent = 0.0f, uint32_t seed = 0)
{
    PatternPlayer player;
    player.setPattern(pattern);
    player.setHumanise(humaniseMs, humanisePercent, seed);
    std::vector<SongEvent> strokes;
    walk(take, [&](int64_t start, int32_t frames, const SongClock& clock, bool) {
        player.startBlock(&clock, frames, take.rate);
        Stroke stroke{};
        while (player.nextStroke(frames, stroke)) {
            strokes.push_back({start + stroke.time, kNoteOn, keyOf(stroke.action, stroke.argument),
                               static_cast<uint8_t>(stroke.velocity)});
        }
        player.endBlock();
    });
    std::vector<SongEvent> keys = take.keys;
    keys.insert(keys.end(), strokes.begin(), strokes.end());
    std::stable_sort(keys.begin(), keys.end(),
                     [](const SongEvent& a, const SongEvent& b) { return a.frame < b.frame; });
    return keys;
}

class Lv2PlayingTest : public Lv2Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.plugin()) << host.error(); }
    void start(const Take& take) { ASSERT_TRUE(host.instantiate(take.rate, take.block)) << host.error(); }
};

}  // namespace

TEST_F(Lv2PlayingTest, ThePlayingAidsAreDescribedAndOffByDefault)
{
    std::vector<float> minimum(kPortCount), maximum(kPortCount), defaults(kPortCount);
    lilv_plugin_get_port_ranges_float(host.plugin(), minimum.data(), maximum.data(),
                                      defaults.data());
    const std::vector<std::string> symbols = {
        "chord_input", "pattern", "swing",  "pattern_velocity",  "humanise_time",
        "humanise_velocity", "seed", "recognised_chord", "capo", "tuning", "articulation_keys",
        "variation"};
    for (uint32_t port = kChordInput; port <= kVariation; ++port) {
        EXPECT_EQ(portString(port, LV2_CORE__symbol), symbols[port - kChordInput]);
    }
    EXPECT_EQ(scalePoints(kChordInput), (std::vector<std::string>{"0=chord keys", "1=held notes"}));
    const auto patterns = scalePoints(kPattern);
    ASSERT_EQ(patterns.size(), 16u);
    EXPECT_EQ(patterns[0], "0=off");
    EXPECT_EQ(patterns[3], "3=Folk D-DU-UDU");
    EXPECT_EQ(defaults[kPattern], 0.0f);
    EXPECT_EQ(maximum[kSwing], 0.5f);
    EXPECT_EQ(defaults[kPatternVelocity], 100.0f);
    EXPECT_EQ(maximum[kHumaniseTime], 30.0f);
    EXPECT_EQ(portString(kHumaniseTime, LV2_UNITS__unit), LV2_UNITS__ms);
    EXPECT_EQ(portString(kHumaniseVelocity, LV2_UNITS__unit), LV2_UNITS__pc);
    EXPECT_EQ(defaults[kSeed], 0.0f);
    EXPECT_EQ(defaults[kVariation], 0.0f);
    EXPECT_EQ(maximum[kVariation], 1.0f);
    const auto chords = scalePoints(kRecognisedChord);
    ASSERT_EQ(chords.size(), 1u + 12u * chords::kQualityCount);
    EXPECT_EQ(chords[0], "-1=none");
    EXPECT_EQ(chords[1 + 9 * chords::kQualityCount + 4], std::to_string(9 * 18 + 4) + "=Am7");
}

TEST_F(Lv2PlayingTest, EveryPatternPlaysOnTheBeatGridAtThreeTemposAndTwoRates)
{
    for (int32_t number = 1; number <= strumpatterns::kCount; ++number) {
        const StrumPattern& pattern = strumpatterns::kPatterns[number - 1];
        for (double bpm : {90.0, 120.0, 173.0}) {
            for (double rate : {44100.0, 48000.0}) {
                Take take;
                take.rate = rate;
                take.bpm = bpm;
                take.frames = std::llround(8 * samplesPerBeat(take)) + static_cast<int64_t>(rate);
                take.keys = {{0, kNoteOn, kEMajorKey, 100}};
                // The grid, straight from the table, through the whole take in bars of four:
                // a pattern starts at every bar line, and again within the bar when shorter.
                std::vector<SongEvent> keys = take.keys;
                const int32_t spanBeats = (pattern.beats + 3) / 4 * 4;
                const double beats = take.frames / samplesPerBeat(take);
                for (int32_t spanStart = 0; spanStart < beats; spanStart += spanBeats) {
                    for (int32_t repeat = 0; repeat * pattern.beats < spanBeats; ++repeat) {
                        for (int32_t i = 0; i < pattern.stepCount; ++i) {
                            const PatternStep& step = pattern.steps[i];
                            const double inSpan = repeat * pattern.beats +
                                                  double(step.cell) / pattern.stepsPerBeat;
                            const int64_t frame =
                                std::llround((spanStart + inSpan) * samplesPerBeat(take));
                            if (inSpan >= spanBeats || frame >= take.frames) continue;
                            keys.push_back({frame,
                                            kNoteOn, keyOf(step.action, step.string),
                                            static_cast<uint8_t>(step.accent ? 113 : 100)});
                        }
                    }
                }
                std::stable_sort(keys.begin(), keys.end(), [](const SongEvent& a, const SongEvent& b) {
                    return a.frame < b.frame;
                });
                Lv2Host lv2(LYREVANE_LV2_PATH, kPluginUri);
                ASSERT_TRUE(lv2.instantiate(rate, take.block)) << lv2.error();
                lv2.control(kPattern) = static_cast<float>(number);
                const std::vector<float> played = renderLv2Take(lv2, take);
                // Dead and palm-muted strokes have keys only in the LV2 plug-in, with its
                // articulation keys on; the pattern plays them with the keys off.
                std::vector<float> keyed;
                if (articulated(pattern)) {
                    Lv2Host byKeys(LYREVANE_LV2_PATH, kPluginUri);
                    ASSERT_TRUE(byKeys.instantiate(rate, take.block)) << byKeys.error();
                    byKeys.control(kArticulationKeys) = 1.0f;
                    Take keyedTake = take;
                    keyedTake.keys = keys;
                    keyed = renderLv2Take(byKeys, keyedTake);
                } else {
                    keyed = renderVstTake(take, keys);
                }
                EXPECT_EQ(firstDifference(played, keyed), -1)
                    << pattern.symbol << " at " << bpm << " bpm, " << rate << " Hz";
                EXPECT_GT(loudest(played), 0.05f) << pattern.symbol;
            }
        }
    }
}

TEST_F(Lv2PlayingTest, PatternsFollowTheTransportsStartStopAndJump)
{
    Take take;
    take.bpm = 100.0;
    take.block = 300;
    take.frames = 150000;
    take.keys = {{0, kNoteOn, kEMajorKey, 100}};
    // Standing at first (nothing plays), rolling from 3000, a jump back onto the off-beat
    // of beat 2 (a beat of 26460 samples at 100 bpm), and a stop.
    take.moves = {{0, false, 0.0}, {3000, true, 0.0}, {60000, true, 2.5}, {120000, false, 4.0}};
    const int32_t eighths = 2;
    const std::vector<SongEvent> keys = strokesAsKeys(take, eighths);
    ASSERT_GT(keys.size(), 3u);
    EXPECT_EQ(keys[1].frame, 3000);
    const auto at = [&](int64_t frame) {
        return std::count_if(keys.begin(), keys.end(), [&](const SongEvent& e) { return e.frame == frame; });
    };
    EXPECT_EQ(at(3000 + 13230), 1);  // the first off-beat
    EXPECT_EQ(at(60000), 1);          // the jump lands on a step: played at once
    EXPECT_EQ(at(60000 + 13230), 1);
    EXPECT_EQ(keys.back().frame < 120000, true);
    start(take);
    host.control(kPattern) = eighths;
    EXPECT_EQ(firstDifference(renderLv2Take(host, take), renderVstTake(take, keys)), -1);
}

TEST_F(Lv2PlayingTest, HumanisingRepeatsBySeedWithinItsBoundsWhateverTheBlockSize)
{
    const int32_t funk = 7;
    Take take;
    take.rate = 48000.0;
    take.frames = std::llround(8 * samplesPerBeat(take));
    take.keys = {{0, kNoteOn, kEMajorKey, 100}};
    auto render = [&](int32_t block, float seed) {
        take.block = block;
        Lv2Host lv2(LYREVANE_LV2_PATH, kPluginUri);
        EXPECT_TRUE(lv2.instantiate(take.rate, block)) << lv2.error();
        lv2.control(kPattern) = funk;
        lv2.control(kHumaniseTime) = 25.0f;
        lv2.control(kHumaniseVelocity) = 20.0f;
        lv2.control(kSeed) = seed;
        return renderLv2Take(lv2, take);
    };
    const std::vector<float> first = render(64, 42.0f);
    EXPECT_EQ(firstDifference(render(64, 42.0f), first), -1) << "the same seed twice";
    EXPECT_EQ(firstDifference(render(1000, 42.0f), first), -1) << "another block size";
    EXPECT_NE(firstDifference(render(64, 43.0f), first), -1) << "another seed";
    // The strokes the engine's player nudges, played by keys through the module, sound the
    // same: and each lies within 25 ms and 20 % of its place on the grid.
    take.block = 64;
    const std::vector<SongEvent> nudged = strokesAsKeys(take, funk, 25.0f, 20.0f, 42);
    const std::vector<SongEvent> straight = strokesAsKeys(take, funk);
    ASSERT_EQ(nudged.size(), straight.size());
    int moved = 0;
    for (size_t i = 1; i < nudged.size(); ++i) {
        EXPECT_LE(std::abs(nudged[i].frame - straight[i].frame), std::llround(0.025 * take.rate));
        EXPECT_LE(std::abs(nudged[i].data2 - straight[i].data2), straight[i].data2 / 5 + 1);
        moved += nudged[i].frame != straight[i].frame;
    }
    EXPECT_GT(moved, static_cast<int>(nudged.size()) / 2);
    // Funk's dead strokes have keys only in the LV2 plug-in, with its articulation keys on.
    Lv2Host byKeys(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(byKeys.instantiate(take.rate, take.block)) << byKeys.error();
    byKeys.control(kArticulationKeys) = 1.0f;
    Take keyedTake = take;
    keyedTake.keys = nudged;
    EXPECT_EQ(firstDifference(first, renderLv2Take(byKeys, keyedTake)), -1);
}

// Varied strokes through the plug-in: the same song the same in any block size and by seed,
// another seed another way, and off exactly the module's strokes.
TEST_F(Lv2PlayingTest, VariedStrokesRepeatBySeedWhateverTheBlockSize)
{
    Take take;
    take.rate = 48000.0;
    take.frames = std::llround(8 * samplesPerBeat(take));
    take.keys = {{0, kNoteOn, kEMajorKey, 100}};
    auto render = [&](int32_t block, float variation, float seed) {
        take.block = block;
        Lv2Host lv2(LYREVANE_LV2_PATH, kPluginUri);
        EXPECT_TRUE(lv2.instantiate(take.rate, block)) << lv2.error();
        lv2.control(kPattern) = 2.0f;
        lv2.control(kVariation) = variation;
        lv2.control(kSeed) = seed;
        return renderLv2Take(lv2, take);
    };
    const std::vector<float> varied = render(64, 1.0f, 42.0f);
    EXPECT_EQ(firstDifference(render(1000, 1.0f, 42.0f), varied), -1) << "another block size";
    EXPECT_NE(firstDifference(render(64, 1.0f, 43.0f), varied), -1) << "another seed";
    const std::vector<float> plain = render(64, 0.0f, 42.0f);
    EXPECT_NE(firstDifference(plain, varied), -1);
    take.block = 64;
    EXPECT_EQ(firstDifference(plain, renderVstTake(take, strokesAsKeys(take, 2))), -1);
}

TEST_F(Lv2PlayingTest, HeldChordsOfEveryQualityAreRecognisedInThreeInversionsAndTwoOctaves)
{
    Take take;
    start(take);
    host.control(kChordInput) = 1.0f;
    host.run(64);
    EXPECT_EQ(host.control(kRecognisedChord), -1.0f);
    for (int root = 0; root < 12; ++root) {
        for (int quality = 0; quality < chords::kQualityCount; ++quality) {
            for (int inversion = 0; inversion < 3; ++inversion) {
                for (int lowest : {12, 24}) {
                    const auto notes = heldchords::voiced(root, quality, inversion, lowest);
                    std::vector<lv2host::Midi> press, release;
                    ChordZone zone;
                    for (uint32_t note : notes) {
                        press.push_back({0, {kNoteOn, static_cast<uint8_t>(note), 90}});
                        release.push_back({10, {kNoteOff, static_cast<uint8_t>(note), 0}});
                        zone.press(note);
                    }
                    host.run(64, press);
                    const auto heard = static_cast<int32_t>(host.control(kRecognisedChord));
                    EXPECT_EQ(heard, zone.chordNumber())
                        << root << chords::kQualities[quality].suffix << " inversion " << inversion;
                    if (inversion == 0) {
                        EXPECT_EQ(heard, root * chords::kQualityCount + quality);
                    }
                    host.run(64, release);
                }
            }
        }
    }
}

TEST_F(Lv2PlayingTest, HeldChordsChangeAtTheirExactSamplesAsChordKeysWould)
{
    Take take;
    take.block = 512;
    take.frames = 100000;
    auto on = [](int64_t frame, uint8_t key) { return SongEvent{frame, kNoteOn, key, 100}; };
    auto off = [](int64_t frame, uint8_t key) { return SongEvent{frame, kNoteOff, key, 0}; };
    // C held low with a strum; G taken 111 samples after an up-strum (the late change puts
    // the G under it); a lone E with a short strum; D with a picked string.
    take.keys = {on(1000, 36),  on(1000, 40),  on(1000, 43),  on(1000, 60),  off(20000, 36),
                 off(20000, 40), off(20000, 43), on(29900, 62), on(30011, 31), on(30011, 35),
                 on(30011, 38),  off(45000, 31), off(45000, 35), off(45000, 38), on(50000, 28),
                 on(50000, 64),  off(60000, 28), on(70000, 38),  on(70000, 42), on(70000, 45),
                 on(70000, 71)};
    const std::vector<SongEvent> chordKeys = {on(1000, 48), on(1000, 60), on(29900, 62),
                                              on(30011, 55), on(50000, 52), on(50000, 64),
                                              on(70000, 50), on(70000, 71)};
    start(take);
    host.control(kChordInput) = 1.0f;
    const std::vector<float> held = renderLv2Take(host, take);
    EXPECT_EQ(host.control(kRecognisedChord), 2.0f * chords::kQualityCount);  // D
    // The module in blocks of one sample: the up-strum and the change at 111 samples share a
    // block of 512, where the module's cut drops the strum's first string and the plug-in's
    // (whatever its block) keeps it, as the module does when they fall in two blocks.
    Take oneByOne = take;
    oneByOne.block = 1;
    EXPECT_EQ(firstDifference(held, renderVstTake(oneByOne, chordKeys)), -1);
    EXPECT_GT(loudest(held), 0.05f);
}

TEST_F(Lv2PlayingTest, AChordHeldWithTheTransportStoppedStartsThePatternAtItsFirstNote)
{
    Take take;
    take.bpm = 90.0;
    take.block = 128;
    take.frames = 200000;
    take.moves = {{0, false, 0.0}};
    const int64_t first = 10007;
    const double beat = samplesPerBeat(take);
    const int64_t letGo = first + std::llround(3.5 * beat);
    take.keys = {{first, kNoteOn, 28, 80}, {first + 40, kNoteOn, 32, 80},
                 {first + 90, kNoteOn, 35, 80}, {letGo, kNoteOff, 28, 0},
                 {letGo, kNoteOff, 32, 0}, {letGo, kNoteOff, 35, 0}};
    std::vector<SongEvent> keyed = {{first, kNoteOn, kEMajorKey, 100}};
    for (int k = 0; k < 4; ++k) {
        keyed.push_back({first + std::llround(k * beat), kNoteOn, 60, static_cast<uint8_t>(k ? 100 : 113)});
    }
    start(take);
    host.control(kChordInput) = 1.0f;
    host.control(kPattern) = 1.0f;  // steady downs
    EXPECT_EQ(firstDifference(renderLv2Take(host, take), renderVstTake(take, keyed)), -1);
}

TEST_F(Lv2PlayingTest, OutOfRangePortsAndAbsurdTransportsStaySafe)
{
    Take take;
    take.block = 1024;
    start(take);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<float>> settings = {
        {5.0f, 99.0f, 7.0f, -3.0f, 1e9f, -5.0f, -1.0f},
        {nan, nan, nan, nan, nan, nan, nan},
        {1.0f, 7.0f, 0.33f, 127.0f, 30.0f, 30.0f, 1e12f}};
    const std::vector<lv2host::Position> clocks = {
        {0, 0.0, 1.0, 8.0, 0},        {0, 10000.0, 1.0, 9.0, 1024},
        {0, 120.0, 1.0, 2.0, 2048},   {0, 120.0, 1.0, 1e12, 4096},
        {0, -60.0, 1.0, 3.0, 100},    {0, 120.0, 1.0, 0.5, 0, false, 0.0}};
    float peak = 0.0f;
    for (const auto& values : settings) {
        for (uint32_t port = kChordInput; port < kRecognisedChord; ++port) {
            host.control(port) = values[port - kChordInput];
        }
        for (const lv2host::Position& clock : clocks) {
            std::vector<lv2host::Midi> keys;
            for (uint8_t note = 0; note < 48; ++note) keys.push_back({note, {kNoteOn, note, 127}});
            for (uint8_t note = 0; note < 128; ++note) keys.push_back({100, {kNoteOff, note, 0}});
            keys.push_back({200, {kNoteOff, 30, 64}});
            keys.push_back({300, {kNoteOn, 60, 127}});
            for (int i = 0; i < 20; ++i) {
                const auto midi = i == 0 ? keys : std::vector<lv2host::Midi>{};
                const auto positions = i == 0 ? std::vector<lv2host::Position>{clock}
                                              : std::vector<lv2host::Position>{};
                // Strokes, chord changes and the zone run on the audio path: no allocation.
                EXPECT_EQ(allocations::countDuring([&] { host.run(take.block, midi, positions); }), 0);
                for (int32_t f = 0; f < take.block; ++f) {
                    ASSERT_TRUE(std::isfinite(host.left()[f]));
                    peak = std::max(peak, std::fabs(host.left()[f]));
                }
            }
        }
    }
    EXPECT_LE(peak, 8.0f);
    EXPECT_GT(peak, 0.0f);
}

TEST_F(Lv2PlayingTest, AChordChangeReadTwiceInOneBlockSilencesTheOldChord)
{
    // C held and strummed; a second later the hand moves to Am, the A first: the lone A
    // reads as A major, then the triad as Am, two changes in one block. Nothing is strummed
    // after, so once the old strings are released the instrument falls silent.
    Take take;
    take.frames = 88200;
    take.moves = {{0, false, 0.0}};
    const int64_t change = 44100 + 300;
    take.keys = {{0, kNoteOn, 36, 90},        {0, kNoteOn, 40, 90},
                 {0, kNoteOn, 43, 90},        {0, kNoteOn, 60, 100},
                 {change, kNoteOff, 36, 0},   {change, kNoteOff, 40, 0},
                 {change, kNoteOff, 43, 0},   {change, kNoteOn, 33, 90},
                 {change, kNoteOn, 36, 90},   {change, kNoteOn, 40, 90}};
    start(take);
    host.control(kChordInput) = 1.0f;
    const std::vector<float> played = renderLv2Take(host, take);
    EXPECT_EQ(host.control(kRecognisedChord), 9.0f * chords::kQualityCount + 1);  // Am
    EXPECT_GT(loudest({played.begin(), played.begin() + change}), 0.05f);
    EXPECT_EQ(loudest({played.begin() + change + 4410, played.end()}), 0.0f)
        << "strings of C ring on";
}

TEST_F(Lv2PlayingTest, AChordIsReadFromAllItsNotesWhateverTheOrder)
{
    // Minor chords with an added ninth, pressed root first: the vocabulary has no such
    // chord, and the nearest it has is the minor triad, not the lone root's major chord.
    struct Case {
        std::vector<uint8_t> notes;
        int root;
    };
    const Case cases[] = {{{33, 35, 36, 40}, 9}, {{40, 42, 43, 47}, 4}, {{38, 40, 41, 45}, 2}};
    Take take;
    start(take);
    host.control(kChordInput) = 1.0f;
    for (const Case& c : cases) {
        std::vector<lv2host::Midi> press, release;
        for (uint8_t note : c.notes) {
            press.push_back({static_cast<int64_t>(press.size()), {kNoteOn, note, 90}});
            release.push_back({0, {kNoteOff, note, 0}});
        }
        host.run(256, press);
        EXPECT_EQ(host.control(kRecognisedChord), float(c.root * chords::kQualityCount + 1))
            << int(c.notes[0]);
        host.run(256, release);
    }
}

namespace {

// A song as Ardour 7 plays it: a time:Position at every block while it rolls, with the
// frame, the bar and beat rounded as Ardour rounds them (to 1/1920 of a beat), its meter,
// and the tempo it states, which need not be the pace of its beats.
struct ArdourSong {
    Take take;
    double beatsPerBar = 4.0;
    int32_t beatUnit = 4;
    std::function<double(int64_t)> quartersAt;  // the song's position at a sample
    std::function<double(int64_t)> statedTempo;
    // A loop, in samples of the song: Ardour runs through its end in one block and starts
    // the next at its start plus what ran past.
    int64_t loopStart = 0;
    int64_t loopEnd = 0;
    int32_t loops = 1000;  // seams before the loop is turned off
};

std::vector<float> renderArdour(Lv2Host& host, const ArdourSong& song)
{
    const Take& take = song.take;
    std::vector<float> out;
    size_t next = 0;
    int64_t songFrame = 0;
    int32_t loopsLeft = song.loops;
    for (int64_t start = 0; start < take.frames; start += take.block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(take.block, take.frames - start));
        std::vector<lv2host::Midi> due;
        for (; next < take.keys.size() && take.keys[next].frame < start + frames; ++next) {
            const SongEvent& e = take.keys[next];
            due.push_back({e.frame - start, {e.status, e.data1, e.data2}});
        }
        lv2host::Position at{0, song.statedTempo(songFrame), 1.0,
                             std::round(song.quartersAt(songFrame) * 1920.0) / 1920.0, songFrame};
        at.beatsPerBar = song.beatsPerBar;
        at.beatUnit = song.beatUnit;
        host.run(frames, due, {at});
        out.insert(out.end(), host.left().begin(), host.left().begin() + frames);
        const int64_t runEnd = songFrame + frames;
        const bool looped = song.loopEnd > song.loopStart && songFrame < song.loopEnd &&
                            runEnd >= song.loopEnd && loopsLeft > 0;
        loopsLeft -= looped ? 1 : 0;
        songFrame = looped ? song.loopStart + runEnd - song.loopEnd : runEnd;
    }
    return out;
}

// The samples where sound starts after a silence of at least a few milliseconds.
std::vector<int64_t> attacks(const std::vector<float>& samples)
{
    std::vector<int64_t> found;
    int64_t silent = 1000;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i] != 0.0f && silent >= 1000) found.push_back(static_cast<int64_t>(i));
        silent = samples[i] == 0.0f ? silent + 1 : 0;
    }
    return found;
}

}  // namespace

TEST_F(Lv2PlayingTest, InSixEightTheStrokesLandOnTheHostsEighths)
{
    // Ardour at a quarter note of 100 in 6/8 states 100 beats a minute, beat unit 8, six a
    // bar. Steady downs play every eighth (13230 samples), the pattern's accent again on the
    // fifth as it starts over inside the longer bar.
    ArdourSong song;
    song.take.frames = 200000;
    song.take.keys = {{0, kNoteOn, kEMajorKey, 100}};
    song.beatsPerBar = 6.0;
    song.beatUnit = 8;
    song.quartersAt = [](int64_t sample) { return sample / 44100.0 * 100.0 / 60.0; };
    song.statedTempo = [](int64_t) { return 100.0; };
    std::vector<SongEvent> keyed = song.take.keys;
    for (int64_t eighth = 0; eighth * 13230 < song.take.frames; ++eighth) {
        keyed.push_back({eighth * 13230, kNoteOn, 60,
                         static_cast<uint8_t>(eighth % 6 == 0 || eighth % 6 == 4 ? 113 : 100)});
    }
    start(song.take);
    host.control(kPattern) = 1.0f;
    EXPECT_EQ(firstDifference(renderArdour(host, song), renderVstTake(song.take, keyed)), -1);
}

TEST_F(Lv2PlayingTest, ThroughATempoRampTheStrokesFollowTheHostsBeats)
{
    // A bar at 80, a ramp to 160 over four bars (the tempo rising evenly in time, eight
    // seconds), two bars at 160. Through the ramp Ardour keeps stating 80. Rock eighths
    // (short strokes, silence between them) are held to where the host's eighths fall.
    const double rate = 44100.0;
    const double rampStart = 3.0;  // seconds: one bar at 80
    const double rampLength = 8.0;
    const auto quartersAtSeconds = [&](double t) {
        if (t < rampStart) return t * 80.0 / 60.0;
        const double r = std::min(t - rampStart, rampLength);
        const double ramped = (80.0 * r + 40.0 * r * r / rampLength) / 60.0;
        return 4.0 + ramped + std::max(t - rampStart - rampLength, 0.0) * 160.0 / 60.0;
    };
    const auto secondsAtQuarter = [&](double q) {
        if (q < 4.0) return q * 60.0 / 80.0;
        if (q >= 20.0) return rampStart + rampLength + (q - 20.0) * 60.0 / 160.0;
        const double a = 40.0 / rampLength;
        return rampStart + (-80.0 + std::sqrt(6400.0 + 4.0 * a * 60.0 * (q - 4.0))) / (2.0 * a);
    };
    ArdourSong song;
    song.take.frames = std::llround((rampStart + rampLength + 3.1) * rate);
    song.take.keys = {{0, kNoteOn, kEMajorKey, 100}};
    song.quartersAt = [&](int64_t sample) { return quartersAtSeconds(sample / rate); };
    song.statedTempo = [&](int64_t sample) { return sample / rate < rampStart + rampLength ? 80.0 : 160.0; };
    std::vector<SongEvent> keyed = song.take.keys;
    for (int eighth = 0; secondsAtQuarter(eighth / 2.0) * rate < song.take.frames; ++eighth) {
        keyed.push_back({std::llround(secondsAtQuarter(eighth / 2.0) * rate), kNoteOn, 64,
                         static_cast<uint8_t>(eighth % 4 == 0 ? 113 : 100)});
    }
    start(song.take);
    host.control(kPattern) = 11.0f;
    const std::vector<int64_t> played = attacks(renderArdour(host, song));
    const std::vector<int64_t> expected = attacks(renderVstTake(song.take, keyed));
    EXPECT_EQ(played.size(), expected.size());
    ASSERT_GT(expected.size(), 40u);
    for (size_t i = 0; i < std::min(played.size(), expected.size()); ++i) {
        // Within Ardour's rounding of the beat: 1/1920 of a beat, 17 samples at 80 and 9 at
        // 160.
        const double seconds = static_cast<double>(expected[i]) / rate;
        const double tempo = (quartersAtSeconds(seconds + 0.01) - quartersAtSeconds(seconds)) * 6000.0;
        EXPECT_NEAR(played[i], expected[i], 60.0 * rate / tempo / 1920.0 + 2.0)
            << "stroke " << i << " at " << expected[i];
    }
}

TEST_F(Lv2PlayingTest, ALoopSoundsLikeItsBarsPlayedStraightThrough)
{
    // At 120 bpm and 48 kHz (24000 samples a beat), in runs of 1024 that cross the loop's
    // end: eighths in a one-bar loop, and folk in loops of beats 4.5 to 8 and 4 to 10. From
    // the second pass on every seam must sound as the loop's bars played straight on: the
    // loop's first step once, at its sample, and the strings ringing through. The first
    // seam may be a locate and counts as a jump; the second proves the loop. A locate back
    // while rolling (a loop passed once) must not make the song loop after it.
    struct Case {
        int32_t pattern;
        double fromBeat, toBeat;
        int32_t loops;
    };
    for (const Case& c : {Case{2, 4.0, 8.0, 1000}, Case{3, 4.5, 8.0, 1000},
                          Case{3, 4.0, 10.0, 1000}, Case{3, 4.5, 8.0, 1}}) {
        ArdourSong song;
        song.take.rate = 48000.0;
        song.take.block = 1024;
        song.take.keys = {{0, kNoteOn, kEMajorKey, 100}};
        song.loopStart = std::llround(c.fromBeat * 24000);
        song.loopEnd = std::llround(c.toBeat * 24000);
        const int64_t length = song.loopEnd - song.loopStart;
        song.loops = c.loops;
        song.take.frames = song.loopEnd + 4 * length;
        song.quartersAt = [](int64_t frame) { return frame / 24000.0; };
        song.statedTempo = [](int64_t) { return 120.0; };
        start(song.take);
        host.control(kPattern) = static_cast<float>(c.pattern);
        const std::vector<float> looped = renderArdour(host, song);

        // The pattern's steps where the bars played straight through put them, as keys.
        const StrumPattern& pattern = strumpatterns::kPatterns[c.pattern - 1];
        std::vector<SongEvent> keys = song.take.keys;
        const auto stepsBetween = [&](double from, double to, int64_t at) {
            for (int bar = 0; bar * 4.0 < to; ++bar) {
                for (int32_t i = 0; i < pattern.stepCount; ++i) {
                    const PatternStep& step = pattern.steps[i];
                    const double beat = bar * 4.0 + double(step.cell) / pattern.stepsPerBeat;
                    if (beat < from || beat >= to) continue;
                    keys.push_back({at + std::llround((beat - from) * 24000), kNoteOn,
                                    keyOf(step.action, step.string),
                                    static_cast<uint8_t>(step.accent ? 113 : 100)});
                }
            }
        };
        stepsBetween(0.0, c.toBeat, 0);
        if (c.loops == 1) {
            stepsBetween(c.fromBeat, c.fromBeat + 4.0 * length / 24000.0, song.loopEnd);
        } else {
            for (int pass = 0; pass < 4; ++pass) stepsBetween(c.fromBeat, c.toBeat, song.loopEnd + pass * length);
        }
        std::stable_sort(keys.begin(), keys.end(),
                         [](const SongEvent& a, const SongEvent& b) { return a.frame < b.frame; });
        const std::vector<float> through = renderVstTake(song.take, keys);
        const int64_t compareFrom = song.loopEnd + (c.loops == 1 ? 16000 : 2 * length - 2000);
        // The voices sum in another order after a seam: the same within -100 dB, where
        // a lost, doubled or late stroke differs by -20 dB and a dip by -84 dB.
        float apart = 0.0f;
        for (size_t i = compareFrom; i < looped.size(); ++i) {
            apart = std::max(apart, std::fabs(looped[i] - through[i]));
        }
        EXPECT_LT(apart, 1e-5f) << "loop of beats " << c.fromBeat << " to " << c.toBeat << ", "
                                << c.loops << " seams";
    }
}

TEST_F(Lv2PlayingTest, APatternStartsAgainAtEveryBarLine)
{
    // Steady downs (a bar of four) in 3/4 at 120: the first three beats in every bar, the
    // accent on each downbeat. The waltz (a bar of three) in 4/4 repeats its first beat.
    struct Case {
        int32_t pattern;
        double beatsPerBar;
        std::vector<int> accented;  // beats of the bar
    };
    for (const Case& c : {Case{1, 3.0, {0}}, Case{9, 4.0, {0, 3}}}) {
        ArdourSong song;
        song.take.frames = 12 * 22050;
        song.take.keys = {{0, kNoteOn, kEMajorKey, 100}};
        song.beatsPerBar = c.beatsPerBar;
        song.quartersAt = [](int64_t sample) { return sample / 22050.0; };
        song.statedTempo = [](int64_t) { return 120.0; };
        std::vector<SongEvent> keyed = song.take.keys;
        for (int beat = 0; beat < 12; ++beat) {
            const int inBar = beat % static_cast<int>(c.beatsPerBar);
            const bool accent = std::count(c.accented.begin(), c.accented.end(), inBar) > 0;
            // The waltz picks the bass string, then two short downs.
            const uint8_t key = c.pattern == 1 ? 60 : inBar % 3 == 0 ? kPickKeys[0] : 64;
            keyed.push_back({beat * 22050, kNoteOn, key,
                             static_cast<uint8_t>(accent ? 113 : 100)});
        }
        start(song.take);
        host.control(kPattern) = static_cast<float>(c.pattern);
        EXPECT_EQ(firstDifference(renderArdour(host, song), renderVstTake(song.take, keyed)), -1)
            << c.beatsPerBar << " beats a bar";
    }
}

TEST_F(Lv2PlayingTest, LiftingAFingerLetsTheChordRingUntilTheNextStroke)
{
    // Am7 held under eighths at 120 (a stroke every 11025 samples); G lifted between two
    // strokes. Nothing changes until the next stroke, which plays Am.
    Take take;
    take.frames = 80000;
    const std::vector<SongEvent> am7 = {{0, kNoteOn, 33, 90}, {0, kNoteOn, 36, 90},
                                        {0, kNoteOn, 40, 90}, {0, kNoteOn, 43, 90}};
    const auto render = [&](const std::vector<SongEvent>& keys) {
        take.keys = keys;
        Lv2Host lv2(LYREVANE_LV2_PATH, kPluginUri);
        EXPECT_TRUE(lv2.instantiate(take.rate, take.block)) << lv2.error();
        lv2.control(kChordInput) = 1.0f;
        lv2.control(kPattern) = 2.0f;
        return renderLv2Take(lv2, take);
    };
    std::vector<SongEvent> lifted = am7;
    const int64_t lift = 3 * 11025 + 5000;
    lifted.push_back({lift, kNoteOff, 43, 0});
    const std::vector<float> held = render(am7);
    const std::vector<float> released = render(lifted);
    const int64_t nextStroke = 4 * 11025;
    EXPECT_EQ(firstDifference({held.begin(), held.begin() + nextStroke},
                              {released.begin(), released.begin() + nextStroke}),
              -1);
    EXPECT_GT(loudest({released.begin() + lift, released.begin() + nextStroke}), 0.05f);
    EXPECT_NE(firstDifference(held, released), -1) << "the next stroke plays Am";
}

TEST_F(Lv2PlayingTest, AStopEndsTheStrumUnderWay)
{
    // A slow strum (640 samples between strings) from sample 1000, and a stop 1048 samples
    // into it: the strings it struck are released, and the rest of it never plays.
    Take take;
    take.frames = 20000;
    take.keys = {{0, kNoteOn, kEMajorKey, 100}, {1000, kNoteOn, 60, 10}};
    take.moves = {{0, true, 0.0}, {2048, false, 0.1}};
    start(take);
    const std::vector<float> played = renderLv2Take(host, take);
    EXPECT_GT(loudest({played.begin() + 1000, played.begin() + 2048}), 0.01f);
    EXPECT_EQ(loudest({played.begin() + 2048 + 1000, played.end()}), 0.0f);
}

TEST_F(Lv2PlayingTest, AHandMovingBetweenChordsKeepsThePatternsTime)
{
    // The transport stopped, steady downs at 120 (a stroke every 22050 samples): C held from
    // 1 s, the hand lifted at 2.95 s and G pressed at 3.05 s. The stroke at 3 s finds no
    // chord held; the later ones keep their places, on G.
    Take take;
    take.frames = 6 * 44100;
    take.moves = {{0, false, 0.0}};
    const auto at = [](double seconds) { return std::llround(seconds * 44100); };
    take.keys = {{at(1.0), kNoteOn, 36, 90},   {at(1.0), kNoteOn, 40, 90},
                 {at(1.0), kNoteOn, 43, 90},   {at(2.95), kNoteOff, 36, 0},
                 {at(2.95), kNoteOff, 40, 0},  {at(2.95), kNoteOff, 43, 0},
                 {at(3.05), kNoteOn, 31, 90},  {at(3.05), kNoteOn, 35, 90},
                 {at(3.05), kNoteOn, 38, 90}};
    std::vector<SongEvent> keyed = {{at(1.0), kNoteOn, 48, 100}};
    for (int beat = 0; beat < 10; ++beat) {
        if (beat == 4) keyed.push_back({at(3.05), kNoteOn, 55, 100});
        if (beat == 4) continue;
        keyed.push_back({at(1.0) + beat * 22050, kNoteOn, 60, static_cast<uint8_t>(beat % 4 ? 100 : 113)});
    }
    start(take);
    host.control(kChordInput) = 1.0f;
    host.control(kPattern) = 1.0f;
    EXPECT_EQ(firstDifference(renderLv2Take(host, take), renderVstTake(take, keyed)), -1);
}

TEST_F(Lv2PlayingTest, ASongRendersTheSameWhateverTheBlockSize)
{
    // examples/patterns.mid's held chords under the shuffle, swung and humanised, changing
    // just after the humanised downbeats: every block size plays every note at its sample.
    std::string error;
    const auto file = smf::MidiFile::load(LYREVANE_SOURCE_DIR "/examples/patterns.mid", error);
    ASSERT_TRUE(file) << error;
    std::vector<lv2host::Midi> keys;
    for (const smf::ChannelEvent& event : file->events()) {
        keys.push_back({std::llround(file->tempoMap().secondsAtTick(event.tick) * 44100.0),
                        {event.status, event.data1, event.data2}});
    }
    const int64_t total = keys.back().frame + 44100;
    const double bpm = file->tempoMap().beatsPerMinuteAtSeconds(0.0);
    const auto render = [&](int32_t block) {
        Lv2Host lv2(LYREVANE_LV2_PATH, kPluginUri);
        EXPECT_TRUE(lv2.instantiate(44100.0, block)) << lv2.error();
        lv2.control(kChordInput) = 1.0f;
        lv2.control(kPattern) = 10.0f;
        lv2.control(kSwing) = 0.33f;
        lv2.control(kHumaniseTime) = 12.0f;
        lv2.control(kHumaniseVelocity) = 10.0f;
        lv2.control(kSeed) = 7.0f;
        return lv2.renderSong(total, block, keys, bpm);
    };
    const std::vector<float> single = render(1);
    EXPECT_GT(loudest(single), 0.05f);
    for (int32_t block : {64, 256, 1024, 333, 4099}) {
        EXPECT_EQ(firstDifference(render(block), single), -1) << "blocks of " << block;
    }
}
