// Read-only memory file over resource bytes through the multimedia file services.
#include "platform/MemoryStream.h"

#include <windows.h>
#include <mmsystem.h>

namespace platform {

namespace {

HMMIO handleOf(void* file)
{
    return static_cast<HMMIO>(file);
}

}  // namespace

bool MemoryStream::isOpen() const
{
    return file != nullptr;
}

bool MemoryStream::open(const void* data, uint32_t size)
{
    close();
    if (data == nullptr) {
        return false;
    }
    // A memory file reads the caller's buffer in place; it is opened for reading only, so
    // the resource bytes are never written.
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = static_cast<HPSTR>(const_cast<void*>(data));
    info.cchBuffer = static_cast<LONG>(size);
    HMMIO handle = mmioOpenA(nullptr, &info, MMIO_READ);
    if (handle == nullptr) {
        return false;
    }
    file = handle;
    bytes = static_cast<const unsigned char*>(data);
    length = size;
    return true;
}

void MemoryStream::close()
{
    if (file != nullptr) {
        mmioClose(handleOf(file), 0);
    }
    file = nullptr;
    bytes = nullptr;
    length = 0;
}

int64_t MemoryStream::seek(int64_t offset, Origin origin)
{
    if (!isOpen()) {
        return -1;
    }
    const LONG current = mmioSeek(handleOf(file), 0, SEEK_CUR);
    int64_t base = 0;
    if (origin == Origin::Current) {
        base = current;
    } else if (origin == Origin::End) {
        base = length;
    }
    // The memory file would move past its end; the readers above expect a refusal instead.
    if (offset < -base || offset > int64_t(length) - base) {
        return -1;
    }
    return mmioSeek(handleOf(file), static_cast<LONG>(base + offset), SEEK_SET);
}

uint32_t MemoryStream::read(void* destination, uint32_t count)
{
    if (!isOpen() || destination == nullptr) {
        return 0;
    }
    const LONG position = mmioSeek(handleOf(file), 0, SEEK_CUR);
    const uint32_t available = length - static_cast<uint32_t>(position);
    const LONG wanted = static_cast<LONG>(count < available ? count : available);
    const LONG got = mmioRead(handleOf(file), static_cast<HPSTR>(destination), wanted);
    return got > 0 ? static_cast<uint32_t>(got) : 0;
}

}  // namespace platform
