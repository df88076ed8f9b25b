// The instrument's panel as an LV2 X11 UI: the same CPlektraGUI as the VST editor, opened in
// the host's window, its instrument link reading and writing the plug-in's ports.
#pragma once

#include <cstdint>

#include <lv2/ui/ui.h>

#include "editor/CPlektraGUI.h"
#include "lv2/Lv2PanelPorts.h"
#include "vstgui/InstrumentLink.h"

class Lv2Panel final : private VSTGUI::InstrumentLink
{
public:
    static constexpr int32_t kWidth = CPlektraGUI::kWidth;
    static constexpr int32_t kHeight = CPlektraGUI::kHeight;

    Lv2Panel(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
             LV2_URID_Map& map);
    Lv2Panel(const Lv2Panel&) = delete;
    Lv2Panel& operator=(const Lv2Panel&) = delete;

    bool open(void* parent);
    LV2UI_Widget widget() const;
    void portEvent(uint32_t port, float value);
    // Handles the window's events and repaints; 0 while the panel stays open.
    int idle();

private:
    float getParameter(int32_t index) override;
    void setParameterAutomated(int32_t index, float value) override;
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    // The host drives the panel through its idle calls and needs none back.
    void masterIdle() override {}

    Lv2PanelPorts ports;
    CPlektraGUI panel;
};
