// The 25 recordings of the two sound sets, how each is loaded from its resource, and how a
// set is laid onto the sampler's note map.
#pragma once

#include <cstdint>

#include "resources/recording-table.h"
#include "sound/RiffReader.h"
#include "sound/Sampler.h"
#include "sound/WaveData.h"

// The recordings themselves (ids, roots, sets, in load order) are listed once, in
// resources/resources.txt, from which the build writes resources/recording-table.h.
using SoundSet = recordings::SoundSet;
constexpr int32_t kAcousticCount = 9;
constexpr int32_t kElectricCount = 16;

// Loads one recording: its 16-bit samples, played in place, looping the last two.
// True when the resource was opened and scanned, even if it held no usable samples.
bool loadWave(CRiffReader& reader, int32_t resourceId, CWaveData& record, float rootFrequency);

// Loads every recording of the table into its record; a failed row keeps the silent default.
void loadSoundSets(CRiffReader& reader, CWaveData (&acoustic)[kAcousticCount],
                   CWaveData (&electric)[kElectricCount]);

// Each note plays the recording with the highest root not above it; notes below every
// root play the lowest recording.
void selectAcousticSet(CSampler& sampler, const CWaveData (&acoustic)[kAcousticCount]);
void selectElectricSet(CSampler& sampler, const CWaveData (&electric)[kElectricCount]);
