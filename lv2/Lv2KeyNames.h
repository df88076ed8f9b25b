// The names of the instrument's 128 keys as a MIDNAM document, which hosts show in their
// piano rolls: each chord key with the chord it selects, the strum and pick keys with what
// they play, every other key "Silence".
#pragma once

#include "strum/ChordNamer.h"

#include <array>
#include <string>

namespace lv2keynames {

using Bank = std::array<chords::ChordNotes, 12>;

// What the keys below the chord keys do: silence (the key map's), or hold a chord, the one
// recognised so far (lv2ports::kNoChord before any).
constexpr int32_t kNoZone = -2;

// The document for one instance: its model (unique to the instance) names the keys on every
// channel, "C3 chord: Am", "Strum down", "Pick string 1 (low E)" or "Silence" (key 60 is C4);
// with a chord zone, its keys "Held chord: Am7". Built on the host's thread, never the audio
// thread: it allocates.
std::string document(const std::string& model, const Bank& chords, int32_t zoneChord = kNoZone);

}  // namespace lv2keynames
