#include "lv2/Lv2Panel.h"

Lv2Panel::Lv2Panel(LV2UI_Write_Function write, LV2UI_Controller controller,
                   const LV2UI_Touch* touch)
    : AudioEffect(&Lv2Panel::hostCall, 1, kParameterCount),
      ports(write, controller, touch),
      panel(new CPlektraGUI(this))
{
}

Lv2Panel::~Lv2Panel()
{
    panel->close();
}

bool Lv2Panel::open(void* parent)
{
    return panel->open(parent);
}

LV2UI_Widget Lv2Panel::widget() const
{
    const VSTGUI::CFrame* frame = panel->getFrame();
    return reinterpret_cast<LV2UI_Widget>(frame ? frame->getWindowId() : 0);
}

void Lv2Panel::portEvent(uint32_t port, float value)
{
    if (!ports.portEvent(port, value)) return;
    if (lv2ports::isStringPort(port) || port == lv2ports::kSoundSet) panel->showInstrumentValues();
}

int Lv2Panel::idle()
{
    ports.settle();
    panel->idle();
    return panel->getFrame() ? 0 : 1;
}

// The panel's edits reach the host as the VST editor's do, through the effect's host calls.
intptr_t Lv2Panel::hostCall(AEffect* effect, int32_t opcode, int32_t index, intptr_t, void*,
                            float)
{
    auto* self = effect ? static_cast<Lv2Panel*>(static_cast<AudioEffect*>(effect->object))
                        : nullptr;
    if (!self) return 0;
    if (opcode == audioMasterBeginEdit) self->ports.touch(index, true);
    if (opcode == audioMasterEndEdit) self->ports.touch(index, false);
    return 0;
}

void Lv2Panel::setParameter(int32_t index, float value)
{
    ports.write(index, value);
}

float Lv2Panel::getParameter(int32_t index)
{
    return ports.read(index);
}
