// A small LV2 host over Debian's lilv for tests and benchmarks: discovers the bundle through
// LV2_PATH as any host does, instantiates the plug-in with a URID map, connects every port
// and runs blocks with MIDI and time:Position in its atom port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

namespace lv2host {

struct Midi {
    int64_t frame;  // within the block for run(), absolute for renderSong()
    std::vector<uint8_t> bytes;
};

// A time:Position object. Ardour 7 and jalv state the song position as time:frame with
// time:bar, time:barBeat, time:beatUnit and time:beatsPerBar, never time:beat; withBeat
// sends time:beat and time:beatUnit instead of the frame and bar keys, as other hosts do.
// Fields left negative are not sent.
struct Position {
    int64_t frame = 0;  // of the event, within the block
    double beatsPerMinute = -1.0;
    double speed = -1.0;
    double beat = -1.0;        // the song position in quarter notes
    int64_t songFrame = -1;    // the song position in samples
    bool withBeat = false;
    double beatsPerBar = 4.0;  // the bar stated with the bar keys
    // Its beat unit; as Ardour 7 states other units than the quarter, the tempo and the
    // fraction of barBeat stay in quarter notes.
    int32_t beatUnit = 4;
};

// Interns URIs as LV2 hosts do; the plug-in maps only while it is being instantiated.
class UridMap
{
public:
    UridMap();
    LV2_URID map(const char* uri);
    LV2_URID_Map* feature() { return &mapFeature; }
    LV2_URID_Unmap* unmapFeature() { return &unmapping; }

private:
    static LV2_URID mapCallback(LV2_URID_Map_Handle handle, const char* uri);
    static const char* unmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID urid);
    std::vector<std::string> uris;
    LV2_URID_Map mapFeature;
    LV2_URID_Unmap unmapping;
};

class Lv2Host
{
public:
    // Loads every bundle in the folders of lv2Path and finds pluginUri; error() says why not.
    Lv2Host(const std::string& lv2Path, const std::string& pluginUri);
    ~Lv2Host();
    Lv2Host(const Lv2Host&) = delete;
    Lv2Host& operator=(const Lv2Host&) = delete;

    const std::string& error() const { return lastError; }
    const LilvPlugin* plugin() const { return found; }
    LilvWorld* world() const { return lilvWorld; }
    UridMap& urids() { return uridMap; }

    // Instantiates and connects every port, controls at their defaults; false when the
    // plug-in declines. Without the map feature when withMap is false.
    bool instantiate(double sampleRate, int32_t maxBlock, bool withMap = true);
    float& control(uint32_t port) { return controls.at(port); }

    // One run() of frames, with these events in the atom port.
    void run(int32_t frames, const std::vector<Midi>& midi = {},
             const std::vector<Position>& positions = {});
    // As a host deactivates an instance and activates it again, between two runs.
    void reactivate();
    // A write of the plug-in's UI, taken as jalv takes it: a control value (protocol 0) is
    // the port's value from the next run on, an atom (atom:eventTransfer) joins the next
    // run's events after the host's own, at its last frame.
    void uiWrite(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);
    const std::vector<float>& left() const { return leftOut; }
    const std::vector<float>& right() const { return rightOut; }

    // The control inputs saved as a preset, as jalv's "Save Preset" does: lilv writes
    // folder/preset.ttl with its manifest. Then the preset read back from that file into
    // the controls, as jalv applies one. False when lilv fails.
    bool savePreset(const std::string& folder, const std::string& label);
    bool loadPreset(const std::string& folder);
    // A preset the bundle lists, by its URI, applied to the controls as hosts apply one.
    bool applyPreset(const std::string& uri);

    // Features offered at instantiation besides the URID map.
    std::vector<const LV2_Feature*> extraFeatures;
    // What the instance answers for an extension, with its handle for the calls.
    const void* extensionData(const char* uri) const;
    LV2_Handle handle() const;

    // Runs total frames in blocks, the events at absolute frames; a position with the
    // given tempo, playing from beat 0, starts the first block. Returns the left channel.
    std::vector<float> renderSong(int64_t total, int32_t block, const std::vector<Midi>& midi,
                                  double beatsPerMinute);

private:
    void forgeSequence(int32_t frames, const std::vector<Midi>& midi,
                       const std::vector<Position>& positions);
    void forgePosition(const Position& at);
    // Applies a state's port values to the controls and frees it; false for no state.
    bool restore(LilvState* state);
    // The index of the control input with this symbol, or -1.
    int32_t controlIndex(const char* symbol) const;
    static const void* portValue(const char* symbol, void* host, uint32_t* size, uint32_t* type);
    static void setPortValue(const char* symbol, void* host, const void* value, uint32_t size,
                             uint32_t type);

    LilvWorld* lilvWorld;
    const LilvPlugin* found = nullptr;
    LilvInstance* instance = nullptr;
    std::string lastError;
    UridMap uridMap;
    LV2_Atom_Forge forge{};
    std::vector<uint64_t> atomBuffer;  // 8-byte aligned, as atoms need
    std::vector<std::vector<uint8_t>> uiAtoms;  // written by the UI since the last run
    std::vector<float> controls;
    std::vector<float> leftOut;
    std::vector<float> rightOut;
};

}  // namespace lv2host
