// The LV2 plug-in's identity and ports, written once: the plug-in, its panel, the Turtle
// generator and the tests all read them here. Its control ports are the instrument's
// controls (instrument/Controls.h), each at its id plus kFirstControl.
#pragma once

#include <cstdint>
#include <string>

#include "instrument/Controls.h"

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
    kFirstControl = 3,
    kFirstString = kFirstControl + controls::kFirstString,
    kSoundSet = kFirstControl + controls::kSoundSet,
    kReset = kFirstControl + controls::kReset,
    kPlayedChord = kFirstControl + controls::kPlayedChord,  // output
    kChordInput = kFirstControl + controls::kChordInput,
    kPattern = kFirstControl + controls::kPattern,
    kSwing = kFirstControl + controls::kSwing,
    kPatternVelocity = kFirstControl + controls::kPatternVelocity,
    kHumaniseTime = kFirstControl + controls::kHumaniseTime,
    kHumaniseVelocity = kFirstControl + controls::kHumaniseVelocity,
    kSeed = kFirstControl + controls::kSeed,
    kRecognisedChord = kFirstControl + controls::kRecognisedChord,  // output
    kCapo = kFirstControl + controls::kCapo,
    kTuning = kFirstControl + controls::kTuning,
    kArticulationKeys = kFirstControl + controls::kArticulationKeys,
    kVariation = kFirstControl + controls::kVariation,
    kPortCount = kFirstControl + controls::kCount,
};

constexpr bool isControlPort(uint32_t port) { return port >= kFirstControl && port < kPortCount; }
// The control of a control port; the port must be one.
constexpr uint32_t controlOf(uint32_t port) { return port - kFirstControl; }
constexpr uint32_t portOf(uint32_t control) { return control + kFirstControl; }

// The symbol of a control port, as hosts save sessions and presets under it.
inline std::string portSymbol(uint32_t port)
{
    return isControlPort(port) ? controls::symbol(controlOf(port)) : "";
}

constexpr bool isStringPort(uint32_t port) { return port >= kFirstString && port < kSoundSet; }

// The instrument parameter a control port drives, or -1 for ports that drive none.
constexpr int32_t parameterOfPort(uint32_t port)
{
    if (isStringPort(port)) return static_cast<int32_t>(port - kFirstString);
    if (port == kSoundSet) return kSoundSetParameter;
    if (port == kReset) return kResetParameter;
    if (port == kPlayedChord) return kSelectedChordParameter;
    return -1;
}

}  // namespace lv2ports
