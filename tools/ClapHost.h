// A small CLAP host for the render tool and the tests: loads a .clap binary as hosts do
// (dlopen or LoadLibrary, then its exported entry and plug-in factory), creates one plug-in,
// and drives it through the format's C interface: parameters by name, state, and blocks of
// notes, MIDI and transport. The host runs everything on the calling thread; its
// thread-check answers "audio thread" only inside the processing calls.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "clap/ClapAbi.h"
#include "platform/LoadableModule.h"
#include "tools/PluginHost.h"

namespace harness {

// Where the host's transport stands at a block's start.
struct ClapSongPosition
{
    double quarters;  // from the song's start
    double beatsPerMinute;
    bool rolling;
};

struct ClapParameter
{
    clapabi::Id id;
    uint32_t flags;
    std::string name;
    std::string module;
    double minimum;
    double maximum;
    double defaultValue;
};

class ClapHost
{
public:
    ClapHost();
    ~ClapHost();  // stops, deactivates and destroys the plug-in, then unloads the binary
    ClapHost(const ClapHost&) = delete;
    ClapHost& operator=(const ClapHost&) = delete;

    // Loads the binary and creates the plug-in of that id (empty: the factory's first), then
    // init, activate and start processing. False with the reason in error.
    bool load(const std::string& path, const std::string& pluginId, double sampleRate,
              uint32_t maxFrames, std::string& error);

    const clapabi::Plugin* plugin() const { return instance; }
    template <class Extension> const Extension* extension(const char* id) const
    {
        return instance ? static_cast<const Extension*>(instance->extension(instance, id))
                        : nullptr;
    }
    uint32_t audioInputChannels() const { return inputChannels; }

    // The host's timers, as a host's main loop fires them: each registered one, once.
    void fireTimers();
    size_t timerCount() const { return timers.size(); }
    // The parameter values the plug-in has told the host of (a panel's edits), oldest first.
    std::vector<std::pair<clapabi::Id, double>> reportedValues;
    // Its gestures: the parameter and whether one begins.
    std::vector<std::pair<clapabi::Id, bool>> reportedGestures;

    const std::vector<ClapParameter>& parameters() const { return parameterList; }
    // By the name the plug-in shows, in any case; null when none has it.
    const ClapParameter* findParameter(const std::string& name) const;
    bool parameterValue(clapabi::Id id, double& value) const;
    bool valueToText(clapabi::Id id, double value, std::string& text) const;
    // Queued: the plug-in gets it as an event at that sample of the next block.
    void setParameter(clapabi::Id id, double value, uint32_t frame = 0);

    // The state through streams that move at most chunkBytes per call, as some hosts' do.
    bool saveState(std::vector<uint8_t>& bytes, uint64_t chunkBytes = UINT64_MAX) const;
    bool loadState(const std::vector<uint8_t>& bytes, uint64_t chunkBytes = UINT64_MAX) const;

    // One block: the transport when given, the MIDI at its offsets (as CLAP notes or MIDI
    // events, whichever the note port takes), the inputs' channels (silence when null), then
    // frames of stereo output. False when the plug-in reports an error.
    bool run(const ClapSongPosition* position, const std::vector<MidiEvent>& midi, uint32_t frames,
             const float* const* inputs, float* left, float* right);

private:
    union AnyEvent {
        clapabi::EventHeader header;
        clapabi::NoteEvent note;
        clapabi::MidiEvent midi;
        clapabi::ParamValueEvent parameter;
    };

    static const void* hostExtension(const clapabi::Host* host, const char* id);
    static bool isMainThread(const clapabi::Host* host);
    static bool isAudioThread(const clapabi::Host* host);
    static bool registerTimer(const clapabi::Host* host, uint32_t periodMs, clapabi::Id* id);
    static bool unregisterTimer(const clapabi::Host* host, clapabi::Id id);
    static bool receiveEvent(const clapabi::OutputEvents* list, const clapabi::EventHeader* event);
    static uint32_t eventCount(const clapabi::InputEvents* list);
    static const clapabi::EventHeader* eventAt(const clapabi::InputEvents* list, uint32_t index);
    void readPorts();

    platform::LoadableModule module;
    const clapabi::PluginEntry* entry = nullptr;
    clapabi::Host host{};
    const clapabi::Plugin* instance = nullptr;
    bool activated = false;
    bool processing = false;
    bool inAudioCall = false;
    uint32_t maxFrameCount = 0;
    bool takesClapNotes = false;
    bool takesMidi = false;
    uint32_t inputChannels = 0;  // of the first input port, which run() feeds
    std::vector<ClapParameter> parameterList;
    std::vector<clapabi::Id> timers;
    clapabi::Id nextTimer = 0;
    std::vector<AnyEvent> pending;  // parameter changes for the next block
    std::vector<AnyEvent> events;   // the block's, by time
    int64_t steadyTime = 0;
    // Every port's channels, each maxFrameCount long; the first output port's first two
    // channels (or its one, twice) are the block's left and right.
    std::vector<std::vector<float>> channels;
    std::vector<float*> channelPointers;
    std::vector<clapabi::AudioBuffer> inputPorts;
    std::vector<clapabi::AudioBuffer> outputPorts;
};

}  // namespace harness
