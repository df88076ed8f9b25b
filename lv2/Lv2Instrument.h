// The instrument behind the LV2 plug-in interface: reads the control ports into the
// instrument's parameters, the atom port into its MIDI queue and clock, and renders through
// the same block driver as the VST module.
#pragma once

#include <atomic>
#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <string>

#include "host/Plektra.h"
#include "lv2/Lv2KeyNames.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Transport.h"
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
    // names, unique to the instance. On the host's thread, while run() may be playing: the
    // chords are read as the panel reads them, one atomic word a string.
    std::string keyNames();
    std::string model() const;

private:
    void applyControls();
    void applyPlayingAids();
    void queueEvents();

    Plektra plektra{nullptr};
    Lv2Transport transport;
    LV2_URID midiEvent;
    LV2_URID atomObject;
    LV2_URID atomBlank;
    LV2_URID resetMessage;
    double sampleRate;
    const LyrevaneMidnamUpdate* keyNamesChanged;

    const LV2_Atom_Sequence* events = nullptr;
    float* left = nullptr;
    float* right = nullptr;
    const float* controls[lv2ports::kPortCount] = {};
    float* playedChord = nullptr;
    float* recognisedChord = nullptr;
    // The value each control port last had, held to its range: only a change reaches the
    // instrument, as a host's automation would.
    int32_t applied[lv2ports::kPortCount] = {};
    float lastSeen[lv2ports::kPortCount] = {};  // the raw port value behind applied
    bool resetRose = false;  // the reset port went up in the last run
    bool chordsEdited = false;  // in this block; the host reads the key names again
    bool wasRolling = false;    // the host's transport in the last block
    // The chord zone as the key names last told it: kNoZone with chord keys only, else the
    // recognised chord. Written by the audio thread, read when the host asks for the names:
    // one word that nothing else depends on, so relaxed ordering.
    std::atomic<int32_t> zoneChord{lv2keynames::kNoZone};
};
