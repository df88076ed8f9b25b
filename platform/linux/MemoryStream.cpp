// Read-only memory file over resource bytes.
#include "platform/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace platform {

bool MemoryStream::open(const void* data, uint32_t size)
{
    close();
    if (data == nullptr) {
        return false;
    }
    bytes = static_cast<const unsigned char*>(data);
    length = size;
    return true;
}

bool MemoryStream::isOpen() const
{
    return bytes != nullptr;
}

void MemoryStream::close()
{
    bytes = nullptr;
    length = 0;
    position = 0;
}

int64_t MemoryStream::seek(int64_t offset, Origin origin)
{
    if (!isOpen()) {
        return -1;
    }
    int64_t base = 0;
    if (origin == Origin::Current) {
        base = position;
    } else if (origin == Origin::End) {
        base = length;
    }
    // Offsets come from file headers and may be anything; keep the sum from overflowing.
    if (offset < -base || offset > int64_t(length) - base) {
        return -1;
    }
    position = static_cast<uint32_t>(base + offset);
    return position;
}

uint32_t MemoryStream::read(void* destination, uint32_t count)
{
    if (!isOpen() || destination == nullptr) {
        return 0;
    }
    const uint32_t available = std::min(count, length - position);
    std::memcpy(destination, bytes + position, available);
    position += available;
    return available;
}

}  // namespace platform
