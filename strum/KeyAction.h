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
    // The articulations beyond the key map: strums damped by the fretting hand (a dead
    // "chuck") or by the picking hand's palm.
    DeadStrumUp = 7,
    DeadStrumDown = 8,
    MutedStrumUp = 9,
    MutedStrumDown = 10,
};
