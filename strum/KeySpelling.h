// The key a bank of chords suggests, and how that key spells the notes outside C major: a
// set in F writes Bb, a set in A minor G#, and a set that suggests no key sharps.
#pragma once

#include "strum/ChordNamer.h"

namespace chords {

struct Key {
    int tonic = -1;  // pitch class; -1 when no key stands out
    bool minor = false;
};

// The key whose scale holds most of the chords' notes (each pitch class of each chord counts
// one, for or against, a minor key's leading tone neither). A key and its relative share a
// scale: the one whose tonic chord comes first wins, the major key when neither's does.
// When two keys of different scales score alike (the twelve major chords, say) none does.
Key suggestKey(const ChordNotes* chords, int count);

// Notes of the key's scale are spelled as its signature does; the others as they are
// usually borrowed or raised in it (in C major Eb, Ab, Bb, but C# and F#).
Spelling spellingOf(Key key);

// Names each of a bank's chords, spelled in the key the whole bank suggests.
void nameChords(const ChordNotes* chords, int count, ChordName* names);

}  // namespace chords
