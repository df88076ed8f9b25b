// The LV2 plug-in's exported entry: one descriptor, whose callbacks lead to Lv2Instrument.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2Instrument.h"

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features)
{
    LV2_URID_Map* map = nullptr;
    const LyrevaneMidnamUpdate* keyNamesChanged = nullptr;
    for (const LV2_Feature* const* feature = features; feature && *feature; ++feature) {
        if (std::strcmp((*feature)->URI, LV2_URID__map) == 0) {
            map = static_cast<LV2_URID_Map*>((*feature)->data);
        } else if (std::strcmp((*feature)->URI, LYREVANE_MIDNAM_UPDATE) == 0) {
            keyNamesChanged = static_cast<const LyrevaneMidnamUpdate*>((*feature)->data);
        }
    }
    // The manifest requires the map; a host that loads us without it gets no instance.
    if (!map || !map->map) return nullptr;
    return new (std::nothrow) Lv2Instrument(sampleRate, *map, keyNamesChanged);
}

// A copy the host releases through releaseText.
char* hostCopy(const std::string& text)
{
    return strdup(text.c_str());
}

char* keyNames(LV2_Handle instance)
{
    return hostCopy(static_cast<Lv2Instrument*>(instance)->keyNames());
}

char* keyNamesModel(LV2_Handle instance)
{
    return hostCopy(static_cast<Lv2Instrument*>(instance)->model());
}

void releaseText(char* text)
{
    std::free(text);
}

const LyrevaneMidnamInterface midnamInterface = {keyNames, keyNamesModel, releaseText};

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    static_cast<Lv2Instrument*>(instance)->connect(port, data);
}

void activate(LV2_Handle instance)
{
    static_cast<Lv2Instrument*>(instance)->activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    static_cast<Lv2Instrument*>(instance)->run(frames);
}

void cleanup(LV2_Handle instance)
{
    delete static_cast<Lv2Instrument*>(instance);
}

const void* extensionData(const char* uri)
{
    return uri && std::strcmp(uri, LYREVANE_MIDNAM_INTERFACE) == 0 ? &midnamInterface : nullptr;
}

const LV2_Descriptor descriptor = {
    lv2ports::kPluginUri, instantiate, connectPort, activate, run, nullptr, cleanup,
    extensionData,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
