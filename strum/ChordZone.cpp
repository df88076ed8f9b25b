// Reading the chord zone through the chord namer.
#include "strum/ChordZone.h"

#include <bitset>

#include "strum/ChordNamer.h"

namespace {

constexpr int kMajor = 0;
constexpr int kFewestForRelease = 3;

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
    }
    if (!reading.fits() || (reading.root == chordRoot && reading.quality == chordQuality)) {
        return false;
    }
    chordRoot = reading.root;
    chordQuality = reading.quality;
    return true;
}
