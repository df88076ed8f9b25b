// Chunk scan of RIFF/WAVE resources: a flat walk over every chunk header, holding small
// chunks in memory and leaving large ones (the samples) in the resource until read.
#include "sound/RiffReader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/Messages.h"
#include "platform/Resources.h"

namespace {

constexpr FourCC kRiff = makeFourCC("RIFF");
constexpr FourCC kList = makeFourCC("LIST");

uint32_t littleEndian32(const uint8_t (&bytes)[4])
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
           uint32_t(bytes[3]) << 24;
}

}  // namespace

bool CRiffReader::openResource(int32_t resourceId)
{
    clearChunks();
    file.close();

    const platform::ResourceHandle resource = platform::findResource(resourceId, "WAVE");
    if (resource == nullptr) {
        const uint32_t error = platform::lastError();
        char caption[64];
        std::snprintf(caption, sizeof caption, "error1:%" PRIu32 " (%" PRIx32 ")", error, error);
        platform::showMessage("error1", caption);
        return false;
    }
    const void* loaded = platform::loadResource(resource);
    if (loaded == nullptr) {
        platform::showMessage("error2", "");
        return false;
    }
    const void* bytes = platform::lockResource(loaded);
    const uint32_t size = platform::sizeofResource(resource);
    if (bytes == nullptr || size == 0) {
        platform::showMessage("error3", "");
        return false;
    }
    if (!file.open(bytes, size)) {
        return false;
    }
    return scanChunks();
}

bool CRiffReader::scanChunks()
{
    const int64_t fileSize = file.seek(0, platform::MemoryStream::Origin::End);
    file.seek(0, platform::MemoryStream::Origin::Start);
    clearChunks();
    // 64-bit so that a stored size near 4 GiB cannot wrap the end-of-file check.
    int64_t pos = 0;
    while (pos < fileSize) {
        RiffChunk chunk;
        chunk.offset = static_cast<int32_t>(pos);
        uint8_t id[4] = {};
        uint8_t size[4] = {};
        uint32_t headerRead = file.read(id, 4);
        headerRead += file.read(size, 4);
        if (headerRead == 0) {
            break;  // cannot happen while the stream position follows pos; never spin
        }
        pos += headerRead;
        chunk.id = littleEndian32(id);
        chunk.size = littleEndian32(size);

        if (chunk.id == kRiff || chunk.id == kList) {
            // Descend into the container: only its form type is read, its contents follow
            // as ordinary chunks.
            chunk.data.resize(4);
            const uint32_t formRead = file.read(chunk.data.data(), 4);
            chunk.data.resize(formRead);
            chunk.held = true;
            pos += formRead;
        } else if (pos + chunk.size > fileSize) {
            clearChunks();
            return false;
        } else if (chunk.size < maxCachedChunk && cachedBytes + chunk.size < maxCachedTotal) {
            chunk.data.resize(chunk.size);
            cachedBytes += chunk.size;
            pos += file.read(chunk.data.data(), chunk.size);
            chunk.held = true;
        } else {
            file.seek(chunk.size, platform::MemoryStream::Origin::Current);
            pos += chunk.size;
        }
        chunkList.push_back(std::move(chunk));
    }
    return true;
}

int32_t CRiffReader::readChunk(FourCC id, void* buffer, uint32_t length)
{
    if (buffer == nullptr) {
        return 0;
    }
    const RiffChunk* chunk = findChunk(id);
    if (chunk == nullptr || chunk->size == 0) {
        return 0;
    }
    std::memset(buffer, 0, length);
    const uint32_t wanted = std::min(chunk->size, length);
    if (chunk->held) {
        const uint32_t copied = std::min<uint32_t>(wanted, uint32_t(chunk->data.size()));
        std::memcpy(buffer, chunk->data.data(), copied);
        return static_cast<int32_t>(copied);
    }
    if (file.seek(int64_t(chunk->offset) + 8, platform::MemoryStream::Origin::Start) < 0) {
        return 0;
    }
    return static_cast<int32_t>(file.read(buffer, wanted));
}

void CRiffReader::clearChunks()
{
    chunkList.clear();
    cachedBytes = 0;
}

void CRiffReader::close()
{
    file.close();
}

const uint8_t* CRiffReader::chunkBytes(const RiffChunk& chunk, uint32_t length) const
{
    const int64_t start = int64_t(chunk.offset) + 8;
    if (chunk.offset < 0 || start > int64_t(UINT32_MAX)) {
        return nullptr;
    }
    return file.view(static_cast<uint32_t>(start), length);
}

const RiffChunk* CRiffReader::findChunk(FourCC id) const
{
    for (const RiffChunk& chunk : chunkList) {
        if (chunk.id == id) {
            return &chunk;
        }
    }
    return nullptr;
}
