// The LV2 plug-in's identity and ports, written once: the plug-in, its panel, the Turtle
// generator and the tests all read them here.
#pragma once

#include <cstdint>
#include <string>

#include "host/PlektraParameters.h"
#include "strum/ChordNamer.h"

namespace lv2ports {

// Hosts store sessions under these; they never change.
constexpr const char* kPluginUri = "urn:lyrevane:lv2:lyrevane";
constexpr const char* kUiUri = "urn:lyrevane:lv2:lyrevane#panel";

// The panel's reset button sends this object to the events port, once a press: a control
// port's value is only seen at each block, so a press lowered again before the next block,
// or two presses, would be lost.
constexpr const char* kResetMessageUri = "urn:lyrevane:lv2:lyrevane#Reset";

// The binaries inside the bundle.
constexpr const char* kDspBinary = "lyrevane-dsp.so";
constexpr const char* kUiBinary = "lyrevane-ui.so";

enum Port : uint32_t {
    kEvents = 0,  // MIDI and time:Position in
    kLeft = 1,
    kRight = 2,
    kFirstString = 3,  // chord n string s is kFirstString + n x 6 + s, as its parameter
    kSoundSet = kFirstString + kChordParameterCount,
    kReset,
    kPlayedChord,  // output
    // The playing aids beyond the VST module's instrument, off at their defaults.
    kChordInput,
    kPattern,
    kSwing,
    kPatternVelocity,
    kHumaniseTime,
    kHumaniseVelocity,
    kSeed,
    kRecognisedChord,  // output
    kPortCount,
};

// The playing-aid input ports, in port order: each a number within its range, its default
// leaving the instrument exactly as the VST module plays.
struct AidPort {
    Port port;
    const char* symbol;
    const char* name;
    const char* comment;
    float minimum;
    float maximum;
    float defaultValue;
    bool integer;
    const char* unit;  // an LV2 units URI's last part ("ms", "pc"), or empty
};

constexpr int32_t kChordInputCount = 2;
constexpr const char* kChordInputNames[kChordInputCount] = {"chord keys", "held notes"};
constexpr float kLargestSeed = 65535.0f;

inline constexpr AidPort kAidPorts[] = {
    {kChordInput, "chord_input", "Chord input",
     "Where the chord comes from: the twelve chord keys (48 to 59) only, or also the notes "
     "held below them (0 to 47), read as a chord in any octave or inversion and fingered "
     "from the factory chord sets or the nearest movable shape.",
     0.0f, 1.0f, 0.0f, true, ""},
    {kPattern, "pattern", "Strum pattern",
     "A strum pattern played on the current chord, locked to the host's bars and beats while "
     "its transport rolls, and from the first held note while a chord is held with the "
     "transport stopped.",
     0.0f, 0.0f /* the number of patterns, below */, 0.0f, true, ""},
    {kSwing, "swing", "Swing",
     "How late the off-beat eighths of a pattern come, in eighths: 0 straight, 0.33 a triplet "
     "feel, 0.5 the most.",
     0.0f, 0.5f, 0.0f, false, ""},
    {kPatternVelocity, "pattern_velocity", "Pattern velocity",
     "The velocity of a pattern's strokes; accented strokes play halfway from it to 127.",
     1.0f, 127.0f, 100.0f, true, ""},
    {kHumaniseTime, "humanise_time", "Humanise timing",
     "The most a pattern's stroke moves early or late, in milliseconds.", 0.0f, 30.0f, 0.0f,
     false, "ms"},
    {kHumaniseVelocity, "humanise_velocity", "Humanise velocity",
     "The most a pattern's stroke is louder or softer, in percent.", 0.0f, 30.0f, 0.0f, false,
     "pc"},
    {kSeed, "seed", "Humanise seed",
     "Which of the humaniser's performances plays: the same seed plays a song the same way "
     "every time.",
     0.0f, kLargestSeed, 0.0f, true, ""},
};

constexpr bool aidPortsInPortOrder()
{
    uint32_t port = kChordInput;
    for (const AidPort& aid : kAidPorts) {
        if (aid.port != port++) return false;
    }
    return port == kRecognisedChord;
}
static_assert(aidPortsInPortOrder(), "kAidPorts describes kChordInput to kSeed in order");

constexpr bool isAidPort(uint32_t port)
{
    return port >= kChordInput && port < kRecognisedChord;
}
// The description of a playing-aid port; the port must be one.
const AidPort& aidPort(uint32_t port);
// The largest value of the pattern port: the number of patterns.
int32_t patternCount();
// A port value held to its range (NaN counts as the default), and rounded on integer ports.
float heldAidValue(uint32_t port, float value);

// "none" for kNoChord, else the chord's name: "C", "C#m", "A7sus4".
std::string recognisedChordLabel(int32_t chord);

// A string port holds the guitarist's own numbers, as in tablature: -1 muted, 0 open, 1 to
// 18 the fret. The instrument's parameter counts the same positions from 0 (muted).
constexpr int32_t kMuted = -1;
// The recognised chord output before any chord: else root x the namer's vocabulary size +
// quality.
constexpr int32_t kNoChord = -1;
constexpr int32_t kHighestFret = ChordValues::kLastPosition - 1;
constexpr int32_t kSoundSetCount = 2;

// The values an integer control port takes; values outside are held to them.
struct Range {
    int32_t minimum;
    int32_t maximum;
};

constexpr const char* kChordRoots[ChordValues::kChordCount] = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
constexpr const char* kStringNames[ChordValues::kStringCount] = {
    "low E", "A", "D", "G", "B", "high E"};
constexpr const char* kSoundSetNames[kSoundSetCount] = {"acoustic", "electric"};

constexpr bool isStringPort(uint32_t port)
{
    return port >= kFirstString && port < kSoundSet;
}

constexpr Range rangeOf(uint32_t port)
{
    if (isStringPort(port)) return {kMuted, kHighestFret};
    if (port == kSoundSet) return {0, kSoundSetCount - 1};
    if (port == kPlayedChord) return {0, ChordValues::kChordCount - 1};
    if (port == kRecognisedChord) return {kNoChord, 12 * chords::kQualityCount - 1};
    return {0, 1};  // reset
}

// The instrument parameter a control port drives, or -1 for ports that drive none.
constexpr int32_t parameterOfPort(uint32_t port)
{
    if (isStringPort(port)) return static_cast<int32_t>(port - kFirstString);
    if (port == kSoundSet) return kSoundSetParameter;
    if (port == kReset) return kResetParameter;
    if (port == kPlayedChord) return kSelectedChordParameter;
    return -1;
}

// A string port's value as the instrument's parameter value (position k as k/19) and back.
inline float parameterOfFret(int32_t fret)
{
    return static_cast<float>(fret - kMuted) * ChordValues::kPositionStep;
}
int32_t fretOfParameter(float parameter);

// The symbol of a control port: "chord1_string1" to "chord12_string6", "sound_set",
// "reset", "chord"; hosts save sessions under these.
std::string portSymbol(uint32_t port);
// "Chord 1 (C) string 1 (low E)", "Chord 12 (B)", "fret 3".
std::string stringPortName(int32_t chord, int32_t string);
std::string chordLabel(int32_t chord);
std::string fretLabel(int32_t fret);

}  // namespace lv2ports
