// What a key of the strum engine does: the actions of its key map, which strum patterns
// play too.
#pragma once

#include <cstdint>

enum KeyAction : int32_t {
    MuteAll = 0,
    SelectChord = 1,
    StrumUp = 2,
    StrumDown = 3,
    ShortStrumUp = 4,
    ShortStrumDown = 5,
    PickString = 6,
};
