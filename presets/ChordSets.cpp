// Reading the chord-set table, and a set as parameter values.
#include "presets/ChordSets.h"

#include <cctype>
#include <sstream>

namespace presets {

namespace {

constexpr const char* kChordKeys[ChordValues::kChordCount] = {
    "C3", "C#3", "D3", "D#3", "E3", "F3", "F#3", "G3", "G#3", "A3", "A#3", "B3"};

std::string lowerCase(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// "x" for a muted string, or a fret 0 to 18.
bool readFret(const std::string& token, int& fret)
{
    if (token == "x") {
        fret = chords::kMutedString;
        return true;
    }
    if (token.empty() || token.size() > 2 ||
        token.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    fret = std::stoi(token);
    return fret <= chords::kHighestFret;
}

// A line without surrounding blanks; comment lines (starting with '#') are empty. Names
// hold '#' for sharps, so a comment takes a line of its own.
std::string contentOf(const std::string& line)
{
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') {
        return "";
    }
    return line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
}

}  // namespace

std::optional<std::vector<ChordSet>> readChordSets(std::istream& table, std::string& error)
{
    std::vector<ChordSet> sets;
    int chordCount = ChordValues::kChordCount;  // of the set being read
    int lineNumber = 0;
    auto fault = [&](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return std::nullopt;
    };
    for (std::string line; std::getline(table, line);) {
        ++lineNumber;
        const std::string content = contentOf(line);
        if (content.empty()) {
            continue;
        }
        std::istringstream fields(content);
        std::string first;
        fields >> first;
        if (first == "set") {
            if (chordCount != ChordValues::kChordCount) {
                return fault("the set before has " + std::to_string(chordCount) +
                             " chords, not 12");
            }
            ChordSet set;
            set.line = lineNumber;
            std::string sound;
            fields >> sound;
            if (sound != "acoustic" && sound != "electric") {
                return fault("a set's sound is acoustic or electric, not '" + sound + "'");
            }
            set.electric = sound == "electric";
            std::getline(fields >> std::ws, set.name);
            if (set.name.empty() || set.name.size() > kLongestSetName) {
                return fault("a set's name has 1 to 27 characters");
            }
            if (findChordSet(sets, set.name) != nullptr) {
                return fault("a second set named '" + set.name + "'");
            }
            sets.push_back(set);
            chordCount = 0;
            continue;
        }
        if (sets.empty()) {
            return fault("a chord before the first set");
        }
        if (chordCount == ChordValues::kChordCount) {
            return fault("a thirteenth chord in set '" + sets.back().name + "'");
        }
        TableChord& chord = sets.back().chords[chordCount];
        chord.key = first;
        if (chord.key != kChordKeys[chordCount]) {
            return fault("expected the chord of key " + std::string(kChordKeys[chordCount]) +
                         ", not '" + chord.key + "'");
        }
        fields >> chord.name;
        for (int& fret : chord.fingering) {
            std::string token;
            if (!(fields >> token) || !readFret(token, fret)) {
                return fault("a fingering is six strings, each x or a fret 0 to 18");
            }
        }
        std::string extra;
        if (fields >> extra) {
            return fault("unexpected '" + extra + "' after the fingering");
        }
        ++chordCount;
    }
    if (sets.empty()) {
        return fault("the table holds no set");
    }
    if (chordCount != ChordValues::kChordCount) {
        return fault("the last set has " + std::to_string(chordCount) + " chords, not 12");
    }
    return sets;
}

const ChordSet* findChordSet(const std::vector<ChordSet>& sets, const std::string& name)
{
    for (const ChordSet& set : sets) {
        if (lowerCase(set.name) == lowerCase(name)) {
            return &set;
        }
    }
    return nullptr;
}

std::string fileNameOf(const ChordSet& set)
{
    std::string name;
    for (char c : lowerCase(set.name)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (!name.empty() && name.back() != '-') {
            name += '-';
        }
    }
    if (!name.empty() && name.back() == '-') {
        name.pop_back();
    }
    return name;
}

ParameterValues parameterValuesOf(const ChordSet& set)
{
    ParameterValues values{};
    for (int chord = 0; chord < ChordValues::kChordCount; ++chord) {
        for (int string = 0; string < ChordValues::kStringCount; ++string) {
            // Position 0 mutes, 1 is the open string, 2 to 19 the frets.
            const int position = set.chords[chord].fingering[string] + 1;
            values[chord * ChordValues::kStringCount + string] =
                static_cast<float>(position) * ChordValues::kPositionStep;
        }
    }
    values[kSoundSetParameter] = set.electric ? 1.0f : 0.0f;
    return values;
}

}  // namespace presets
