// The instrument's panel as an LV2 X11 UI: the same CPlektraGUI as the VST editor, opened in
// the host's window, reading and writing the plug-in's ports in place of the instrument.
#pragma once

#include <cstdint>
#include <memory>

#include <lv2/ui/ui.h>

#include "editor/CPlektraGUI.h"
#include "host/AudioEffect.h"
#include "lv2/Lv2PanelPorts.h"

class Lv2Panel : private AudioEffect
{
public:
    static constexpr int32_t kWidth = CPlektraGUI::kWidth;
    static constexpr int32_t kHeight = CPlektraGUI::kHeight;

    Lv2Panel(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch);
    ~Lv2Panel() override;

    bool open(void* parent);
    LV2UI_Widget widget() const;
    void portEvent(uint32_t port, float value);
    // Handles the window's events and repaints; 0 while the panel stays open.
    int idle();

private:
    static intptr_t hostCall(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    Lv2PanelPorts ports;
    CPlektraGUI* panel;  // owned through AudioEffect, as the VST editor is
};
