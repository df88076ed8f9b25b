// Strum patterns: the shipped table, the player's strokes on the host's beat grid (swing,
// accents, bars, transport start, jumps, tempo changes, held chords with the transport
// standing), the humaniser's repeatability, and pattern strokes played as their keys are.
#include "StrumPlayer.h"

#include "strum/PatternTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>

namespace {

struct Played {
    int64_t sample;
    KeyAction action;
    int32_t argument;
    int32_t velocity;
    bool operator==(const Played& o) const
    {
        return sample == o.sample && action == o.action && argument == o.argument &&
               velocity == o.velocity;
    }
};

std::ostream& operator<<(std::ostream& out, const Played& p)
{
    return out << "{" << p.sample << ", " << p.action << ", " << p.argument << ", "
               << p.velocity << "}";
}

using Strokes = std::vector<Played>;

// A host whose transport rolls from `from` at `tempo`, stating its position at every block
// as the sample count gives it.
struct Song {
    double tempo = 120.0;
    double rate = 44100.0;
    int32_t block = 512;
    double from = 0.0;
    double beatsPerBar = 4.0;
    int64_t length = 0;  // samples; two bars when 0
};

struct Feel {
    float swing = 0.0f;
    float milliseconds = 0.0f;
    float percent = 0.0f;
    uint32_t seed = 0;
    int32_t velocity = PatternPlayer::kDefaultVelocity;
};

double samplesPerBeat(const Song& song)
{
    return 60.0 * song.rate / song.tempo;
}

SongClock clockAt(const Song& song, int64_t sample)
{
    SongClock clock;
    clock.rolling = true;
    clock.beat = song.from + static_cast<double>(sample) / samplesPerBeat(song);
    clock.beatsPerBar = song.beatsPerBar;
    // A host stating bars of no length puts every beat in bar 0.
    clock.barStart = song.beatsPerBar > 0.0
                         ? std::floor(clock.beat / song.beatsPerBar + 1e-9) * song.beatsPerBar
                         : 0.0;
    clock.beatsPerMinute = song.tempo;
    return clock;
}

void takeStrokes(PatternPlayer& player, int64_t blockStart, int32_t frames, Strokes& out)
{
    Stroke stroke{};
    while (player.nextStroke(frames, stroke)) {
        EXPECT_GE(stroke.time, 0);
        EXPECT_LT(stroke.time, frames);
        out.push_back({blockStart + stroke.time, stroke.action, stroke.argument, stroke.velocity});
    }
    player.endBlock();
}

void prepare(PatternPlayer& player, int32_t pattern, const Feel& feel)
{
    player.setPattern(pattern);
    player.setSwing(feel.swing);
    player.setVelocity(feel.velocity);
    player.setHumanise(feel.milliseconds, feel.percent, feel.seed);
}

Strokes play(int32_t pattern, const Song& song, const Feel& feel = {})
{
    PatternPlayer player;
    prepare(player, pattern, feel);
    const int64_t length = song.length > 0
                               ? song.length
                               : std::llround(2 * song.beatsPerBar * samplesPerBeat(song));
    Strokes strokes;
    for (int64_t start = 0; start < length; start += song.block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(song.block, length - start));
        const SongClock clock = clockAt(song, start);
        player.startBlock(&clock, frames, song.rate);
        takeStrokes(player, start, frames, strokes);
    }
    return strokes;
}

int32_t patternNumber(const std::string& symbol)
{
    for (int32_t i = 0; i < strumpatterns::kCount; ++i) {
        if (symbol == strumpatterns::kPatterns[i].symbol) return i + 1;
    }
    ADD_FAILURE() << "no pattern " << symbol;
    return PatternPlayer::kOff;
}

std::vector<int64_t> samplesOf(const Strokes& strokes)
{
    std::vector<int64_t> samples;
    for (const Played& p : strokes) samples.push_back(p.sample);
    return samples;
}

// The samples of beats from the song's start.
std::vector<int64_t> onBeats(const Song& song, std::initializer_list<double> beats)
{
    std::vector<int64_t> samples;
    for (double beat : beats) samples.push_back(std::llround(beat * samplesPerBeat(song)));
    return samples;
}

}  // namespace

