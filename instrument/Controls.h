// The musician's instrument's controls, written once for every plug-in format: their ids,
// symbols, names, groups, ranges in the guitarist's own units, defaults, flags and value
// texts. The LV2 ports, the CLAP and VST3 parameters, the state, the panel's ports, the
// Turtle generator, the render tool and the tests all read them here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/PlektraParameters.h"
#include "strum/ChordNamer.h"

namespace controls {

// Hosts keep these ids in sessions and automation for ever: an id never changes meaning and
// is never reused. A new control takes the next id after the last, before kCount. The LV2
// plug-in's port of a control is its id plus a fixed offset, so its ports keep their index.
enum Id : uint32_t {
    kFirstString = 0,  // chord n string s is kFirstString + n x 6 + s, as its parameter
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
    // Playing as a guitarist does, beyond the VST module's instrument, off at their defaults.
    kCapo,
    kTuning,
    kArticulationKeys,
    kVariation,
    kCount,
};

// A value for every control, by id: the instrument's settings, as a state holds them.
// Outputs and the reset trigger are carried along but never set anything.
using Settings = std::array<float, kCount>;

enum Flag : uint32_t {
    kOutput = 1u << 0,           // read-only: the instrument writes it
    kTrigger = 1u << 1,          // an action, not a setting: kept in no state
    kEnumeration = 1u << 2,      // each value has a name of its own
    kCausesArtifacts = 1u << 3,  // a change stops strings that ring
    kInteger = 1u << 4,          // whole numbers only: hosts step it, never glide
};

// The range of a control in its own units, and its default, which leaves the instrument
// playing exactly as the VST module.
struct Range
{
    float minimum;
    float maximum;
    float defaultValue;
};

// A string holds the guitarist's own numbers, as in tablature: -1 muted, 0 open, 1 to 18 the
// fret. The instrument's parameter counts the same positions from 0 (muted).
constexpr int32_t kMuted = -1;
constexpr int32_t kHighestFret = ChordValues::kLastPosition - 1;
// The recognised chord before any chord; else root x the namer's vocabulary size + quality.
constexpr int32_t kNoChord = -1;
constexpr int32_t kSoundSetCount = 2;
constexpr int32_t kChordInputCount = 2;
constexpr float kLargestSeed = 65535.0f;

constexpr const char* kChordRoots[ChordValues::kChordCount] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                               "F#", "G",  "G#", "A",  "A#", "B"};
constexpr const char* kStringNames[ChordValues::kStringCount] = {"low E", "A", "D",
                                                                 "G",     "B", "high E"};
constexpr const char* kSoundSetNames[kSoundSetCount] = {"acoustic", "electric"};
constexpr const char* kChordInputNames[kChordInputCount] = {"chord keys", "held notes"};
constexpr const char* kArticulationKeysNames[2] = {"off", "on"};

constexpr bool isString(uint32_t id) { return id >= kFirstString && id < kSoundSet; }
constexpr bool isPlayingAid(uint32_t id)
{
    return (id >= kChordInput && id < kRecognisedChord) || (id > kRecognisedChord && id < kCount);
}
// The capo, the tuning and the articulation keys, among the playing aids.
constexpr bool isGuitarControl(uint32_t id) { return id > kRecognisedChord && id < kCount; }

// Allocate nothing: the audio thread uses them. The id must be below kCount.
Range range(uint32_t id);
uint32_t flags(uint32_t id);
// A value held to the control's range and rounded on integer controls; NaN gives the default.
float held(uint32_t id, float value);
// The number of patterns, the largest value of kPattern.
int32_t patternCount();

// A format that carries every control as a number from 0 to 1 (VST3): a value in the
// control's own units as that number, and back, held to the range (NaN gives the default).
double normalised(uint32_t id, float value);
float fromNormalised(uint32_t id, double normalisedValue);

// Built on the host's thread: they allocate.
// "chord1_string1" to "chord12_string6", "sound_set", "reset", "chord", "pattern", ...
std::string symbol(uint32_t id);
// "Chord 1 (C) string 1 (low E)", "Sound set", "Strum pattern", ...
std::string name(uint32_t id);
// "Chord 1 (C)" to "Chord 12 (B)" for strings, "Held chords and patterns" for the playing
// aids, empty for the instrument's own controls.
std::string group(uint32_t id);
// What the control does, for a host's tooltip or a plug-in description.
std::string comment(uint32_t id);
// An LV2 units URI's last part ("ms", "pc"), or empty.
const char* unit(uint32_t id);
// The value as a musician reads it: "muted", "open", "fret 5", "electric", "Folk strum",
// "Am7", "0.33", "12 ms". The value is held to the range first.
std::string valueText(uint32_t id, float value);
// The value of a text, as valueText writes it or as a plain number; false for a text that
// names no value of the control.
bool parseValue(uint32_t id, const std::string& text, float& value);

// "Chord 1 (C)".
std::string chordLabel(int32_t chord);
// "muted", "open", "fret 3".
std::string fretLabel(int32_t fret);
// "none" for kNoChord, else the chord's name: "C", "C#m", "A7sus4".
std::string recognisedChordLabel(int32_t chord);
// "off", then the patterns' names.
std::string patternLabel(int32_t pattern);

// A string's fret as the instrument's parameter value (position k as k/19) and back.
inline float parameterOfFret(int32_t fret)
{
    return static_cast<float>(fret - kMuted) * ChordValues::kPositionStep;
}
int32_t fretOfParameter(float parameter);

}  // namespace controls
