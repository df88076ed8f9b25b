// The names of the instrument's 128 keys, which hosts show in their piano rolls: each chord
// key with the chord it selects, the strum and pick keys with what they play, every other key
// "Silence". LV2 wraps them in a MIDNAM document; CLAP's note names and VST3's pitch names
// are these.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "strum/ChordNamer.h"

namespace keynames {

constexpr int kKeyCount = 128;
using Bank = std::array<chords::ChordNotes, 12>;
using Names = std::array<std::string, kKeyCount>;

// What the keys below the chord keys do: silence (the key map's), or hold a chord, the one
// recognised so far (controls::kNoChord before any).
constexpr int32_t kNoZone = -2;

// "C3 chord: Am", "Strum down", "Pick string 1 (low E)" or "Silence" (key 60 is C4); with a
// chord zone, its keys "Held chord: Am7"; with the articulation keys, "Dead strum down" and
// the like. The chords are the notes they sound. Allocates: never on the audio thread.
Names names(const Bank& chords, int32_t zoneChord = kNoZone, bool articulationKeys = false);

}  // namespace keynames
