// Follows the host's transport from the time:Position objects an LV2 host sends whenever
// tempo, speed or position change, and answers the block driver with the time record a VST
// host would give: the driver's own watch then tells a real jump from a clock that runs on.
#pragma once

#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "host/VstInterface.h"

class Lv2Transport
{
public:
    explicit Lv2Transport(LV2_URID_Map& map);

    // Takes a time:Position object from the block's events; other objects are ignored.
    void read(const LV2_Atom_Object* object);
    // The clock at the start of a block of frames, null before the host has sent any; the
    // transport-changed bit is raised when a position arrived with this block. Afterwards
    // the position moves on by the block.
    const VstTimeInfo* nextBlock(int32_t frames, double sampleRate);

private:
    bool numberOf(const LV2_Atom* atom, double& value) const;
    // The loop a jump back of this many frames while rolling closes, in quarter notes.
    void learnLoop(double frames);

    LV2_URID position, bpm, speedKey, frame, beat, bar, barBeat, beatUnit, beatsPerBar;
    LV2_URID atomFloat, atomDouble, atomInt, atomLong;

    bool known = false;
    bool changed = false;
    // Whether the host gives the song position in samples; until it does, samplePos stays
    // 0, as some VST hosts leave it, and the watch goes by the musical position.
    bool framesKnown = false;
    // Whether the host states its bars and time signature; the bar start then moves on
    // with the position, for strum patterns to keep to the bar.
    bool barsKnown = false;
    bool meterKnown = false;
    double quartersPerBar = 4.0;
    double speed = 0.0;  // 0 stopped, 1 playing
    bool loopKnown = false;
    double loopFrames = 0.0;
    double loopStartPpq = 0.0;
    double loopEndPpq = 0.0;
    double rate = 0.0;  // the last block's sample rate
    VstTimeInfo time{};    // tempo, ppqPos, samplePos, the bar's start and the meter
    VstTimeInfo answer{};  // the current block's, while time moves on to the next
};
