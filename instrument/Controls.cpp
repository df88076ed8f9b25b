#include "instrument/Controls.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>

#include "strum/CArpStrum.h"
#include "strum/PatternTable.h"
#include "strum/Tunings.h"

namespace controls {

namespace {

// The playing aids, in id order: each a number within its range, its default leaving the
// instrument exactly as the VST module plays.
struct PlayingAid
{
    Id id;
    const char* symbol;
    const char* name;
    const char* comment;
    Range range;
    bool integer;
    const char* unit;
};

constexpr PlayingAid kPlayingAids[] = {
    {kChordInput,
     "chord_input",
     "Chord input",
     "Where the chord comes from: the twelve chord keys (48 to 59) only, or also the notes "
     "held below them (0 to 47), read as a chord in any octave or inversion and fingered "
     "from the factory chord sets or the nearest movable shape.",
     {0.0f, 1.0f, 0.0f},
     true,
     ""},
    {kPattern,
     "pattern",
     "Strum pattern",
     "A strum pattern played on the current chord, locked to the host's bars and beats while "
     "its transport rolls, and from the first held note while a chord is held with the "
     "transport stopped.",
     {0.0f, 0.0f /* the number of patterns, below */, 0.0f},
     true,
     ""},
    {kSwing,
     "swing",
     "Swing",
     "How late the off-beat eighths of a pattern come, in eighths: 0 straight, 0.33 a triplet "
     "feel, 0.5 the most.",
     {0.0f, 0.5f, 0.0f},
     false,
     ""},
    {kPatternVelocity,
     "pattern_velocity",
     "Pattern velocity",
     "The velocity of a pattern's strokes; accented strokes play halfway from it to 127.",
     {1.0f, 127.0f, 100.0f},
     true,
     ""},
    {kHumaniseTime,
     "humanise_time",
     "Humanise timing",
     "The most a pattern's stroke moves early or late, in milliseconds.",
     {0.0f, 30.0f, 0.0f},
     false,
     "ms"},
    {kHumaniseVelocity,
     "humanise_velocity",
     "Humanise velocity",
     "The most a pattern's stroke is louder or softer, in percent.",
     {0.0f, 30.0f, 0.0f},
     false,
     "pc"},
    {kSeed,
     "seed",
     "Humanise seed",
     "Which of the humaniser's performances plays: the same seed plays a song the same way "
     "every time.",
     {0.0f, kLargestSeed, 0.0f},
     true,
     ""},
    {kCapo,
     "capo",
     "Capo",
     "The fret the capo clamps, 0 for none. The chords keep their frets, counted from the capo "
     "as a chord chart reads, and sound as many semitones higher; the key names name the "
     "chords as they sound.",
     {0.0f, float(tunings::kHighestCapo), 0.0f},
     true,
     ""},
    {kTuning,
     "tuning",
     "Tuning",
     "What the open strings sound. The chords keep their frets and sound on the strings as "
     "tuned; a held chord is fingered for the tuning and the capo.",
     {0.0f, float(tunings::kTuningCount - 1), 0.0f},
     true,
     ""},
    {kArticulationKeys,
     "articulation_keys",
     "Articulation keys",
     "Off, keys 61, 63, 66 and 68 silence the strings as the other unassigned keys do. On, 61 "
     "strums dead (the fretting hand damping the strings: a percussive chuck) down and 63 up, "
     "66 strums palm-muted down and 68 up, shaped by velocity and tempo as the other strums.",
     {0.0f, 1.0f, 0.0f},
     true,
     ""},
    {kVariation,
     "variation",
     "Stroke variation",
     "Strokes that never repeat exactly: with 1, each string's stroke differs a little in "
     "where the pick meets the string, its attack, its level (within 1 dB) and its pitch "
     "(within 3 cents), and soft strokes sound darker than hard ones. Drawn from the seed and "
     "the stroke's place in the song, so a song renders the same every time.",
     {0.0f, 1.0f, 0.0f},
     true,
     ""},
};

// The table's place of a playing aid: the recognised chord, an output, lies among their ids.
constexpr uint32_t playingAidIndex(uint32_t id)
{
    return id < kRecognisedChord ? id - kChordInput : id - kChordInput - 1;
}

constexpr bool playingAidsInIdOrder()
{
    uint32_t index = 0;
    for (uint32_t id = 0; id < kCount; ++id) {
        if (!isPlayingAid(id)) continue;
        if (playingAidIndex(id) != index || kPlayingAids[index].id != id) return false;
        ++index;
    }
    return index == std::size(kPlayingAids);
}
static_assert(playingAidsInIdOrder(), "kPlayingAids describes every playing aid in id order");

const PlayingAid& playingAid(uint32_t id) { return kPlayingAids[playingAidIndex(id)]; }

int32_t lastRecognisedChord() { return 12 * chords::kQualityCount - 1; }

// The names of an enumeration's values, first to last; false for a control that has none.
bool valueName(uint32_t id, int32_t value, std::string& text)
{
    if (isString(id)) {
        text = fretLabel(value);
    } else if (id == kSoundSet) {
        text = kSoundSetNames[value];
    } else if (id == kPlayedChord) {
        text = chordLabel(value);
    } else if (id == kChordInput) {
        text = kChordInputNames[value];
    } else if (id == kPattern) {
        text = patternLabel(value);
    } else if (id == kTuning) {
        text = tunings::kTunings[value].name;
    } else if (id == kArticulationKeys) {
        text = kArticulationKeysNames[value];
    } else if (id == kRecognisedChord) {
        text = recognisedChordLabel(value);
    } else {
        return false;
    }
    return true;
}

// The shortest text that reads back as the same float, never in the locale's own format:
// hosts run with any locale, and a state or a session must read the same everywhere.
std::string numberText(float value)
{
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

bool sameLetters(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

Range range(uint32_t id)
{
    if (isString(id)) {
        const int32_t parameter = static_cast<int32_t>(id - kFirstString);
        const int32_t string = parameter % ChordValues::kStringCount;
        const int32_t note = CArpStrum::defaultNote(parameter / ChordValues::kStringCount, string);
        const int32_t fret = note < 0 ? kMuted : note - ChordValues::kOpenStrings[string];
        return {float(kMuted), float(kHighestFret), float(fret)};
    }
    if (id == kSoundSet) return {0.0f, float(kSoundSetCount - 1), 0.0f};
    if (id == kPlayedChord) return {0.0f, float(ChordValues::kChordCount - 1), 0.0f};
    if (id == kRecognisedChord) {
        return {float(kNoChord), float(lastRecognisedChord()), float(kNoChord)};
    }
    if (id == kPattern) return {0.0f, float(patternCount()), 0.0f};
    if (isPlayingAid(id)) return playingAid(id).range;
    return {0.0f, 1.0f, 0.0f};  // reset
}

uint32_t flags(uint32_t id)
{
    if (isString(id)) return kInteger | kEnumeration | kCausesArtifacts;
    if (id == kSoundSet) return kInteger | kEnumeration | kCausesArtifacts;
    if (id == kReset) return kInteger | kTrigger | kCausesArtifacts;
    if (id == kPlayedChord || id == kRecognisedChord) return kInteger | kEnumeration | kOutput;
    if (id == kChordInput || id == kPattern || id == kTuning || id == kArticulationKeys)
        return kInteger | kEnumeration;
    return playingAid(id).integer ? uint32_t{kInteger} : 0u;
}

float held(uint32_t id, float value)
{
    const Range limits = range(id);
    if (std::isnan(value)) return limits.defaultValue;
    const float inRange = std::clamp(value, limits.minimum, limits.maximum);
    return (flags(id) & kInteger) ? std::round(inRange) : inRange;
}

double normalised(uint32_t id, float value)
{
    const Range limits = range(id);
    return (double(held(id, value)) - limits.minimum) / (double(limits.maximum) - limits.minimum);
}

float fromNormalised(uint32_t id, double normalisedValue)
{
    if (std::isnan(normalisedValue)) return range(id).defaultValue;
    const Range limits = range(id);
    const double within = std::clamp(normalisedValue, 0.0, 1.0);
    return held(id, static_cast<float>(limits.minimum +
                                       within * (double(limits.maximum) - limits.minimum)));
}

int32_t patternCount() { return strumpatterns::kCount; }

std::string symbol(uint32_t id)
{
    if (isString(id)) {
        const uint32_t parameter = id - kFirstString;
        return "chord" + std::to_string(parameter / ChordValues::kStringCount + 1) + "_string" +
               std::to_string(parameter % ChordValues::kStringCount + 1);
    }
    if (id == kSoundSet) return "sound_set";
    if (id == kReset) return "reset";
    if (id == kPlayedChord) return "chord";
    if (id == kRecognisedChord) return "recognised_chord";
    return playingAid(id).symbol;
}

std::string name(uint32_t id)
{
    if (isString(id)) {
        const int32_t parameter = static_cast<int32_t>(id - kFirstString);
        const int32_t string = parameter % ChordValues::kStringCount;
        return chordLabel(parameter / ChordValues::kStringCount) + " string " +
               std::to_string(string + 1) + " (" + kStringNames[string] + ")";
    }
    if (id == kSoundSet) return "Sound set";
    if (id == kReset) return "Reset";
    if (id == kPlayedChord) return "Chord being played";
    if (id == kRecognisedChord) return "Recognised chord";
    return playingAid(id).name;
}

std::string group(uint32_t id)
{
    if (isString(id))
        return chordLabel(static_cast<int32_t>(id - kFirstString) / ChordValues::kStringCount);
    if (isGuitarControl(id)) return "Capo, tuning and articulations";
    if (isPlayingAid(id) || id == kRecognisedChord) return "Held chords and patterns";
    return "";
}

std::string comment(uint32_t id)
{
    if (isString(id)) {
        // Any chord may be the one being played, whose strings stop when it is edited.
        return "Where the string is held: -1 muted, 0 open, 1 to 18 the fret. An edit of the "
               "chord being played stops its strings.";
    }
    if (id == kSoundSet)
        return "The recorded guitar the strings play. A change stops every string.";
    if (id == kReset) return "Stops every string.";
    if (id == kPlayedChord) return "The chord the last chord key selected.";
    if (id == kRecognisedChord) {
        return "The chord last read from the notes held below the chord keys, -1 before any: "
               "its root (0 C to 11 B) times " +
               std::to_string(chords::kQualityCount) +
               ", plus its quality (0 major, 1 minor, 2 seventh, in the order of the scale "
               "points).";
    }
    return playingAid(id).comment;
}

const char* unit(uint32_t id) { return isPlayingAid(id) ? playingAid(id).unit : ""; }

std::string valueText(uint32_t id, float value)
{
    const float inRange = held(id, value);
    std::string text;
    if (valueName(id, static_cast<int32_t>(inRange), text)) return text;
    const std::string units = unit(id);
    if (units == "ms") return numberText(inRange) + " ms";
    if (units == "pc") return numberText(inRange) + " %";
    return numberText(inRange);
}

bool parseValue(uint32_t id, const std::string& text, float& value)
{
    const std::string wanted = trimmed(text);
    const Range limits = range(id);
    std::string name;
    for (auto v = static_cast<int32_t>(limits.minimum);
         v <= static_cast<int32_t>(limits.maximum) && valueName(id, v, name); ++v) {
        if (sameLetters(name, wanted)) {
            value = static_cast<float>(v);
            return true;
        }
    }
    float number = 0.0f;
    const char* end = wanted.data() + wanted.size();
    const std::from_chars_result read = std::from_chars(wanted.data(), end, number);
    if (read.ec != std::errc() || !std::isfinite(number)) return false;
    // A plain number, or one followed by the unit that valueText writes.
    const std::string rest = trimmed(std::string(read.ptr, end));
    const std::string units = unit(id);
    const bool unitFits =
        rest.empty() || (units == "ms" && rest == "ms") || (units == "pc" && rest == "%");
    if (!unitFits) return false;
    value = held(id, number);
    return true;
}

std::string chordLabel(int32_t chord)
{
    return "Chord " + std::to_string(chord + 1) + " (" + kChordRoots[chord] + ")";
}

std::string fretLabel(int32_t fret)
{
    if (fret == kMuted) return "muted";
    if (fret == 0) return "open";
    return "fret " + std::to_string(fret);
}

std::string recognisedChordLabel(int32_t chord)
{
    if (chord < 0 || chord > lastRecognisedChord()) return "none";
    return std::string(kChordRoots[chord / chords::kQualityCount]) +
           chords::kQualities[chord % chords::kQualityCount].suffix;
}

std::string patternLabel(int32_t pattern)
{
    if (pattern <= 0 || pattern > patternCount()) return "off";
    return strumpatterns::kPatterns[pattern - 1].name;
}

int32_t fretOfParameter(float parameter)
{
    if (!(parameter > 0.0f)) return kMuted;
    const long position = std::lround(std::min(parameter, 1.0f) * ChordValues::kLastPosition);
    return static_cast<int32_t>(position) + kMuted;
}

}  // namespace controls
