// Loading a CLAP binary, and the events, buffers and streams of each call.
#include "tools/ClapHost.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace harness {

namespace {

using namespace clapabi;

ClapHost& hostOf(const Host* host) { return *static_cast<ClapHost*>(host->hostData); }

void logMessage(const Host*, int32_t severity, const char* message)
{
    if (severity >= kLogWarning && message != nullptr) {
        std::fprintf(stderr, "plug-in: %s\n", message);
    }
}
const HostLog kLog{&logMessage};

// A render has nothing to rescan or to flush outside its blocks: each block delivers what
// is queued.
const HostParams kParams{[](const Host*, uint32_t) {}, [](const Host*, Id, uint32_t) {},
                         [](const Host*) {}};
const HostState kState{[](const Host*) {}};

struct StreamCursor
{
    std::vector<uint8_t>* bytes;
    uint64_t chunkBytes;
    size_t position;
};

int64_t writeChunk(const OutputStream* stream, const void* buffer, uint64_t size)
{
    auto& cursor = *static_cast<StreamCursor*>(stream->context);
    const uint64_t taken = std::min(size, cursor.chunkBytes);
    const auto* from = static_cast<const uint8_t*>(buffer);
    cursor.bytes->insert(cursor.bytes->end(), from, from + taken);
    return static_cast<int64_t>(taken);
}

int64_t readChunk(const InputStream* stream, void* buffer, uint64_t size)
{
    auto& cursor = *static_cast<StreamCursor*>(stream->context);
    const uint64_t taken =
        std::min({size, cursor.chunkBytes, uint64_t(cursor.bytes->size() - cursor.position)});
    // A stream asked for nothing may be handed no buffer at all.
    if (taken > 0) std::memcpy(buffer, cursor.bytes->data() + cursor.position, taken);
    cursor.position += taken;
    return static_cast<int64_t>(taken);
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

EventHeader headerOf(uint32_t size, uint32_t time, uint16_t type)
{
    return {size, time, kCoreEventSpace, type, 0};
}

}  // namespace

ClapHost::ClapHost()
{
    host.version = kVersion;
    host.hostData = this;
    host.name = "lyrevane-render";
    host.vendor = "Lyrevane";
    host.url = "";
    host.hostVersion = "1";
    host.extension = &ClapHost::hostExtension;
    host.requestRestart = [](const Host*) {};
    host.requestProcess = [](const Host*) {};
    host.requestCallback = [](const Host*) {};
}

ClapHost::~ClapHost()
{
    if (instance != nullptr) {
        if (processing) {
            inAudioCall = true;
            instance->stopProcessing(instance);
            inAudioCall = false;
        }
        if (activated) instance->deactivate(instance);
        instance->destroy(instance);
    }
    if (entry != nullptr) entry->deinit();
}

const void* ClapHost::hostExtension(const Host*, const char* id)
{
    static const HostThreadCheck threadCheck{&ClapHost::isMainThread, &ClapHost::isAudioThread};
    static const HostTimerSupport timerSupport{&ClapHost::registerTimer,
                                               &ClapHost::unregisterTimer};
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, kTimerSupportExtension) == 0) return &timerSupport;
    if (std::strcmp(id, kThreadCheckExtension) == 0) return &threadCheck;
    if (std::strcmp(id, kLogExtension) == 0) return &kLog;
    if (std::strcmp(id, kParamsExtension) == 0) return &kParams;
    if (std::strcmp(id, kStateExtension) == 0) return &kState;
    return nullptr;
}

bool ClapHost::isMainThread(const Host* host) { return !hostOf(host).inAudioCall; }
bool ClapHost::isAudioThread(const Host* host) { return hostOf(host).inAudioCall; }

bool ClapHost::registerTimer(const Host* host, uint32_t, Id* id)
{
    ClapHost& self = hostOf(host);
    if (id == nullptr) return false;
    *id = self.nextTimer++;
    self.timers.push_back(*id);
    return true;
}

