// The chord namer against guitar shapes written from music theory, each with the name a
// guitarist gives it, and the key a bank of chords suggests for spelling.
#include "strum/ChordNamer.h"
#include "strum/KeySpelling.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using chords::Fingering;

namespace {

// "x32010" (one digit per string) or "8 10 10 9 8 8" when a fret has two digits.
Fingering shape(const std::string& text)
{
    Fingering fingering{};
    std::vector<std::string> strings;
    if (text.find(' ') == std::string::npos) {
        for (char c : text) {
            strings.emplace_back(1, c);
        }
    } else {
        std::istringstream in(text);
        for (std::string token; in >> token;) {
            strings.push_back(token);
        }
    }
    EXPECT_EQ(strings.size(), 6u) << text;
    for (size_t s = 0; s < 6 && s < strings.size(); ++s) {
        fingering[s] = strings[s] == "x" ? chords::kMutedString : std::stoi(strings[s]);
    }
    return fingering;
}

struct Shape {
    std::string fingering;
    std::string name;
};

const std::vector<Shape> kWrittenShapes = {
    // Open chords.
    {"x32010", "C"}, {"x02210", "Am"}, {"xx0232", "D"}, {"xx0231", "Dm"}, {"022100", "E"},
    {"022000", "Em"}, {"133211", "F"}, {"320003", "G"}, {"320033", "G"}, {"x02220", "A"},
    {"x24442", "B"}, {"x13331", "A#"},
    // Sevenths.
    {"x32310", "C7"}, {"x02020", "A7"}, {"xx0212", "D7"}, {"020100", "E7"}, {"320001", "G7"},
    {"x21202", "B7"}, {"x02010", "Am7"}, {"xx0211", "Dm7"}, {"022030", "Em7"},
    {"020000", "Em7"}, {"x20202", "Bm7"}, {"x32000", "Cmaj7"}, {"xx0222", "Dmaj7"},
    {"xx3210", "Fmaj7"}, {"x02120", "Amaj7"}, {"021100", "Emaj7"}, {"320002", "Gmaj7"},
    {"3x443x", "Gmaj7"}, {"x2323x", "Bm7b5"}, {"x3434x", "Cm7b5"},
    // Diminished and augmented.
    {"xx0101", "Ddim7"}, {"x3424x", "Cdim7"}, {"xx1212", "D#dim7"}, {"x3454x", "Cdim"},
    {"x2343x", "Bdim"}, {"x0121x", "Adim"}, {"x32110", "Caug"}, {"xx2110", "Eaug"},
    {"x03221", "Aaug"},
    // Suspended, added ninths, sixths, ninths.
    {"xx0233", "Dsus4"}, {"xx0230", "Dsus2"}, {"x02230", "Asus4"}, {"x02200", "Asus2"},
    {"022200", "Esus4"}, {"x33011", "Csus4"}, {"x30013", "Csus2"}, {"330013", "Gsus4"},
    {"024400", "Esus2"}, {"x02030", "A7sus4"}, {"xx0213", "D7sus4"}, {"020200", "E7sus4"},
    {"330011", "G7sus4"}, {"x32033", "Cadd9"}, {"320203", "Gadd9"}, {"x35555", "C6"},
    {"320000", "G6"}, {"022120", "E6"}, {"x02222", "A6"}, {"xx0202", "D6"}, {"x02212", "Am6"},
    {"xx0201", "Dm6"}, {"022020", "Em6"}, {"x3233x", "C9"}, {"020102", "E9"}, {"3x0201", "G9"},
    {"x02423", "A9"}, {"x02413", "Am9"}, {"022032", "Em9"}, {"x3133x", "Cm9"},
    // Power chords.
    {"022xxx", "E5"}, {"x022xx", "A5"}, {"355xxx", "G5"}, {"x355xx", "C5"}, {"xx023x", "D5"},
    {"133xxx", "F5"}, {"x577xx", "D5"}, {"xxx23x", "D5/A"},
    // Slash chords: the lowest note is not the root.
    {"x32210", "Am/C"}, {"032010", "C/E"}, {"2x0232", "D/F#"}, {"x20033", "G/B"},
    {"x00232", "D/A"}, {"3x2010", "C/G"}, {"332010", "C/G"}, {"4x2100", "E/G#"},
    {"x4222x", "A/C#"}, {"x22000", "Em/B"}, {"1x0231", "Dm/F"}, {"xx0003", "G/D"},
    {"x33210", "Fmaj7/C"}, {"x2x010", "Cmaj7/B"},
    // Ambiguous notes, read as a guitarist says them.
    {"3x2210", "Am7/G"},  // not C6/G: of two complete readings over the bass, the seventh
    {"x3x2x0", "Am/C"},   // not C6 without its fifth: the complete reading wins
    {"xx0x11", "Dm7"},    // D C F: a seventh chord may leave its fifth out
    {"xx0111", "Dm7b5"},  // not Fm6/D: the root in the bass
    {"x00233", "A7sus4"}, // not Gsus2/A or Dsus4/A: a seventh chord may spare its fifth
    // Nothing fits: the notes, each once, from the lowest up; nothing at all: no chord.
    {"000000", "(E A D G B)"}, {"xx0x44", "(D D# G#)"}, {"xxxxx0", "(E)"},
    {"xxxxxx", "N.C."}, {"x32xxx", "C"},
};

}  // namespace

