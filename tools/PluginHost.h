// Our side of the VST 2.4 interface, shared by the render tool, the tests, the benchmarks and
// the fuzzers: loads a module exactly as a music host does (dlopen, or LoadLibrary on
// Windows; or takes an entry function directly), answers its callback, keeps a record of
// every call it makes back to the host, and sends it MIDI and renders blocks.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/VstInterface.h"
#include "platform/LoadableModule.h"

namespace harness {

using PluginEntry = AEffect* (*)(audioMasterCallback);

// One call of the plug-in into the host callback.
struct HostCall {
    bool withEffect;  // false for calls made before the effect existed (the version query)
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
};

struct MidiEvent {
    int32_t deltaFrames;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

struct Block {
    std::vector<float> left;
    std::vector<float> right;
};

class PluginHost
{
public:
    PluginHost();
    ~PluginHost();  // suspends a resumed effect, closes it and unloads the module
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the module and finds VSTPluginMain; on failure error() says why in one line.
    bool load(const std::string& modulePath);
    const std::string& error() const { return lastError; }
    // A symbol of the loaded module, or null.
    void* symbol(const char* name) const;

    // Calls the entry as a host does. Null when the plug-in declined or made a record that
    // cannot be driven (which is then left alone: its own dispatcher is not trusted).
    AEffect* open();
    AEffect* open(PluginEntry entry);
    // The usual start-up sequence: effOpen, sample rate, block size, resume. process()
    // renders at most blockSize frames at a time.
    void startUp(float sampleRate = 44100.0f, int32_t blockSize = 512);
    // effClose; the effect is gone afterwards. Returns the plug-in's answer (0 if none).
    intptr_t close();
    AEffect* effect() const { return plugin; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* ptr = nullptr, float opt = 0.0f);
    int32_t parameterCount() const { return plugin ? plugin->numParams : 0; }
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);

    // Sends one effProcessEvents with these MIDI events, in this order.
    void sendMidi(const std::vector<MidiEvent>& events);
    // Sends arbitrary events (any type, any size) in one effProcessEvents.
    void sendEvents(const std::vector<VstEvent*>& events);
    // One processReplacing call of this many frames into fresh channels, no inputs.
    Block render(int32_t frames);
    // One processReplacing call with every input and output the plug-in declares, of at
    // most the start-up block size; the first two outputs are copied to left and right.
    void process(float* left, float* right, int32_t frames);
    // Renders total frames in blocks of blockSize, MIDI events placed at absolute sample
    // positions (each is sent with the block it falls into). Returns the left channel.
    // The time record runs on by each block; beforeBlock, when set, may change it (or do
    // anything else a host does) just before the block at the given first sample.
    std::vector<float> renderSong(int32_t total, int32_t blockSize,
                                  const std::vector<MidiEvent>& events = {});
    std::function<void(int32_t firstSample)> beforeBlock;

    // What the host answers. Time requests get &timeInfo unless answerTimeWithNull is set.
    intptr_t versionAnswer = 2400;
    bool answerTimeWithNull = false;
    VstTimeInfo timeInfo{};
    // Runs after each call has been recorded, on the plug-in's thread: a host that does
    // something of its own inside a callback.
    std::function<void(int32_t opcode)> reaction;
    // Answers the editor's request for a window of width x height: true when the host made
    // it so. Unset, the host refuses, as hosts that cannot resize do.
    std::function<bool(int32_t width, int32_t height)> sizeWindow;
    // A renderer running for an hour has no use for a record of every time request.
    bool recordCalls = true;

    std::vector<HostCall> calls() const;
    size_t callCount(int32_t opcode) const;
    void clearCalls();

private:
    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);
    intptr_t answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt);

    platform::LoadableModule module;  // unloaded after the destructor has closed the effect
    PluginEntry entry = nullptr;
    AEffect* plugin = nullptr;
    bool resumed = false;
    int32_t maxBlockSize = 0;
    std::string lastError;
    mutable std::mutex callsMutex;  // the plug-in calls back from audio and editor threads
    std::vector<HostCall> recorded;
    // Kept between blocks so that a long render allocates nothing per block.
    std::vector<VstMidiEvent> midi;
    std::vector<VstEvent*> eventPointers;
    std::vector<uint64_t> eventList;  // a VstEvents with room for every pointer
    std::vector<std::vector<float>> channels;  // every input and output the plug-in declares
    std::vector<float*> inputs;
    std::vector<float*> outputs;
};

}  // namespace harness
