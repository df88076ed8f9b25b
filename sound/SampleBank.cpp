// Loading the recordings from their resources and laying a sound set onto the note map.
#include "sound/SampleBank.h"

#include <memory>

const Recording kRecordings[kRecordingCount] = {
    {SoundSet::Acoustic, 0, 1043, 43},  {SoundSet::Acoustic, 1, 1048, 48},
    {SoundSet::Acoustic, 2, 1053, 53},  {SoundSet::Acoustic, 3, 1058, 58},
    {SoundSet::Acoustic, 4, 1062, 62},  {SoundSet::Acoustic, 5, 1067, 67},
    {SoundSet::Acoustic, 6, 1069, 69},  {SoundSet::Acoustic, 7, 1071, 71},
    {SoundSet::Acoustic, 8, 1074, 74},
    {SoundSet::Electric, 0, 1140, 40},  {SoundSet::Electric, 1, 1143, 43},
    {SoundSet::Electric, 2, 1146, 46},  {SoundSet::Electric, 3, 1149, 49},
    {SoundSet::Electric, 4, 1152, 52},  {SoundSet::Electric, 5, 1155, 55},
    {SoundSet::Electric, 6, 1158, 58},  {SoundSet::Electric, 7, 1161, 61},
    {SoundSet::Electric, 8, 1164, 64},  {SoundSet::Electric, 9, 1167, 67},
    {SoundSet::Electric, 10, 1170, 70}, {SoundSet::Electric, 11, 1173, 73},
    {SoundSet::Electric, 12, 1176, 76}, {SoundSet::Electric, 13, 1179, 79},
    {SoundSet::Electric, 14, 1182, 82}, {SoundSet::Electric, 15, 1185, 85},
};

namespace {

constexpr FourCC kData = makeFourCC("data");
// Full scale of 16-bit PCM: -32768 maps to exactly -1.0.
constexpr float kPcmScale = 3.0517578125e-05f;

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
    std::unique_ptr<int16_t[]> pcm(new int16_t[count]);
    std::unique_ptr<float[]> samples(new float[count]);
    reader.readChunk(kData, pcm.get(), count * 2);
    for (uint32_t i = 0; i < count; ++i) {
        samples[i] = static_cast<float>(pcm[i]) * kPcmScale;
    }
    const int32_t length = static_cast<int32_t>(count);
    record.setData(rootFrequency, samples.get(), length, length - 2, length - 1);
    reader.clearChunks();
    reader.close();
    return true;
}

void loadSoundSets(CRiffReader& reader, CWaveData (&acoustic)[kAcousticCount],
                   CWaveData (&electric)[kElectricCount])
{
    for (const Recording& recording : kRecordings) {
        CWaveData& record = recording.set == SoundSet::Acoustic ? acoustic[recording.index]
                                                               : electric[recording.index];
        loadWave(reader, recording.resourceId, record, noteFrequency(recording.rootNote));
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
