// The CLAP binary's one exported symbol: the entry, and the plug-in factory behind it.
#include <cstring>
#include <new>

#include "clap/ClapAbi.h"
#include "clap/ClapPlugin.h"

namespace {

using namespace clapabi;

const PluginFactory kFactory{
    [](const PluginFactory*) { return 1u; },
    [](const PluginFactory*, uint32_t index) {
        return index == 0 ? &clapedition::kDescriptor : nullptr;
    },
    [](const PluginFactory*, const Host* host, const char* pluginId) -> const Plugin* {
        if (host == nullptr || pluginId == nullptr ||
            std::strcmp(pluginId, clapedition::kPluginId) != 0 || !isCompatible(host->version)) {
            return nullptr;
        }
        auto* plugin = new (std::nothrow) clapedition::ClapPlugin(host);
        return plugin != nullptr ? plugin->plugin() : nullptr;
    }};

}  // namespace

#ifdef _WIN32
#define LYREVANE_EXPORT __declspec(dllexport)
#else
#define LYREVANE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" LYREVANE_EXPORT const PluginEntry clap_entry{
    kVersion, [](const char*) { return true; }, [] {},
    [](const char* factoryId) -> const void* {
        return factoryId != nullptr && std::strcmp(factoryId, kPluginFactoryId) == 0 ? &kFactory
                                                                                     : nullptr;
    }};
