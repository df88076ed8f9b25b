// Guitar fingerings for chords recognised from held notes: a factory chord set's fingering
// where one exists, else a movable shape of strum/voicings.txt at the place on the neck
// nearest the chord played before. Nothing here allocates; the audio thread chooses.
#pragma once

#include <array>
#include <cstdint>

#include "strum/ChordNamer.h"

namespace voicings {

// A string a shape leaves unplayed; apart from it, frets are relative and may be negative.
constexpr int kNotPlayed = -100;

struct ChordShape {
    const char* quality;  // the namer's suffix: "" major, "m", "7", ...
    const char* name;     // "E-shape", "A-shape", ...
    int frets[chords::kStringCount];
};

// Where a fingering sits on the neck: its lowest fretted string's fret, 0 for open strings.
int neckPosition(const chords::Fingering& fingering);
// The same for the notes a chord sounds (-1 for a muted string), in standard tuning.
int neckPosition(const int32_t (&notes)[chords::kStringCount]);

class VoicingTable
{
public:
    VoicingTable();

    // The fingering of root (pitch class) and quality (index into the namer's vocabulary):
    // the factory sets' where they have one, else the shape nearest the neck position of
    // the chord before; false when no shape fits.
    bool choose(int root, int quality, int position, chords::Fingering& fingering) const;
    // The same on strings that sound open as given (a tuning with its capo), frets counted
    // from the capo: where they are the standard tuning moved by some semitones (a capo, a
    // tuning a half or a whole step down) the standard fingering of the chord as many
    // semitones away, as a guitarist keeps his shapes; otherwise the voicing finder's.
    bool choose(const int32_t (&open)[chords::kStringCount], int root, int quality, int position,
                chords::Fingering& fingering) const;

    // The factory sets' fingering of a chord, null when they have none.
    const chords::Fingering* factoryFingering(int root, int quality) const;
    // The movable shape nearest the position; false when none fits.
    bool nearestShape(int root, int quality, int position, chords::Fingering& fingering) const;

private:
    // Per chord (root x the vocabulary's size + quality), the index of its factory
    // fingering, -1 for none; the same for every instance, worked out once.
    struct Factory {
        Factory();
        std::array<int16_t, 12 * chords::kQualityCount> fingering;
    };
    static const Factory& factory();

    std::array<int, 64> shapeQuality{};  // index into the namer's vocabulary, per shape
};

}  // namespace voicings
