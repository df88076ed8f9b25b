// Capo and tunings: the fingerings found for every chord on every tuning, and the strum
// engine sounding its chords, written in frets above the capo, on the strings as tuned.
#include "StrumPlayer.h"

#include "strum/Tunings.h"
#include "strum/VoicingFinder.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

using chords::kQualities;
using chords::kQualityCount;

std::vector<int32_t> soundingNotes(const tunings::OpenStrings& open,
                                   const chords::Fingering& fingering)
{
    std::vector<int32_t> notes;
    for (int s = 0; s < 6; ++s)
        notes.push_back(fingering[s] < 0 ? -1 : open[s] + fingering[s]);
    return notes;
}

// What a hand can hold and what it sounds: frets 0 to 18 above the capo, the fretted ones
// within a hand's reach on four fingers (the index may barre), three strings or more, the
// bass lowest and the chord's name read back from the notes.
void expectPlayableAndNamed(const tunings::OpenStrings& open, const chords::Fingering& fingering,
                            int root, int quality, const std::string& what)
{
    int low = 99;
    int high = 0;
    int strings = 0;
    for (int fret : fingering) {
        EXPECT_TRUE(fret == chords::kMutedString || (fret >= 0 && fret <= 18)) << what;
        strings += fret >= 0;
        if (fret > 0) {
            low = std::min(low, fret);
            high = std::max(high, fret);
        }
    }
    EXPECT_LE(high - low, voicings::kReach - 1) << what;
    EXPECT_LE(voicings::fingersOf(fingering), voicings::kMostFingers)
        << what << ": " << ::testing::PrintToString(fingering);
    EXPECT_GE(strings, 3) << what;
    const std::vector<int32_t> notes = soundingNotes(open, fingering);
    const int32_t bass = chords::lowestNote(notes.data(), 6);
    ASSERT_GE(bass, 0) << what;
    EXPECT_EQ(bass % 12, root) << what;
    const chords::Reading reading =
        chords::identify(chords::pitchClassesOf(notes.data(), 6), static_cast<int>(bass % 12));
    EXPECT_EQ(reading.root, root) << what;
    EXPECT_EQ(reading.quality, quality) << what;
}

std::string described(int tuning, int capo, int root, int quality, int position)
{
    return std::string(tunings::kTunings[tuning].symbol) + " capo " + std::to_string(capo) + " " +
           chords::noteName(root, {}) + kQualities[quality].suffix + " near fret " +
           std::to_string(position);
}

}  // namespace

TEST(VoicingFinder, EveryChordOnEveryTuningIsPlayableOnNeighbouringStringsAndNamesBack)
{
    for (int tuning = 0; tuning < tunings::kTuningCount; ++tuning) {
        for (int capo : {0, 3, 12}) {
            tunings::OpenStrings open;
            tunings::openStrings(tuning, capo, open);
            for (int quality = 0; quality < kQualityCount; ++quality) {
                for (int root = 0; root < 12; ++root) {
                    for (int position : {0, 7}) {
                        const std::string what = described(tuning, capo, root, quality, position);
                        chords::Fingering fingering;
                        ASSERT_TRUE(
                            voicings::findVoicing(open, root, quality, root, position, fingering))
                            << what;
                        expectPlayableAndNamed(open, fingering, root, quality, what);
                        // No muted string between two that sound.
                        const auto first = std::find_if(fingering.begin(), fingering.end(),
                                                        [](int f) { return f >= 0; });
                        const auto last = std::find_if(fingering.rbegin(), fingering.rend(),
                                                       [](int f) { return f >= 0; });
                        EXPECT_TRUE(std::all_of(first, last.base(), [](int f) { return f >= 0; }))
                            << what;
                    }
                }
            }
        }
    }
}

TEST(VoicingFinder, TakesTheTuningsOpenStringsTheNamedBassAndTheHandsPosition)
{
    tunings::OpenStrings open;
    // Each open tuning's own chord rings on the open strings, from the root up (open G's
    // lowest string is the fifth).
    const std::tuple<const char*, int, chords::Fingering> openChords[] = {
        {"open-g", 7, {-1, 0, 0, 0, 0, 0}},
        {"open-d", 2, {0, 0, 0, 0, 0, 0}},
        {"open-e", 4, {0, 0, 0, 0, 0, 0}}};
    for (const auto& [symbol, root, strings] : openChords) {
        int tuning = 0;
        while (std::string(tunings::kTunings[tuning].symbol) != symbol)
            ++tuning;
        tunings::openStrings(tuning, 0, open);
        chords::Fingering fingering;
        ASSERT_TRUE(voicings::findVoicing(open, root, 0, root, 0, fingering));
        EXPECT_EQ(fingering, strings) << symbol;
        // Up the neck the same chord is a barre near where the hand is.
        ASSERT_TRUE(voicings::findVoicing(open, root, 0, root, 12, fingering));
        EXPECT_LE(std::abs(voicings::neckPosition(fingering) - 12), 2) << symbol;
    }
    // DADGAD with the capo at 3 offers E major with the G and B strings both on E; the
    // engine would cut one off with the other, so the finder looks further.
    tunings::openStrings(8, 3, open);
    {
        chords::Fingering fingering;
        ASSERT_TRUE(voicings::findVoicing(open, 4, 0, 4, 0, fingering));
        std::vector<int32_t> notes = soundingNotes(open, fingering);
        notes.erase(std::remove(notes.begin(), notes.end(), -1), notes.end());
        std::sort(notes.begin(), notes.end());
        EXPECT_EQ(std::adjacent_find(notes.begin(), notes.end()), notes.end())
            << ::testing::PrintToString(fingering);
    }
    // A slash chord keeps its bass lowest: D/F# in standard tuning.
    tunings::openStrings(0, 0, open);
    chords::Fingering fingering;
    ASSERT_TRUE(voicings::findVoicing(open, 2, 0, 6, 2, fingering));
    const std::vector<int32_t> notes = soundingNotes(open, fingering);
    EXPECT_EQ(chords::lowestNote(notes.data(), 6) % 12, 6);
    EXPECT_STREQ(chords::nameNotes(notes.data(), 6).c_str(), "D/F#");
    // Nonsense asks find nothing.
    EXPECT_FALSE(voicings::findVoicing(open, 12, 0, 12, 0, fingering));
    EXPECT_FALSE(voicings::findVoicing(open, 0, kQualityCount, 0, 0, fingering));
    EXPECT_FALSE(voicings::findVoicing(open, 0, -1, 0, 0, fingering));
}

