// A strum pattern as the engine plays it: strokes on a grid of beats, one bar (or a few) long.
// The patterns that ship are generated from strum/patterns.txt into strum/PatternTable.h.
#pragma once

#include <cstdint>

#include "strum/KeyAction.h"

struct PatternStep {
    int32_t cell;      // starts cell / stepsPerBeat beats after the pattern's start
    KeyAction action;  // a strum, short strum or PickString
    int32_t string;    // PickString: 0 (low E) to 5 (high E)
    bool accent;
};

struct StrumPattern {
    const char* symbol;  // the musician's short name, as in the table
    const char* name;
    int32_t beats;         // length in beats of the host's bar
    int32_t stepsPerBeat;  // the grid: 1 quarters, 2 eighths, 3 triplets, 4 sixteenths
    const PatternStep* steps;  // in time order
    int32_t stepCount;
};
