// The factory chord sets as the table in presets/chord-sets.txt gives them: each a name, a
// sound set and twelve chords (the chord key's name, the chord's name and its fingering),
// and what a set is as the instrument's 77 parameter values.
#pragma once

#include "host/PlektraParameters.h"
#include "strum/ChordNamer.h"

#include <array>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace presets {

// The longest set name: a program file holds 28 bytes of name, one kept for its terminator.
constexpr size_t kLongestSetName = 27;

struct TableChord {
    std::string key;   // "C3" to "B3", the key that selects it
    std::string name;  // as the table writes it, e.g. "D/F#"
    chords::Fingering fingering;
};

struct ChordSet {
    std::string name;
    bool electric = false;
    std::array<TableChord, ChordValues::kChordCount> chords;
    int line = 0;  // where the set begins in the table
};

// Reads the whole table. On a fault, nothing: error says the line and what is wrong.
std::optional<std::vector<ChordSet>> readChordSets(std::istream& table, std::string& error);

// The set whose name matches, ignoring case, or null.
const ChordSet* findChordSet(const std::vector<ChordSet>& sets, const std::string& name);

// The file name a set's files take: its name in lower case, words joined by hyphens
// ("Jazz ii-V-I in C" becomes "jazz-ii-v-i-in-c").
std::string fileNameOf(const ChordSet& set);

using ParameterValues = std::array<float, kParameterCount>;

// The values a host sets for the set: each string at its position's parameter value (as the
// instrument reads it back), the sound set, and 0 for the indices that hold no setting.
ParameterValues parameterValuesOf(const ChordSet& set);

}  // namespace presets
