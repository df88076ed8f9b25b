// Fingering a chord on strings tuned any way, as a guitarist works one out on an unfamiliar
// tuning: chord tones on neighbouring strings, the bass lowest, within a hand's reach, open
// strings where they ring true, near where the hand was. Fixed storage, no allocation: the
// audio thread searches when a held chord changes.
#pragma once

#include <cstdint>

#include "strum/ChordNamer.h"

namespace voicings {

// Frets from the lowest fretted to the highest, inclusive, that one hand holds.
constexpr int kReach = 4;
constexpr int kMostFingers = 4;
constexpr int kFewestStrings = 3;

// The fingers a fingering takes, a finger barring the strings at one fret where every string
// between is fretted higher.
int fingersOf(const chords::Fingering& fingering);

// open: what the open strings sound (the tuning with its capo), lowest first; the frets found
// count from the capo. bass: the pitch class to play lowest, the root for a plain chord.
// position: the neck position of the chord before (its lowest fretted fret, 0 for open).
// False when no fingering within frets 0 to 18 holds the chord.
bool findVoicing(const int32_t (&open)[chords::kStringCount], int root, int quality, int bass,
                 int position, chords::Fingering& fingering);

}  // namespace voicings
