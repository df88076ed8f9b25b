// Chunk scanning and loading of crafted WAVE resources, and of every embedded recording.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "platform/Resources.h"
#include "resources/recording-table.h"
#include "sound/SampleBank.h"

namespace {

using Bytes = std::vector<uint8_t>;

void append32(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(uint8_t(value >> shift));
    }
}

// A chunk with its header; an odd-sized payload gets the pad byte writers add.
Bytes chunk(const char* id, const Bytes& payload, uint32_t statedSize)
{
    Bytes out(id, id + 4);
    append32(out, statedSize);
    out.insert(out.end(), payload.begin(), payload.end());
    if (payload.size() % 2 == 1) {
        out.push_back(0);
    }
    return out;
}

Bytes chunk(const char* id, const Bytes& payload)
{
    return chunk(id, payload, uint32_t(payload.size()));
}

Bytes pcm(const std::vector<int16_t>& samples)
{
    Bytes out;
    for (int16_t sample : samples) {
        out.push_back(uint8_t(uint16_t(sample)));
        out.push_back(uint8_t(uint16_t(sample) >> 8));
    }
    return out;
}

// RIFF/WAVE around the given chunks, with a 16-bit mono 44100 Hz format chunk first.
Bytes wave(const Bytes& body)
{
    Bytes format;
    for (uint32_t word : {0x00010001u, 44100u, 88200u, 0x00100002u}) {
        append32(format, word);
    }
    Bytes form = {'W', 'A', 'V', 'E'};
    Bytes fmt = chunk("fmt ", format);
    form.insert(form.end(), fmt.begin(), fmt.end());
    form.insert(form.end(), body.begin(), body.end());
    return chunk("RIFF", form);
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

constexpr int32_t kTestId = 500;

// Serves one crafted resource as "WAVE" kTestId and records every message shown.
class CraftedResourceTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        platform::setResourceTable(nullptr, 0);
        platform::setMessageSink(nullptr);
    }

    void serve(const Bytes& bytes)
    {
        resourceBytes = bytes;
        const uint8_t* begin = resourceBytes.data();
        entry = {"WAVE", kTestId, begin, begin + resourceBytes.size()};
        platform::setResourceTable(&entry, 1);
        platform::setMessageSink([this](const char* text, const char* caption) {
            messages.push_back(std::string(text) + "|" + caption);
        });
    }

    static bool isDefault(const CWaveData& record)
    {
        return record.length() == 20 && record.rootFrequency() == 2205.0f &&
               record.loopStart() == 0 && record.loopEnd() == 19;
    }

    Bytes resourceBytes;
    platform::EmbeddedResource entry{};
    std::vector<std::string> messages;
    CRiffReader reader;
    CWaveData record;
};

TEST_F(CraftedResourceTest, ScanWalksAnOddSizedInfoListWithItsPadByte)
{
    const Bytes info = concat({{'I', 'N', 'F', 'O'}, chunk("INAM", {'a', 'b', 'c', 'd', 'e'})});
    serve(wave(concat({chunk("data", pcm({100, -200, 300, -400})), chunk("LIST", info)})));

    ASSERT_TRUE(reader.openResource(kTestId));
    const std::vector<RiffChunk>& chunks = reader.chunks();
    // The pad byte is not assumed, so it is met as a last one-byte header.
    ASSERT_EQ(chunks.size(), 6u);
    EXPECT_EQ(chunks[0].data, (Bytes{'W', 'A', 'V', 'E'}));
    EXPECT_EQ(chunks[2].id, makeFourCC("data"));
    EXPECT_EQ(chunks[2].offset, 36);
    EXPECT_EQ(chunks[2].size, 8u);
    EXPECT_EQ(chunks[3].id, makeFourCC("LIST"));
    EXPECT_EQ(chunks[3].data, (Bytes{'I', 'N', 'F', 'O'}));
    EXPECT_EQ(chunks[4].id, makeFourCC("INAM"));
    EXPECT_EQ(chunks[4].size, 5u);
    EXPECT_EQ(chunks[5].offset, int32_t(resourceBytes.size() - 1));
    EXPECT_EQ(chunks[5].size, 0u);
    EXPECT_EQ(reader.cachedTotal(), 16u + 8u + 5u);

    // A RIFF chunk holds only its form type, whatever its stated size.
    uint8_t buffer[16];
    std::memset(buffer, 0xff, sizeof buffer);
    EXPECT_EQ(reader.readChunk(makeFourCC("RIFF"), buffer, sizeof buffer), 4);
    EXPECT_EQ(buffer[0], 'W');
    EXPECT_EQ(buffer[15], 0);
    EXPECT_EQ(reader.readChunk(makeFourCC("data"), nullptr, 8), 0);
    EXPECT_EQ(reader.readChunk(makeFourCC("cue "), buffer, 8), 0);

    ASSERT_TRUE(loadWave(reader, kTestId, record, 440.0f));
    ASSERT_EQ(record.length(), 4);
    EXPECT_EQ(record.sample(1), -200.0f / 32768.0f);
    EXPECT_EQ(record.rootFrequency(), 440.0f);
    EXPECT_TRUE(reader.chunks().empty());
    EXPECT_FALSE(reader.isOpen());
    EXPECT_TRUE(messages.empty());
}

