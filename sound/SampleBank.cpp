// Loading the recordings from their resources and laying a sound set onto the note map.
#include "sound/SampleBank.h"

#include "platform/Resources.h"

using recordings::kRecordings;

namespace {

constexpr FourCC kData = makeFourCC("data");

// The first row of a set and take in kRecordings; its rows follow one another, by rising root.
constexpr size_t firstRow(SoundSet set, Take take)
{
    size_t row = 0;
    while (row < recordings::kRecordingCount &&
           (kRecordings[row].set != set || kRecordings[row].take != take)) {
        ++row;
    }
    return row;
}

constexpr bool rowsFollowOneAnother(SoundSet set, Take take)
{
    const size_t first = firstRow(set, take);
    const auto count = static_cast<size_t>(recordingCount(set, take));
    for (size_t row = first; row < first + count; ++row) {
        if (row >= recordings::kRecordingCount || kRecordings[row].set != set ||
            kRecordings[row].take != take) {
            return false;
        }
    }
    return true;
}

static_assert(rowsFollowOneAnother(SoundSet::acoustic, Take::ringing) &&
                  rowsFollowOneAnother(SoundSet::electric, Take::ringing) &&
                  rowsFollowOneAnother(SoundSet::acoustic, Take::palmMuted) &&
                  rowsFollowOneAnother(SoundSet::electric, Take::palmMuted) &&
                  rowsFollowOneAnother(SoundSet::acoustic, Take::dead) &&
                  rowsFollowOneAnother(SoundSet::electric, Take::dead),
              "the recordings of a set and take are listed together");
static_assert(recordingCount(SoundSet::acoustic, Take::ringing) +
                      recordingCount(SoundSet::electric, Take::ringing) +
                      kSetCount * (kTakeCount - 1) * kOpenStringCount ==
                  static_cast<int32_t>(recordings::kRecordingCount),
              "every recording is a ringing note of a set or a take of an open string");

// The record among count rows of a set and take that note plays: the highest root not above
// it, else the lowest.
size_t recordFor(int32_t note, size_t first, size_t count)
{
    size_t chosen = 0;
    for (size_t i = 1; i < count; ++i) {
        if (kRecordings[first + i].rootNote <= note) {
            chosen = i;
        }
    }
    return chosen;
}

template <size_t Count>
void selectSet(CSampler& sampler, const CWaveData (&records)[Count], SoundSet set)
{
    static_assert(Count > 0, "a set has recordings");
    const size_t first = firstRow(set, Take::ringing);
    for (int32_t note = 0; note < CSampler::kNoteCount; ++note) {
        sampler.mapNote(note, records[recordFor(note, first, Count)]);
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
        if (recording.take != Take::ringing) continue;
        CWaveData& record = recording.set == SoundSet::acoustic ? acoustic[acousticIndex++]
                                                               : electric[electricIndex++];
        loadWave(reader, recording.resourceId, record,
                 static_cast<float>(noteFrequency(recording.rootNote)));
    }
}

void loadTakes(CRiffReader& reader, StringTakes& takes)
{
    int32_t next[kSetCount][kTakeCount - 1] = {};
    for (const recordings::Recording& recording : kRecordings) {
        if (recording.take == Take::ringing) continue;
        const auto set = static_cast<size_t>(recording.set);
        const auto take = static_cast<size_t>(channelOf(recording.take) - 1);
        CWaveData& record = takes[set][take][next[set][take]++];
        // Looked up first: the reader reports a missing resource to the user, and the VST
        // module leaves the takes out on purpose.
        if (platform::findResource(recording.resourceId, "WAVE") != nullptr) {
            loadWave(reader, recording.resourceId, record,
                     static_cast<float>(noteFrequency(recording.rootNote)));
        }
    }
}

void selectAcousticSet(CSampler& sampler, const CWaveData (&acoustic)[kAcousticCount])
{
    selectSet(sampler, acoustic, SoundSet::acoustic);
}

void selectElectricSet(CSampler& sampler, const CWaveData (&electric)[kElectricCount])
{
    selectSet(sampler, electric, SoundSet::electric);
}

void selectTakes(CSampler& sampler, SoundSet set, const StringTakes& takes)
{
    for (const Take take : {Take::palmMuted, Take::dead}) {
        const size_t first = firstRow(set, take);
        const CWaveData(&records)[kOpenStringCount] =
            takes[static_cast<size_t>(set)][channelOf(take) - 1];
        for (int32_t note = 0; note < CSampler::kNoteCount; ++note) {
            const CWaveData& record = records[recordFor(note, first, kOpenStringCount)];
            sampler.mapTake(take, note, record.pcm() != nullptr ? &record : nullptr);
        }
    }
}
