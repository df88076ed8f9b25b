// The instrument's panel as an LV2 X11 UI: the same CPlektraGUI as the VST editor, opened in
// the host's window, its instrument link reading and writing the plug-in's ports and asking
// the host to resize its window, at the scale the host's options give.
#pragma once

#include <cstdint>

#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "editor/CPlektraGUI.h"
#include "lv2/Lv2PanelPorts.h"
#include "vstgui/InstrumentLink.h"

class Lv2Panel final : private VSTGUI::InstrumentLink
{
public:
    // resize, when the host gives it, sizes the host's window to the panel.
    Lv2Panel(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch,
             const LV2UI_Resize* resize, LV2_URID_Map& map);
    Lv2Panel(const Lv2Panel&) = delete;
    Lv2Panel& operator=(const Lv2Panel&) = delete;

    // The host's options, up to the zeroed one: ui:scaleFactor, a float, is the panel's scale
    // (an open panel asks the host for its new size). Other keys are not the panel's; an
    // unusable scale is a bad value.
    LV2_Options_Status takeOptions(const LV2_Options_Option* options);
    bool open(void* parent);
    LV2UI_Widget widget() const;
    // The panel's size in device pixels.
    int32_t width();
    int32_t height();
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
    bool sizeWindow(int32_t width, int32_t height) override;

    Lv2PanelPorts ports;
    const LV2UI_Resize* resizeFeature;
    const LV2_URID scaleFactorKey;
    const LV2_URID floatType;
    CPlektraGUI panel;
};
