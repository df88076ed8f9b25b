// The instrument's keyboard as a player meets it: the MIDI note numbers and statuses that the
// example generator, the render tool, the tests and the benchmarks play. Written out here,
// apart from the engine's key map, so that a test of the map checks it against the keys a
// player presses rather than against itself.
#pragma once

#include <cstdint>

namespace keys {

constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kPitchBend = 0xE0;

constexpr uint8_t kFirstChordKey = 48;  // chord n is kFirstChordKey + n, n = 0 to 11
constexpr uint8_t kStrumDownKey = 60;
constexpr uint8_t kMuteKey = 61;
constexpr uint8_t kStrumUpKey = 62;
constexpr uint8_t kShortStrumDownKey = 64;
constexpr uint8_t kShortStrumUpKey = 65;
// Pick string 1 (low E) to string 6 (high E).
constexpr uint8_t kPickKeys[6] = {67, 69, 71, 72, 74, 76};
// Far from every key with an action of its own; like the mute key, it silences everything.
constexpr uint8_t kUnboundKey = 40;

}  // namespace keys
