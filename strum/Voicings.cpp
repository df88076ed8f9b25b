// Choosing a fingering: the movable shapes placed at every fret where they fit.
#include "strum/Voicings.h"

#include <cstdlib>
#include <iterator>
#include <cstring>
#include <limits>

#include "strum/VoicingFinder.h"
#include "strum/VoicingTable.h"

namespace voicings {

namespace {

constexpr int kShapeCount = static_cast<int>(std::size(kShapes));

int qualityIndex(const char* suffix)
{
    for (int q = 0; q < chords::kQualityCount; ++q) {
        if (std::strcmp(chords::kQualities[q].suffix, suffix) == 0) return q;
    }
    return -1;
}

}  // namespace

int neckPosition(const chords::Fingering& fingering)
{
    int lowest = 0;
    for (int fret : fingering) {
        if (fret > 0 && (lowest == 0 || fret < lowest)) lowest = fret;
    }
    return lowest;
}

int neckPosition(const int32_t (&notes)[chords::kStringCount])
{
    chords::Fingering fingering{};
    for (int s = 0; s < chords::kStringCount; ++s) {
        fingering[s] = notes[s] < 0 ? chords::kMutedString : notes[s] - chords::kOpenStrings[s];
    }
    return neckPosition(fingering);
}

VoicingTable::VoicingTable()
{
    static_assert(kShapeCount <= 64, "room for every shape's quality");
    for (int i = 0; i < kShapeCount; ++i) shapeQuality[i] = qualityIndex(kShapes[i].quality);
    factory();
}

VoicingTable::Factory::Factory()
{
    fingering.fill(-1);
    // Only fingerings with the root in the bass: a held chord is played from its root, and
    // where the sets finger a chord only over another bass (C#/G#) a movable shape does.
    for (int i = 0; i < static_cast<int>(std::size(kFactoryFingerings)); ++i) {
        const chords::ChordNotes notes = chords::notesOfFingering(kFactoryFingerings[i]);
        const int32_t bass = chords::lowestNote(notes.data(), chords::kStringCount);
        if (bass < 0) continue;
        const chords::Reading reading = chords::identify(
            chords::pitchClassesOf(notes.data(), chords::kStringCount), bass % 12);
        if (!reading.fits() || reading.root != reading.bass) continue;
        int16_t& slot = fingering[reading.root * chords::kQualityCount + reading.quality];
        if (slot < 0) slot = static_cast<int16_t>(i);
    }
}

const VoicingTable::Factory& VoicingTable::factory()
{
    // Made by the first instance's constructor, never on the audio thread.
    static const Factory table;
    return table;
}

const chords::Fingering* VoicingTable::factoryFingering(int root, int quality) const
{
    if (root < 0 || root > 11 || quality < 0 || quality >= chords::kQualityCount) return nullptr;
    const int index = factory().fingering[root * chords::kQualityCount + quality];
    return index < 0 ? nullptr : &kFactoryFingerings[index];
}

bool VoicingTable::choose(int root, int quality, int position, chords::Fingering& fingering) const
{
    if (root < 0 || root > 11) return false;
    if (const chords::Fingering* factoryOne = factoryFingering(root, quality)) {
        fingering = *factoryOne;
        return true;
    }
    return nearestShape(root, quality, position, fingering);
}

bool VoicingTable::choose(const int32_t (&open)[chords::kStringCount], int root, int quality,
                          int position, chords::Fingering& fingering) const
{
    const int32_t shift = open[0] - chords::kOpenStrings[0];
    bool standardMoved = true;
    for (int s = 1; s < chords::kStringCount; ++s) {
        standardMoved &= open[s] - chords::kOpenStrings[s] == shift;
    }
    if (standardMoved && root >= 0 && root <= 11) {
        return choose(static_cast<int>(((root - shift) % 12 + 12) % 12), quality, position,
                      fingering);
    }
    return findVoicing(open, root, quality, root, position, fingering);
}

bool VoicingTable::nearestShape(int root, int quality, int position,
                                chords::Fingering& fingering) const
{
    if (root < 0 || root > 11) return false;
    int nearest = std::numeric_limits<int>::max();
    for (int i = 0; i < kShapeCount; ++i) {
        if (shapeQuality[i] != quality) continue;
        const ChordShape& shape = kShapes[i];
        int bass = 0;
        while (bass < chords::kStringCount && shape.frets[bass] == kNotPlayed) ++bass;
        if (bass == chords::kStringCount) continue;
        // The fret where the shape's lowest string plays the root, and an octave up.
        const int first = ((root - chords::kOpenStrings[bass] - shape.frets[bass]) % 12 + 12) % 12;
        for (int base = first; base <= chords::kHighestFret; base += 12) {
            chords::Fingering placed{};
            bool fits = true;
            for (int s = 0; s < chords::kStringCount && fits; ++s) {
                const int fret = shape.frets[s] == kNotPlayed ? chords::kMutedString
                                                              : base + shape.frets[s];
                fits = shape.frets[s] == kNotPlayed || (fret >= 0 && fret <= chords::kHighestFret);
                placed[s] = fret;
            }
            const int distance = std::abs(neckPosition(placed) - position);
            if (fits && distance < nearest) {
                nearest = distance;
                fingering = placed;
            }
        }
    }
    return nearest != std::numeric_limits<int>::max();
}

}  // namespace voicings
