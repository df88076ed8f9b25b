// Loading and driving a VST 2.4 module for the command-line host.
#include "tools/PluginHost.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace {

using PluginEntry = AEffect* (*)(audioMasterCallback);

// Host opcodes that the shared interface header does not name, answered for modules that ask.
constexpr int32_t audioMasterGetSampleRate = 16;
constexpr int32_t audioMasterGetBlockSize = 17;

constexpr intptr_t kHostVersion = 2400;

bool hostCanDo(const char* capability)
{
    static const char* const kCapabilities[] = {"sendVstEvents", "sendVstMidiEvent",
                                                "sendVstTimeInfo"};
    if (capability == nullptr) {
        return false;
    }
    return std::any_of(std::begin(kCapabilities), std::end(kCapabilities),
                       [capability](const char* c) { return std::strcmp(c, capability) == 0; });
}

}  // namespace

std::unique_ptr<PluginHost> PluginHost::load(const std::string& path, std::string& error)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error = "cannot load module " + path + ": " + (reason ? reason : "unknown error");
        return nullptr;
    }
    auto entry = reinterpret_cast<PluginEntry>(dlsym(library, "VSTPluginMain"));
    if (entry == nullptr) {
        error = path + " is not a VST 2.4 module: it exports no VSTPluginMain";
        dlclose(library);
        return nullptr;
    }
    AEffect* effect = entry(&PluginHost::callback);
    if (effect == nullptr || effect->magic != kEffectMagic || effect->dispatcher == nullptr ||
        effect->processReplacing == nullptr || effect->setParameter == nullptr ||
        effect->numInputs < 0 || effect->numOutputs < 0) {
        error = path + " made no usable effect record";
        // A record we cannot trust is not closed through its own dispatcher.
        dlclose(library);
        return nullptr;
    }
    std::unique_ptr<PluginHost> host(new PluginHost(library, effect));
    effect->user = host.get();
    return host;
}

PluginHost::PluginHost(void* library, AEffect* effect) : library_(library), effect_(effect)
{
    time_.sampleRate = sampleRate_;
    time_.tempo = 120.0;
    time_.flags = kVstTempoValid | kVstPpqPosValid;
}

PluginHost::~PluginHost()
{
    if (started_) {
        dispatch(effMainsChanged, 0, 0);
    }
    dispatch(effClose);
    dlclose(library_);
}

void PluginHost::start(double sampleRate, int maxBlockSize)
{
    sampleRate_ = sampleRate;
    maxBlockSize_ = maxBlockSize;
    time_.sampleRate = sampleRate;

    // Two of each at least, so that a module never finds a null channel where it expects one.
    const size_t inputCount = std::max(effect_->numInputs, 2);
    const size_t outputCount = std::max(effect_->numOutputs, 2);
    channels_.assign(inputCount + outputCount, std::vector<float>(maxBlockSize, 0.0f));
    inputs_.clear();
    outputs_.clear();
    for (size_t i = 0; i < channels_.size(); ++i) {
        (i < inputCount ? inputs_ : outputs_).push_back(channels_[i].data());
    }

    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, maxBlockSize);
    dispatch(effMainsChanged, 0, 1);
    started_ = true;
}

intptr_t PluginHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginHost::processBlock(const std::vector<VstMidiEvent>& events, const VstTimeInfo& time,
                              float* left, float* right, int frames)
{
    time_ = time;
    if (!events.empty()) {
        // VstEvents ends in a short pointer array that hosts extend to the real count.
        const size_t bytes = offsetof(VstEvents, events) + events.size() * sizeof(VstEvent*);
        eventListStorage_.assign(std::max(bytes, sizeof(VstEvents)) / sizeof(uint64_t) + 1, 0);
        auto* list = reinterpret_cast<VstEvents*>(eventListStorage_.data());
        VstEvent** slots = list->events;
        list->numEvents = static_cast<int32_t>(events.size());
        for (size_t i = 0; i < events.size(); ++i) {
            slots[i] = reinterpret_cast<VstEvent*>(const_cast<VstMidiEvent*>(&events[i]));
        }
        dispatch(effProcessEvents, 0, 0, list);
    }
    frames = std::min(frames, maxBlockSize_);
    effect_->processReplacing(effect_, inputs_.data(), outputs_.data(), frames);
    std::copy(outputs_[0], outputs_[0] + frames, left);
    std::copy(outputs_[1], outputs_[1] + frames, right);
}

intptr_t PluginHost::callback(AEffect* effect, int32_t opcode, int32_t, intptr_t, void* ptr,
                              float)
{
    // The version query comes before the record exists, and calls made while the module
    // constructs itself come before we know it: both are answered without a host object.
    auto* host = effect != nullptr ? static_cast<PluginHost*>(effect->user) : nullptr;
    switch (opcode) {
    case audioMasterVersion:
        return kHostVersion;
    case audioMasterWantMidi:
        return 1;
    case audioMasterGetTime:
        return host != nullptr ? reinterpret_cast<intptr_t>(&host->time_) : 0;
    case audioMasterGetSampleRate:
        return host != nullptr ? static_cast<intptr_t>(host->sampleRate_) : 0;
    case audioMasterGetBlockSize:
        return host != nullptr ? host->maxBlockSize_ : 0;
    case audioMasterCanDo:
        return hostCanDo(static_cast<const char*>(ptr)) ? 1 : 0;
    default:
        return 0;  // automation, idle and edit brackets need no answer from a renderer
    }
}
