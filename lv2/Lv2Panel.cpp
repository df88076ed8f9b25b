// The LV2 panel: the editor over the plug-in's ports, sized and scaled by the host.
#include "lv2/Lv2Panel.h"

#include <cstring>

#include <lv2/atom/atom.h>

Lv2Panel::Lv2Panel(LV2UI_Write_Function write, LV2UI_Controller controller,
                   const LV2UI_Touch* touch, const LV2UI_Resize* resize, LV2_URID_Map& map)
    : ports(write, controller, touch, map),
      resizeFeature(resize),
      scaleFactorKey(map.map(map.handle, LV2_UI__scaleFactor)),
      floatType(map.map(map.handle, LV2_ATOM__Float)),
      panel(static_cast<VSTGUI::InstrumentLink&>(*this))
{
}

LV2_Options_Status Lv2Panel::takeOptions(const LV2_Options_Option* options)
{
    uint32_t status = LV2_OPTIONS_SUCCESS;
    for (const LV2_Options_Option* option = options; option && option->key != 0; ++option) {
        if (option->key != scaleFactorKey || option->context != LV2_OPTIONS_INSTANCE) {
            status |= LV2_OPTIONS_ERR_BAD_KEY;
            continue;
        }
        float scale = 0.0f;
        if (option->type != floatType || option->size != sizeof scale || !option->value) {
            status |= LV2_OPTIONS_ERR_BAD_VALUE;
            continue;
        }
        std::memcpy(&scale, option->value, sizeof scale);
        if (!panel.setScaleFactor(scale)) status |= LV2_OPTIONS_ERR_BAD_VALUE;
    }
    return static_cast<LV2_Options_Status>(status);
}

bool Lv2Panel::open(void* parent)
{
    return panel.open(parent);
}

LV2UI_Widget Lv2Panel::widget() const
{
    const VSTGUI::CFrame* frame = panel.getFrame();
    return reinterpret_cast<LV2UI_Widget>(frame ? frame->getWindowId() : 0);
}

int32_t Lv2Panel::width()
{
    ERect* size = nullptr;
    panel.getRect(&size);
    return size->right - size->left;
}

int32_t Lv2Panel::height()
{
    ERect* size = nullptr;
    panel.getRect(&size);
    return size->bottom - size->top;
}

void Lv2Panel::portEvent(uint32_t port, float value)
{
    if (!ports.portEvent(port, value)) return;
    if (lv2ports::isStringPort(port) || port == lv2ports::kSoundSet) panel.showInstrumentValues();
}

int Lv2Panel::idle()
{
    panel.idle();
    return panel.getFrame() ? 0 : 1;
}

float Lv2Panel::getParameter(int32_t index)
{
    return ports.read(index);
}

void Lv2Panel::setParameterAutomated(int32_t index, float value)
{
    ports.write(index, value);
}

void Lv2Panel::beginEdit(int32_t index)
{
    ports.touch(index, true);
}

void Lv2Panel::endEdit(int32_t index)
{
    ports.touch(index, false);
}

bool Lv2Panel::sizeWindow(int32_t newWidth, int32_t newHeight)
{
    return resizeFeature && resizeFeature->ui_resize(resizeFeature->handle, newWidth, newHeight) == 0;
}
