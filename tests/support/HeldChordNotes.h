// The notes a left hand holds for a chord of the namer's vocabulary: its tones from the
// inversion's bass upwards, in the octave from a given note. The held-chord tests of the
// engine and of the LV2 plug-in play the same hands.
#pragma once

#include <cstdint>
#include <vector>

#include "strum/ChordNamer.h"

namespace heldchords {

// Every tone of a quality, optional ones included, as intervals above the root.
inline std::vector<int> tonesOf(int quality)
{
    std::vector<int> tones;
    const chords::Quality& q = chords::kQualities[quality];
    for (int i = 0; i < 12; ++i) {
        if ((q.required | q.optional) & chords::pitchClassBit(i)) tones.push_back(i);
    }
    return tones;
}

// The chord's tones, each once, the inversion-th tone lowest, at or above lowest.
inline std::vector<uint32_t> voiced(int root, int quality, int inversion, int lowest)
{
    const std::vector<int> tones = tonesOf(quality);
    std::vector<uint32_t> notes;
    int note = lowest;
    for (size_t i = 0; i < tones.size(); ++i) {
        const int tone = tones[(inversion + i) % tones.size()];
        while ((note % 12) != (root + tone) % 12) ++note;
        notes.push_back(static_cast<uint32_t>(note));
    }
    return notes;
}

}  // namespace heldchords
