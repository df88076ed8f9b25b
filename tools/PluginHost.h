// Our side of the VST 2.4 interface: loads a module with dlopen exactly as a music host does,
// answers its callback, and drives it block by block from a single thread.
#pragma once

#include "host/VstInterface.h"

#include <memory>
#include <string>
#include <vector>

class PluginHost
{
public:
    // Null with a one-line reason in error when the module cannot be loaded or makes no
    // usable effect record.
    static std::unique_ptr<PluginHost> load(const std::string& path, std::string& error);
    ~PluginHost();  // suspends, closes the effect and unloads the module

    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // effOpen, the rate and block size, and resume; blocks never exceed maxBlockSize frames.
    void start(double sampleRate, int maxBlockSize);
    int parameterCount() const { return effect_->numParams; }
    void setParameter(int index, float value) { effect_->setParameter(effect_, index, value); }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    // Hands over the block's events (deltaFrames relative to the block) and renders frames
    // samples of the first two outputs. The time record answers the module's time requests
    // until the next block.
    void processBlock(const std::vector<VstMidiEvent>& events, const VstTimeInfo& time,
                      float* left, float* right, int frames);

private:
    PluginHost(void* library, AEffect* effect);
    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);

    void* library_;
    AEffect* effect_;
    double sampleRate_ = 44100.0;
    int maxBlockSize_ = 0;
    bool started_ = false;
    VstTimeInfo time_{};
    std::vector<uint64_t> eventListStorage_;  // a VstEvents with room for every pointer
    std::vector<VstEvent*> eventPointers_;
    std::vector<std::vector<float>> channels_;  // every input and output the module declares
    std::vector<float*> inputs_;
    std::vector<float*> outputs_;
};
