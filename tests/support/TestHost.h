// A small VST 2.4 host for tests: loads a module with dlopen (or takes an entry function
// directly), records every call the plug-in makes back to the host, answers time requests
// from a settable record, and sends MIDI and renders blocks the way a host does.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/VstInterface.h"

namespace testhost {

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

class TestHost
{
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // dlopen's the module and finds VSTPluginMain; on failure error() says why.
    bool load(const std::string& modulePath);
    const std::string& error() const { return lastError; }
    // A symbol of the loaded module, or null.
    void* symbol(const char* name) const;

    // Calls the entry as a host does; null when the plug-in declined.
    AEffect* open();
    AEffect* open(PluginEntry entry);
    // The usual start-up sequence: effOpen, sample rate, block size, resume.
    void startUp(float sampleRate = 44100.0f, int32_t blockSize = 512);
    // effClose; the effect is gone afterwards. Returns the plug-in's answer (0 if none).
    intptr_t close();
    AEffect* effect() const { return plugin; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* ptr = nullptr, float opt = 0.0f);
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);

    // Sends one effProcessEvents with these MIDI events, in this order.
    void sendMidi(const std::vector<MidiEvent>& events);
    // Sends arbitrary events (any type, any size) in one effProcessEvents.
    void sendEvents(const std::vector<VstEvent*>& events);
    // One processReplacing call of this many frames.
    Block render(int32_t frames);
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

    std::vector<HostCall> calls() const;
    size_t callCount(int32_t opcode) const;
    void clearCalls();

private:
    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);
    intptr_t answer(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                    float opt);

    void* module = nullptr;
    PluginEntry entry = nullptr;
    AEffect* plugin = nullptr;
    std::string lastError;
    mutable std::mutex callsMutex;  // the plug-in calls back from audio and editor threads
    std::vector<HostCall> recorded;
};

}  // namespace testhost
