// A read-only file over bytes already in memory (a resource), with the open, seek, read and
// close steps that the chunk reader expects of a file. Windows opens it as a multimedia
// memory file, as the original does; elsewhere it is a plain cursor over the bytes.
#pragma once

#include <cstdint>

namespace platform {

class MemoryStream
{
public:
    enum class Origin { Start, Current, End };

    // Fails (false) for null bytes; the stream does not copy or own them.
    bool open(const void* bytes, uint32_t size);
    void close();
    bool isOpen() const;

    // New position from the start, or -1 (position unchanged) when closed or when the
    // target lies before the start or past the end.
    int64_t seek(int64_t offset, Origin origin);
    // Copies up to count bytes from the current position; returns how many were copied.
    uint32_t read(void* destination, uint32_t count);
    uint32_t size() const { return length; }
    // The count bytes from offset on, in place; null when closed or when they do not all
    // lie inside the file.
    const unsigned char* view(uint32_t offset, uint32_t count) const
    {
        if (bytes == nullptr || offset > length || count > length - offset) {
            return nullptr;
        }
        return bytes + offset;
    }

private:
    const unsigned char* bytes = nullptr;  // while open: the bytes the file reads in place
#ifdef _WIN32
    void* file = nullptr;  // the multimedia file handle
#else
    uint32_t position = 0;
#endif
    uint32_t length = 0;
};

}  // namespace platform
