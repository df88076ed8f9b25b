// Held chords: the zone's reading of every quality in inversions and octaves, the voicing
// table's shapes, the choice of the nearest shape, and the strum engine playing what the
// left hand holds beside the chord keys.
#include "StrumPlayer.h"

#include "strum/ChordZone.h"
#include "strum/VoicingTable.h"
#include "tests/support/HeldChordNotes.h"

#include <algorithm>
#include <bitset>
#include <vector>

namespace {

using chords::kQualities;
using chords::kQualityCount;
using heldchords::tonesOf;
using heldchords::voiced;

chords::PitchClassSet pitchClassesOf(int root, int quality)
{
    chords::PitchClassSet set = 0;
    for (int tone : tonesOf(quality)) set |= chords::pitchClassBit((root + tone) % 12);
    return set;
}

// Whether a chord of the vocabulary is a reading of these pitch classes: all its required
// tones sound, and nothing beyond its optional ones.
bool fits(int root, int quality, chords::PitchClassSet sounding)
{
    chords::PitchClassSet required = 0;
    chords::PitchClassSet allowed = 0;
    for (int i = 0; i < 12; ++i) {
        const chords::PitchClassSet bit = chords::pitchClassBit((root + i) % 12);
        if (kQualities[quality].required & chords::pitchClassBit(i)) required |= bit;
        if ((kQualities[quality].required | kQualities[quality].optional) &
            chords::pitchClassBit(i)) {
            allowed |= bit;
        }
    }
    return (sounding & required) == required && (sounding & ~allowed) == 0;
}

// Whether another chord of the vocabulary reads the same notes (C6 and Am7).
bool spelledTwice(int root, int quality)
{
    const chords::PitchClassSet set = pitchClassesOf(root, quality);
    for (int r = 0; r < 12; ++r) {
        for (int q = 0; q < kQualityCount; ++q) {
            if ((r != root || q != quality) && fits(r, q, set)) return true;
        }
    }
    return false;
}

int fretSpan(const chords::Fingering& fingering)
{
    int low = 99;
    int high = 0;
    for (int fret : fingering) {
        if (fret > 0) {
            low = std::min(low, fret);
            high = std::max(high, fret);
        }
    }
    return high == 0 ? 0 : high - low + 1;
}

}  // namespace

TEST(ChordZone, ReadsEveryQualityInThreeInversionsAndTwoOctaves)
{
    for (int root = 0; root < 12; ++root) {
        for (int quality = 0; quality < kQualityCount; ++quality) {
            for (int inversion = 0; inversion < 3; ++inversion) {
                for (int lowest : {12, 24}) {
                    ChordZone zone;
                    for (uint32_t note : voiced(root, quality, inversion, lowest)) zone.press(note);
                    const std::string what = std::to_string(root) + kQualities[quality].suffix +
                                             " inversion " + std::to_string(inversion) +
                                             " from " + std::to_string(lowest);
                    // A chord of one spelling only is always read as itself; one with two
                    // (C6 is Am7) at least as the notes held.
                    if (inversion == 0 || !spelledTwice(root, quality)) {
                        EXPECT_EQ(zone.root(), root) << what;
                        EXPECT_EQ(zone.quality(), quality) << what;
                        EXPECT_EQ(zone.chordNumber(), root * kQualityCount + quality) << what;
                    }
                    EXPECT_TRUE(fits(zone.root(), zone.quality(), pitchClassesOf(root, quality)))
                        << what;
                }
            }
        }
    }
}

