// The instrument's state reader, as a host's stream hands it a session's bytes: any bytes, in
// any portions, give either settings within every control's range, which write back to a
// state that reads as the same settings, or a refusal that leaves the settings as they were.
#include <algorithm>

#include "instrument/State.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

// The input after its first byte, handed over in portions of up to that byte's low bits
// (0: all that is asked), with a call that moves nothing before each when its top bit is set.
struct Stream
{
    const uint8_t* data;
    size_t size;
    size_t position = 0;
    size_t portion;
    bool stalls;
    bool stalled = false;
};

int64_t readSome(void* context, void* to, uint64_t asked)
{
    auto& stream = *static_cast<Stream*>(context);
    if (stream.stalls && !stream.stalled) {
        stream.stalled = true;
        return 0;
    }
    stream.stalled = false;
    size_t count = std::min<size_t>(asked, stream.size - stream.position);
    if (stream.portion > 0) count = std::min(count, stream.portion);
    std::copy_n(stream.data + stream.position, count, static_cast<uint8_t*>(to));
    stream.position += count;
    return static_cast<int64_t>(count);
}

struct Bytes
{
    std::vector<uint8_t> data;
};

int64_t writeAll(void* context, const void* from, uint64_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(from);
    static_cast<Bytes*>(context)->data.insert(static_cast<Bytes*>(context)->data.end(), bytes,
                                              bytes + size);
    return static_cast<int64_t>(size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    Stream stream{data + 1, size - 1, 0, static_cast<size_t>(data[0] & 0x3F),
                  (data[0] & 0x80) != 0};
    controls::Settings settings;
    settings.fill(-1234.0f);
    const state::Result result = state::read(settings, readSome, &stream);
    if (result != state::Result::ok) {
        FUZZ_CHECK(
            std::all_of(settings.begin(), settings.end(), [](float v) { return v == -1234.0f; }));
        return 0;
    }
    for (uint32_t id = 0; id < controls::kCount; ++id) {
        if (controls::flags(id) & (controls::kOutput | controls::kTrigger)) continue;
        FUZZ_CHECK(settings[id] == controls::held(id, settings[id]));
    }
    Bytes written;
    FUZZ_CHECK(state::write(settings, writeAll, &written));
    Stream again{written.data.data(), written.data.size(), 0, 0, false};
    controls::Settings reread = settings;
    FUZZ_CHECK(state::read(reread, readSome, &again) == state::Result::ok && reread == settings);
    return 0;
}
