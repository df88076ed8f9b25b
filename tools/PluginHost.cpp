// Loading, answering and driving a VST 2.4 module.
#include "tools/PluginHost.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

namespace harness {

namespace {

// Host opcodes that the shared interface header does not name, answered for modules that ask.
constexpr int32_t audioMasterGetSampleRate = 16;
constexpr int32_t audioMasterGetBlockSize = 17;

// The host whose plug-in is being constructed: its effect has no user field yet.
thread_local PluginHost* constructingHost = nullptr;

bool hostCanDo(const char* capability)
{
    static const char* const kCapabilities[] = {"sendVstEvents", "sendVstMidiEvent",
                                                "sendVstTimeInfo"};
    if (capability == nullptr) return false;
    return std::any_of(std::begin(kCapabilities), std::end(kCapabilities),
                       [capability](const char* c) { return std::strcmp(c, capability) == 0; });
}

bool drivable(const AEffect* effect)
{
    return effect->magic == kEffectMagic && effect->dispatcher != nullptr &&
           effect->processReplacing != nullptr && effect->setParameter != nullptr &&
           effect->getParameter != nullptr && effect->numInputs >= 0 && effect->numOutputs >= 0;
}

}  // namespace

PluginHost::PluginHost()
{
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
}

PluginHost::~PluginHost()
{
    if (plugin && resumed) dispatch(effMainsChanged, 0, 0);
    close();
}

bool PluginHost::load(const std::string& modulePath)
{
    std::string reason;
    module = platform::LoadableModule::load(modulePath, reason);
    if (!module.isLoaded()) {
        lastError = "cannot load module " + modulePath + ": " + reason;
        return false;
    }
    entry = reinterpret_cast<PluginEntry>(module.symbol("VSTPluginMain"));
    if (!entry) {
        lastError = modulePath + " is not a VST 2.4 module: it exports no VSTPluginMain";
        return false;
    }
    return true;
}

void* PluginHost::symbol(const char* name) const
{
    return module.symbol(name);
}

AEffect* PluginHost::open()
{
    return entry ? open(entry) : nullptr;
}

AEffect* PluginHost::open(PluginEntry pluginEntry)
{
    close();
    constructingHost = this;
    AEffect* made = pluginEntry(&PluginHost::callback);
    constructingHost = nullptr;
    if (!made) {
        lastError = "the plug-in declined to open";
        return nullptr;
    }
    if (!drivable(made)) {
        lastError = "the module made no usable effect record";
        return nullptr;
    }
    plugin = made;
    plugin->user = this;
    return plugin;
}

void PluginHost::startUp(float sampleRate, int32_t blockSize)
{
    maxBlockSize = std::max(blockSize, 0);
    timeInfo.sampleRate = sampleRate;
    if (plugin) {
        // Two of each at least, so that a plug-in never finds a null channel where it
        // expects one.
        const size_t inputCount = static_cast<size_t>(std::max(plugin->numInputs, 2));
        const size_t outputCount = static_cast<size_t>(std::max(plugin->numOutputs, 2));
        channels.assign(inputCount + outputCount,
                        std::vector<float>(static_cast<size_t>(maxBlockSize), 0.0f));
        inputs.clear();
        outputs.clear();
        for (size_t i = 0; i < channels.size(); ++i) {
            (i < inputCount ? inputs : outputs).push_back(channels[i].data());
        }
    }
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    resumed = plugin != nullptr;
}

intptr_t PluginHost::close()
{
    if (!plugin) return 0;
    const intptr_t result = plugin->dispatcher(plugin, effClose, 0, 0, nullptr, 0.0f);
    plugin = nullptr;
    resumed = false;
    return result;
}

intptr_t PluginHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                              float opt)
{
    return plugin ? plugin->dispatcher(plugin, opcode, index, value, ptr, opt) : 0;
}

void PluginHost::setParameter(int32_t index, float value)
{
    if (plugin) plugin->setParameter(plugin, index, value);
}

float PluginHost::getParameter(int32_t index)
{
    return plugin ? plugin->getParameter(plugin, index) : 0.0f;
}

void PluginHost::sendMidi(const std::vector<MidiEvent>& events)
{
    midi.assign(events.size(), VstMidiEvent{});
    eventPointers.clear();
    for (size_t i = 0; i < events.size(); ++i) {
        VstMidiEvent& event = midi[i];
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = events[i].deltaFrames;
        event.midiData[0] = static_cast<char>(events[i].status);
        event.midiData[1] = static_cast<char>(events[i].data1);
        event.midiData[2] = static_cast<char>(events[i].data2);
        eventPointers.push_back(reinterpret_cast<VstEvent*>(&event));
    }
    sendEvents(eventPointers);
}

