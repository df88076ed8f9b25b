// The 25 recordings of the two sound sets, how each is loaded from its resource, and how a
// set is laid onto the sampler's note map.
#pragma once

#include <cstdint>

#include "sound/RiffReader.h"
#include "sound/Sampler.h"
#include "sound/WaveData.h"

enum class SoundSet { Acoustic, Electric };

struct Recording
{
    SoundSet set;
    int32_t index;       // within its set
    int32_t resourceId;  // of the "WAVE" resource
    int32_t rootNote;    // MIDI note the recording sounds at
};

constexpr int32_t kAcousticCount = 9;
constexpr int32_t kElectricCount = 16;
constexpr int32_t kRecordingCount = kAcousticCount + kElectricCount;

// In load order: the acoustic set by rising root, then the electric set.
extern const Recording kRecordings[kRecordingCount];

// Loads one recording, converting its 16-bit samples to float and looping the last two.
// True when the resource was opened and scanned, even if it held no usable samples.
bool loadWave(CRiffReader& reader, int32_t resourceId, CWaveData& record, float rootFrequency);

// Loads every row of kRecordings into its record; a failed row keeps the silent default.
void loadSoundSets(CRiffReader& reader, CWaveData (&acoustic)[kAcousticCount],
                   CWaveData (&electric)[kElectricCount]);

// Each note plays the recording with the highest root not above it; notes below every
// root play the lowest recording.
void selectAcousticSet(CSampler& sampler, const CWaveData (&acoustic)[kAcousticCount]);
void selectElectricSet(CSampler& sampler, const CWaveData (&electric)[kElectricCount]);