TEST_F(CraftedResourceTest, LargeChunksStayInTheFileAndAreReadOnDemand)
{
    Bytes small(CRiffReader::maxCachedChunk - 2, 7);  // even: no pad byte
    Bytes large(CRiffReader::maxCachedChunk, 9);
    serve(wave(concat({chunk("junk", small), chunk("data", large)})));

    ASSERT_TRUE(reader.openResource(kTestId));
    ASSERT_EQ(reader.chunks().size(), 4u);
    EXPECT_TRUE(reader.chunks()[2].held);
    EXPECT_FALSE(reader.chunks()[3].held);
    EXPECT_EQ(reader.cachedTotal(), 16u + small.size());

    Bytes buffer(large.size() + 4, 0xff);
    EXPECT_EQ(reader.readChunk(makeFourCC("data"), buffer.data(), uint32_t(buffer.size())),
              int32_t(large.size()));
    EXPECT_EQ(buffer[large.size() - 1], 9);
    EXPECT_EQ(buffer[large.size()], 0);  // zero-filled past the chunk
    EXPECT_EQ(reader.readChunk(makeFourCC("junk"), buffer.data(), 3), 3);
}

TEST_F(CraftedResourceTest, ChunksRunningPastTheEndFailTheScanAndKeepTheRecord)
{
    const Bytes samples = pcm({1, 2, 3, 4, 5, 6});
    const Bytes complete = wave(chunk("data", samples));
    for (const Bytes& broken : {
             Bytes(complete.begin(), complete.end() - 1),    // cut inside the samples
             wave(chunk("data", samples, 13)),                // one byte too many stated
             wave(chunk("data", samples, 0xfffffff0u)),       // wraps a 32-bit end check
         }) {
        serve(broken);
        EXPECT_FALSE(reader.openResource(kTestId));
        EXPECT_TRUE(reader.chunks().empty());
        EXPECT_EQ(reader.cachedTotal(), 0u);
        EXPECT_FALSE(loadWave(reader, kTestId, record, 100.0f));
        EXPECT_TRUE(isDefault(record));
    }

    // A file ending inside a header lists a short last entry and still scans.
    serve(concat({complete, Bytes{'L', 'I', 'S'}}));
    ASSERT_TRUE(reader.openResource(kTestId));
    EXPECT_EQ(reader.chunks().back().size, 0u);
    serve(concat({complete, Bytes{'L', 'I', 'S', 'T', 200, 0, 0, 0, 'I'}}));
    ASSERT_TRUE(reader.openResource(kTestId));
    EXPECT_EQ(reader.chunks().back().data, Bytes{'I'});
    EXPECT_TRUE(messages.empty());
}