TEST(StrumPatterns, TheTableHoldsAGuitaristsPatternsOnTheirGrids)
{
    ASSERT_GE(strumpatterns::kCount, 12);
    std::set<std::string> symbols;
    std::set<KeyAction> actions;
    for (const StrumPattern& pattern : strumpatterns::kPatterns) {
        EXPECT_TRUE(symbols.insert(pattern.symbol).second) << pattern.symbol;
        EXPECT_GT(std::string(pattern.name).size(), 3u);
        int32_t previous = -1;
        for (int32_t i = 0; i < pattern.stepCount; ++i) {
            const PatternStep& step = pattern.steps[i];
            EXPECT_GT(step.cell, previous) << pattern.symbol;
            EXPECT_LT(step.cell, pattern.beats * pattern.stepsPerBeat) << pattern.symbol;
            EXPECT_GE(step.action, StrumUp) << pattern.symbol;
            EXPECT_TRUE(step.string >= 0 && step.string < 6) << pattern.symbol;
            actions.insert(step.action);
            previous = step.cell;
        }
    }
    // Ringing, short, dead and palm-muted strokes both ways, and picked strings, all appear.
    EXPECT_EQ(actions.size(), 9u);
    // The funk and reggae patterns chuck dead strokes; rock eighths have a palm-muted twin.
    const auto plays = [](const char* symbol, KeyAction action) {
        const StrumPattern& pattern = strumpatterns::kPatterns[patternNumber(symbol) - 1];
        return std::any_of(pattern.steps, pattern.steps + pattern.stepCount,
                           [action](const PatternStep& step) { return step.action == action; });
    };
    EXPECT_TRUE(plays("funk", DeadStrumDown));
    EXPECT_TRUE(plays("reggae", DeadStrumDown));
    EXPECT_TRUE(plays("rock-palm-muted", MutedStrumDown));
    EXPECT_TRUE(plays("funk-chucks", DeadStrumUp));
    EXPECT_TRUE(plays("gallop", MutedStrumDown));
    EXPECT_EQ(strumpatterns::kPatterns[patternNumber("waltz") - 1].beats, 3);
    EXPECT_EQ(strumpatterns::kPatterns[patternNumber("shuffle") - 1].stepsPerBeat, 3);
}

TEST(PatternPlayer, EveryPatternFallsOnTheBeatGridWhateverTheBlockSize)
{
    for (int32_t number = 1; number <= strumpatterns::kCount; ++number) {
        const StrumPattern& pattern = strumpatterns::kPatterns[number - 1];
        for (double tempo : {90.0, 120.0, 173.0}) {
            for (double rate : {44100.0, 48000.0}) {
                // In bars of the pattern's own: four beats for the two-bar ballad.
                Song song{tempo, rate, 64, 0.0, static_cast<double>(std::min(pattern.beats, 4)),
                          std::llround(2 * pattern.beats * 60.0 * rate / tempo)};
                Strokes expected;
                for (int32_t repeat = 0; repeat < 2; ++repeat) {
                    for (int32_t i = 0; i < pattern.stepCount; ++i) {
                        const PatternStep& step = pattern.steps[i];
                        const double beat = repeat * pattern.beats +
                                            double(step.cell) / pattern.stepsPerBeat;
                        const int32_t velocity = step.accent ? 113 : 100;
                        expected.push_back({std::llround(beat * samplesPerBeat(song)),
                                            step.action, step.string, velocity});
                    }
                }
                const std::string where = std::string(pattern.symbol) + " at " +
                                          std::to_string(tempo) + " bpm, " +
                                          std::to_string(rate) + " Hz";
                EXPECT_EQ(play(number, song), expected) << where;
                song.block = 1000;
                EXPECT_EQ(play(number, song), expected) << where << ", blocks of 1000";
            }
        }
    }
}

