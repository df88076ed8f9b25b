#include "lv2/Lv2Ports.h"

#include <algorithm>
#include <cmath>

#include "strum/PatternTable.h"

namespace lv2ports {

int32_t fretOfParameter(float parameter)
{
    if (!(parameter > 0.0f)) return kMuted;
    const long position = std::lround(std::min(parameter, 1.0f) * ChordValues::kLastPosition);
    return static_cast<int32_t>(position) + kMuted;
}

std::string portSymbol(uint32_t port)
{
    if (isStringPort(port)) {
        const uint32_t parameter = port - kFirstString;
        return "chord" + std::to_string(parameter / ChordValues::kStringCount + 1) + "_string" +
               std::to_string(parameter % ChordValues::kStringCount + 1);
    }
    if (port == kSoundSet) return "sound_set";
    if (port == kReset) return "reset";
    if (port == kPlayedChord) return "chord";
    if (port == kRecognisedChord) return "recognised_chord";
    if (isAidPort(port)) return aidPort(port).symbol;
    return "";
}

std::string stringPortName(int32_t chord, int32_t string)
{
    return chordLabel(chord) + " string " + std::to_string(string + 1) + " (" +
           kStringNames[string] + ")";
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

}  // namespace lv2ports

namespace lv2ports {

const AidPort& aidPort(uint32_t port)
{
    return kAidPorts[port - kChordInput];
}

int32_t patternCount()
{
    return strumpatterns::kCount;
}

float heldAidValue(uint32_t port, float value)
{
    const AidPort& aid = aidPort(port);
    if (std::isnan(value)) return aid.defaultValue;
    const float maximum = port == kPattern ? static_cast<float>(patternCount()) : aid.maximum;
    const float held = std::clamp(value, aid.minimum, maximum);
    return aid.integer ? std::round(held) : held;
}

std::string recognisedChordLabel(int32_t chord)
{
    if (chord < 0 || chord >= 12 * chords::kQualityCount) return "none";
    return std::string(kChordRoots[chord / chords::kQualityCount]) +
           chords::kQualities[chord % chords::kQualityCount].suffix;
}

}  // namespace lv2ports
