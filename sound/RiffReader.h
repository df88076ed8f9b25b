// Reads the chunks of a RIFF/WAVE resource out of the module's embedded resources.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/MemoryStream.h"

// Four-character chunk code as its four bytes read little-endian ("data" -> 'd' lowest).
using FourCC = uint32_t;

constexpr FourCC makeFourCC(const char (&code)[5])
{
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 |
           uint32_t(uint8_t(code[2])) << 16 | uint32_t(uint8_t(code[3])) << 24;
}

struct RiffChunk
{
    int32_t offset = 0;  // of the 8-byte header, from the start of the file
    FourCC id = 0;
    uint32_t size = 0;   // as stored in the header
    bool held = false;   // data holds the chunk's bytes (for RIFF and LIST: the form type)
    std::vector<uint8_t> data;
};

class CRiffReader
{
public:
    // Chunks at or above this size are read from the file on demand instead of held.
    static constexpr uint32_t maxCachedChunk = 10240;
    // Bound on the bytes held for all chunks of one scan together.
    static constexpr uint32_t maxCachedTotal = 307200;

    // Opens the "WAVE" resource with this id and scans it. A missing, unloadable or empty
    // resource shows a message ("error1" with the error code in its caption, "error2",
    // "error3") and gives false.
    bool openResource(int32_t resourceId);
    // Lists every chunk header of the open file; false (and an empty list) when a chunk
    // claims more bytes than the file has left.
    bool scanChunks();
    // Copies the first chunk with this id into buffer (zero-filled to length first);
    // returns the number of bytes copied.
    int32_t readChunk(FourCC id, void* buffer, uint32_t length);
    void clearChunks();
    void close();

    // First listed chunk with this id, or null.
    const RiffChunk* findChunk(FourCC id) const;
    // The first length bytes of a listed chunk's data where they lie in the open file, or
    // null when they run past its end.
    const uint8_t* chunkBytes(const RiffChunk& chunk, uint32_t length) const;
    const std::vector<RiffChunk>& chunks() const { return chunkList; }
    uint32_t cachedTotal() const { return cachedBytes; }
    bool isOpen() const { return file.isOpen(); }

private:
    platform::MemoryStream file;
    std::vector<RiffChunk> chunkList;
    uint32_t cachedBytes = 0;
};
