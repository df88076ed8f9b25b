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

// A string port holds 0 (muted), 1 (open) or 2 to 19 (frets 1 to 18).
constexpr int32_t kStringPositions = ChordValues::kLastPosition + 1;
constexpr int32_t kSoundSetCount = 2;

constexpr const char* kChordRoots[ChordValues::kChordCount] = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
constexpr const char* kStringNames[ChordValues::kStringCount] = {
    "low E", "A", "D", "G", "B", "high E"};
constexpr const char* kSoundSetNames[kSoundSetCount] = {"acoustic", "electric"};

constexpr bool isStringPort(uint32_t port)
{
    return port >= kFirstString && port < kSoundSet;
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

// The port value of a string position and back, through the parameter encoding k/19.
inline float stringParameter(int32_t position)
{
    return static_cast<float>(position) * ChordValues::kPositionStep;
}
int32_t stringPosition(float parameter);

// The symbol of a control port: "chord1_string1" to "chord12_string6", "sound_set",
// "reset", "chord"; hosts save sessions under these.
std::string portSymbol(uint32_t port);
// "Chord 1 (C) string 1 (low E)", "Chord 12 (B)", "fret 3".
std::string stringPortName(int32_t chord, int32_t string);
std::string chordLabel(int32_t chord);
std::string positionLabel(int32_t position);

}  // namespace lv2ports
