// What the host test plays and sets: the keys at their transport samples, the parameter edits,
// and the same plan written out as a MIDI file for our render tool and as Lua tables for the
// scripts that drive the host, so that both renders come from one description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ardourtest {

constexpr int kHostRate = 48000;
constexpr int kTicksPerQuarter = 480;
// At 120 beats per minute and 48000 Hz one tick is exactly 50 samples, so every key on the
// half-second grid lands on the same sample in the host and in the render tool.
constexpr int kSamplesPerTick = 50;
constexpr int64_t kHalfSecond = kHostRate / 2;

// Chord 4 is the default E major with all six strings. Chords 5 to 9 are edited through the
// host to E major with only its lowest 1 to 5 strings, so strum p (p = 1..5) and strum p + 1
// differ by exactly one string; strum 6 is the worked example on chord 4.
constexpr int kWorkedChord = 4;
constexpr int kStrings = 6;
constexpr int kStrumVelocity = 100;
constexpr int kPickVelocity = 100;
constexpr int kPickedString = 5;
constexpr int kPickedNote = 64;  // string 5 of E major: the open high E
// Samples between strings of a velocity-100 strum at 44100 Hz, and at the host's rate, where
// the strum engine counts whole samples: 500 at 48000 Hz, so the sixth string comes 2500
// samples after the first, not 2503.4.
constexpr double kStrumSpacingAt44100 = 460.0;
constexpr double kStrumSpacing = static_cast<double>(
    static_cast<int64_t>(kStrumSpacingAt44100 * kHostRate / 44100.0));

struct PlannedKey {
    int64_t sample;  // transport position at the host rate
    uint8_t key;
    uint8_t velocity;
};

struct PlannedParameter {
    int index;
    float value;
};

struct Strum {
    int strings;        // sounding strings of its chord
    int64_t keySample;  // where the strum key falls
};

// One strum per string count 1..6, each in its own three seconds, then a picked string.
std::vector<Strum> plannedStrums();
std::vector<PlannedKey> plannedKeys();
std::vector<PlannedParameter> plannedParameters();
int64_t pickSample();
int64_t plannedLength();

// A channel message at its tick.
struct TickedMessage {
    int64_t tick;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

// Format 0, one track at tempo 120, the messages in order (ticks must not decrease).
bool writeMidiTrack(const std::string& path, int ticksPerQuarter,
                    const std::vector<TickedMessage>& messages, std::string& error);
// The planned keys as note-ons on channel 1.
bool writeMidiFile(const std::string& path, std::string& error);
// PLAN_EVENTS {sample, status, key, velocity}, PLAN_PARAMS {index, value}, PLAN_LENGTH.
bool writeLuaTables(const std::string& path, std::string& error);
// One render-tool option per line: "--param" and "INDEX=VALUE" alternate.
bool writeRenderArguments(const std::string& path, std::string& error);

}  // namespace ardourtest
