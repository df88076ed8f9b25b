// The chord namer: readings of pitch-class sets and the names written from them.
#include "strum/ChordNamer.h"

#include <bitset>

namespace chords {

namespace {

constexpr PitchClassSet kAllPitchClasses = 0x0FFF;

// The set seen from a root: bit i is set when the pitch class i semitones above it sounds.
PitchClassSet above(PitchClassSet sounding, int root)
{
    const unsigned doubled = sounding | (static_cast<unsigned>(sounding) << 12);
    return static_cast<PitchClassSet>((doubled >> root) & kAllPitchClasses);
}

// Appends text without passing the end; the name stays terminated.
class NameWriter
{
public:
    explicit NameWriter(ChordName& name) : name_(name) {}

    void append(const char* text)
    {
        for (; *text != '\0' && used_ + 1 < name_.text.size(); ++text) {
            name_.text[used_++] = *text;
        }
        name_.text[used_] = '\0';
    }

private:
    ChordName& name_;
    size_t used_ = 0;
};

constexpr const char* kSharpNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                         "F#", "G",  "G#", "A",  "A#", "B"};
constexpr const char* kFlatNames[12] = {"C",  "Db", "D",  "Eb", "E",  "F",
                                        "Gb", "G",  "Ab", "A",  "Bb", "B"};

int pitchClassOf(int32_t note)
{
    return static_cast<int>(note % 12);
}

}  // namespace

PitchClassSet pitchClassesOf(const int32_t* notes, int count)
{
    PitchClassSet set = 0;
    for (int i = 0; i < count; ++i) {
        if (notes[i] >= 0) {
            set |= pitchClassBit(pitchClassOf(notes[i]));
        }
    }
    return set;
}

int32_t lowestNote(const int32_t* notes, int count)
{
    int32_t lowest = -1;
    for (int i = 0; i < count; ++i) {
        if (notes[i] >= 0 && (lowest < 0 || notes[i] < lowest)) {
            lowest = notes[i];
        }
    }
    return lowest;
}

int pitchClassCount(PitchClassSet set)
{
    return static_cast<int>(std::bitset<12>(set).count());
}

Reading identify(PitchClassSet sounding, int bassPitchClass)
{
    Reading best;
    best.bass = sounding == 0 ? -1 : bassPitchClass;
    int bestOmitted = 0;
    bool bestInBass = false;
    for (int root = 0; root < 12; ++root) {
        if ((sounding & pitchClassBit(root)) == 0) {
            continue;
        }
        const PitchClassSet chord = above(sounding, root);
        for (int quality = 0; quality < kQualityCount; ++quality) {
            const Quality& q = kQualities[quality];
            if ((chord & q.required) != q.required || (chord & ~(q.required | q.optional)) != 0) {
                continue;
            }
            const int omitted = pitchClassCount(q.optional & ~q.spare & ~chord);
            const bool inBass = root == bassPitchClass;
            // Qualities are tried in order of preference, so an equal candidate never wins.
            const bool better = !best.fits() || omitted < bestOmitted ||
                                (omitted == bestOmitted && inBass && !bestInBass) ||
                                (omitted == bestOmitted && inBass == bestInBass &&
                                 quality < best.quality);
            if (better) {
                best.root = root;
                best.quality = quality;
                bestOmitted = omitted;
                bestInBass = inBass;
            }
        }
    }
    return best;
}

const char* noteName(int pitchClass, Spelling spelling)
{
    const int pc = ((pitchClass % 12) + 12) % 12;
    return (spelling.flats & pitchClassBit(pc)) != 0 ? kFlatNames[pc] : kSharpNames[pc];
}

ChordName nameNotes(const int32_t* notes, int count, Spelling spelling)
{
    ChordName name;
    NameWriter writer(name);
    const PitchClassSet sounding = pitchClassesOf(notes, count);
    const int32_t lowest = lowestNote(notes, count);
    if (sounding == 0) {
        writer.append("N.C.");
        return name;
    }
    const Reading reading = identify(sounding, pitchClassOf(lowest));
    if (reading.fits()) {
        writer.append(noteName(reading.root, spelling));
        writer.append(kQualities[reading.quality].suffix);
        if (reading.bass != reading.root) {
            writer.append("/");
            writer.append(noteName(reading.bass, spelling));
        }
        return name;
    }
    // No reading: the notes from the lowest up, each pitch class once.
    writer.append("(");
    PitchClassSet written = 0;
    for (int32_t floor = lowest; floor >= 0;) {
        int32_t next = -1;
        for (int i = 0; i < count; ++i) {
            if (notes[i] >= floor && (next < 0 || notes[i] < next)) {
                next = notes[i];
            }
        }
        if (next < 0) {
            break;
        }
        const int pc = pitchClassOf(next);
        if ((written & pitchClassBit(pc)) == 0) {
            writer.append(written == 0 ? "" : " ");
            writer.append(noteName(pc, spelling));
            written |= pitchClassBit(pc);
        }
        floor = next + 1;
    }
    writer.append(")");
    return name;
}

ChordNotes notesOfFingering(const Fingering& fingering)
{
    ChordNotes notes{};
    for (int string = 0; string < kStringCount; ++string) {
        const int fret = fingering[string];
        notes[string] = fret >= 0 && fret <= kHighestFret ? kOpenStrings[string] + fret : -1;
    }
    return notes;
}

ChordName nameFingering(const Fingering& fingering, Spelling spelling)
{
    const ChordNotes notes = notesOfFingering(fingering);
    return nameNotes(notes.data(), kStringCount, spelling);
}

}  // namespace chords
