// Loading the recordings from their resources and laying a sound set onto the note map.
#include "sound/SampleBank.h"

using recordings::kRecordings;

static_assert(recordings::kRecordingCount == kAcousticCount + kElectricCount,
              "every recording belongs to one of the two sets");

namespace {

constexpr FourCC kData = makeFourCC("data");

// Lays one set onto the map. The set's rows of kRecordings start at firstRow, by rising root.
template <size_t Count>
void selectSet(CSampler& sampler, const CWaveData (&records)[Count], size_t firstRow)
{
    for (int32_t note = 0; note < CSampler::kNoteCount; ++note) {
        size_t chosen = 0;
        for (size_t i = 1; i < Count; ++i) {
            if (kRecordings[firstRow + i].rootNote <= note) {
                chosen = i;
            }
        }
        sampler.mapNote(note, records[chosen]);
    }
}

}  // namespace

bool loadWave(CRiffReader& reader, int32_t resourceId, CWaveData& record, float rootFrequency)
{
    if (!reader.openResource(resourceId)) {
        return false;
    }
    const RiffChunk* dataChunk = reader.findChunk(kData);
    const uint32_t dataSize = dataChunk != nullptr ? dataChunk->size : 0;
    // A chunk claiming more than the resource holds was refused by the scan, so count is
    // bounded by the resource size.
    const uint32_t count = dataSize / 2;
    // The samples are played where they lie in the resource, converted as they are read:
    // no instance keeps a copy of its own.
    const uint8_t* pcm = dataChunk != nullptr ? reader.chunkBytes(*dataChunk, count * 2) : nullptr;
    const int32_t length = static_cast<int32_t>(count);
    record.setPcm(rootFrequency, pcm, length, length - 2, length - 1);
    reader.clearChunks();
    reader.close();
    return true;
}

void loadSoundSets(CRiffReader& reader, CWaveData (&acoustic)[kAcousticCount],
                   CWaveData (&electric)[kElectricCount])
{
    int32_t acousticIndex = 0;
    int32_t electricIndex = 0;
    for (const recordings::Recording& recording : kRecordings) {
        CWaveData& record = recording.set == SoundSet::acoustic ? acoustic[acousticIndex++]
                                                               : electric[electricIndex++];
        loadWave(reader, recording.resourceId, record,
                 static_cast<float>(noteFrequency(recording.rootNote)));
    }
}

void selectAcousticSet(CSampler& sampler, const CWaveData (&acoustic)[kAcousticCount])
{
    selectSet(sampler, acoustic, 0);
}

void selectElectricSet(CSampler& sampler, const CWaveData (&electric)[kElectricCount])
{
    selectSet(sampler, electric, kAcousticCount);
}
