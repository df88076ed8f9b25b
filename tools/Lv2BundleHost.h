// Plays Lyrevane's own LV2 bundle for the render tool without an LV2 host library: loads
// its DSP binary as any LV2 host does, maps URIDs itself, and drives the plug-in through the
// LV2 C interface with the port numbers of lv2/Lv2Ports.h. Any other plug-in needs a host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include "platform/LoadableModule.h"
#include "tools/PluginHost.h"

namespace harness {

// Where the host's transport stands at a block's start, as Ardour and jalv state it.
struct SongPosition {
    int64_t frame;
    double quarters;  // bars of four quarter notes
    double beatsPerMinute;
    bool rolling;
};

class Lv2BundleHost
{
public:
    Lv2BundleHost() = default;
    ~Lv2BundleHost();
    Lv2BundleHost(const Lv2BundleHost&) = delete;
    Lv2BundleHost& operator=(const Lv2BundleHost&) = delete;

    // Loads and activates the plug-in of the bundle folder; false with the reason in error.
    bool load(const std::string& bundle, double sampleRate, int32_t maxBlock, std::string& error);
    // An input control port by its symbol; false when the plug-in has none of that name. A
    // port never set keeps the plug-in's own default.
    bool setPort(const std::string& symbol, float value);
    void setPort(uint32_t port, float value);
    // One block: a new position when given, the MIDI at its offsets, then frames of audio.
    void run(const SongPosition* position, const std::vector<MidiEvent>& midi, int32_t frames,
             float* left, float* right);

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);

    platform::LoadableModule module;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle instance = nullptr;
    std::vector<std::string> uris;
    LV2_URID_Map map{this, &Lv2BundleHost::mapUri};
    LV2_Atom_Forge forge{};
    std::vector<uint64_t> events;  // the atom sequence, 8-byte aligned
    std::vector<float> controls;
    std::vector<float> leftOut;
    std::vector<float> rightOut;
};

}  // namespace harness
