#include "instrument/State.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <zlib.h>

namespace state {

namespace {

using namespace controls;

// Hosts' streams may move nothing now and then; this many such calls in a row and the stream
// counts as failed rather than holding the host's thread for ever.
constexpr int kIdleCallsAllowed = 64;

constexpr size_t kHeaderBytes = 12;
constexpr size_t kEntryBytes = 8;

bool isSetting(uint32_t id) { return (flags(id) & (kOutput | kTrigger)) == 0; }

void putWord(uint8_t* bytes, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(word >> (8 * i));
}

uint32_t wordAt(const uint8_t* bytes)
{
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i)
        word |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return word;
}

class Writer
{
public:
    Writer(Write write, void* context) : writeSome(write), context(context) {}

    bool put(const uint8_t* bytes, size_t size)
    {
        crc = crc32(crc, bytes, static_cast<uInt>(size));
        return putRaw(bytes, size);
    }

    bool putChecksum()
    {
        uint8_t bytes[4];
        putWord(bytes, static_cast<uint32_t>(crc));
        return putRaw(bytes, sizeof bytes);
    }

private:
    bool putRaw(const uint8_t* bytes, size_t size)
    {
        int idle = 0;
        while (size > 0) {
            const int64_t moved = writeSome(context, bytes, size);
            if (moved < 0 || static_cast<uint64_t>(moved) > size) return false;
            if (moved == 0 && ++idle > kIdleCallsAllowed) return false;
            if (moved > 0) idle = 0;
            bytes += moved;
            size -= static_cast<size_t>(moved);
        }
        return true;
    }

    Write writeSome;
    void* context;
    uLong crc = crc32(0, nullptr, 0);
};

class Reader
{
public:
    Reader(Read read, void* context) : readSome(read), context(context) {}

    bool take(uint8_t* bytes, size_t size)
    {
        if (!takeRaw(bytes, size)) return false;
        crc = crc32(crc, bytes, static_cast<uInt>(size));
        return true;
    }

    // The checksum that follows, against the bytes taken so far.
    bool checksumHolds()
    {
        uint8_t bytes[4];
        return takeRaw(bytes, sizeof bytes) && wordAt(bytes) == static_cast<uint32_t>(crc);
    }

    bool failed() const { return streamFailed; }

private:
    bool takeRaw(uint8_t* bytes, size_t size)
    {
        int idle = 0;
        while (size > 0) {
            const int64_t moved = readSome(context, bytes, size);
            if (moved < 0 || static_cast<uint64_t>(moved) > size) {
                streamFailed = true;
                return false;
            }
            // A stream at its end moves nothing: the state was cut short.
            if (moved == 0 && ++idle > kIdleCallsAllowed) return false;
            if (moved > 0) idle = 0;
            bytes += moved;
            size -= static_cast<size_t>(moved);
        }
        return true;
    }

    Read readSome;
    void* context;
    uLong crc = crc32(0, nullptr, 0);
    bool streamFailed = false;
};

}  // namespace

bool write(const Settings& settings, Write write, void* context)
{
    uint32_t count = 0;
    for (uint32_t id = 0; id < kCount; ++id)
        count += isSetting(id) ? 1 : 0;
    uint8_t header[kHeaderBytes];
    std::memcpy(header, kMagic, sizeof kMagic);
    putWord(header + 4, kVersion);
    putWord(header + 8, count);
    Writer writer(write, context);
    if (!writer.put(header, sizeof header)) return false;
    for (uint32_t id = 0; id < kCount; ++id) {
        if (!isSetting(id)) continue;
        const float value = held(id, settings[id]);
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        uint8_t entry[kEntryBytes];
        putWord(entry, id);
        putWord(entry + 4, bits);
        if (!writer.put(entry, sizeof entry)) return false;
    }
    return writer.putChecksum();
}

Result read(Settings& settings, Read read, void* context)
{
    Reader reader(read, context);
    const auto failure = [&reader] {
        return reader.failed() ? Result::streamFailed : Result::damaged;
    };
    uint8_t header[kHeaderBytes];
    if (!reader.take(header, sizeof kMagic)) return failure();
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return Result::notAState;
    if (!reader.take(header + sizeof kMagic, sizeof header - sizeof kMagic)) return failure();
    const uint32_t version = wordAt(header + 4);
    if (version > kVersion) return Result::newerVersion;
    const uint32_t count = wordAt(header + 8);
    if (version == 0 || count > kMaxEntries) return Result::damaged;

    Settings loaded;
    for (uint32_t id = 0; id < kCount; ++id)
        loaded[id] = range(id).defaultValue;
    bool named[kCount] = {};
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t entry[kEntryBytes];
        if (!reader.take(entry, sizeof entry)) return failure();
        const uint32_t id = wordAt(entry);
        const uint32_t bits = wordAt(entry + 4);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        // A later release's control, or one that holds no setting: nothing to set here.
        if (id >= kCount || !isSetting(id)) continue;
        if (named[id] || !std::isfinite(value)) return Result::damaged;
        named[id] = true;
        loaded[id] = held(id, value);
    }
    if (!reader.checksumHolds()) return failure();
    // Outputs and triggers keep what the caller had.
    for (uint32_t id = 0; id < kCount; ++id) {
        if (isSetting(id)) settings[id] = loaded[id];
    }
    return Result::ok;
}

}  // namespace state
