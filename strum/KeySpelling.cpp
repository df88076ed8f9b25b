// Key finding and the spelling of a key.
#include "strum/KeySpelling.h"

namespace chords {

namespace {

constexpr PitchClassSet kMajorScale = intervals({0, 2, 4, 5, 7, 9, 11});
constexpr PitchClassSet kNaturalMinorScale = intervals({0, 2, 3, 5, 7, 8, 10});
constexpr int kLeadingTone = 11;

// Major keys whose signature has flats: F, Bb, Eb, Ab, Db. Gb is written as F#.
constexpr PitchClassSet kFlatMajorKeys = intervals({5, 10, 3, 8, 1});

// Outside the scale, the intervals above the tonic that are written flat; the rest sharp.
constexpr PitchClassSet kFlatInMajor = intervals({3, 8, 10});  // borrowed from the minor
constexpr PitchClassSet kFlatInMinor = intervals({1});         // the Neapolitan second

PitchClassSet transposed(PitchClassSet set, int semitones)
{
    const unsigned doubled = static_cast<unsigned>(set) << semitones;
    return static_cast<PitchClassSet>((doubled | (doubled >> 12)) & 0x0FFF);
}

int scoreOf(const ChordNotes* chords, int count, Key key)
{
    const PitchClassSet scale =
        transposed(key.minor ? kNaturalMinorScale : kMajorScale, key.tonic);
    const PitchClassSet neutral =
        key.minor ? pitchClassBit((key.tonic + kLeadingTone) % 12) : PitchClassSet(0);
    int score = 0;
    for (int chord = 0; chord < count; ++chord) {
        const PitchClassSet set = pitchClassesOf(chords[chord].data(), kStringCount);
        score += pitchClassCount(set & scale) - pitchClassCount(set & ~(scale | neutral));
    }
    return score;
}

// The index of the first chord that is the key's tonic chord (its root the tonic, with the
// key's third and no diminished fifth), or count when there is none.
int firstTonicChord(const ChordNotes* chords, int count, Key key)
{
    const int third = key.minor ? 3 : 4;
    for (int chord = 0; chord < count; ++chord) {
        const int32_t* notes = chords[chord].data();
        const Reading reading = identify(pitchClassesOf(notes, kStringCount),
                                         lowestNote(notes, kStringCount) % 12);
        if (reading.root != key.tonic) {
            continue;
        }
        const PitchClassSet required = kQualities[reading.quality].required;
        if ((required & pitchClassBit(third)) != 0 && (required & pitchClassBit(6)) == 0) {
            return chord;
        }
    }
    return count;
}

}  // namespace

Key suggestKey(const ChordNotes* chords, int count)
{
    Key best;
    int bestScore = 0;
    bool unique = false;
    for (int tonic = 0; tonic < 12; ++tonic) {
        for (bool minor : {false, true}) {
            const Key key{tonic, minor};
            const int score = scoreOf(chords, count, key);
            if (best.tonic < 0 || score > bestScore) {
                best = key;
                bestScore = score;
                unique = true;
                continue;
            }
            if (score == bestScore) {
                // Only a key's relative may tie with it: both read the same scale.
                const int relativeTonic = (best.tonic + (best.minor ? 3 : 9)) % 12;
                if (minor == best.minor || tonic != relativeTonic) {
                    unique = false;
                } else if (firstTonicChord(chords, count, key) <
                           firstTonicChord(chords, count, best)) {
                    best = key;
                }
            }
        }
    }
    return unique ? best : Key{};
}

Spelling spellingOf(Key key)
{
    if (key.tonic < 0) {
        return {};
    }
    const int majorTonic = key.minor ? (key.tonic + 3) % 12 : key.tonic;
    const bool flatSignature = (kFlatMajorKeys & pitchClassBit(majorTonic)) != 0;
    const PitchClassSet scale =
        transposed(key.minor ? kNaturalMinorScale : kMajorScale, key.tonic);
    const PitchClassSet flatOutside =
        transposed(key.minor ? kFlatInMinor : kFlatInMajor, key.tonic);
    Spelling spelling;
    for (int pc = 0; pc < 12; ++pc) {
        const PitchClassSet bit = pitchClassBit(pc);
        const bool flat = (scale & bit) != 0 ? flatSignature : (flatOutside & bit) != 0;
        if (flat) {
            spelling.flats |= bit;
        }
    }
    return spelling;
}

void nameChords(const ChordNotes* chords, int count, ChordName* names)
{
    const Spelling spelling = spellingOf(suggestKey(chords, count));
    for (int chord = 0; chord < count; ++chord) {
        names[chord] = nameNotes(chords[chord].data(), kStringCount, spelling);
    }
}

}  // namespace chords
