// The VST3 binary's exports: the factory of the edition's two classes (the processor, and the
// controller for hosts that create it apart), and the module's entry and exit.
#include <cstring>

#include "vst3/Vst3Edition.h"

#define LYREVANE_VST3_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using vst3edition::kControllerClass;
using vst3edition::kProcessorClass;

void copy(const char* text, char* to, size_t capacity)
{
    std::strncpy(to, text, capacity - 1);
    to[capacity - 1] = '\0';
}

// A single object for the life of the module, as hosts expect; its counts mean nothing.
class Factory final : public vst3::PluginFactory2
{
public:
    vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override
    {
        if (object == nullptr) return vst3::kInvalidArgument;
        const bool known = vst3::Unknown::iid.matches(iid) ||
                           vst3::PluginFactory::iid.matches(iid) ||
                           vst3::PluginFactory2::iid.matches(iid);
        *object = known ? this : nullptr;
        return known ? vst3::kResultOk : vst3::kNoInterface;
    }
    uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
    uint32_t LYREVANE_VST3_CALL release() override { return 1; }

    vst3::Result LYREVANE_VST3_CALL getFactoryInfo(vst3::FactoryInfo* info) override
    {
        if (info == nullptr) return vst3::kInvalidArgument;
        *info = {};
        copy(LYREVANE_VENDOR, info->vendor, sizeof info->vendor);
        copy(LYREVANE_URL, info->url, sizeof info->url);
        return vst3::kResultOk;
    }
    int32_t LYREVANE_VST3_CALL countClasses() override { return 2; }
    vst3::Result LYREVANE_VST3_CALL getClassInfo(int32_t index, vst3::ClassInfo* info) override
    {
        vst3::ClassInfo2 full{};
        if (info == nullptr || getClassInfo2(index, &full) != vst3::kResultOk) {
            return vst3::kInvalidArgument;
        }
        std::memcpy(info->classId, full.classId, sizeof info->classId);
        info->cardinality = full.cardinality;
        std::memcpy(info->category, full.category, sizeof info->category);
        std::memcpy(info->name, full.name, sizeof info->name);
        return vst3::kResultOk;
    }
    vst3::Result LYREVANE_VST3_CALL getClassInfo2(int32_t index, vst3::ClassInfo2* info) override
    {
        if (info == nullptr || index < 0 || index > 1) return vst3::kInvalidArgument;
        *info = {};
        std::memcpy(info->classId, (index == 0 ? kProcessorClass : kControllerClass).bytes, 16);
        info->cardinality = vst3::kManyInstances;
        copy(index == 0 ? vst3::kAudioModuleClass : vst3::kComponentControllerClass, info->category,
             sizeof info->category);
        copy("Lyrevane", info->name, sizeof info->name);
        copy(index == 0 ? "Instrument|Synth" : "", info->subCategories, sizeof info->subCategories);
        copy(LYREVANE_VENDOR, info->vendor, sizeof info->vendor);
        copy(LYREVANE_VERSION, info->version, sizeof info->version);
        copy("VST 3.7", info->sdkVersion, sizeof info->sdkVersion);
        return vst3::kResultOk;
    }
    vst3::Result LYREVANE_VST3_CALL createInstance(const char* classId, const char* iid,
                                                   void** object) override
    {
        if (object == nullptr) return vst3::kInvalidArgument;
        *object = nullptr;
        if (!kProcessorClass.matches(classId) && !kControllerClass.matches(classId)) {
            return vst3::kNoInterface;
        }
        auto* edition = new vst3edition::Vst3Edition;
        const vst3::Result result = edition->queryInterface(iid, object);
        edition->release();  // the interface asked for holds the only reference, if any
        return result;
    }
};

Factory factory;

}  // namespace

LYREVANE_VST3_EXPORT vst3::PluginFactory* LYREVANE_VST3_CALL GetPluginFactory() { return &factory; }

LYREVANE_VST3_EXPORT bool ModuleEntry(void*) { return true; }
LYREVANE_VST3_EXPORT bool ModuleExit() { return true; }
