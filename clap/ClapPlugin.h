// One instance of the CLAP edition: the format-neutral instrument behind the CLAP plug-in
// table and its extensions. It only translates: CLAP's notes, MIDI, parameter and transport
// events become the instrument's events at their samples; parameters are the instrument's
// controls by id; the state is the instrument's settings in their shared byte format.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "clap/ClapAbi.h"
#include "clap/ClapPanel.h"
#include "instrument/Instrument.h"

namespace clapedition {

// The plug-in's identity: hosts store the id in sessions, so it never changes.
constexpr const char* kPluginId = "org.lyrevane.lyrevane";
extern const clapabi::PluginDescriptor kDescriptor;

class ClapPlugin
{
public:
    // The host table as the host passed it; nothing of it is called before init.
    explicit ClapPlugin(const clapabi::Host* host);
    const clapabi::Plugin* plugin() const { return &table; }

private:
    static ClapPlugin& of(const clapabi::Plugin* plugin);
    template <class Extension> const Extension* hostExtension(const char* id) const;
    bool onMainThread() const;

    // The plug-in table's calls.
    bool init();
    bool activate(double sampleRate, uint32_t maxFrames);
    clapabi::ProcessStatus process(const clapabi::Process& process);
    const void* extension(const char* id) const;
    void mainThreadCallback();

    // The block's events, and the transport when it moved otherwise than the clock expects.
    void takeEvent(const clapabi::EventHeader& event);
    void takeTransport(uint32_t frame, const clapabi::TransportEvent& transport);

    // Extensions.
    bool parameterInfo(uint32_t index, clapabi::ParamInfo& info) const;
    void flush(const clapabi::InputEvents* events);
    bool save(const clapabi::OutputStream& stream) const;
    bool load(const clapabi::InputStream& stream);
    uint32_t noteNameCount();
    bool noteName(uint32_t index, clapabi::NoteName& name) const;

    friend struct Tables;

    clapabi::Plugin table{};
    const clapabi::Host* host;
    const clapabi::HostThreadCheck* threadCheck = nullptr;
    const clapabi::HostNoteName* hostNoteName = nullptr;
    // Made at init, at a rate of its own until activation gives the host's: hosts read
    // parameters and load states before they activate.
    std::unique_ptr<Instrument> instrument;
    // The gui extension; lives as long as the plug-in, as the audio thread reads its queue.
    std::unique_ptr<ClapPanel> gui;
    double sampleRate = 0.0;
    bool activated = false;

    // What the transport last said, to tell a jump or a change from a transport that rolls
    // on: hosts state it every block. Audio thread only.
    bool transportKnown = false;
    uint32_t transportFlags = 0;
    double expectedQuarters = 0.0;
    double tempo = 0.0;
    uint16_t meter[2] = {0, 0};

    // Raised by the audio thread when a block changed the key names, taken on the main
    // thread to tell the host; it carries no other data, so relaxed order suffices.
    std::atomic<bool> keyNamesChanged{false};
    // The key names as the host last asked for them. Main thread only.
    std::vector<std::pair<int16_t, std::string>> noteNames;
};

}  // namespace clapedition