TEST_F(CraftedResourceTest, TinyDataChunksMakeShortRecordsOrNone)
{
    serve(wave(chunk("data", pcm({-32768, 32767, 0, 1, -1}))));
    ASSERT_TRUE(loadWave(reader, kTestId, record, 98.0f));
    ASSERT_EQ(record.length(), 5);
    EXPECT_EQ(record.loopStart(), 3);
    EXPECT_EQ(record.loopEnd(), 4);
    EXPECT_EQ(record.sample(0), -1.0f);
    EXPECT_EQ(record.sample(1), 0.999969482421875f);

    // Behind a chunk of odd size (taken as stated, no pad byte) the samples lie at an odd
    // offset; they are played in place from the resource all the same.
    serve(wave(concat({Bytes{'j', 'u', 'n', 'k', 3, 0, 0, 0, 1, 2, 3},
                       chunk("data", pcm({-32768, 32767, 0, 1, -1}))})));
    ASSERT_TRUE(loadWave(reader, kTestId, record, 98.0f));
    EXPECT_EQ(record.pcm(), resourceBytes.data() + 12 + 24 + 11 + 8);
    EXPECT_EQ(record.sample(0), -1.0f);
    EXPECT_EQ(record.sample(4), -1.0f / 32768.0f);

    // An odd size drops the last byte.
    Bytes odd = pcm({5, 6, 7});
    odd.push_back(0x40);
    CWaveData fromOdd;
    serve(wave(chunk("data", odd)));
    ASSERT_TRUE(loadWave(reader, kTestId, fromOdd, 98.0f));
    EXPECT_EQ(fromOdd.length(), 3);

    for (const Bytes& unusable : {wave(chunk("data", pcm({1, 2}))), wave({})}) {
        CWaveData untouched;
        serve(unusable);
        EXPECT_TRUE(loadWave(reader, kTestId, untouched, 98.0f));
        EXPECT_TRUE(isDefault(untouched));
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(CraftedResourceTest, MissingOrEmptyResourcesShowTheirMessages)
{
    serve(Bytes{});
    EXPECT_FALSE(loadWave(reader, kTestId, record, 98.0f));
    EXPECT_FALSE(loadWave(reader, kTestId + 1, record, 98.0f));
    EXPECT_EQ(messages, (std::vector<std::string>{"error3|", "error1|error1:1814 (716)"}));
    EXPECT_TRUE(isDefault(record));
    for (int32_t i = 0; i < record.length(); ++i) {
        EXPECT_EQ(record.sample(i), 0.0f);
    }
}

TEST(EmbeddedRecordingsTest, EveryRecordingLoadsAtItsRoot)
{
    std::vector<std::string> messages;
    platform::setMessageSink([&messages](const char* text, const char*) {
        messages.push_back(text);
    });
    CRiffReader reader;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
    loadSoundSets(reader, acoustic, electric);
    platform::setMessageSink(nullptr);
    EXPECT_TRUE(messages.empty());

    const int32_t roots[] = {43, 48, 53, 58, 62, 67, 69, 71, 74, 40, 43, 46, 49,
                             52, 55, 58, 61, 64, 67, 70, 73, 76, 79, 82, 85};
    for (int32_t row = 0; row < kAcousticCount + kElectricCount; ++row) {
        const recordings::Recording& recording = recordings::kRecordings[row];
        const bool isAcoustic = row < kAcousticCount;
        EXPECT_EQ(recording.set,
                  isAcoustic ? recordings::SoundSet::acoustic : recordings::SoundSet::electric);
        EXPECT_EQ(recording.resourceId, roots[row] + (isAcoustic ? 1000 : 1100));
        EXPECT_EQ(recording.rootNote, roots[row]);

        const CWaveData& record = isAcoustic ? acoustic[row] : electric[row - kAcousticCount];
        const double expectedRoot = 440.0 * std::pow(2.0, (roots[row] - 69) / 12.0);
        EXPECT_EQ(record.rootFrequency(), float(expectedRoot)) << "row " << row;
        EXPECT_GE(record.length(), 3);
        EXPECT_EQ(record.loopStart(), record.length() - 2);
        EXPECT_EQ(record.loopEnd(), record.length() - 1);
    }
    EXPECT_NEAR(acoustic[0].rootFrequency(), 97.999, 0.001);
    EXPECT_NEAR(electric[15].rootFrequency(), 1108.730, 0.001);
}

}  // namespace
