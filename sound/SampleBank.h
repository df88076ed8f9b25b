// The recordings of the two sound sets, how each is loaded from its resource, and how a set
// is laid onto the sampler's note maps.
#pragma once

#include <cstdint>

#include "resources/recording-table.h"
#include "sound/RiffReader.h"
#include "sound/Sampler.h"
#include "sound/Take.h"
#include "sound/WaveData.h"

// The recordings themselves (ids, roots, sets, takes, in load order) are listed once, in
// resources/resources.txt, from which the build writes resources/recording-table.h.
using SoundSet = recordings::SoundSet;

constexpr int32_t recordingCount(SoundSet set, Take take)
{
    int32_t count = 0;
    for (const recordings::Recording& recording : recordings::kRecordings) {
        count += recording.set == set && recording.take == take ? 1 : 0;
    }
    return count;
}

constexpr int32_t kAcousticCount = recordingCount(SoundSet::acoustic, Take::ringing);
constexpr int32_t kElectricCount = recordingCount(SoundSet::electric, Take::ringing);

// The palm-muted and dead takes of each set, one per open string, low E to high E.
constexpr int32_t kOpenStringCount = 6;
constexpr int32_t kSetCount = 2;
using StringTakes = CWaveData[kSetCount][kTakeCount - 1][kOpenStringCount];

// Loads one recording: its 16-bit samples, played in place, looping the last two.
// True when the resource was opened and scanned, even if it held no usable samples.
bool loadWave(CRiffReader& reader, int32_t resourceId, CWaveData& record, float rootFrequency);

// Loads every ringing recording of the table into its record; a failed row keeps the silent
// default.
void loadSoundSets(CRiffReader& reader, CWaveData (&acoustic)[kAcousticCount],
                   CWaveData (&electric)[kElectricCount]);
// Loads the takes the binary carries. The VST module carries none: a take that is missing,
// or holds no samples, is never mapped, and its notes play the ringing recordings.
void loadTakes(CRiffReader& reader, StringTakes& takes);

// Each note plays the recording with the highest root not above it; notes below every
// root play the lowest recording.
void selectAcousticSet(CSampler& sampler, const CWaveData (&acoustic)[kAcousticCount]);
void selectElectricSet(CSampler& sampler, const CWaveData (&electric)[kElectricCount]);
// The same for the set's takes, on the sampler's take maps.
void selectTakes(CSampler& sampler, SoundSet set, const StringTakes& takes);
