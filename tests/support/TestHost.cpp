// The test host's callback, loading and block helpers.
#include "tests/support/TestHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace testhost {

namespace {

// The host whose plug-in is being constructed: its effect has no user field yet.
thread_local TestHost* constructingHost = nullptr;

}  // namespace

TestHost::TestHost()
{
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
}

TestHost::~TestHost()
{
    close();
    if (module) dlclose(module);
}

bool TestHost::load(const std::string& modulePath)
{
    module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        lastError = reason ? reason : "dlopen failed";
        return false;
    }
    entry = reinterpret_cast<PluginEntry>(dlsym(module, "VSTPluginMain"));
    if (!entry) {
        lastError = "no VSTPluginMain in " + modulePath;
        return false;
    }
    return true;
}

void* TestHost::symbol(const char* name) const
{
    return module ? dlsym(module, name) : nullptr;
}

AEffect* TestHost::open()
{
    return entry ? open(entry) : nullptr;
}

AEffect* TestHost::open(PluginEntry pluginEntry)
{
    close();
    constructingHost = this;
    plugin = pluginEntry(&TestHost::callback);
    constructingHost = nullptr;
    if (plugin) plugin->user = this;
    return plugin;
}

void TestHost::startUp(float sampleRate, int32_t blockSize)
{
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
    timeInfo.sampleRate = sampleRate;
}

intptr_t TestHost::close()
{
    if (!plugin) return 0;
    const intptr_t result = plugin->dispatcher(plugin, effClose, 0, 0, nullptr, 0.0f);
    plugin = nullptr;
    return result;
}

intptr_t TestHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                            float opt)
{
    return plugin ? plugin->dispatcher(plugin, opcode, index, value, ptr, opt) : 0;
}

void TestHost::setParameter(int32_t index, float value)
{
    if (plugin) plugin->setParameter(plugin, index, value);
}

float TestHost::getParameter(int32_t index)
{
    return plugin ? plugin->getParameter(plugin, index) : 0.0f;
}

void TestHost::sendMidi(const std::vector<MidiEvent>& events)
{
    std::vector<VstMidiEvent> midi(events.size());
    std::vector<VstEvent*> list;
    for (size_t i = 0; i < events.size(); ++i) {
        VstMidiEvent& event = midi[i];
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent);
        event.deltaFrames = events[i].deltaFrames;
        event.midiData[0] = static_cast<char>(events[i].status);
        event.midiData[1] = static_cast<char>(events[i].data1);
        event.midiData[2] = static_cast<char>(events[i].data2);
        list.push_back(reinterpret_cast<VstEvent*>(&event));
    }
    sendEvents(list);
}

void TestHost::sendEvents(const std::vector<VstEvent*>& events)
{
    // The list is a count, a reserved word and as many pointers as there are events.
    std::vector<unsigned char> storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<int32_t>(events.size());
    list->reserved = 0;
    VstEvent** slots = list->events;
    for (size_t i = 0; i < events.size(); ++i) slots[i] = events[i];
    dispatch(effProcessEvents, 0, 0, list);
}

Block TestHost::render(int32_t frames)
{
    Block block;
    block.left.assign(static_cast<size_t>(std::max(frames, 0)), 0.0f);
    block.right.assign(block.left.size(), 0.0f);
    float* outputs[2] = {block.left.data(), block.right.data()};
    if (plugin) plugin->processReplacing(plugin, nullptr, outputs, frames);
    return block;
}

std::vector<float> TestHost::renderSong(int32_t total, int32_t blockSize,
                                        const std::vector<MidiEvent>& events)
{
    std::vector<float> song;
    for (int32_t start = 0; start < total; start += blockSize) {
        const int32_t frames = std::min(blockSize, total - start);
        std::vector<MidiEvent> due;
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

std::vector<HostCall> TestHost::calls() const
{
    std::lock_guard<std::mutex> lock(callsMutex);
    return recorded;
}

size_t TestHost::callCount(int32_t opcode) const
{
    std::lock_guard<std::mutex> lock(callsMutex);
    return static_cast<size_t>(std::count_if(
        recorded.begin(), recorded.end(), [&](const HostCall& c) { return c.opcode == opcode; }));
}

void TestHost::clearCalls()
{
    std::lock_guard<std::mutex> lock(callsMutex);
    recorded.clear();
}

intptr_t TestHost::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                            void* /*ptr*/, float opt)
{
    TestHost* host = effect && effect->user ? static_cast<TestHost*>(effect->user)
                                            : constructingHost;
    return host ? host->answer(effect, opcode, index, value, opt) : 0;
}

intptr_t TestHost::answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                          float opt)
{
    {
        std::lock_guard<std::mutex> lock(callsMutex);
        recorded.push_back({effect != nullptr, opcode, index, value, opt});
    }
    if (reaction) reaction(opcode);
    switch (opcode) {
    case audioMasterVersion: return versionAnswer;
    case audioMasterGetTime:
        return answerTimeWithNull ? 0 : reinterpret_cast<intptr_t>(&timeInfo);
    default: return 0;
    }
}

}  // namespace testhost
