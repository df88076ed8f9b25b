// Feeds any bytes to the recording loader as a "WAVE" resource: the chunk scan, reads of
// every chunk it lists, and the conversion into a record that voices then play.
#include <cmath>
#include <memory>
#include <vector>

#include "platform/Messages.h"
#include "platform/Resources.h"
#include "sound/RiffReader.h"
#include "sound/SampleBank.h"
#include "sound/Sampler.h"
#include "sound/WaveData.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

constexpr int kResourceId = 1043;
// Four voices at full level make full scale; a record cannot hold louder samples.
constexpr float kOutputBound = 8.0f;
constexpr int32_t kRenderedFrames = 256;

void scanAndReadEveryChunk()
{
    CRiffReader reader;
    if (!reader.openResource(kResourceId)) return;
    const uint32_t fileSize = platform::sizeofResource(platform::findResource(kResourceId, "WAVE"));
    for (const RiffChunk& chunk : reader.chunks()) {
        FUZZ_CHECK(chunk.offset >= 0 && static_cast<uint32_t>(chunk.offset) < fileSize);
        FUZZ_CHECK(chunk.data.size() <= CRiffReader::maxCachedChunk);
        // Bounded so that a chunk claiming megabytes does not slow the search.
        const uint32_t length = std::min<uint32_t>(chunk.size, 1 << 16);
        std::vector<uint8_t> buffer(length + 1);
        FUZZ_CHECK(reader.readChunk(chunk.id, buffer.data(), length) <=
                   static_cast<int32_t>(length));
    }
    FUZZ_CHECK(reader.cachedTotal() <= CRiffReader::maxCachedTotal);
    reader.close();
}

void loadAndPlay()
{
    CRiffReader reader;
    CWaveData record;
    loadWave(reader, kResourceId, record, noteFrequency(43));
    FUZZ_CHECK(record.length() >= 3 &&
               (record.pcm() != nullptr) != (record.floatSamples() != nullptr));
    FUZZ_CHECK(record.loopStart() >= 0 && record.loopStart() < record.loopEnd() &&
               record.loopEnd() <= record.length() - 1);
    for (int32_t i = 0; i < record.length(); ++i) {
        FUZZ_CHECK(record.sample(i) >= -1.0f && record.sample(i) <= 1.0f);
    }

    // The lowest, the root and the highest note: read positions run slowest, exact and
    // fastest through the samples and the loop.
    auto sampler = std::make_unique<CSampler>();
    for (int32_t note = 0; note < CSampler::kNoteCount; ++note)
        sampler->mapNote(note, record);
    for (int32_t note : {0, 43, 127})
        sampler->noteOn(0, note, 127);
    for (int32_t i = 0; i < kRenderedFrames; ++i) {
        const float sample = sampler->renderSample();
        FUZZ_CHECK(std::isfinite(sample) && std::fabs(sample) <= kOutputBound);
        sampler->advance();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The load failures' messages would drown the fuzzer's own output.
    static const bool silenced = (platform::setMessageSink([](const char*, const char*) {}), true);
    (void)silenced;

    const platform::EmbeddedResource resource{"WAVE", kResourceId, data, data + size};
    platform::setResourceTable(&resource, 1);
    scanAndReadEveryChunk();
    loadAndPlay();
    platform::setResourceTable(nullptr, 0);
    return 0;
}