TEST(ChordZone, LoneNotesFifthsClustersAndReleases)
{
    ChordZone zone;
    EXPECT_EQ(zone.chordNumber(), -1);
    // A lone note in any octaves is its major chord; a fifth above it a power chord.
    EXPECT_TRUE(zone.press(9));
    EXPECT_TRUE(zone.press(21) == false);
    EXPECT_EQ(zone.chordNumber(), 9 * kQualityCount + 0);
    EXPECT_TRUE(zone.press(28));
    EXPECT_STREQ(kQualities[zone.quality()].suffix, "5");
    // A hand leaving a chord note by note keeps it: C major stays as E and G go.
    zone.clear();
    for (uint32_t note : {24u, 28u, 31u}) zone.press(note);
    const int32_t cMajor = zone.chordNumber();
    EXPECT_FALSE(zone.release(31));
    EXPECT_FALSE(zone.release(28));
    EXPECT_EQ(zone.chordNumber(), cMajor);
    // Lifting one tone of four changes the chord: C7 to C.
    for (uint32_t note : {28u, 31u, 34u}) zone.press(note);
    EXPECT_STREQ(kQualities[zone.quality()].suffix, "7");
    EXPECT_TRUE(zone.release(34));
    EXPECT_EQ(zone.chordNumber(), cMajor);
    // All 48 keys fit no chord and change nothing; releases of keys never held, or outside
    // the zone, change nothing either.
    for (uint32_t note = 0; note < 60; ++note) zone.press(note);
    EXPECT_EQ(zone.chordNumber(), cMajor);
    zone.clear();
    for (uint32_t note = 0; note < 200; ++note) EXPECT_FALSE(zone.release(note));
    EXPECT_TRUE(zone.empty());
    EXPECT_EQ(zone.chordNumber(), cMajor);
}

TEST(Voicings, EveryShapeIsPlayableAndNamesBackWhereverItFits)
{
    const voicings::VoicingTable table;
    for (int quality = 0; quality < kQualityCount; ++quality) {
        int shapes = 0;
        for (const voicings::ChordShape& shape : voicings::kShapes) {
            shapes += std::string(shape.quality) == kQualities[quality].suffix;
        }
        EXPECT_GE(shapes, 2) << kQualities[quality].suffix;
        for (int root = 0; root < 12; ++root) {
            for (int position = 0; position <= 18; position += 3) {
                chords::Fingering fingering;
                ASSERT_TRUE(table.nearestShape(root, quality, position, fingering));
                const chords::ChordNotes notes = chords::notesOfFingering(fingering);
                const chords::Reading reading = chords::identify(
                    chords::pitchClassesOf(notes.data(), 6),
                    chords::lowestNote(notes.data(), 6) % 12);
                const std::string what = std::to_string(root) + kQualities[quality].suffix +
                                         " near fret " + std::to_string(position);
                // Played with the root in the bass, every tone named, within four frets.
                EXPECT_EQ(chords::lowestNote(notes.data(), 6) % 12, root) << what;
                EXPECT_EQ(reading.root, root) << what;
                EXPECT_EQ(reading.quality, quality) << what;
                EXPECT_LE(fretSpan(fingering), 4) << what;
                EXPECT_GE(std::count_if(notes.begin(), notes.end(), [](int n) { return n >= 0; }),
                          2)
                    << what;
            }
        }
    }
}

TEST(Voicings, TheFactoryFingeringComesFirstThenTheShapeNearestThePreviousChord)
{
    const voicings::VoicingTable table;
    chords::Fingering fingering;
    // The factory sets finger G major open, wherever the hand was.
    for (int position : {0, 11}) {
        ASSERT_TRUE(table.choose(7, 0, position, fingering));
        EXPECT_EQ(fingering, (chords::Fingering{3, 2, 0, 0, 0, 3}));
    }
    // Every factory fingering filed reads back as the chord it is filed under.
    int filed = 0;
    for (int root = 0; root < 12; ++root) {
        for (int quality = 0; quality < kQualityCount; ++quality) {
            const chords::Fingering* factory = table.factoryFingering(root, quality);
            if (!factory) continue;
            ++filed;
            const chords::ChordNotes notes = chords::notesOfFingering(*factory);
            const chords::Reading reading = chords::identify(
                chords::pitchClassesOf(notes.data(), 6), chords::lowestNote(notes.data(), 6) % 12);
            EXPECT_EQ(reading.root * kQualityCount + reading.quality, root * kQualityCount + quality);
        }
    }
    EXPECT_GE(filed, 40);
    // Without one, G major's shapes: the E-shape at fret 3 from the open position, the
    // A-shape at fret 10 from high up the neck; E major at fret 12 when the hand is there.
    ASSERT_TRUE(table.nearestShape(7, 0, 0, fingering));
    EXPECT_EQ(fingering, (chords::Fingering{3, 5, 5, 4, 3, 3}));
    ASSERT_TRUE(table.nearestShape(7, 0, 11, fingering));
    EXPECT_EQ(fingering, (chords::Fingering{-1, 10, 12, 12, 12, 10}));
    ASSERT_TRUE(table.nearestShape(4, 0, 12, fingering));
    EXPECT_EQ(voicings::neckPosition(fingering), 12);
    EXPECT_FALSE(table.choose(12, 0, 0, fingering));
    EXPECT_FALSE(table.choose(0, kQualityCount, 0, fingering));
}