namespace {

// Barre and power chords along the neck: the root is the fret's note on the lowest string
// barred (E shapes) or on the A string (A shapes).
constexpr const char* kRootOnLowE[17] = {"E",  "F", "F#", "G", "G#", "A", "A#", "B", "C",
                                         "C#", "D", "D#", "E", "F",  "F#", "G", "G#"};
constexpr const char* kRootOnA[17] = {"A",  "A#", "B", "C", "C#", "D", "D#", "E", "F",
                                      "F#", "G",  "G#", "A", "A#", "B",  "C", "C#"};

std::vector<Shape> neckShapes()
{
    struct Form {
        bool onA;
        int offsets[6];  // frets above the barre; -1 muted
        const char* suffix;
    } forms[] = {
        {false, {0, 2, 2, 1, 0, 0}, ""},    {false, {0, 2, 2, 0, 0, 0}, "m"},
        {false, {0, 2, 0, 1, 0, 0}, "7"},   {false, {0, 2, 0, 0, 0, 0}, "m7"},
        {false, {0, 2, 2, -1, -1, -1}, "5"}, {true, {-1, 0, 2, 2, 2, 0}, ""},
        {true, {-1, 0, 2, 2, 1, 0}, "m"},   {true, {-1, 0, 2, 0, 2, 0}, "7"},
        {true, {-1, 0, 2, 0, 1, 0}, "m7"},  {true, {-1, 0, 2, 1, 2, 0}, "maj7"},
    };
    std::vector<Shape> shapes;
    for (const Form& form : forms) {
        for (int barre = 1; barre + 2 <= chords::kHighestFret; ++barre) {
            std::string text;
            for (int offset : form.offsets) {
                text += (text.empty() ? "" : " ") +
                        (offset < 0 ? std::string("x") : std::to_string(barre + offset));
            }
            const char* root = form.onA ? kRootOnA[barre] : kRootOnLowE[barre];
            shapes.push_back({text, std::string(root) + form.suffix});
        }
    }
    return shapes;
}

}  // namespace

TEST(ChordNamer, NamesGuitarShapesAsAGuitaristWould)
{
    std::vector<Shape> shapes = kWrittenShapes;
    const std::vector<Shape> neck = neckShapes();
    shapes.insert(shapes.end(), neck.begin(), neck.end());
    for (const Shape& s : shapes) {
        EXPECT_STREQ(chords::nameFingering(shape(s.fingering)).c_str(), s.name.c_str())
            << s.fingering;
    }
    // The figure the issue reports.
    std::printf("named %zu shapes\n", shapes.size());
    EXPECT_GE(shapes.size(), 150u);
}

