// Names guitar chords: from the pitch classes that sound and the bass to a root and a quality
// of one vocabulary, and from there to the name a guitarist writes ("Am7", "D/F#"). Nothing
// here allocates, so the audio thread may name what it hears.
#pragma once

#include "strum/ChordValues.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace chords {

// Pitch classes as bits: bit p is set when pitch class p (0 = C, 1 = C#/Db, ... 11 = B) sounds.
using PitchClassSet = uint16_t;

constexpr PitchClassSet pitchClassBit(int pitchClass)
{
    return static_cast<PitchClassSet>(1u << pitchClass);
}

// The pitch classes of MIDI notes, and the lowest note (-1 when none sounds); negative notes
// do not sound.
PitchClassSet pitchClassesOf(const int32_t* notes, int count);
int32_t lowestNote(const int32_t* notes, int count);
int pitchClassCount(PitchClassSet set);

// One quality of the vocabulary, as intervals in semitones above the root.
struct Quality {
    const char* suffix;      // written after the root: "" for a major chord, "m", "7", ...
    PitchClassSet required;  // intervals that must sound (the root is interval 0)
    PitchClassSet optional;  // intervals that may be left out, mostly the fifth
    // Of those, the ones whose absence leaves the chord complete to a guitarist's ear: the
    // fifth of a seventh or ninth chord, left out of many shapes. A triad or a sixth chord
    // without its fifth is incomplete (C, E and A is Am/C sooner than C6).
    PitchClassSet spare;
};

constexpr PitchClassSet intervals(std::initializer_list<int> semitones)
{
    PitchClassSet set = 0;
    for (int semitone : semitones) {
        set |= pitchClassBit(semitone);
    }
    return set;
}

constexpr PitchClassSet kFifth = pitchClassBit(7);

// The vocabulary. Its order is also the preference between two readings that are equally
// complete and both leave the root out of the bass (Am7/E rather than C6/E). An index into
// it is what a host reads from the instrument, so entries are only ever added at the end.
inline constexpr Quality kQualities[] = {
    {"", intervals({0, 4}), kFifth, 0},
    {"m", intervals({0, 3}), kFifth, 0},
    {"7", intervals({0, 4, 10}), kFifth, kFifth},
    {"maj7", intervals({0, 4, 11}), kFifth, kFifth},
    {"m7", intervals({0, 3, 10}), kFifth, kFifth},
    {"m7b5", intervals({0, 3, 6, 10}), 0, 0},
    {"dim", intervals({0, 3, 6}), 0, 0},
    {"dim7", intervals({0, 3, 6, 9}), 0, 0},
    {"aug", intervals({0, 4, 8}), 0, 0},
    {"sus2", intervals({0, 2, 7}), 0, 0},
    {"sus4", intervals({0, 5, 7}), 0, 0},
    {"7sus4", intervals({0, 5, 10}), kFifth, kFifth},
    {"add9", intervals({0, 2, 4}), kFifth, 0},
    {"6", intervals({0, 4, 9}), kFifth, 0},
    {"m6", intervals({0, 3, 9}), kFifth, 0},
    {"9", intervals({0, 2, 4, 10}), kFifth, kFifth},
    {"m9", intervals({0, 2, 3, 10}), kFifth, kFifth},
    {"5", intervals({0, 7}), 0, 0},
};
constexpr int kQualityCount = static_cast<int>(std::size(kQualities));

// What a set of sounding pitch classes is: a root and a quality, or nothing that fits.
struct Reading {
    int root = -1;     // pitch class; -1 when no quality of the vocabulary fits
    int quality = -1;  // index into kQualities
    int bass = -1;     // pitch class of the lowest note; -1 when nothing sounds

    bool fits() const { return root >= 0; }
};

// The reading a guitarist would give: of the qualities that hold every sounding pitch class,
// the one leaving out fewest tones that are not spare, then one with its root in the bass
// (Am7, not C6/A), then the earlier quality of the vocabulary.
Reading identify(PitchClassSet sounding, int bassPitchClass);

// Which pitch classes are written with a flat ("Bb") instead of a sharp ("A#").
struct Spelling {
    PitchClassSet flats = 0;
};

const char* noteName(int pitchClass, Spelling spelling);

// A chord name as text; long enough for the longest, six notes named one by one.
struct ChordName {
    std::array<char, 32> text{};

    const char* c_str() const { return text.data(); }
};

// "N.C." where nothing sounds; the reading's name ("C", "Am7", "D/F#"); otherwise the notes'
// names, each once, from the lowest up, in brackets ("(C D F#)"). Notes are MIDI note numbers
// in any order; negative ones do not sound.
ChordName nameNotes(const int32_t* notes, int count, Spelling spelling = {});

// The standard tuning E A D G B E, lowest string first.
constexpr int kStringCount = ChordValues::kStringCount;
inline constexpr const int32_t (&kOpenStrings)[kStringCount] = ChordValues::kOpenStrings;
constexpr int kHighestFret = ChordValues::kLastPosition - 1;
constexpr int kMutedString = -1;

// A chord shape, lowest string first: kMutedString, 0 for the open string, or frets 1 to 18.
using Fingering = std::array<int, kStringCount>;
using ChordNotes = std::array<int32_t, kStringCount>;

// The notes a fingering sounds, lowest string first; -1 for a muted string, and for a fret
// outside 0 to 18, which no guitar here has.
ChordNotes notesOfFingering(const Fingering& fingering);

ChordName nameFingering(const Fingering& fingering, Spelling spelling = {});

}  // namespace chords
