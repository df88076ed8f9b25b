// The host test's keys and parameter edits, and their MIDI file and Lua forms.
#include "tests/support/HostTestPlan.h"

#include "tools/Keys.h"

#include <cstdio>
#include <fstream>

namespace ardourtest {

namespace {

constexpr int64_t kStrumSection = 6 * kHalfSecond;  // chord key, strum, ring, mute
using namespace keys;
constexpr uint8_t kPickedKey = kPickKeys[5];  // the highest string
constexpr int kEMajorPositions[kStrings] = {1, 3, 3, 2, 1, 1};  // fret + 1: 0 2 2 1 0 0

uint8_t chordForStrings(int strings)
{
    return static_cast<uint8_t>(strings == kStrings ? kWorkedChord : kWorkedChord + strings);
}

bool failOpen(const std::string& path, std::string& error)
{
    error = "cannot write " + path;
    return false;
}

}  // namespace

std::vector<Strum> plannedStrums()
{
    // The worked example first, on a fresh instance, then the edited chords.
    std::vector<Strum> strums;
    const int order[kStrings] = {6, 1, 2, 3, 4, 5};
    for (int section = 0; section < kStrings; ++section) {
        strums.push_back({order[section], section * kStrumSection + 2 * kHalfSecond});
    }
    return strums;
}

int64_t pickSample()
{
    return kStrings * kStrumSection + 2 * kHalfSecond;
}

int64_t plannedLength()
{
    return pickSample() + 6 * kHalfSecond;
}

std::vector<PlannedKey> plannedKeys()
{
    std::vector<PlannedKey> keys;
    const auto strumVelocity = static_cast<uint8_t>(kStrumVelocity);
    for (const Strum& strum : plannedStrums()) {
        const uint8_t chordKey = kFirstChordKey + chordForStrings(strum.strings);
        keys.push_back({strum.keySample - kHalfSecond, chordKey, strumVelocity});
        keys.push_back({strum.keySample, kStrumDownKey, strumVelocity});
        keys.push_back({strum.keySample + 3 * kHalfSecond, kMuteKey, strumVelocity});
    }
    keys.push_back({pickSample() - kHalfSecond, kFirstChordKey + kWorkedChord, strumVelocity});
    keys.push_back({pickSample(), kPickedKey, static_cast<uint8_t>(kPickVelocity)});
    keys.push_back({plannedLength() - kHalfSecond, kMuteKey, strumVelocity});
    return keys;
}

std::vector<PlannedParameter> plannedParameters()
{
    std::vector<PlannedParameter> parameters;
    const float positionStep = 1.0f / 19.0f;  // the chord bank's value of one fret position
    for (int strings = 1; strings < kStrings; ++strings) {
        const int chord = chordForStrings(strings);
        for (int s = 0; s < kStrings; ++s) {
            const float value = s < strings ? kEMajorPositions[s] * positionStep : 0.0f;
            parameters.push_back({chord * kStrings + s, value});
        }
    }
    parameters.push_back({75, 1.0f});  // the electric sound set
    return parameters;
}

bool writeMidiTrack(const std::string& path, int ticksPerQuarter,
                    const std::vector<TickedMessage>& messages, std::string& error)
{
    std::vector<uint8_t> track = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 500000 us
    const auto writeDelta = [&track](uint32_t delta) {
        uint8_t groups[5];
        int count = 0;
        do {
            groups[count++] = delta & 0x7F;
            delta >>= 7;
        } while (delta != 0);
        while (count > 1) {
            track.push_back(groups[--count] | 0x80);
        }
        track.push_back(groups[0]);
    };
    int64_t lastTick = 0;
    for (const TickedMessage& message : messages) {
        writeDelta(static_cast<uint32_t>(message.tick - lastTick));
        lastTick = message.tick;
        track.insert(track.end(), {message.status, message.data1, message.data2});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::ofstream out(path, std::ios::binary);
    if (!out) {
        return failOpen(path, error);
    }
    const uint32_t size = static_cast<uint32_t>(track.size());
    const uint8_t header[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                              static_cast<uint8_t>(ticksPerQuarter >> 8),
                              static_cast<uint8_t>(ticksPerQuarter & 0xFF),
                              'M', 'T', 'r', 'k',
                              static_cast<uint8_t>(size >> 24), static_cast<uint8_t>(size >> 16),
                              static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)};
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(track.data()), static_cast<std::streamsize>(size));
    return out.good() || failOpen(path, error);
}

bool writeMidiFile(const std::string& path, std::string& error)
{
    std::vector<TickedMessage> messages;
    for (const PlannedKey& key : plannedKeys()) {
        messages.push_back({key.sample / kSamplesPerTick, kNoteOn, key.key, key.velocity});
    }
    return writeMidiTrack(path, kTicksPerQuarter, messages, error);
}

bool writeLuaTables(const std::string& path, std::string& error)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) {
        return failOpen(path, error);
    }
    std::fprintf(out, "PLAN_LENGTH = %lld\nPLAN_EVENTS = {\n", (long long)plannedLength());
    for (const PlannedKey& key : plannedKeys()) {
        std::fprintf(out, "  { %lld, %d, %d, %d },\n", (long long)key.sample, kNoteOn, key.key,
                     key.velocity);
    }
    // Nine significant digits give back the same single-precision value.
    std::fprintf(out, "}\nPLAN_PARAMS = {\n");
    for (const PlannedParameter& parameter : plannedParameters()) {
        std::fprintf(out, "  { %d, %.9g },\n", parameter.index, parameter.value);
    }
    std::fprintf(out, "}\n");
    return std::fclose(out) == 0 || failOpen(path, error);
}

bool writeRenderArguments(const std::string& path, std::string& error)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) {
        return failOpen(path, error);
    }
    for (const PlannedParameter& parameter : plannedParameters()) {
        std::fprintf(out, "--param\n%d=%.9g\n", parameter.index, parameter.value);
    }
    return std::fclose(out) == 0 || failOpen(path, error);
}

}  // namespace ardourtest