TEST(PatternPlayer, PatternsFitTheHostsBars)
{
    Song song;
    // In four-four the waltz starts again on the fourth beat and at the bar line.
    EXPECT_EQ(samplesOf(play(patternNumber("waltz"), song)),
              onBeats(song, {0, 1, 2, 3, 4, 5, 6, 7}));
    // The two-bar ballad entered in its second bar plays its second half.
    song.from = 4.0;
    const Strokes halfTime = play(patternNumber("half-time-ballad"), song);
    ASSERT_FALSE(halfTime.empty());
    EXPECT_EQ(samplesOf(halfTime)[0], 0);
    EXPECT_EQ(halfTime[0].action, StrumDown);
    EXPECT_EQ(halfTime[0].velocity, 100);  // the first bar's accented downstroke is not it
    // A bar of 0 beats is no bar: the pattern keeps its own.
    song = {};
    song.beatsPerBar = 0.0;
    song.length = std::llround(8 * samplesPerBeat(song));
    EXPECT_EQ(samplesOf(play(patternNumber("waltz"), song)),
              onBeats(song, {0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST(PatternPlayer, SwingDelaysTheOffBeatsAndAccentsPlayLouder)
{
    const Song song;
    Feel feel;
    feel.swing = 0.5f;
    feel.velocity = 64;
    const Strokes eighths = play(patternNumber("eighths"), song, feel);
    ASSERT_GE(eighths.size(), 4u);
    // Half an eighth of swing puts the off-beat at three quarters of the beat.
    EXPECT_EQ(samplesOf(eighths)[1], std::llround(0.75 * samplesPerBeat(song)));
    EXPECT_EQ(samplesOf(eighths)[2], std::llround(1.0 * samplesPerBeat(song)));
    EXPECT_EQ(eighths[0].velocity, 64 + (127 - 64) / 2);
    EXPECT_EQ(eighths[1].velocity, 64);
    // Values beyond the range are held to it.
    feel.swing = 3.0f;
    EXPECT_EQ(play(patternNumber("eighths"), song, feel), eighths);
}

TEST(PatternPlayer, FollowsTheTransportThroughStartsJumpsTempoChangesAndStops)
{
    const int32_t eighths = patternNumber("eighths");
    Song song;
    const double beat = samplesPerBeat(song);
    // Started between steps, the pattern waits for its next one.
    song.from = 1.3;
    EXPECT_EQ(samplesOf(play(eighths, song))[0], std::llround(0.2 * beat));

    PatternPlayer player;
    player.setPattern(eighths);
    Strokes strokes;
    const int32_t block = 1000;
    auto run = [&](int64_t start, SongClock clock) {
        player.startBlock(&clock, block, song.rate);
        takeStrokes(player, start, block, strokes);
    };
    song.from = 0.0;
    int64_t sample = 0;
    for (; sample < 30000; sample += block) run(sample, clockAt(song, sample));
    // A jump back to beat 0.5 plays the step on it at once and goes on from there.
    strokes.clear();
    Song jumped = song;
    jumped.from = 0.5 - sample / beat;
    for (int64_t end = sample + 12000; sample < end; sample += block) run(sample, clockAt(jumped, sample));
    EXPECT_EQ(samplesOf(strokes), (std::vector<int64_t>{30000, 30000 + std::llround(0.5 * beat)}));
    EXPECT_EQ(strokes[0].action, StrumUp);
    // A new tempo takes over from the block it arrives with; the steps go on in order.
    strokes.clear();
    SongClock clock = clockAt(jumped, sample);
    const double changeBeat = clock.beat;
    const int64_t change = sample;
    for (int64_t end = sample + 40000; sample < end; sample += block) {
        clock.beat = changeBeat + static_cast<double>(sample - change) * 240.0 / (60.0 * song.rate);
        clock.barStart = std::floor(clock.beat / 4.0) * 4.0;
        clock.beatsPerMinute = 240.0;
        run(sample, clock);
    }
    const double fast = 60.0 * song.rate / 240.0;
    const double nextStep = std::ceil(changeBeat * 2.0) / 2.0;
    ASSERT_GE(strokes.size(), 3u);
    // (within a sample: the grid keeps its own count of where the song is, to the last bit)
    EXPECT_NEAR(strokes[0].sample, change + (nextStep - changeBeat) * fast, 1.0);
    EXPECT_NEAR(strokes[1].sample, change + (nextStep + 0.5 - changeBeat) * fast, 1.0);
    // Stopped, it plays nothing.
    strokes.clear();
    clock.rolling = false;
    for (int i = 0; i < 100; ++i, sample += block) run(sample, clock);
    EXPECT_TRUE(strokes.empty());
}

TEST(PatternPlayer, AHostRoundingItsBeatsButCountingFramesStaysOnTheGrid)
{
    // Ardour 7 states its beat in 1/1920 steps, 15 samples at 100 bpm at 48 kHz, and the
    // frame exactly: only a frame that does not follow on is a jump.
    const Song song{100.0, 48000.0, 1024};
    const int32_t eighths = patternNumber("eighths");
    PatternPlayer player;
    player.setPattern(eighths);
    Strokes strokes;
    for (int64_t start = 0; start < 4 * 28800; start += song.block) {
        SongClock clock = clockAt(song, start);
        clock.beat = std::floor(clock.beat * 1920.0) / 1920.0;
        clock.frame = static_cast<double>(start);
        player.startBlock(&clock, song.block, song.rate);
        takeStrokes(player, start, song.block, strokes);
    }
    EXPECT_EQ(samplesOf(strokes), onBeats(song, {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4}));
}

TEST(PatternPlayer, AChordHeldWithTheTransportStandingRunsThePatternFromItsFirstNote)
{
    PatternPlayer player;
    player.setPattern(patternNumber("steady-downs"));
    SongClock stopped;
    stopped.beatsPerMinute = 90.0;
    const double beat = 60.0 * 48000.0 / 90.0;
    Strokes strokes;
    int64_t sample = 0;
    auto block = [&](int32_t holdAt, bool releaseAfter) {
        player.startBlock(&stopped, 512, 48000.0);
        Stroke stroke{};
        if (holdAt >= 0) {
            while (player.nextStroke(holdAt, stroke)) ADD_FAILURE() << "a stroke before the chord";
            player.hold(holdAt);
        }
        takeStrokes(player, sample, 512, strokes);
        if (releaseAfter) player.release();
        sample += 512;
    };
    block(-1, false);
    block(300, false);
    while (sample < 512 + 300 + std::llround(3.5 * beat)) block(-1, false);
    block(-1, true);
    for (int i = 0; i < 200; ++i) block(-1, false);
    const int64_t first = 512 + 300;
    EXPECT_EQ(samplesOf(strokes), (std::vector<int64_t>{first, first + std::llround(beat),
                                                        first + std::llround(2 * beat),
                                                        first + std::llround(3 * beat)}));
    EXPECT_EQ(strokes[0].velocity, 113);
}

TEST(PatternPlayer, HumanisingDependsOnlyOnTheSeedAndTheStrokesPlaceInTheSong)
{
    const int32_t funk = patternNumber("funk");
    Song song{173.0, 48000.0, 64};
    song.length = std::llround(16 * samplesPerBeat(song));
    Feel feel;
    feel.milliseconds = 30.0f;
    feel.percent = 30.0f;
    feel.seed = 7;
    const Strokes humanised = play(funk, song, feel);
    const Strokes straight = play(funk, song);
    ASSERT_EQ(humanised.size(), straight.size());
    // Every block size gives the same song.
    for (int32_t block : {1, 333, 4096}) {
        song.block = block;
        EXPECT_EQ(play(funk, song, feel), humanised) << block;
    }
    // Within the set bounds, and really moved.
    int moved = 0;
    for (size_t i = 0; i < straight.size(); ++i) {
        const int64_t offset = humanised[i].sample - straight[i].sample;
        EXPECT_LE(std::abs(offset), std::llround(0.030 * song.rate)) << i;
        EXPECT_LE(std::abs(humanised[i].velocity - straight[i].velocity),
                  std::lround(0.3 * straight[i].velocity))
            << i;
        moved += offset != 0 && humanised[i].velocity != straight[i].velocity;
    }
    EXPECT_GT(moved, static_cast<int>(straight.size()) * 3 / 4);
    // Another seed, another performance.
    feel.seed = 8;
    EXPECT_NE(play(funk, song, feel), humanised);
    // Rendering from the fifth beat on nudges those strokes exactly as the whole song did
    // (the first only as early as the transport's start allows).
    feel.seed = 7;
    song.from = 4.0;
    song.length -= std::llround(4 * samplesPerBeat(song));
    const Strokes later = play(funk, song, feel);
    const Strokes laterStraight = play(funk, song);
    const size_t skipped = humanised.size() - later.size();
    ASSERT_GT(later.size(), 2u);
    for (size_t i = 1; i < later.size(); ++i) {
        EXPECT_EQ(later[i].sample - laterStraight[i].sample,
                  humanised[skipped + i].sample - straight[skipped + i].sample)
            << i;
        EXPECT_EQ(later[i].velocity, humanised[skipped + i].velocity) << i;
    }
}

TEST(PatternPlayer, AbsurdClocksAndBlocksStaySafe)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    PatternPlayer player;
    player.setPattern(999);  // held to the last pattern
    EXPECT_EQ(player.pattern(), strumpatterns::kCount);
    player.setPattern(patternNumber("funk"));
    player.setHumanise(1e9f, -5.0f, 3);
    const SongClock clocks[] = {
        {true, 0.0, 0.0, 4.0, 0.0},        {true, 3.0, 0.0, 4.0, 10000.0},
        {true, -2.0, -4.0, 0.0, 120.0},    {true, 1e300, 0.0, 4.0, 120.0},
        {true, nan, nan, nan, nan},        {true, 5.0, 4.0, -3.0, -120.0},
        {true, 1e6, 1e6, 1e9, 120.0},      {true, 2.0, 0.0, 4.0, std::numeric_limits<double>::infinity()},
    };
    for (const SongClock& clock : clocks) {
        for (int32_t frames : {0, -5, 1, 4096, 1 << 22}) {
            player.startBlock(&clock, frames, 44100.0);
            Stroke stroke{};
            int32_t count = 0;
            while (player.nextStroke(std::max(frames, 0), stroke)) {
                ASSERT_GE(stroke.time, 0);
                ASSERT_LT(stroke.time, frames);
                ASSERT_TRUE(stroke.velocity >= 1 && stroke.velocity <= 127);
                ASSERT_LE(++count, PatternPlayer::kMostStrokesPerBlock);
            }
            player.endBlock();
        }
    }
}

TEST(PatternStrokes, PlayTheStringsTheirKeysWouldAndYieldToALateChord)
{
    // The folk pattern on chord 4 at 120 bpm against its strokes keyed by hand.
    constexpr int32_t block = 490;
    StrumPlayer pattern;
    pattern.select(4);
    pattern.patternPlayer().setPattern(patternNumber("folk"));
    const Song song;
    for (int64_t start = 0; start < 2 * 88200; start += block) {
        const SongClock clock = clockAt(song, start);
        pattern.setSongClock(&clock);
        pattern.block(block);
    }
    StrumPlayer keyed;
    keyed.select(4);
    const Strokes strokes = play(patternNumber("folk"), song);
    size_t next = 0;
    for (int64_t start = 0; start < 2 * 88200; start += block) {
        for (; next < strokes.size() && strokes[next].sample < start + block; ++next) {
            const uint32_t key = strokes[next].action == StrumDown ? 60 : 62;
            keyed.key(static_cast<int32_t>(strokes[next].sample - start), key,
                      static_cast<uint32_t>(strokes[next].velocity));
        }
        keyed.block(block);
    }
    EXPECT_EQ(pattern.played, keyed.played);
    EXPECT_EQ(pattern.notesOn().size(), 6u * strokes.size());

    // A chord key 30 ms after a stroke replaces the stroke's chord from the key on, as after
    // a strum key.
    StrumPlayer late;
    late.select(4);
    late.patternPlayer().setPattern(patternNumber("steady-downs"));
    for (int64_t start = 0; start < 4096; start += 512) {
        const SongClock clock = clockAt(song, start);
        late.setSongClock(&clock);
        if (start == 1024) late.key(1323 - 1024, 48 + 9, 100);  // A major
        late.block(512);
    }
    // The accented stroke (velocity 113) strums E, 434 samples a string...
    const auto notes = late.notesOn();
    int32_t soundingStrings = 0;
    for (const auto& string : late.chordBank[9]) soundingStrings += string.load() >= 0;
    ASSERT_EQ(notes.size(), 3u + soundingStrings);
    EXPECT_EQ(notes[0], on(0, 40, 104));
    EXPECT_EQ(notes[2], on(868, 52, 86));
    // ...until the A chord takes over at the chord key.
    EXPECT_EQ(notes[3].sample, 1323);
    EXPECT_EQ(notes.back().sample, 1323 + (soundingStrings - 1) * 434);
}