bool ClapHost::unregisterTimer(const Host* host, Id id)
{
    auto& timers = hostOf(host).timers;
    const auto found = std::find(timers.begin(), timers.end(), id);
    if (found == timers.end()) return false;
    timers.erase(found);
    return true;
}

void ClapHost::fireTimers()
{
    const auto* support = extension<PluginTimerSupport>(kTimerSupportExtension);
    const std::vector<Id> firing = timers;
    for (Id id : firing) {
        if (support != nullptr) support->onTimer(instance, id);
    }
}

bool ClapHost::receiveEvent(const OutputEvents* list, const EventHeader* event)
{
    ClapHost& self = *static_cast<ClapHost*>(list->context);
    if (event == nullptr || event->spaceId != kCoreEventSpace) return false;
    if (event->type == kParamValue && event->size >= sizeof(ParamValueEvent)) {
        const auto& change = reinterpret_cast<const ParamValueEvent&>(*event);
        self.reportedValues.emplace_back(change.paramId, change.value);
    } else if ((event->type == kParamGestureBegin || event->type == kParamGestureEnd) &&
               event->size >= sizeof(ParamGestureEvent)) {
        self.reportedGestures.emplace_back(
            reinterpret_cast<const ParamGestureEvent&>(*event).paramId,
            event->type == kParamGestureBegin);
    }
    return true;
}

uint32_t ClapHost::eventCount(const InputEvents* list)
{
    return static_cast<uint32_t>(static_cast<ClapHost*>(list->context)->events.size());
}

const EventHeader* ClapHost::eventAt(const InputEvents* list, uint32_t index)
{
    const auto& events = static_cast<ClapHost*>(list->context)->events;
    return index < events.size() ? &events[index].header : nullptr;
}

bool ClapHost::load(const std::string& path, const std::string& pluginId, double sampleRate,
                    uint32_t maxFrames, std::string& error)
{
    module = platform::LoadableModule::load(path, error);
    if (!module.isLoaded()) {
        error = "cannot load " + path + ": " + error;
        return false;
    }
    const auto* found = static_cast<const clapabi::PluginEntry*>(module.symbol(kEntrySymbol));
    if (found == nullptr || !isCompatible(found->version)) {
        error = path + " is not a CLAP plug-in";
        return false;
    }
    if (!found->init(path.c_str())) {
        error = path + ": the plug-in's entry declined to start";
        return false;
    }
    entry = found;
    const auto* factory = static_cast<const PluginFactory*>(entry->getFactory(kPluginFactoryId));
    const uint32_t count = factory != nullptr ? factory->count(factory) : 0;
    const PluginDescriptor* chosen = nullptr;
    for (uint32_t index = 0; index < count && chosen == nullptr; ++index) {
        const PluginDescriptor* descriptor = factory->descriptor(factory, index);
        if (descriptor != nullptr && (pluginId.empty() || pluginId == descriptor->id)) {
            chosen = descriptor;
        }
    }
    if (chosen == nullptr) {
        error = path + (pluginId.empty() ? " holds no plug-in" : " holds no plug-in " + pluginId);
        return false;
    }
    instance = factory->create(factory, &host, chosen->id);
    if (instance == nullptr || !instance->init(instance)) {
        error = path + ": the plug-in " + chosen->id + " failed to start";
        return false;
    }
    maxFrameCount = maxFrames;
    readPorts();
    if (!instance->activate(instance, sampleRate, 1, maxFrames)) {
        error = std::string("the plug-in ") + chosen->id + " declined to play at " +
                std::to_string(sampleRate) + " Hz";
        return false;
    }
    activated = true;
    inAudioCall = true;
    processing = instance->startProcessing(instance);
    inAudioCall = false;
    if (!processing) {
        error = std::string("the plug-in ") + chosen->id + " declined to start processing";
        return false;
    }
    return true;
}

