#include "lv2/Lv2Panel.h"

Lv2Panel::Lv2Panel(LV2UI_Write_Function write, LV2UI_Controller controller,
                   const LV2UI_Touch* touch, LV2_URID_Map& map)
    : ports(write, controller, touch, map), panel(static_cast<VSTGUI::InstrumentLink&>(*this))
{
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
