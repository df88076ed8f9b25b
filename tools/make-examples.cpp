// Writes the example MIDI files of examples/: a short strummed song, a minute of dense
// strumming for timing and load checks, the single strum of the worked example, and held
// chords for the LV2 plug-in's strum patterns.
// Everything is computed from fixed tables, so the files come out the same byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tools/Keys.h"

namespace {

constexpr int kTicksPerQuarter = 480;
constexpr int kEighth = kTicksPerQuarter / 2;
constexpr int kBar = 4 * kTicksPerQuarter;
constexpr int kNoteLength = kEighth - 40;  // keys are let go a little before the next eighth

using namespace keys;

// Chord numbers of the instrument's default chord bank.
constexpr int kChordC = 0;
constexpr int kChordD = 2;
constexpr int kChordE = 4;
constexpr int kChordF = 5;
constexpr int kChordG = 7;
constexpr int kChordA = 9;

void appendVariableLength(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t groups[4];
    int count = 0;
    do {
        groups[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0 && count < 4);
    while (count > 1) {
        out.push_back(groups[--count] | 0x80);
    }
    out.push_back(groups[0]);
}

void appendBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// Collects the events of one track in any order and writes them sorted by tick; events at
// one tick keep the order in which they were added.
class Track
{
public:
    void add(uint32_t tick, std::vector<uint8_t> bytes)
    {
        events_.push_back({tick, std::move(bytes)});
    }

    void meta(uint32_t tick, uint8_t type, const std::vector<uint8_t>& data)
    {
        std::vector<uint8_t> bytes = {0xFF, type};
        appendVariableLength(bytes, static_cast<uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        add(tick, bytes);
    }

    void name(const std::string& text) { meta(0, 0x03, {text.begin(), text.end()}); }

    void tempo(uint32_t tick, int beatsPerMinute)
    {
        std::vector<uint8_t> micros;
        appendBigEndian(micros, 60000000 / beatsPerMinute, 3);
        meta(tick, 0x51, micros);
    }

    void timeSignatureFourFour() { meta(0, 0x58, {4, 2, 24, 8}); }

    // A key press and its release (a note-on of velocity 0, which keeps running status).
    void key(uint32_t tick, uint8_t note, uint8_t velocity, uint32_t length = kNoteLength)
    {
        add(tick, {0x90, note, velocity});
        add(tick + length, {0x90, note, 0});
    }

    void pitchBend(uint32_t tick, int bend)  // -8192..8191
    {
        const int value = bend + 8192;
        add(tick, {0xE0, static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>(value >> 7)});
    }

    // Writes running status wherever the format allows it.
    std::vector<uint8_t> chunk() const
    {
        std::vector<Event> sorted = events_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Event& a, const Event& b) { return a.tick < b.tick; });
        std::vector<uint8_t> body;
        uint32_t now = 0;
        uint8_t runningStatus = 0;
        for (const Event& event : sorted) {
            appendVariableLength(body, event.tick - now);
            now = event.tick;
            const uint8_t status = event.bytes[0];
            const bool isChannelMessage = status < 0xF0;
            const bool reuseStatus = isChannelMessage && status == runningStatus;
            body.insert(body.end(), event.bytes.begin() + (reuseStatus ? 1 : 0),
                        event.bytes.end());
            runningStatus = isChannelMessage ? status : 0;
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});

        std::vector<uint8_t> out = {'M', 'T', 'r', 'k'};
        appendBigEndian(out, static_cast<uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
        return out;
    }

private:
    struct Event {
        uint32_t tick;
        std::vector<uint8_t> bytes;
    };
    std::vector<Event> events_;
};

bool writeFile(const std::string& path, int format, const std::vector<Track>& tracks)
{
    std::vector<uint8_t> bytes = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    appendBigEndian(bytes, static_cast<uint32_t>(format), 2);
    appendBigEndian(bytes, static_cast<uint32_t>(tracks.size()), 2);
    appendBigEndian(bytes, kTicksPerQuarter, 2);
    for (const Track& track : tracks) {
        const std::vector<uint8_t> chunk = track.chunk();
        bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make-examples: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

uint8_t chordKey(int chord)
{
    return static_cast<uint8_t>(kFirstChordKey + chord);
}

// One bar's worth of right-hand keys on the eighth-note grid: (eighth, key, velocity).
struct Stroke {
    int eighth;
    uint8_t key;
    uint8_t velocity;
};

const std::vector<Stroke> kRingingPattern = {
    {0, kStrumDownKey, 110}, {2, kStrumDownKey, 88}, {3, kStrumUpKey, 70},
    {5, kStrumUpKey, 76},    {6, kStrumDownKey, 96}, {7, kStrumUpKey, 72},
};
const std::vector<Stroke> kShortPattern = {
    {0, kShortStrumDownKey, 112}, {1, kShortStrumUpKey, 78}, {2, kShortStrumDownKey, 100},
    {3, kShortStrumUpKey, 80},    {4, kShortStrumDownKey, 106}, {5, kShortStrumUpKey, 78},
    {6, kShortStrumDownKey, 100}, {7, kShortStrumUpKey, 84},
};
const std::vector<Stroke> kPickedPattern = {
    {0, kPickKeys[0], 100}, {1, kPickKeys[2], 84}, {2, kPickKeys[3], 88},
    {3, kPickKeys[4], 84},  {4, kPickKeys[5], 96}, {5, kPickKeys[4], 80},
    {6, kPickKeys[3], 84},  {7, kPickKeys[2], 80},
};

void playBar(Track& track, int bar, int chord, const std::vector<Stroke>& pattern)
{
    const uint32_t start = static_cast<uint32_t>(bar * kBar);
    track.key(start, chordKey(chord), 100);  // before the first stroke of the same tick
    for (const Stroke& stroke : pattern) {
        track.key(start + stroke.eighth * kEighth, stroke.key, stroke.velocity);
    }
}

bool writeSong(const std::string& directory)
{
    Track conductor;
    conductor.name("Lyrevane example song");
    conductor.timeSignatureFourFour();
    conductor.tempo(0, 100);
    conductor.tempo(8 * kBar, 140);  // the second half is faster, so its strums tighten

    Track guitar;
    guitar.name("Strummer");
    const int firstHalf[8] = {kChordG, kChordC, kChordD, kChordG,
                              kChordE, kChordA, kChordD, kChordG};
    playBar(guitar, 0, firstHalf[0], kPickedPattern);
    playBar(guitar, 1, firstHalf[1], kPickedPattern);
    for (int bar = 2; bar < 7; ++bar) {
        playBar(guitar, bar, firstHalf[bar], kRingingPattern);
    }
    // Bend the ringing D chord up a semitone and back, then stop dead before the tempo change.
    for (int step = 0; step <= 8; ++step) {
        guitar.pitchBend(6 * kBar + 4 * kEighth + step * kEighth / 4, step * 512);
    }
    guitar.pitchBend(6 * kBar + 7 * kEighth, 0);
    playBar(guitar, 7, firstHalf[7], {{0, kStrumDownKey, 120}, {3, kStrumUpKey, 90}});
    guitar.key(7 * kBar + 6 * kEighth, kMuteKey, 100);

    const int secondHalf[8] = {kChordC, kChordG, kChordD, kChordG,
                               kChordF, kChordC, kChordD, kChordG};
    for (int bar = 8; bar < 12; ++bar) {
        playBar(guitar, bar, secondHalf[bar - 8], kShortPattern);
    }
    for (int bar = 12; bar < 15; ++bar) {
        playBar(guitar, bar, secondHalf[bar - 8], kRingingPattern);
    }
    playBar(guitar, 15, secondHalf[7], {{0, kStrumDownKey, 127}});
    guitar.key(15 * kBar + 6 * kEighth, kMuteKey, 100);
    return writeFile(directory + "/song.mid", 1, {conductor, guitar});
}

bool writeDenseStrum(const std::string& directory)
{
    Track track;
    track.name("Dense strumming, 60 s");
    track.timeSignatureFourFour();
    track.tempo(0, 120);
    constexpr int kBars = 30;  // 60 s at 120 beats per minute
    for (int bar = 0; bar < kBars; ++bar) {
        const uint32_t start = static_cast<uint32_t>(bar * kBar);
        track.key(start, chordKey(bar % 12), 100);
        for (int eighth = 0; eighth < 8; ++eighth) {
            const uint32_t tick = start + eighth * kEighth;  // every 250 ms
            const bool down = eighth % 2 == 0;
            if (bar % 4 == 3 && eighth == 7) {
                track.key(tick, kShortStrumUpKey, 90);
            } else {
                track.key(tick, down ? kStrumDownKey : kStrumUpKey, down ? 100 : 80);
            }
        }
        if (bar % 5 == 2) {
            track.key(start + 3 * kEighth + kEighth / 2, kPickKeys[bar % 6], 90, kEighth / 4);
        }
    }
    return writeFile(directory + "/dense-strum.mid", 0, {track});
}

bool writeWorkedStrum(const std::string& directory)
{
    Track track;
    track.name("One strum of E major");
    track.tempo(0, 120);
    track.key(0, chordKey(kChordE), 100, kTicksPerQuarter);
    track.key(0, kStrumDownKey, 100, kTicksPerQuarter);
    return writeFile(directory + "/worked-strum.mid", 0, {track});
}

// Left-hand chords for the LV2 plug-in's chord zone (keys below 48), one held through each
// bar, for its strum patterns to play: render with --lv2 --port chord_input=1 --port
// pattern=N. Triads in several inversions, sevenths, a suspension and a lone note.
bool writePatterns(const std::string& directory)
{
    Track track;
    track.name("Held chords for the strum patterns");
    track.timeSignatureFourFour();
    track.tempo(0, 100);
    const std::vector<std::vector<uint8_t>> bars = {
        {36, 40, 43},      // C
        {33, 36, 40},      // Am
        {36, 41, 45},      // F over its fifth
        {31, 35, 38, 41},  // G7
        {28, 31, 35},      // Em
        {33, 36, 40, 43},  // Am7
        {38, 43, 45},      // Dsus4
        {31},              // a lone G: G major
    };
    for (size_t bar = 0; bar < bars.size(); ++bar) {
        for (uint8_t note : bars[bar]) {
            // Let go a little before the bar line, as a hand moves to the next chord.
            track.key(static_cast<uint32_t>(bar * kBar), note, 90, kBar - 60);
        }
    }
    return writeFile(directory + "/patterns.mid", 0, {track});
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    const bool written = writeSong(directory) && writeDenseStrum(directory) &&
                         writeWorkedStrum(directory) && writePatterns(directory);
    return written ? 0 : 1;
}