TEST(VoicingFinder, HeldChordsOnEveryTuningAndCapoArePlayableAndNameBack)
{
    // What the engine plays for a held chord: the standard shapes moved where the tuning is
    // the standard one moved, the finder's elsewhere.
    const voicings::VoicingTable table;
    for (int tuning = 0; tuning < tunings::kTuningCount; ++tuning) {
        for (int capo : {0, 2, 7}) {
            tunings::OpenStrings open;
            tunings::openStrings(tuning, capo, open);
            for (int quality = 0; quality < kQualityCount; ++quality) {
                for (int root = 0; root < 12; ++root) {
                    const std::string what = described(tuning, capo, root, quality, 3);
                    chords::Fingering fingering;
                    ASSERT_TRUE(table.choose(open, root, quality, 3, fingering)) << what;
                    expectPlayableAndNamed(open, fingering, root, quality, what);
                }
            }
        }
    }
    // With the capo at 2, a sounding D major is the factory sets' open C shape.
    tunings::OpenStrings open;
    tunings::openStrings(0, 2, open);
    chords::Fingering fingering;
    ASSERT_TRUE(table.choose(open, 2, 0, 0, fingering));
    EXPECT_EQ(fingering, (chords::Fingering{-1, 3, 2, 0, 1, 0}));
}

TEST(Tunings, ChordKeysKeepTheirFretsAndSoundWithTheCapoAndTheTuning)
{
    StrumPlayer player;
    player.select(4);  // E major, 0 2 2 1 0 0
    const auto strummed = [&player] {
        player.played.clear();
        player.key(0, 60, 100);
        player.block(8192);
        std::vector<int32_t> notes;
        for (const PlayedEvent& e : player.notesOn())
            notes.push_back(e.note);
        return notes;
    };
    EXPECT_EQ(strummed(), (std::vector<int32_t>{40, 47, 52, 56, 59, 64}));
    player.setNeck(0, 2);
    EXPECT_EQ(strummed(), (std::vector<int32_t>{42, 49, 54, 58, 61, 66}));
    player.setNeck(1, 0);  // drop D: the low string a whole step lower
    EXPECT_EQ(strummed(), (std::vector<int32_t>{38, 47, 52, 56, 59, 64}));
    // Out of range: held to the last tuning (DADGAD) and the capo to 12, or to 0.
    player.setNeck(1000, 40);
    EXPECT_EQ(player.tuning(), tunings::kTuningCount - 1);
    EXPECT_EQ(player.capo(), 12);
    EXPECT_EQ(strummed(), (std::vector<int32_t>{50, 59, 64, 68, 69, 74}));
    player.setNeck(-3, -1);
    EXPECT_EQ(player.tuning(), 0);
    EXPECT_EQ(player.capo(), 0);
    EXPECT_EQ(strummed(), (std::vector<int32_t>{40, 47, 52, 56, 59, 64}));
    // The chord's name is the sounding chord's: E major with the capo at 2 is F# major.
    player.setNeck(0, 2);
    const chords::ChordNotes sounding = player.soundingChord(4);
    EXPECT_STREQ(chords::nameNotes(sounding.data(), 6).c_str(), "F#");
    EXPECT_EQ(player.soundingChord(12), (chords::ChordNotes{-1, -1, -1, -1, -1, -1}));
    // A picked string sounds as tuned too.
    player.setNeck(4, 0);  // drop C
    player.played.clear();
    player.key(0, 67, 90);
    player.block(512);
    ASSERT_EQ(player.notesOn().size(), 1u);
    EXPECT_EQ(player.notesOn()[0].note, 36);
}

TEST(Tunings, AHeldChordSoundsAsHeldOnAnyTuningAndIsFingeredAnewWhenItChanges)
{
    StrumPlayer player;
    player.setChordInput(ChordInput::heldNotes);
    player.setNeck(5, 0);  // open G
    for (uint32_t note : {19u, 23u, 26u})
        player.key(0, note, 90);  // G B D
    player.key(10, 60, 100);
    player.block(8192);
    std::vector<int32_t> notes;
    for (const PlayedEvent& e : player.notesOn())
        notes.push_back(e.note);
    EXPECT_EQ(notes, (std::vector<int32_t>{43, 50, 55, 59, 62}));  // the open strings
    EXPECT_EQ(player.recognisedChord(), 7 * kQualityCount);
    // Capo 5 on DADGAD while the hand holds G: the next strum still sounds G major.
    player.setNeck(8, 5);
    player.played.clear();
    player.key(0, 62, 100);
    player.block(8192);
    notes.clear();
    for (const PlayedEvent& e : player.notesOn())
        notes.push_back(e.note);
    ASSERT_GE(notes.size(), 3u);
    EXPECT_STREQ(chords::nameNotes(notes.data(), static_cast<int>(notes.size())).c_str(), "G");
}
