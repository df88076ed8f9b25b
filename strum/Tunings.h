// The tunings the strings may take and the capo: what the strings sound open. Chords stay
// written in frets above the capo, as a guitarist reads a chord chart; only their sounding
// pitches follow the tuning and the capo.
#pragma once

#include <cstdint>
#include <iterator>

#include "strum/ChordValues.h"

namespace tunings {

constexpr int32_t kStringCount = ChordValues::kStringCount;

struct Tuning
{
    const char* symbol;  // hosts and files keep the tuning's number; this is for people
    const char* name;
    int32_t open[kStringCount];  // MIDI notes of the open strings, lowest first
};

// A tuning's number is what a host stores, so entries are only ever added at the end. The
// first is the standard tuning, which plays exactly as an instrument without tunings.
inline constexpr Tuning kTunings[] = {
    {"standard", "Standard (E A D G B E)", {40, 45, 50, 55, 59, 64}},
    {"drop-d", "Drop D (D A D G B E)", {38, 45, 50, 55, 59, 64}},
    {"half-step-down", "Half step down (Eb Ab Db Gb Bb Eb)", {39, 44, 49, 54, 58, 63}},
    {"whole-step-down", "Whole step down (D G C F A D)", {38, 43, 48, 53, 57, 62}},
    {"drop-c", "Drop C (C G C F A D)", {36, 43, 48, 53, 57, 62}},
    {"open-g", "Open G (D G D G B D)", {38, 43, 50, 55, 59, 62}},
    {"open-d", "Open D (D A D F# A D)", {38, 45, 50, 54, 57, 62}},
    {"open-e", "Open E (E B E G# B E)", {40, 47, 52, 56, 59, 64}},
    {"dadgad", "DADGAD (D A D G A D)", {38, 45, 50, 55, 57, 62}},
};
constexpr int32_t kTuningCount = static_cast<int32_t>(std::size(kTunings));
constexpr int32_t kHighestCapo = 12;

// A tuning number and a capo fret, each held to its range.
int32_t heldTuning(int32_t tuning);
int32_t heldCapo(int32_t capo);

// What the open strings sound with the capo on, lowest first. Out-of-range numbers are held
// to the nearest valid one.
using OpenStrings = int32_t[kStringCount];
void openStrings(int32_t tuning, int32_t capo, OpenStrings& open);

}  // namespace tunings
