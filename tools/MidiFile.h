// Standard MIDI File reader: the channel voice events of a type 0 or type 1 file, merged
// into one time-ordered list, and the tempo map that turns their ticks into seconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace smf {

struct TempoChange {
    int64_t tick;
    uint32_t microsPerQuarter;
};

// Converts between ticks, seconds and quarter notes. Without any change the tempo is the
// file format's default of 120 beats per minute.
class TempoMap
{
public:
    explicit TempoMap(int ticksPerQuarter = 480, std::vector<TempoChange> changes = {});

    int ticksPerQuarter() const { return ticksPerQuarter_; }
    double secondsAtTick(int64_t tick) const;
    double quartersAtSeconds(double seconds) const;
    double beatsPerMinuteAtSeconds(double seconds) const;

private:
    struct Segment {
        int64_t tick;
        double seconds;  // when the segment starts
        double secondsPerTick;
    };
    const Segment& segmentAtSeconds(double seconds) const;

    int ticksPerQuarter_;
    std::vector<Segment> segments_;  // sorted, the first one starts at tick 0
};

// A channel voice message (status 0x80 to 0xEF) at its absolute tick.
struct ChannelEvent {
    int64_t tick;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;  // 0 for program change and channel pressure, which carry one data byte
};

class MidiFile
{
public:
    // Both return nothing and fill error with a one-line reason when the bytes are not a
    // well-formed type 0 or type 1 file with a metrical time division.
    static std::optional<MidiFile> parse(const uint8_t* bytes, size_t size, std::string& error);
    static std::optional<MidiFile> load(const std::string& path, std::string& error);

    int format() const { return format_; }
    const TempoMap& tempoMap() const { return tempoMap_; }
    // Ordered by tick; events at the same tick keep track order, then file order.
    const std::vector<ChannelEvent>& events() const { return events_; }

private:
    int format_ = 0;
    TempoMap tempoMap_;
    std::vector<ChannelEvent> events_;
};

}  // namespace smf