void ClapHost::readPorts()
{
    if (const auto* notePorts = extension<PluginNotePorts>(kNotePortsExtension)) {
        NotePortInfo info{};
        if (notePorts->count(instance, true) > 0 && notePorts->info(instance, 0, true, &info)) {
            takesClapNotes = (info.supportedDialects & kNoteDialectClap) != 0;
            takesMidi = (info.supportedDialects & kNoteDialectMidi) != 0;
        }
    }
    const auto* audioPorts = extension<PluginAudioPorts>(kAudioPortsExtension);
    for (bool isInput : {true, false}) {
        std::vector<AudioBuffer>& ports = isInput ? inputPorts : outputPorts;
        const uint32_t count = audioPorts ? audioPorts->count(instance, isInput) : 0;
        for (uint32_t index = 0; index < count; ++index) {
            AudioPortInfo info{};
            if (!audioPorts->info(instance, index, isInput, &info)) continue;
            ports.push_back({nullptr, nullptr, info.channelCount, 0, 0});
            for (uint32_t channel = 0; channel < info.channelCount; ++channel) {
                channels.emplace_back(maxFrameCount, 0.0f);
            }
        }
    }
    // The pointers only now: the channel storage no longer moves.
    size_t next = 0;
    channelPointers.resize(channels.size());
    for (std::vector<AudioBuffer>* ports : {&inputPorts, &outputPorts}) {
        for (AudioBuffer& port : *ports) {
            port.data32 = channelPointers.data() + next;
            for (uint32_t channel = 0; channel < port.channelCount; ++channel, ++next) {
                channelPointers[next] = channels[next].data();
            }
        }
    }
    inputChannels = inputPorts.empty() ? 0 : inputPorts.front().channelCount;

    if (const auto* params = extension<PluginParams>(kParamsExtension)) {
        const uint32_t count = params->count(instance);
        for (uint32_t index = 0; index < count; ++index) {
            ParamInfo info{};
            if (!params->info(instance, index, &info)) continue;
            info.name[kNameSize - 1] = '\0';
            info.module[kPathSize - 1] = '\0';
            parameterList.push_back({info.id, info.flags, info.name, info.module, info.minimum,
                                     info.maximum, info.defaultValue});
        }
    }
}

const ClapParameter* ClapHost::findParameter(const std::string& name) const
{
    const std::string wanted = lowered(name);
    for (const ClapParameter& parameter : parameterList) {
        if (lowered(parameter.name) == wanted) return &parameter;
    }
    return nullptr;
}

bool ClapHost::parameterValue(Id id, double& value) const
{
    const auto* params = extension<PluginParams>(kParamsExtension);
    return params != nullptr && params->value(instance, id, &value);
}

bool ClapHost::valueToText(Id id, double value, std::string& text) const
{
    const auto* params = extension<PluginParams>(kParamsExtension);
    char buffer[kNameSize] = {};
    if (params == nullptr || !params->valueToText(instance, id, value, buffer, sizeof buffer)) {
        return false;
    }
    buffer[kNameSize - 1] = '\0';
    text = buffer;
    return true;
}

void ClapHost::setParameter(Id id, double value, uint32_t frame)
{
    AnyEvent event{};
    event.parameter = {
        headerOf(sizeof(ParamValueEvent), frame, kParamValue), id, nullptr, -1, -1, -1, -1, value};
    pending.push_back(event);
}

bool ClapHost::saveState(std::vector<uint8_t>& bytes, uint64_t chunkBytes) const
{
    const auto* state = extension<PluginState>(kStateExtension);
    bytes.clear();
    StreamCursor cursor{&bytes, std::max<uint64_t>(chunkBytes, 1), 0};
    const OutputStream stream{&cursor, &writeChunk};
    return state != nullptr && state->save(instance, &stream);
}

bool ClapHost::loadState(const std::vector<uint8_t>& bytes, uint64_t chunkBytes) const
{
    const auto* state = extension<PluginState>(kStateExtension);
    std::vector<uint8_t> copy = bytes;
    StreamCursor cursor{&copy, std::max<uint64_t>(chunkBytes, 1), 0};
    const InputStream stream{&cursor, &readChunk};
    return state != nullptr && state->load(instance, &stream);
}

