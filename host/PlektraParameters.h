// The instrument's host parameters: their numbers and the steps their values move in. The
// panel includes this rather than the instrument.
#pragma once

#include <cstdint>

#include "strum/ChordValues.h"

// Six strings of each of the twelve chords, then two unused indices, then three that read
// back the instrument's state and trigger its changes.
enum PlektraParameter : int32_t {
    kChordParameterCount = ChordValues::kChordCount * ChordValues::kStringCount,  // 0..71
    kSelectedChordParameter = 74,
    kSoundSetParameter = 75,
    kResetParameter = 76,
    kParameterCount = 77,
};

// The float nearest 1/11: chord n reads back as n x 1/11, chord 11 as 1.0.
constexpr float kChordStep = 0.09090909f;
