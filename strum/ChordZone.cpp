// Reading the chord zone through the chord namer.
#include "strum/ChordZone.h"

#include <bitset>

#include "strum/ChordNamer.h"

namespace {

constexpr int kMajor = 0;
constexpr int kFewestForRelease = 3;
// The fewest pitch classes a chord read with one left out keeps.
constexpr int kFewestLeftAfterOne = 3;
// The tones a chord may carry beyond the vocabulary, in semitones above its root: the 9th,
// 11th and 13th (Am add9). Any other tone left out would read a cluster as a chord.
constexpr chords::PitchClassSet kAddedTones = chords::intervals({2, 5, 9});

// The tones of a reading's quality, beyond the spare ones, that the set leaves out.
int missingTones(chords::PitchClassSet set, const chords::Reading& reading)
{
    const unsigned doubled = set | (static_cast<unsigned>(set) << 12);
    const auto fromRoot = static_cast<chords::PitchClassSet>((doubled >> reading.root) & 0x0FFF);
    const chords::Quality& quality = chords::kQualities[reading.quality];
    return chords::pitchClassCount(quality.optional & ~quality.spare & ~fromRoot);
}

// A set no chord holds, read as the chord that holds all of it but one added tone, by the namer's own preferences among them:
// fewest missing tones, the root in the bass, the earlier quality.
chords::Reading readingLeavingOneOut(chords::PitchClassSet sounding, int bass)
{
    chords::Reading best;
    int bestMissing = 0;
    for (int pc = 0; pc < 12; ++pc) {
        const chords::PitchClassSet rest = sounding & ~chords::pitchClassBit(pc);
        if (rest == sounding || chords::pitchClassCount(rest) < kFewestLeftAfterOne) continue;
        const chords::Reading reading = chords::identify(rest, bass);
        if (!reading.fits() ||
            (kAddedTones & chords::pitchClassBit((pc - reading.root + 12) % 12)) == 0) {
            continue;
        }
        const int missing = missingTones(rest, reading);
        const bool inBass = reading.root == bass;
        const bool bestInBass = best.root == bass;
        const bool better = !best.fits() || missing < bestMissing ||
                            (missing == bestMissing && inBass && !bestInBass) ||
                            (missing == bestMissing && inBass == bestInBass &&
                             reading.quality < best.quality);
        if (better) {
            best = reading;
            bestMissing = missing;
        }
    }
    return best;
}

}  // namespace

bool ChordZone::press(uint32_t note)
{
    if (!holds(note)) return false;
    held |= uint64_t{1} << note;
    return read();
}

bool ChordZone::release(uint32_t note)
{
    if (!holds(note) || (held & (uint64_t{1} << note)) == 0) return false;
    held &= ~(uint64_t{1} << note);
    return std::bitset<kKeys>(held).count() >= kFewestForRelease && read();
}

void ChordZone::clear()
{
    held = 0;
}

int32_t ChordZone::chordNumber() const
{
    return chordRoot < 0 ? -1 : chordRoot * chords::kQualityCount + chordQuality;
}

bool ChordZone::read()
{
    chords::PitchClassSet pitchClasses = 0;
    int bass = -1;
    for (uint32_t note = 0; note < kKeys; ++note) {
        if ((held & (uint64_t{1} << note)) == 0) continue;
        if (bass < 0) bass = static_cast<int>(note % 12);
        pitchClasses |= chords::pitchClassBit(static_cast<int>(note % 12));
    }
    chords::Reading reading;
    if (chords::pitchClassCount(pitchClasses) == 1) {
        reading.root = bass;
        reading.quality = kMajor;
    } else {
        reading = chords::identify(pitchClasses, bass);
        if (!reading.fits()) reading = readingLeavingOneOut(pitchClasses, bass);
    }
    if (!reading.fits() || (reading.root == chordRoot && reading.quality == chordQuality)) {
        return false;
    }
    chordRoot = reading.root;
    chordQuality = reading.quality;
    return true;
}
