// The factory chord-set table: every set reads, every fingering names back to the chord the
// table claims and can be played, and a faulty table is refused with its line.
#include "presets/FactoryChordSets.h"
#include "strum/KeySpelling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

// The sets as the build embedded them in what ships.
std::vector<presets::ChordSet> factorySets()
{
    std::string error;
    const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
    EXPECT_TRUE(error.empty()) << error;
    return sets;
}

std::string readError(const std::string& table)
{
    std::istringstream in(table);
    std::string error;
    EXPECT_FALSE(presets::readChordSets(in, error)) << table;
    return error;
}

}  // namespace

TEST(ChordSets, EveryFingeringNamesBackAndIsPlayable)
{
    const std::vector<presets::ChordSet> sets = factorySets();
    std::printf("%zu factory chord sets\n", sets.size());
    EXPECT_GE(sets.size(), 24u);
    std::set<std::string> fileNames;
    for (const presets::ChordSet& set : sets) {
        EXPECT_TRUE(fileNames.insert(presets::fileNameOf(set)).second) << set.name;
        // The names are spelled in the key the whole set suggests, as the host's key names are.
        std::array<chords::ChordNotes, 12> notes{};
        for (int chord = 0; chord < 12; ++chord) {
            notes[chord] = chords::notesOfFingering(set.chords[chord].fingering);
        }
        std::array<chords::ChordName, 12> names;
        chords::nameChords(notes.data(), 12, names.data());
        for (int chord = 0; chord < 12; ++chord) {
            const presets::TableChord& tableChord = set.chords[chord];
            const std::string where = set.name + ", key " + tableChord.key;
            EXPECT_STREQ(names[chord].c_str(), tableChord.name.c_str()) << where;
            int lowest = chords::kHighestFret;
            int highest = 1;
            for (int fret : tableChord.fingering) {
                if (fret > 0) {
                    lowest = std::min(lowest, fret);
                    highest = std::max(highest, fret);
                }
            }
            EXPECT_LE(highest - lowest, 3) << where << ": fretted notes beyond four frets";
        }
    }
}

// The README's table of the sets says what the table holds.
TEST(ChordSets, TheReadmeListsEverySetWithItsChords)
{
    std::ifstream file(LYREVANE_README);
    const std::string readme{std::istreambuf_iterator<char>(file),
                             std::istreambuf_iterator<char>()};
    for (const presets::ChordSet& set : factorySets()) {
        std::string row = "| " + set.name + " | " + (set.electric ? "electric" : "acoustic") + " | ";
        for (const presets::TableChord& chord : set.chords) {
            row += chord.name + (&chord == &set.chords.back() ? " |\n" : " · ");
        }
        EXPECT_NE(readme.find(row), std::string::npos) << "README.md lacks the row\n" << row;
    }
}

TEST(ChordSets, AFaultyTableIsRefusedWithItsLine)
{
    const std::string chords =
        "  C3 C x 3 2 0 1 0\n  C#3 C# 4 4 6 6 6 4\n  D3 D x x 0 2 3 2\n"
        "  D#3 D# 6 6 8 8 8 6\n  E3 E 0 2 2 1 0 0\n  F3 F 1 3 3 2 1 1\n"
        "  F#3 F# 2 4 4 3 2 2\n  G3 G 3 2 0 0 0 3\n  G#3 G# 4 6 6 5 4 4\n"
        "  A3 A 0 0 2 2 2 0\n  A#3 A# 1 1 3 3 3 1\n  B3 B 2 2 4 4 4 2\n";
    const std::string good = "# sets\nset acoustic Majors\n" + chords;
    std::istringstream in(good + "set electric Electric majors\n" + chords);
    std::string error;
    const auto sets = presets::readChordSets(in, error);
    ASSERT_TRUE(sets) << error;
    ASSERT_EQ(sets->size(), 2u);
    EXPECT_TRUE((*sets)[1].electric);
    EXPECT_EQ((*sets)[1].chords[11].fingering, (chords::Fingering{2, 2, 4, 4, 4, 2}));
    EXPECT_EQ(presets::findChordSet(*sets, "electric MAJORS"), &(*sets)[1]);

    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string table = good;
        table.replace(table.find(from), from.size(), to);
        return table;
    };
    EXPECT_EQ(readError(replaced("acoustic", "nylon")),
              "line 2: a set's sound is acoustic or electric, not 'nylon'");
    EXPECT_EQ(readError(replaced("D3 D x x 0 2 3 2", "D3 D x x 0 2 3 19")),
              "line 5: a fingering is six strings, each x or a fret 0 to 18");
    EXPECT_EQ(readError(replaced("D3 D x x 0 2 3 2", "D3 D x x 0 2 3")),
              "line 5: a fingering is six strings, each x or a fret 0 to 18");
    EXPECT_EQ(readError(replaced("D3 D x x 0 2 3 2", "D3 D x x 0 2 3 2 1")),
              "line 5: unexpected '1' after the fingering");
    EXPECT_EQ(readError(replaced("E3 E", "F3 E")),
              "line 7: expected the chord of key E3, not 'F3'");
    EXPECT_EQ(readError(replaced("Majors", std::string(28, 'M'))),
              "line 2: a set's name has 1 to 27 characters");
    EXPECT_EQ(readError(good + "set acoustic majors\n" + chords),
              "line 15: a second set named 'majors'");
    EXPECT_EQ(readError(good + "  C3 C x 3 2 0 1 0\n"), "line 15: a thirteenth chord in set 'Majors'");
    EXPECT_EQ(readError("set acoustic Short\n  C3 C x 3 2 0 1 0\n"),
              "line 2: the last set has 1 chords, not 12");
    EXPECT_EQ(readError("  C3 C x 3 2 0 1 0\n"), "line 1: a chord before the first set");
    EXPECT_EQ(readError("# nothing\n"), "line 1: the table holds no set");
}
