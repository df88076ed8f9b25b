// The LV2 panel's exported entry: an X11 UI embedded in the host's window (ui:parent),
// driven by the host's idle calls (ui:idleInterface), scaled by the host's ui:scaleFactor
// option at instantiation and later (opts:options, opts:interface).
#include <cstring>
#include <new>

#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2Panel.h"
#include "lv2/Lv2Ports.h"

namespace {

const void* featureData(const LV2_Feature* const* features, const char* uri)
{
    for (const LV2_Feature* const* feature = features; feature && *feature; ++feature) {
        if (std::strcmp((*feature)->URI, uri) == 0) return (*feature)->data;
    }
    return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    void* parent = const_cast<void*>(featureData(features, LV2_UI__parent));
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(featureData(features, LV2_URID__map)));
    // Without a window to live in, a way to write ports, or the map that names the reset
    // message, there is no panel to offer.
    if (!parent || !write || !widget || !map || !map->map) return nullptr;
    const auto* touch = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));
    const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
    auto* panel = new (std::nothrow) Lv2Panel(write, controller, touch, resize, *map);
    if (!panel) return nullptr;
    // Options that are not the panel's, or a scale it cannot use, leave it at its own.
    panel->takeOptions(
        static_cast<const LV2_Options_Option*>(featureData(features, LV2_OPTIONS__options)));
    if (!panel->open(parent)) {
        delete panel;
        return nullptr;
    }
    if (resize) resize->ui_resize(resize->handle, panel->width(), panel->height());
    *widget = panel->widget();
    return panel;
}

void cleanup(LV2UI_Handle handle)
{
    delete static_cast<Lv2Panel*>(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer)
{
    // Control ports only: a float in the plain protocol.
    if (format != 0 || size != sizeof(float) || !buffer) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    static_cast<Lv2Panel*>(handle)->portEvent(port, value);
}

int idle(LV2UI_Handle handle)
{
    return static_cast<Lv2Panel*>(handle)->idle();
}

const LV2UI_Idle_Interface idleInterface = {idle};

// The panel reports no options of its own.
uint32_t getOptions(LV2_Handle, LV2_Options_Option*)
{
    return LV2_OPTIONS_ERR_BAD_KEY;
}

uint32_t setOptions(LV2_Handle handle, const LV2_Options_Option* options)
{
    return static_cast<Lv2Panel*>(handle)->takeOptions(options);
}

const LV2_Options_Interface optionsInterface = {getOptions, setOptions};

const void* extensionData(const char* uri)
{
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
    if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &optionsInterface;
    return nullptr;
}

const LV2UI_Descriptor descriptor = {lv2ports::kUiUri, instantiate, cleanup, portEvent,
                                     extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(
    uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