TEST(HeldChords, TheZonePlaysWhatTheHandHoldsBesideTheChordKeys)
{
    StrumPlayer player;
    player.setChordInput(ChordInput::heldNotes);
    // D minor held low in second inversion: A D F.
    for (uint32_t note : {21u, 26u, 29u}) player.key(0, note, 90);
    player.key(100, 60, 100);
    player.block(4096);
    EXPECT_EQ(player.recognisedChord(), 2 * kQualityCount + 1);
    // With the factory sets' fingering x x 0 2 3 1.
    std::vector<int32_t> notes;
    for (const PlayedEvent& e : player.notesOn()) notes.push_back(e.note);
    EXPECT_EQ(notes, (std::vector<int32_t>{50, 57, 62, 65}));
    EXPECT_EQ(player.notesOn()[0].sample, 100);

    // Releasing the chord keeps it; a chord key takes over (the last action wins), and the
    // zone again after it.
    player.played.clear();
    for (uint32_t note : {21u, 26u, 29u}) player.hostMsg(0, packMsg(0x80, 0, note, 0));
    player.key(10, 48 + 4, 100);  // E major from the chord bank
    player.key(20, 60, 100);
    player.block(4096);
    EXPECT_EQ(player.notesOn()[0].note, 40);
    player.played.clear();
    player.key(0, 19, 100);  // a lone G: G major, 3 2 0 0 0 3
    player.key(10, 60, 100);
    player.block(4096);
    EXPECT_EQ(player.notesOn().size(), 6u);
    EXPECT_EQ(player.notesOn()[0].note, 43);

    // A chord change 30 ms after a strum replaces it from the change on; the strings that
    // sounded before it are released there.
    player.played.clear();
    player.blockStart = 0;
    player.hostMsg(0, packMsg(0x80, 0, 19, 0));
    player.key(0, 60, 100);
    player.blocks(2, 512);
    player.key(1323 - 1024, 21, 100);  // A major
    player.block(512);
    player.blocks(10, 512);
    const auto released = player.releases();
    ASSERT_FALSE(released.empty());
    EXPECT_EQ(released.back().sample, 1323);
    chords::Fingering aMajor;
    ASSERT_TRUE(voicings::VoicingTable().choose(9, 0, 3, aMajor));
    const auto strings = std::count_if(aMajor.begin(), aMajor.end(), [](int f) { return f >= 0; });
    EXPECT_EQ(player.notesOn().back().sample, 1323 + (strings - 1) * 460);

    // In chord-key mode the same keys below 48 silence everything, as the key map says.
    player.setChordInput(ChordInput::chordKeys);
    player.played.clear();
    player.key(0, 21, 100);
    player.block(64);
    EXPECT_TRUE(player.notesOn().empty());
    EXPECT_FALSE(player.releases().empty());
}

TEST(HeldChords, FloodsAndStrayReleasesAreHarmless)
{
    StrumPlayer player;
    player.setChordInput(ChordInput::heldNotes);
    for (uint32_t note = 0; note < 48; ++note) player.key(static_cast<int32_t>(note), note, 127);
    player.key(60, 60, 100);
    player.blocks(8, 512);
    // The first key reads as C major, and no more keys fit a chord: C major stays, in its
    // A-shape at fret 3.
    EXPECT_EQ(player.recognisedChord(), 0);
    EXPECT_EQ(player.notesOn().size(), 5u);
    EXPECT_EQ(player.notesOn()[0].note, 48);
    for (uint32_t note = 0; note < 128; ++note) player.hostMsg(0, packMsg(0x80, 3, note, 64));
    for (uint32_t note = 0; note < 128; ++note) player.hostMsg(0, packMsg(0x80, 3, note, 0));
    player.blocks(4, 512);
    EXPECT_EQ(player.recognisedChord(), 0);
}