bool ClapHost::run(const ClapSongPosition* position, const std::vector<MidiEvent>& midi,
                   uint32_t frames, const float* const* inputs, float* left, float* right)
{
    frames = std::min(frames, maxFrameCount);
    events = pending;
    pending.clear();
    for (const MidiEvent& message : midi) {
        const auto time = static_cast<uint32_t>(
            std::clamp<int32_t>(message.deltaFrames, 0, std::max(0, int32_t(frames) - 1)));
        const uint8_t kind = message.status & 0xF0;
        const bool noteOn = kind == 0x90 && message.data2 > 0;
        const bool noteOff = kind == 0x80 || (kind == 0x90 && message.data2 == 0);
        AnyEvent event{};
        if (takesClapNotes && (noteOn || noteOff)) {
            event.note = {headerOf(sizeof(NoteEvent), time, noteOn ? kNoteOn : kNoteOff),
                          -1,
                          0,
                          static_cast<int16_t>(message.status & 0x0F),
                          message.data1,
                          message.data2 / 127.0};
        } else if (takesMidi) {
            event.midi = {headerOf(sizeof(clapabi::MidiEvent), time, kMidi),
                          0,
                          {message.status, message.data1, message.data2}};
        } else {
            continue;
        }
        events.push_back(event);
    }
    // Stable: at one sample, parameter changes first and messages in the file's order.
    std::stable_sort(events.begin(), events.end(), [](const AnyEvent& a, const AnyEvent& b) {
        return a.header.time < b.header.time;
    });

    for (size_t port = 0; port < inputPorts.size(); ++port) {
        for (uint32_t channel = 0; channel < inputPorts[port].channelCount; ++channel) {
            float* to = inputPorts[port].data32[channel];
            if (port == 0 && inputs != nullptr) {
                std::copy(inputs[channel], inputs[channel] + frames, to);
            } else {
                std::fill(to, to + frames, 0.0f);
            }
        }
    }
    TransportEvent transport{};
    if (position != nullptr) {
        transport.header = headerOf(sizeof transport, 0, kTransport);
        transport.flags = kTransportHasTempo | kTransportHasBeatsTimeline |
                          kTransportHasTimeSignature |
                          (position->rolling ? kTransportIsPlaying : 0);
        transport.songPositionBeats = std::llround(position->quarters * kBeatTimeFactor);
        transport.tempo = position->beatsPerMinute;
        const double bar = std::floor(position->quarters / 4.0);
        transport.barStart = std::llround(bar * 4.0 * kBeatTimeFactor);
        transport.barNumber = static_cast<int32_t>(bar);
        transport.timeSignatureNumerator = 4;
        transport.timeSignatureDenominator = 4;
    }
    const InputEvents inEvents{this, &ClapHost::eventCount, &ClapHost::eventAt};
    const OutputEvents outEvents{this, &ClapHost::receiveEvent};
    Process process{};
    process.steadyTime = steadyTime;
    process.frameCount = frames;
    process.transport = position != nullptr ? &transport : nullptr;
    process.audioInputs = inputPorts.data();
    process.audioOutputs = outputPorts.data();
    process.audioInputCount = static_cast<uint32_t>(inputPorts.size());
    process.audioOutputCount = static_cast<uint32_t>(outputPorts.size());
    process.inEvents = &inEvents;
    process.outEvents = &outEvents;
    inAudioCall = true;
    const ProcessStatus status = instance->process(instance, &process);
    inAudioCall = false;
    steadyTime += frames;

    const AudioBuffer* out = outputPorts.empty() ? nullptr : &outputPorts.front();
    if (out == nullptr || out->channelCount == 0) {
        std::fill(left, left + frames, 0.0f);
        std::fill(right, right + frames, 0.0f);
    } else {
        std::copy(out->data32[0], out->data32[0] + frames, left);
        const float* second = out->data32[std::min<uint32_t>(1, out->channelCount - 1)];
        std::copy(second, second + frames, right);
    }
    return status != kProcessError;
}

}  // namespace harness
