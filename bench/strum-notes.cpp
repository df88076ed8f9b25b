// lyrevane-strum-notes: plays a Standard MIDI File of strum keys through the strum engine and
// writes the string notes it schedules (with their bends) as a type 0 MIDI file on one
// steel-string guitar channel, so that a General MIDI synthesiser can play the same notes.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "strum/CArpStrum.h"
#include "tools/MidiFile.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr int kTicksPerQuarter = 480;
constexpr uint8_t kSteelStringGuitar = 25;  // General MIDI program, counted from 0

struct PlayedMessage
{
    int64_t sample;
    uint8_t bytes[3];
};

// Records each message at the absolute sample where the instrument would act on it.
class NoteRecorder : public CArpStrum
{
public:
    int64_t blockStart = 0;
    int32_t offset = 0;
    std::vector<PlayedMessage> played;

    void onNoteOn(int32_t, int32_t note, int32_t velocity) override
    {
        add(0x90, note, velocity);
    }
    void onNoteOff(int32_t, int32_t note, int32_t) override { add(0x80, note, 0); }
    void onPitchBend(int32_t, int16_t bend) override
    {
        const int32_t raw = bend + 8192;
        add(0xE0, raw & 0x7F, raw >> 7);
    }

private:
    void add(uint8_t status, int32_t data1, int32_t data2)
    {
        played.push_back({blockStart + offset,
                          {status, uint8_t(data1 & 0x7F), uint8_t(data2 & 0x7F)}});
    }
};

void putVariable(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[5];
    int count = 0;
    do {
        bytes[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (count > 1) out.push_back(bytes[--count] | 0x80);
    out.push_back(bytes[0]);
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: lyrevane-strum-notes IN.mid OUT.mid\n");
        return 2;
    }
    std::string error;
    const auto file = smf::MidiFile::load(argv[1], error);
    if (!file) {
        std::fprintf(stderr, "lyrevane-strum-notes: %s\n", error.c_str());
        return 1;
    }
    const smf::TempoMap& tempo = file->tempoMap();
    NoteRecorder strum;
    size_t next = 0;
    const auto& keys = file->events();
    const int64_t end = int64_t((tempo.secondsAtTick(keys.empty() ? 0 : keys.back().tick) + 3.0) *
                                kRate);
    for (strum.blockStart = 0; strum.blockStart < end; strum.blockStart += kBlock) {
        strum.clearQueue();
        for (; next < keys.size(); ++next) {
            const auto sample = int64_t(tempo.secondsAtTick(keys[next].tick) * kRate);
            if (sample >= strum.blockStart + kBlock) break;
            const smf::ChannelEvent& key = keys[next];
            strum.pushMsg(int32_t(sample - strum.blockStart),
                          packMsg(key.status & 0xF0u, key.status & 0x0Fu, key.data1, key.data2));
        }
        const double seconds = double(strum.blockStart) / kRate;
        strum.processBlock(float(tempo.beatsPerMinuteAtSeconds(seconds)),
                           float(tempo.quartersAtSeconds(seconds)), kBlock, float(kRate));
        while (strum.pendingCount() >= 1) {
            strum.offset = strum.nextTime();
            strum.dispatchNext();
        }
    }

    // One quarter is half a second at the file format's default tempo of 120 bpm.
    std::vector<uint8_t> track = {0x00, 0xC0, kSteelStringGuitar};
    int64_t lastTick = 0;
    for (const PlayedMessage& message : strum.played) {
        const auto tick = int64_t(double(message.sample) / kRate * 2.0 * kTicksPerQuarter + 0.5);
        putVariable(track, uint32_t(tick - lastTick));
        track.insert(track.end(), message.bytes, message.bytes + 3);
        lastTick = tick;
    }
    // The file ends where our render ends (three seconds after the last key): every sound
    // is cut there, so both renderers produce the same length of audio.
    putVariable(track, uint32_t(double(end) / kRate * 2.0 * kTicksPerQuarter + 0.5 - lastTick));
    track.insert(track.end(), {0xB0, 120, 0, 0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    putBigEndian(out, kTicksPerQuarter, 2);
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    putBigEndian(out, uint32_t(track.size()), 4);
    out.insert(out.end(), track.begin(), track.end());
    FILE* output = std::fopen(argv[2], "wb");
    if (!output || std::fwrite(out.data(), 1, out.size(), output) != out.size() ||
        std::fclose(output) != 0) {
        std::fprintf(stderr, "lyrevane-strum-notes: cannot write %s\n", argv[2]);
        return 1;
    }
    std::printf("wrote %s: %zu messages\n", argv[2], strum.played.size());
    return 0;
}
