// Host streams for the state tests: a memory buffer that moves bytes in whatever portions a
// test asks for, as hosts' streams do.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "instrument/State.h"

struct MemoryStream
{
    std::vector<uint8_t> bytes;
    size_t position = 0;
    // How many bytes each call moves at most, in turn; 0 moves nothing that call. Empty:
    // whatever is asked.
    std::vector<size_t> portions;
    size_t call = 0;

    size_t allowed(uint64_t asked)
    {
        if (portions.empty()) return static_cast<size_t>(asked);
        return std::min<size_t>(static_cast<size_t>(asked), portions[call++ % portions.size()]);
    }

    static int64_t write(void* context, const void* data, uint64_t size)
    {
        auto& stream = *static_cast<MemoryStream*>(context);
        const size_t count = stream.allowed(size);
        const auto* from = static_cast<const uint8_t*>(data);
        stream.bytes.insert(stream.bytes.end(), from, from + count);
        return static_cast<int64_t>(count);
    }

    static int64_t read(void* context, void* data, uint64_t size)
    {
        auto& stream = *static_cast<MemoryStream*>(context);
        const size_t count = std::min(stream.allowed(size), stream.bytes.size() - stream.position);
        std::copy_n(stream.bytes.begin() + static_cast<std::ptrdiff_t>(stream.position), count,
                    static_cast<uint8_t*>(data));
        stream.position += count;
        return static_cast<int64_t>(count);
    }
};

// The bytes of a state.
inline std::vector<uint8_t> stateBytes(const controls::Settings& settings)
{
    MemoryStream stream;
    state::write(settings, MemoryStream::write, &stream);
    return stream.bytes;
}
