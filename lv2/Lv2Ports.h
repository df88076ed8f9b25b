// The LV2 plug-in's identity and ports, written once: the plug-in, its panel, the Turtle
// generator and the tests all read them here.
#pragma once

#include <cstdint>
#include <string>

#include "host/PlektraParameters.h"

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
    kPortCount,
};

// A string port holds the guitarist's own numbers, as in tablature: -1 muted, 0 open, 1 to
// 18 the fret. The instrument's parameter counts the same positions from 0 (muted).
constexpr int32_t kMuted = -1;
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
