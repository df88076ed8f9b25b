// Standard MIDI File reader. Every read is bounds-checked, so a truncated or hostile file
// ends in an error message rather than a read past the end of the buffer.
#include "tools/MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace smf {

namespace {

constexpr uint32_t kDefaultMicrosPerQuarter = 500000;  // 120 beats per minute
constexpr uint8_t kMetaEvent = 0xFF;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;

class ByteReader
{
public:
    ByteReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    size_t remaining() const { return size_ - position_; }
    size_t position() const { return position_; }

    bool readByte(uint8_t& out)
    {
        if (remaining() < 1) {
            return false;
        }
        out = bytes_[position_++];
        return true;
    }

    bool readBigEndian(int count, uint32_t& out)
    {
        if (remaining() < static_cast<size_t>(count)) {
            return false;
        }
        out = 0;
        for (int i = 0; i < count; ++i) {
            out = (out << 8) | bytes_[position_++];
        }
        return true;
    }

    // The format caps these at four bytes (28 bits); a longer one means garbage.
    bool readVariableLength(uint32_t& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t byte = 0;
            if (!readByte(byte)) {
                return false;
            }
            out = (out << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0) {
                return true;
            }
        }
        return false;
    }

    bool skip(size_t count)
    {
        if (remaining() < count) {
            return false;
        }
        position_ += count;
        return true;
    }

    bool matches(const char* tag) const
    {
        return remaining() >= 4 && std::memcmp(bytes_ + position_, tag, 4) == 0;
    }

    // A reader over the next count bytes; the caller has checked that they exist.
    ByteReader take(size_t count)
    {
        ByteReader part(bytes_ + position_, count);
        position_ += count;
        return part;
    }

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = 0;
};

bool fail(std::string& error, const std::string& reason, int track = -1, size_t offset = 0)
{
    error = reason;
    if (track >= 0) {
        error += " in track " + std::to_string(track + 1) + " at byte " +
                 std::to_string(offset) + " of the track";
    }
    return false;
}

int dataByteCount(uint8_t status)
{
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

bool parseTrack(ByteReader in, int track, std::vector<ChannelEvent>& events,
                std::vector<TempoChange>& tempos, std::string& error)
{
    int64_t tick = 0;
    uint8_t runningStatus = 0;  // 0: none in force
    while (in.remaining() > 0) {
        const size_t eventStart = in.position();
        uint32_t delta = 0;
        uint8_t first = 0;
        if (!in.readVariableLength(delta) || !in.readByte(first)) {
            return fail(error, "truncated or invalid delta time", track, eventStart);
        }
        tick += delta;

        if (first == kMetaEvent) {
            uint8_t type = 0;
            uint32_t length = 0;
            if (!in.readByte(type) || !in.readVariableLength(length) || in.remaining() < length) {
                return fail(error, "truncated meta event", track, eventStart);
            }
            if (type == kMetaEndOfTrack) {
                return true;  // whatever follows is not part of the track
            }
            if (type == kMetaTempo) {
                uint32_t micros = 0;
                if (length != 3 || !in.readBigEndian(3, micros) || micros == 0) {
                    return fail(error, "invalid tempo event", track, eventStart);
                }
                tempos.push_back({tick, micros});
            } else {
                in.skip(length);
            }
            runningStatus = 0;  // meta and system-exclusive events cancel running status
            continue;
        }
        if (first == 0xF0 || first == 0xF7) {
            uint32_t length = 0;
            if (!in.readVariableLength(length) || !in.skip(length)) {
                return fail(error, "truncated system-exclusive event", track, eventStart);
            }
            runningStatus = 0;
            continue;
        }
        if (first > 0xF0) {
            return fail(error, "system message inside a track", track, eventStart);
        }

        uint8_t status = first;
        uint8_t data[2] = {0, 0};
        int dataIndex = 0;
        if (first < 0x80) {
            if (runningStatus == 0) {
                return fail(error, "data byte without a status", track, eventStart);
            }
            status = runningStatus;
            data[dataIndex++] = first;
        }
        runningStatus = status;
        for (; dataIndex < dataByteCount(status); ++dataIndex) {
            if (!in.readByte(data[dataIndex]) || data[dataIndex] >= 0x80) {
                return fail(error, "truncated or invalid channel message", track, eventStart);
            }
        }
        events.push_back({tick, status, data[0], data[1]});
    }
    return true;  // a missing end-of-track event is common enough to forgive
}

}  // namespace

