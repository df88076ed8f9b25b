// The CLAP edition's plug-in table and extensions over the instrument.
#include "clap/ClapPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "instrument/Controls.h"

namespace clapedition {

using namespace clapabi;

namespace {

constexpr const char* kFeatures[] = {"instrument", "stereo", nullptr};
// Before activation the instrument plays at this rate; nothing is heard before then.
constexpr double kRateBeforeActivation = 48000.0;

void copyText(const std::string& text, char* to, size_t capacity)
{
    if (capacity == 0) return;
    const size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(to, text.data(), length);
    to[length] = '\0';
}

// Quarter notes per sample at a tempo.
double quartersPerFrame(double tempo, double sampleRate)
{
    return sampleRate > 0.0 ? tempo / 60.0 / sampleRate : 0.0;
}

bool validTempo(const TransportEvent& transport)
{
    return (transport.flags & kTransportHasTempo) != 0 && std::isfinite(transport.tempo) &&
           transport.tempo > 0.0;
}

}  // namespace

const PluginDescriptor kDescriptor{
    kVersion,
    kPluginId,
    "Lyrevane",
    "Lyrevane",
    "",
    "",
    "",
    LYREVANE_VERSION,
    "A guitar strummer: chords on twelve keys, strummed and picked from recorded strings",
    kFeatures};

// The C tables. Every call finds its instance through the plug-in table it was given.
struct Tables
{
    static const PluginParams params;
    static const PluginState state;
    static const PluginNotePorts notePorts;
    static const PluginAudioPorts audioPorts;
    static const PluginNoteName noteName;
    static const PluginLatency latency;
    static const PluginRender render;
    static const PluginGui gui;
    static const PluginTimerSupport timerSupport;
};

const PluginParams Tables::params{
    [](const Plugin*) { return uint32_t(controls::kCount); },
    [](const Plugin* p, uint32_t index, ParamInfo* info) {
        return info != nullptr && ClapPlugin::of(p).parameterInfo(index, *info);
    },
    [](const Plugin* p, Id id, double* value) {
        if (value == nullptr || id >= controls::kCount) return false;
        *value = ClapPlugin::of(p).instrument->value(id);
        return true;
    },
    [](const Plugin*, Id id, double value, char* text, uint32_t capacity) {
        if (text == nullptr || id >= controls::kCount || std::isnan(value)) return false;
        copyText(controls::valueText(id, static_cast<float>(value)), text, capacity);
        return true;
    },
    [](const Plugin*, Id id, const char* text, double* value) {
        float parsed = 0.0f;
        if (text == nullptr || value == nullptr || id >= controls::kCount ||
            !controls::parseValue(id, text, parsed)) {
            return false;
        }
        *value = parsed;
        return true;
    },
    [](const Plugin* p, const InputEvents* in, const OutputEvents* out) {
        ClapPlugin::of(p).flush(in);
        ClapPlugin::of(p).gui->sendEdits(out);
    }};

const PluginState Tables::state{[](const Plugin* p, const OutputStream* stream) {
                                    return stream != nullptr && ClapPlugin::of(p).save(*stream);
                                },
                                [](const Plugin* p, const InputStream* stream) {
                                    return stream != nullptr && ClapPlugin::of(p).load(*stream);
                                }};

// One note input taking CLAP's notes and MIDI: pitch bend and the other channel messages
// come as MIDI.
const PluginNotePorts Tables::notePorts{
    [](const Plugin*, bool isInput) { return isInput ? 1u : 0u; },
    [](const Plugin*, uint32_t index, bool isInput, NotePortInfo* info) {
        if (!isInput || index != 0 || info == nullptr) return false;
        *info = {};
        info->id = 0;
        info->supportedDialects = kNoteDialectClap | kNoteDialectMidi;
        info->preferredDialect = kNoteDialectClap;
        copyText("Notes", info->name, sizeof info->name);
        return true;
    }};

const PluginAudioPorts Tables::audioPorts{
    [](const Plugin*, bool isInput) { return isInput ? 0u : 1u; },
    [](const Plugin*, uint32_t index, bool isInput, AudioPortInfo* info) {
        if (isInput || index != 0 || info == nullptr) return false;
        *info = {};
        info->id = 0;
        copyText("Output", info->name, sizeof info->name);
        info->flags = kAudioPortIsMain;
        info->channelCount = 2;
        info->portType = kPortStereo;
        info->inPlacePair = kInvalidId;
        return true;
    }};

const PluginNoteName Tables::noteName{
    [](const Plugin* p) { return ClapPlugin::of(p).noteNameCount(); },
    [](const Plugin* p, uint32_t index, NoteName* name) {
        return name != nullptr && ClapPlugin::of(p).noteName(index, *name);
    }};

const PluginLatency Tables::latency{[](const Plugin*) { return 0u; }};

// Offline rendering plays exactly as real time: the instrument never depends on the clock.
const PluginRender Tables::render{[](const Plugin*) { return false; },
                                  [](const Plugin*, RenderMode mode) {
                                      return mode == kRenderRealtime || mode == kRenderOffline;
                                  }};

// Embedded at the panel's own size: the panel cannot be resized, as in every other host.
const PluginGui Tables::gui{
    [](const Plugin*, const char* api, bool floating) {
        return ClapPanel::isApiSupported(api, floating);
    },
    [](const Plugin*, const char** api, bool* floating) {
        if (api == nullptr || floating == nullptr) return false;
#ifdef _WIN32
        *api = kWindowApiWin32;
#else
        *api = kWindowApiX11;
#endif
        *floating = false;
        return true;
    },
    [](const Plugin* p, const char* api, bool floating) {
        return ClapPlugin::of(p).gui->create(api, floating);
    },
    [](const Plugin* p) { ClapPlugin::of(p).gui->destroy(); },
    [](const Plugin* p, double scale) { return ClapPlugin::of(p).gui->setScale(scale); },
    [](const Plugin* p, uint32_t* width, uint32_t* height) {
        return width != nullptr && height != nullptr &&
               ClapPlugin::of(p).gui->size(*width, *height);
    },
    [](const Plugin*) { return false; },
    [](const Plugin*, GuiResizeHints* hints) {
        if (hints == nullptr) return false;
        *hints = {false, false, true, 0, 0};
        return true;
    },
    [](const Plugin* p, uint32_t* width, uint32_t* height) {
        return width != nullptr && height != nullptr &&
               ClapPlugin::of(p).gui->size(*width, *height);
    },
    [](const Plugin* p, uint32_t width, uint32_t height) {
        uint32_t ownWidth = 0, ownHeight = 0;
        return ClapPlugin::of(p).gui->size(ownWidth, ownHeight) && width == ownWidth &&
               height == ownHeight;
    },
    [](const Plugin* p, const Window* window) {
        return window != nullptr && ClapPlugin::of(p).gui->setParent(*window);
    },
    [](const Plugin*, const Window*) { return false; },
    [](const Plugin*, const char*) {},
    [](const Plugin*) { return true; },
    [](const Plugin*) { return true; }};

const PluginTimerSupport Tables::timerSupport{
    [](const Plugin* p, Id timer) { ClapPlugin::of(p).gui->onTimer(timer); }};

ClapPlugin::ClapPlugin(const Host* host) : host(host)
{
    table.descriptor = &kDescriptor;
    table.pluginData = this;
    table.init = [](const Plugin* p) { return of(p).init(); };
    table.destroy = [](const Plugin* p) { delete &of(p); };
    table.activate = [](const Plugin* p, double rate, uint32_t, uint32_t maxFrames) {
        return of(p).activate(rate, maxFrames);
    };
    table.deactivate = [](const Plugin* p) { of(p).activated = false; };
    table.startProcessing = [](const Plugin* p) { return of(p).activated; };
    table.stopProcessing = [](const Plugin*) {};
    table.reset = [](const Plugin* p) {
        ClapPlugin& self = of(p);
        if (self.activated) self.instrument->activate();
        self.transportKnown = false;
    };
    table.process = [](const Plugin* p, const Process* process) {
        return process != nullptr ? of(p).process(*process) : kProcessError;
    };
    table.extension = [](const Plugin* p, const char* id) { return of(p).extension(id); };
    table.onMainThread = [](const Plugin* p) { of(p).mainThreadCallback(); };
}

ClapPlugin& ClapPlugin::of(const Plugin* plugin)
{
    return *static_cast<ClapPlugin*>(plugin->pluginData);
}

template <class Extension> const Extension* ClapPlugin::hostExtension(const char* id) const
{
    return host->extension != nullptr ? static_cast<const Extension*>(host->extension(host, id))
                                      : nullptr;
}

bool ClapPlugin::onMainThread() const
{
    return threadCheck == nullptr || threadCheck->isMainThread(host);
}

bool ClapPlugin::init()
{
    // Hosts may offer nothing at all (Qtractor's first, throwaway instance does not).
    threadCheck = hostExtension<HostThreadCheck>(kThreadCheckExtension);
    hostNoteName = hostExtension<HostNoteName>(kNoteNameExtension);
    instrument = std::make_unique<Instrument>(kRateBeforeActivation);
    gui = std::make_unique<ClapPanel>(host, *instrument);
    return true;
}

bool ClapPlugin::activate(double rate, uint32_t)
{
    if (!instrument || !onMainThread() || !(rate > 0.0) || !std::isfinite(rate)) return false;
    sampleRate = rate;
    instrument->setSampleRate(rate);
    instrument->activate();
    transportKnown = false;
    activated = true;
    return true;
}

const void* ClapPlugin::extension(const char* id) const
{
    if (id == nullptr) return nullptr;
    const std::pair<const char*, const void*> offered[] = {
        {kParamsExtension, &Tables::params},
        {kStateExtension, &Tables::state},
        {kNotePortsExtension, &Tables::notePorts},
        {kAudioPortsExtension, &Tables::audioPorts},
        {kNoteNameExtension, &Tables::noteName},
        {kLatencyExtension, &Tables::latency},
        {kRenderExtension, &Tables::render},
        {kGuiExtension, &Tables::gui},
        {kTimerSupportExtension, &Tables::timerSupport},
    };
    for (const auto& [name, table] : offered) {
        if (std::strcmp(id, name) == 0) return table;
    }
    return nullptr;
}

ProcessStatus ClapPlugin::process(const Process& process)
{
    if (!activated || process.audioOutputCount < 1 || process.audioOutputs == nullptr) {
        return kProcessError;
    }
    const AudioBuffer& out = process.audioOutputs[0];
    if (out.data32 == nullptr || out.channelCount < 1 || out.data32[0] == nullptr) {
        return kProcessError;
    }
    float* left = out.data32[0];
    float* right = out.channelCount > 1 && out.data32[1] != nullptr ? out.data32[1] : nullptr;
    const uint32_t frames = process.frameCount;
    gui->sendEdits(process.outEvents);
    instrument->beginBlock(left, right, frames);
    if (process.transport != nullptr) takeTransport(0, *process.transport);
    const InputEvents* in = process.inEvents;
    const uint32_t count = in != nullptr && in->size != nullptr ? in->size(in) : 0;
    for (uint32_t index = 0; index < count; ++index) {
        const EventHeader* event = in->get(in, index);
        if (event != nullptr) takeEvent(*event);
    }
    instrument->endBlock();
    if (transportKnown && (transportFlags & kTransportIsPlaying)) {
        expectedQuarters += frames * quartersPerFrame(tempo, sampleRate);
    }
    if (instrument->keyNamesChanged() &&
        !keyNamesChanged.exchange(true, std::memory_order_relaxed)) {
        host->requestCallback(host);
    }
    return kProcessContinue;
}

void ClapPlugin::takeEvent(const EventHeader& event)
{
    if (event.spaceId != kCoreEventSpace) return;
    switch (event.type) {
    case kNoteOn:
    case kNoteOff:
    case kNoteChoke: {
        if (event.size < sizeof(NoteEvent)) return;
        const auto& note = reinterpret_cast<const NoteEvent&>(event);
        if (note.portIndex > 0 || note.key < 0 || note.key > 127 || note.channel > 15 ||
            std::isnan(note.velocity)) {
            return;
        }
        const auto channel = static_cast<uint8_t>(std::max<int16_t>(note.channel, 0));
        const auto velocity =
            static_cast<uint8_t>(std::lround(std::clamp(note.velocity, 0.0, 1.0) * 127.0));
        const uint8_t bytes[3] = {
            static_cast<uint8_t>((event.type == kNoteOn ? 0x90 : 0x80) | channel),
            static_cast<uint8_t>(note.key), event.type == kNoteChoke ? uint8_t(0) : velocity};
        instrument->midi(event.time, bytes, 3);
        break;
    }
    case kMidi: {
        if (event.size < sizeof(MidiEvent)) return;
        const auto& midi = reinterpret_cast<const MidiEvent&>(event);
        if (midi.portIndex == 0) instrument->midi(event.time, midi.data, 3);
        break;
    }
    case kParamValue: {
        if (event.size < sizeof(ParamValueEvent)) return;
        const auto& change = reinterpret_cast<const ParamValueEvent&>(event);
        instrument->control(event.time, change.paramId, static_cast<float>(change.value));
        break;
    }
    case kTransport:
        if (event.size >= sizeof(TransportEvent)) {
            takeTransport(event.time, reinterpret_cast<const TransportEvent&>(event));
        }
        break;
    default:
        break;
    }
}

void ClapPlugin::takeTransport(uint32_t frame, const TransportEvent& transport)
{
    const bool playing = (transport.flags & kTransportIsPlaying) != 0;
    const bool hasBeats = (transport.flags & kTransportHasBeatsTimeline) != 0;
    const bool hasMeter = (transport.flags & kTransportHasTimeSignature) != 0 &&
                          transport.timeSignatureNumerator > 0 &&
                          transport.timeSignatureDenominator > 0;
    const double newTempo = validTempo(transport) ? transport.tempo : tempo;
    const double quarters = transport.songPositionBeats / kBeatTimeFactor;
    // Where the last statement said the transport would be at this frame.
    const double expected =
        expectedQuarters +
        ((transportFlags & kTransportIsPlaying) ? frame : 0) * quartersPerFrame(tempo, sampleRate);
    // Half a sample: hosts state positions of whole samples, each computed afresh.
    const double tolerance = 0.5 * quartersPerFrame(newTempo, sampleRate);
    const bool moved = !transportKnown ||
                       playing != ((transportFlags & kTransportIsPlaying) != 0) ||
                       newTempo != tempo ||
                       (hasMeter && (transport.timeSignatureNumerator != meter[0] ||
                                     transport.timeSignatureDenominator != meter[1])) ||
                       (hasBeats && !(std::fabs(quarters - expected) <= tolerance));
    if (!moved) return;

    Transport stated;
    stated.valid = Transport::kSpeed;
    stated.speed = playing ? 1.0 : 0.0;
    if (validTempo(transport)) {
        stated.valid |= Transport::kTempo;
        stated.beatsPerMinute = transport.tempo;
    }
    if (hasBeats) {
        stated.valid |= Transport::kQuarters | Transport::kBarStart;
        stated.quarters = quarters;
        stated.barStart = transport.barStart / kBeatTimeFactor;
    }
    if (hasMeter) {
        stated.valid |= Transport::kBeatsPerBar | Transport::kBeatUnit;
        stated.beatsPerBar = transport.timeSignatureNumerator;
        stated.beatUnit = transport.timeSignatureDenominator;
        meter[0] = transport.timeSignatureNumerator;
        meter[1] = transport.timeSignatureDenominator;
    }
    if (transport.flags & kTransportHasSecondsTimeline) {
        stated.valid |= Transport::kSample;
        stated.sample = transport.songPositionSeconds / kSecondsTimeFactor * sampleRate;
    }
    instrument->transport(frame, stated);
    transportKnown = true;
    transportFlags = transport.flags;
    tempo = newTempo;
    if (hasBeats) {
        expectedQuarters = quarters - (playing ? frame : 0) * quartersPerFrame(tempo, sampleRate);
    }
}

bool ClapPlugin::parameterInfo(uint32_t index, ParamInfo& info) const
{
    if (index >= controls::kCount) return false;
    const uint32_t id = index;  // the ids are the controls' own, in order
    const uint32_t flags = controls::flags(id);
    const controls::Range range = controls::range(id);
    info = {};
    info.id = id;
    if (flags & controls::kOutput) {
        info.flags = kParamIsReadOnly;
    } else {
        info.flags = kParamIsAutomatable;
    }
    if (flags & (controls::kInteger | controls::kEnumeration | controls::kTrigger)) {
        info.flags |= kParamIsStepped;
    }
    if (flags & controls::kEnumeration) info.flags |= kParamIsEnum;
    copyText(controls::name(id), info.name, sizeof info.name);
    copyText(controls::group(id), info.module, sizeof info.module);
    info.minimum = range.minimum;
    info.maximum = range.maximum;
    info.defaultValue = range.defaultValue;
    return true;
}

void ClapPlugin::flush(const InputEvents* in)
{
    const uint32_t count = in != nullptr && in->size != nullptr ? in->size(in) : 0;
    for (uint32_t index = 0; index < count; ++index) {
        const EventHeader* event = in->get(in, index);
        if (event == nullptr || event->spaceId != kCoreEventSpace || event->type != kParamValue ||
            event->size < sizeof(ParamValueEvent)) {
            continue;
        }
        const auto& change = reinterpret_cast<const ParamValueEvent&>(*event);
        instrument->setValue(change.paramId, static_cast<float>(change.value));
    }
}

bool ClapPlugin::save(const OutputStream& stream) const
{
    if (stream.write == nullptr) return false;
    return instrument->saveState(
        [](void* context, const void* data, uint64_t size) {
            const auto* to = static_cast<const OutputStream*>(context);
            return to->write(to, data, size);
        },
        const_cast<OutputStream*>(&stream));
}

bool ClapPlugin::load(const InputStream& stream)
{
    if (stream.read == nullptr) return false;
    return instrument->loadState(
               [](void* context, void* data, uint64_t size) {
                   const auto* from = static_cast<const InputStream*>(context);
                   return from->read(from, data, size);
               },
               const_cast<InputStream*>(&stream)) == state::Result::ok;
}

uint32_t ClapPlugin::noteNameCount()
{
    const keynames::Names names = instrument->keyNames();
    noteNames.clear();
    for (int key = 0; key < keynames::kKeyCount; ++key) {
        noteNames.emplace_back(static_cast<int16_t>(key), names[key]);
    }
    return static_cast<uint32_t>(noteNames.size());
}

bool ClapPlugin::noteName(uint32_t index, NoteName& name) const
{
    if (index >= noteNames.size()) return false;
    name = {};
    copyText(noteNames[index].second, name.name, sizeof name.name);
    name.port = 0;
    name.key = noteNames[index].first;
    name.channel = -1;
    return true;
}

void ClapPlugin::mainThreadCallback()
{
    if (keyNamesChanged.exchange(false, std::memory_order_relaxed) && hostNoteName != nullptr) {
        hostNoteName->changed(host);
    }
}

}  // namespace clapedition
