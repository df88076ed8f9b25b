// The voicing search: every window of four frets up the neck, every run of neighbouring
// strings from the bass up, each string on a chord tone in the window or open; the best by a
// guitarist's preferences, kept only if the chord namer reads it back as the chord.
#include "strum/VoicingFinder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace voicings {

namespace {

using chords::kStringCount;

// A guitarist's preferences as costs: a chord tone left out weighs most, then each string
// left unplayed (a strum sounds fuller on more strings), the distance the hand moves, the
// fingers it needs; each open string rings for free and is worth a little.
constexpr int kMissingToneCost = 8;
constexpr int kUnplayedStringCost = 3;
constexpr int kFretMovedCost = 1;
constexpr int kFingerCost = 1;
constexpr int kOpenStringCost = -1;

int pitchClass(int32_t note) { return static_cast<int>(note % 12); }

class Search
{
public:
    Search(const int32_t (&open)[kStringCount], int root, int quality, int bass, int position)
        : open(open), root(root), quality(quality), bass(bass), position(position)
    {
        const chords::Quality& q = chords::kQualities[quality];
        for (int i = 0; i < 12; ++i) {
            const chords::PitchClassSet bit = chords::pitchClassBit((root + i) % 12);
            if ((q.required | q.optional) & chords::pitchClassBit(i)) tones |= bit;
            if (q.required & chords::pitchClassBit(i)) required |= bit;
        }
    }

    bool run(chords::Fingering& fingering)
    {
        for (int low = 1; low + kReach - 1 <= chords::kHighestFret; ++low) {
            gatherOptions(low);
            for (int bassString = 0; bassString <= kStringCount - kFewestStrings; ++bassString) {
                current.fill(chords::kMutedString);
                for (int k = 0; k < optionCount[bassString]; ++k) {
                    const int fret = options[bassString][k];
                    if (pitchClass(open[bassString] + fret) != bass) continue;
                    current[bassString] = fret;
                    extend(bassString, bassString + 1);
                }
            }
        }
        if (bestCost == INT_MAX) return false;
        fingering = best;
        return true;
    }

private:
    // Per string, the frets of the window (and the open string) that sound a chord tone.
    void gatherOptions(int low)
    {
        for (int s = 0; s < kStringCount; ++s) {
            optionCount[s] = 0;
            if (tones & chords::pitchClassBit(pitchClass(open[s])))
                options[s][optionCount[s]++] = 0;
            for (int fret = low; fret < low + kReach; ++fret) {
                if (tones & chords::pitchClassBit(pitchClass(open[s] + fret))) {
                    options[s][optionCount[s]++] = fret;
                }
            }
        }
    }

    // Strings bassString to next - 1 are chosen; the run may end here or take the next string.
    void extend(int bassString, int next)
    {
        if (next - bassString >= kFewestStrings) consider(bassString, next);
        if (next == kStringCount) return;
        for (int k = 0; k < optionCount[next]; ++k) {
            current[next] = options[next][k];
            extend(bassString, next + 1);
        }
        current[next] = chords::kMutedString;
    }

    void consider(int bassString, int end)
    {
        chords::PitchClassSet sounding = 0;
        int lowestFret = 0;
        int opens = 0;
        const int32_t bassNote = open[bassString] + current[bassString];
        for (int s = bassString; s < end; ++s) {
            // A low string fretted high may sound above an open string over it.
            if (open[s] + current[s] < bassNote) return;
            sounding |= chords::pitchClassBit(pitchClass(open[s] + current[s]));
            if (current[s] == 0) ++opens;
            if (current[s] > 0 && (lowestFret == 0 || current[s] < lowestFret)) {
                lowestFret = current[s];
            }
        }
        if ((sounding & required) != required) return;
        const int fingers = fingersOf(current);
        if (fingers > kMostFingers) return;
        // Two strings on one note sound as one: the sound engine restrikes the note, cutting
        // the first string off as the second sounds.
        int unisons = 0;
        for (int s = bassString; s < end; ++s) {
            for (int t = s + 1; t < end; ++t) {
                unisons += open[s] + current[s] == open[t] + current[t] ? 1 : 0;
            }
        }
        const int cost = kMissingToneCost * chords::pitchClassCount(tones & ~sounding) +
                         kUnplayedStringCost * unisons +
                         kUnplayedStringCost * (kStringCount - (end - bassString)) +
                         kFretMovedCost * std::abs(lowestFret - position) + kFingerCost * fingers +
                         kOpenStringCost * opens;
        if (cost >= bestCost) return;
        const chords::Reading reading = chords::identify(sounding, bass);
        if (reading.root != root || reading.quality != quality) return;
        bestCost = cost;
        best = current;
    }

    const int32_t (&open)[kStringCount];
    const int root;
    const int quality;
    const int bass;
    const int position;
    chords::PitchClassSet tones = 0;
    chords::PitchClassSet required = 0;
    int options[kStringCount][kReach + 1] = {};
    int optionCount[kStringCount] = {};
    chords::Fingering current{};
    chords::Fingering best{};
    int bestCost = INT_MAX;
};

}  // namespace

int fingersOf(const chords::Fingering& fingering)
{
    int fingers = 0;
    for (int s = 0; s < kStringCount; ++s) {
        if (fingering[s] <= 0) continue;
        // One finger lies flat across strings at one fret (the index finger's barre, the
        // ring finger's over an A-shape) when every string between is fretted higher.
        int below = s - 1;
        while (below >= 0 && fingering[below] > fingering[s])
            --below;
        if (below < 0 || fingering[below] != fingering[s]) ++fingers;
    }
    return fingers;
}

bool findVoicing(const int32_t (&open)[kStringCount], int root, int quality, int bass, int position,
                 chords::Fingering& fingering)
{
    if (root < 0 || root > 11 || quality < 0 || quality >= chords::kQualityCount || bass < 0 ||
        bass > 11) {
        return false;
    }
    for (int32_t note : open) {
        if (note < 0) return false;
    }
    return Search(open, root, quality, bass, position).run(fingering);
}

}  // namespace voicings