TEST(ChordNamer, ReadsPitchClassesAndABass)
{
    using chords::intervals;
    // Held notes have no strings: the reading comes from the pitch classes and the bass.
    const chords::Reading cMajor = chords::identify(intervals({0, 4, 7}), 0);
    EXPECT_EQ(cMajor.root, 0);
    EXPECT_STREQ(chords::kQualities[cMajor.quality].suffix, "");
    const chords::Reading over = chords::identify(intervals({0, 4, 7, 9}), 9);
    EXPECT_EQ(over.root, 9);
    EXPECT_STREQ(chords::kQualities[over.quality].suffix, "m7");
    EXPECT_EQ(over.bass, 9);
    EXPECT_FALSE(chords::identify(intervals({0, 1, 2}), 0).fits());
    EXPECT_FALSE(chords::identify(0, -1).fits());
    // Every quality names its own complete chord on every root, with the root in the bass.
    for (int q = 0; q < chords::kQualityCount; ++q) {
        const chords::Quality& quality = chords::kQualities[q];
        for (int root = 0; root < 12; ++root) {
            const chords::PitchClassSet full = quality.required | quality.optional;
            const auto set = static_cast<chords::PitchClassSet>(
                ((full << root) | (full >> (12 - root))) & 0x0FFF);
            const chords::Reading reading = chords::identify(set, root);
            EXPECT_EQ(reading.root, root) << quality.suffix;
            EXPECT_EQ(reading.quality, q) << quality.suffix << " on " << root;
        }
    }
}

TEST(ChordNamer, KeysSpellTheirRoots)
{
    auto bank = [](const std::vector<std::string>& shapes) {
        std::vector<chords::ChordNotes> notes;
        for (const std::string& s : shapes) {
            notes.push_back(chords::notesOfFingering(shape(s)));
        }
        return notes;
    };
    auto nameIn = [](const std::vector<chords::ChordNotes>& chords, const std::string& s) {
        const chords::Key key = chords::suggestKey(chords.data(), static_cast<int>(chords.size()));
        return std::string(chords::nameFingering(shape(s), chords::spellingOf(key)).c_str());
    };
    // F major: F, Gm, Am, Bb, C7, Dm; the Bb is written flat.
    const auto inF = bank({"133211", "355333", "x02210", "x13331", "x32310", "xx0231"});
    EXPECT_EQ(chords::suggestKey(inF.data(), 6).tonic, 5);
    EXPECT_EQ(nameIn(inF, "x13331"), "Bb");
    // A minor with its raised seventh: Am, Dm, E7, G#dim7 (spelled sharp, the leading tone).
    const auto inAMinor = bank({"x02210", "xx0231", "020100", "4x343x", "x32010"});
    const chords::Key aMinor = chords::suggestKey(inAMinor.data(), 5);
    EXPECT_EQ(aMinor.tonic, 9);
    EXPECT_TRUE(aMinor.minor);
    EXPECT_EQ(nameIn(inAMinor, "4x343x"), "G#dim7");
    // C major borrowing from its minor: Bb and Eb flat, D/F# sharp.
    const auto inC = bank({"x32010", "xx0231", "320003", "133211", "x13331", "x68886",
                           "2x0232"});
    EXPECT_EQ(nameIn(inC, "x13331"), "Bb");
    EXPECT_EQ(nameIn(inC, "x68886"), "Eb");
    EXPECT_EQ(nameIn(inC, "2x0232"), "D/F#");
    // Twelve major chords on every root suggest no key: sharps, as by default.
    const auto twelve = bank({"x32010", "x46664", "xx0232", "x68886", "022100", "133211",
                              "244322", "320003", "466544", "x02220", "x13331", "x24442"});
    EXPECT_LT(chords::suggestKey(twelve.data(), 12).tonic, 0);
    EXPECT_EQ(nameIn(twelve, "x13331"), "A#");
}