TempoMap::TempoMap(int ticksPerQuarter, std::vector<TempoChange> changes)
    : ticksPerQuarter_(std::max(ticksPerQuarter, 1))
{
    auto secondsPerTick = [this](uint32_t micros) {
        return micros / 1e6 / ticksPerQuarter_;
    };
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    segments_.push_back({0, 0.0, secondsPerTick(kDefaultMicrosPerQuarter)});
    for (const TempoChange& change : changes) {
        Segment& last = segments_.back();
        const int64_t tick = std::max<int64_t>(change.tick, 0);
        if (tick == last.tick) {
            last.secondsPerTick = secondsPerTick(change.microsPerQuarter);  // the later one wins
        } else {
            const double start = last.seconds + (tick - last.tick) * last.secondsPerTick;
            segments_.push_back({tick, start, secondsPerTick(change.microsPerQuarter)});
        }
    }
}

double TempoMap::secondsAtTick(int64_t tick) const
{
    auto next = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                 [](int64_t t, const Segment& s) { return t < s.tick; });
    const Segment& segment = next == segments_.begin() ? segments_.front() : *std::prev(next);
    return segment.seconds + (tick - segment.tick) * segment.secondsPerTick;
}

const TempoMap::Segment& TempoMap::segmentAtSeconds(double seconds) const
{
    auto next = std::upper_bound(segments_.begin(), segments_.end(), seconds,
                                 [](double s, const Segment& seg) { return s < seg.seconds; });
    return next == segments_.begin() ? segments_.front() : *std::prev(next);
}

double TempoMap::quartersAtSeconds(double seconds) const
{
    const Segment& segment = segmentAtSeconds(seconds);
    const double tick = segment.tick + (seconds - segment.seconds) / segment.secondsPerTick;
    return tick / ticksPerQuarter_;
}

double TempoMap::beatsPerMinuteAtSeconds(double seconds) const
{
    return 60.0 / (segmentAtSeconds(seconds).secondsPerTick * ticksPerQuarter_);
}

std::optional<MidiFile> MidiFile::parse(const uint8_t* bytes, size_t size, std::string& error)
{
    ByteReader in(bytes, size);
    uint32_t headerLength = 0;
    uint32_t format = 0;
    uint32_t trackCount = 0;
    uint32_t division = 0;
    if (!in.matches("MThd")) {
        fail(error, "not a Standard MIDI File (no MThd header)");
        return std::nullopt;
    }
    in.skip(4);
    if (!in.readBigEndian(4, headerLength) || headerLength < 6 || in.remaining() < headerLength) {
        fail(error, "truncated file header");
        return std::nullopt;
    }
    ByteReader header = in.take(headerLength);
    header.readBigEndian(2, format);
    header.readBigEndian(2, trackCount);
    header.readBigEndian(2, division);
    if (format > 1) {
        fail(error, "MIDI file type " + std::to_string(format) + " is not supported");
        return std::nullopt;
    }
    if (trackCount == 0) {
        fail(error, "the file declares no tracks");
        return std::nullopt;
    }
    if ((division & 0x8000) != 0 || division == 0) {
        fail(error, "only a time division in ticks per quarter note is supported");
        return std::nullopt;
    }

    std::vector<ChannelEvent> events;
    std::vector<TempoChange> tempos;
    int tracksRead = 0;
    while (tracksRead < static_cast<int>(trackCount)) {
        const bool isTrack = in.matches("MTrk");
        uint32_t length = 0;
        if (!in.skip(4) || !in.readBigEndian(4, length) || in.remaining() < length) {
            fail(error, "file ends inside or before track " + std::to_string(tracksRead + 1) +
                            " of " + std::to_string(trackCount));
            return std::nullopt;
        }
        ByteReader chunk = in.take(length);
        if (!isTrack) {
            continue;  // chunks of unknown type are to be skipped
        }
        if (!parseTrack(chunk, tracksRead, events, tempos, error)) {
            return std::nullopt;
        }
        ++tracksRead;
    }

    std::stable_sort(events.begin(), events.end(),
                     [](const ChannelEvent& a, const ChannelEvent& b) { return a.tick < b.tick; });
    MidiFile file;
    file.format_ = static_cast<int>(format);
    file.tempoMap_ = TempoMap(static_cast<int>(division), std::move(tempos));
    file.events_ = std::move(events);
    return file;
}

std::optional<MidiFile> MidiFile::load(const std::string& path, std::string& error)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(stream),
                                     std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::optional<MidiFile> file = parse(bytes.data(), bytes.size(), error);
    if (!file) {
        error = path + ": " + error;
    }
    return file;
}

}  // namespace smf
