// The instrument behind the LV2 plug-in interface: hands the control ports' changes, the
// atom port's MIDI, time:Position objects and reset messages to the format-neutral
// instrument, and its outputs to the output ports.
#pragma once

#include <atomic>
#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <string>

#include "instrument/Instrument.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Midnam.h"

class Lv2Instrument
{
public:
    // keyNamesChanged, when the host offers it, is told whenever a chord changes.
    Lv2Instrument(double sampleRate, LV2_URID_Map& map,
                  const LyrevaneMidnamUpdate* keyNamesChanged = nullptr);

    void connect(uint32_t port, void* data);
    void activate();
    void run(uint32_t frames);

    // The MIDNAM document naming the keys with the chords they play now, and the model it
    // names, unique to the instance. On the host's thread, while run() may be playing.
    std::string keyNames();
    std::string model() const;

private:
    void passControls();
    void passEvents();
    // A time:Position object as the instrument's transport.
    Transport transportOf(const LV2_Atom_Object* object) const;
    bool numberOf(const LV2_Atom* atom, double& value) const;

    Instrument instrument;
    LV2_URID midiEvent;
    LV2_URID atomObject;
    LV2_URID atomBlank;
    LV2_URID resetMessage;
    LV2_URID position, bpm, speedKey, frame, beat, bar, barBeat, beatUnit, beatsPerBar;
    LV2_URID atomFloat, atomDouble, atomInt, atomLong;
    const LyrevaneMidnamUpdate* keyNamesChanged;

    const LV2_Atom_Sequence* events = nullptr;
    float* left = nullptr;
    float* right = nullptr;
    const float* controls[lv2ports::kPortCount] = {};
    float* playedChord = nullptr;
    float* recognisedChord = nullptr;
    // The raw value each control port had at the last run: only a change reaches the
    // instrument, as a host's automation would.
    float lastSeen[lv2ports::kPortCount] = {};
    int32_t resetApplied = 0;  // the reset port's value held to 0 or 1
    bool resetRose = false;    // the reset port went up in the last run
};
