// The chord zone: keys 0 to 47, where the notes held in any octave, voicing or inversion
// are read as one chord of the chord namer's vocabulary. Audio thread only.
#pragma once

#include <cstdint>

class ChordZone
{
public:
    static constexpr uint32_t kKeys = 48;

    static bool holds(uint32_t note) { return note < kKeys; }

    // Each returns whether the chord read from the zone changed. A lone pitch class is its
    // major chord; notes that fit no chord leave the chord as it was. A release reads the
    // zone again only while three notes or more stay held, so that a hand leaving a chord
    // note by note does not change it on the way.
    bool press(uint32_t note);
    bool release(uint32_t note);
    void clear();

    bool empty() const { return held == 0; }
    int root() const { return chordRoot; }        // pitch class, -1 before any chord
    int quality() const { return chordQuality; }  // index into the namer's vocabulary
    // root x the vocabulary's size + quality: one number for the chord, -1 before any.
    int32_t chordNumber() const;

private:
    bool read();

    uint64_t held = 0;  // bit n: key n is down
    int chordRoot = -1;
    int chordQuality = -1;
};
