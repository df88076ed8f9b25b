// Feeds any bytes to the render tool's Standard MIDI File reader and checks what it accepts:
// events in time order with valid status bytes, and a tempo map that stays finite.
#include <cmath>
#include <string>

#include "tests/fuzz/FuzzInput.h"
#include "tools/MidiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string error;
    const std::optional<smf::MidiFile> file = smf::MidiFile::parse(data, size, error);
    if (!file) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(file->format() == 0 || file->format() == 1);
    const smf::TempoMap& tempo = file->tempoMap();
    int64_t previousTick = 0;
    double previousSeconds = 0.0;
    for (const smf::ChannelEvent& event : file->events()) {
        FUZZ_CHECK(event.tick >= previousTick);
        FUZZ_CHECK(event.status >= 0x80 && event.status <= 0xEF);
        FUZZ_CHECK(event.data1 < 0x80 && event.data2 < 0x80);
        const double seconds = tempo.secondsAtTick(event.tick);
        FUZZ_CHECK(std::isfinite(seconds) && seconds >= previousSeconds);
        FUZZ_CHECK(std::isfinite(tempo.quartersAtSeconds(seconds)));
        FUZZ_CHECK(std::isfinite(tempo.beatsPerMinuteAtSeconds(seconds)));
        previousTick = event.tick;
        previousSeconds = seconds;
    }
    return 0;
}
