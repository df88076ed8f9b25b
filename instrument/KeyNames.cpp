#include "instrument/KeyNames.h"

#include <tuple>

#include "instrument/Controls.h"
#include "strum/CArpStrum.h"
#include "strum/KeySpelling.h"

namespace keynames {

namespace {

constexpr const char* kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                        "F#", "G",  "G#", "A",  "A#", "B"};

// Key 60, middle C, is C4.
std::string keyLabel(int key) { return kNoteNames[key % 12] + std::to_string(key / 12 - 1); }

std::string keyNameWith(int key, const std::array<chords::ChordName, 12>& names, int32_t zoneChord,
                        bool articulationKeys)
{
    if (zoneChord != kNoZone && ChordZone::holds(static_cast<uint32_t>(key))) {
        return zoneChord == controls::kNoChord
                   ? "Held chord"
                   : "Held chord: " + controls::recognisedChordLabel(zoneChord);
    }
    const KeyBinding binding = CArpStrum::binding(static_cast<uint32_t>(key), articulationKeys);
    switch (binding.action) {
    case SelectChord:
        return keyLabel(key) + " chord: " + names[binding.argument].c_str();
    case StrumDown:
        return "Strum down";
    case StrumUp:
        return "Strum up";
    case ShortStrumDown:
        return "Short strum down";
    case ShortStrumUp:
        return "Short strum up";
    case DeadStrumDown:
        return "Dead strum down";
    case DeadStrumUp:
        return "Dead strum up";
    case MutedStrumDown:
        return "Palm-muted strum down";
    case MutedStrumUp:
        return "Palm-muted strum up";
    case PickString:
        return "Pick string " + std::to_string(binding.argument + 1) + " (" +
               controls::kStringNames[binding.argument] + ")";
    case MuteAll:
        break;
    }
    return "Silence";
}

}  // namespace

static_assert(kKeyCount == std::tuple_size<decltype(CArpStrum::keyMap)>::value,
              "a name for every key of the key map");

Names names(const Bank& chords, int32_t zoneChord, bool articulationKeys)
{
    std::array<chords::ChordName, 12> chordNames;
    chords::nameChords(chords.data(), static_cast<int>(chords.size()), chordNames.data());
    Names keys;
    for (int key = 0; key < kKeyCount; ++key)
        keys[key] = keyNameWith(key, chordNames, zoneChord, articulationKeys);
    return keys;
}

}  // namespace keynames