void PluginHost::sendEvents(const std::vector<VstEvent*>& events)
{
    // VstEvents ends in a short pointer array that hosts extend to the real count.
    const size_t bytes = offsetof(VstEvents, events) + events.size() * sizeof(VstEvent*);
    eventList.assign(std::max(bytes, sizeof(VstEvents)) / sizeof(uint64_t) + 1, 0);
    auto* list = reinterpret_cast<VstEvents*>(eventList.data());
    list->numEvents = static_cast<int32_t>(events.size());
    VstEvent** slots = list->events;
    for (size_t i = 0; i < events.size(); ++i) slots[i] = events[i];
    dispatch(effProcessEvents, 0, 0, list);
}

Block PluginHost::render(int32_t frames)
{
    Block block;
    block.left.assign(static_cast<size_t>(std::max(frames, 0)), 0.0f);
    block.right.assign(block.left.size(), 0.0f);
    float* channelPointers[2] = {block.left.data(), block.right.data()};
    if (plugin) plugin->processReplacing(plugin, nullptr, channelPointers, frames);
    return block;
}

void PluginHost::process(float* left, float* right, int32_t frames)
{
    frames = std::clamp(frames, 0, maxBlockSize);
    if (!plugin || outputs.size() < 2) return;
    plugin->processReplacing(plugin, inputs.data(), outputs.data(), frames);
    std::copy(outputs[0], outputs[0] + frames, left);
    std::copy(outputs[1], outputs[1] + frames, right);
}

std::vector<float> PluginHost::renderSong(int32_t total, int32_t blockSize,
                                          const std::vector<MidiEvent>& events)
{
    std::vector<float> song;
    std::vector<MidiEvent> due;
    for (int32_t start = 0; start < total; start += blockSize) {
        const int32_t frames = std::min(blockSize, total - start);
        due.clear();
        for (const MidiEvent& event : events) {
            if (event.deltaFrames >= start && event.deltaFrames < start + frames) {
                due.push_back({event.deltaFrames - start, event.status, event.data1,
                               event.data2});
            }
        }
        if (!due.empty()) sendMidi(due);
        if (beforeBlock) beforeBlock(start);
        Block block = render(frames);
        song.insert(song.end(), block.left.begin(), block.left.end());
        timeInfo.samplePos += frames;
        timeInfo.ppqPos += frames / timeInfo.sampleRate * timeInfo.tempo / 60.0;
    }
    return song;
}

std::vector<HostCall> PluginHost::calls() const
{
    std::lock_guard<std::mutex> lock(callsMutex);
    return recorded;
}

size_t PluginHost::callCount(int32_t opcode) const
{
    std::lock_guard<std::mutex> lock(callsMutex);
    return static_cast<size_t>(std::count_if(
        recorded.begin(), recorded.end(), [&](const HostCall& c) { return c.opcode == opcode; }));
}

void PluginHost::clearCalls()
{
    std::lock_guard<std::mutex> lock(callsMutex);
    recorded.clear();
}

intptr_t PluginHost::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                              void* ptr, float opt)
{
    PluginHost* host = effect && effect->user ? static_cast<PluginHost*>(effect->user)
                                              : constructingHost;
    return host ? host->answer(effect, opcode, index, value, ptr, opt) : 0;
}

intptr_t PluginHost::answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                            void* ptr, float opt)
{
    if (recordCalls) {
        std::lock_guard<std::mutex> lock(callsMutex);
        recorded.push_back({effect != nullptr, opcode, index, value, opt});
    }
    if (reaction) reaction(opcode);
    switch (opcode) {
    case audioMasterVersion: return versionAnswer;
    case audioMasterWantMidi: return 1;
    case audioMasterGetTime:
        return answerTimeWithNull ? 0 : reinterpret_cast<intptr_t>(&timeInfo);
    case audioMasterGetSampleRate: return static_cast<intptr_t>(timeInfo.sampleRate);
    case audioMasterGetBlockSize: return maxBlockSize;
    case audioMasterCanDo: return hostCanDo(static_cast<const char*>(ptr)) ? 1 : 0;
    case audioMasterSizeWindow:
        return sizeWindow && sizeWindow(index, static_cast<int32_t>(value)) ? 1 : 0;
    default: return 0;  // automation, idle and edit brackets need no answer
    }
}

}  // namespace harness
