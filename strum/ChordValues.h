// The shape of the chord bank and how one string's position travels as a parameter value:
// the strum engine stores it, the instrument's parameters carry it, the panel shows it.
#pragma once

#include <cstdint>

struct ChordValues {
    static constexpr int32_t kChordCount = 12;
    static constexpr int32_t kStringCount = 6;
    // MIDI notes of the open strings, lowest first: the standard tuning E A D G B E.
    static constexpr int32_t kOpenStrings[kStringCount] = {40, 45, 50, 55, 59, 64};
    // Positions 0 (muted), 1 (open) and 2..19 (frets 1..18).
    static constexpr int32_t kLastPosition = 19;
    // The float nearest 1/19: the distance between two neighbouring positions of a string.
    static constexpr float kPositionStep = 0.05263158f;
};
