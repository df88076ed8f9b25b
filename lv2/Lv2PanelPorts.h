// The panel's view of the LV2 plug-in's ports: the instrument's parameters as the panel reads
// and writes them (the VST encoding), kept from the host's port events and written back
// through the host's write function, with the touch feature around each edit.
#pragma once

#include <cstdint>

#include <lv2/ui/ui.h>

#include "lv2/Lv2Ports.h"

class Lv2PanelPorts
{
public:
    Lv2PanelPorts(LV2UI_Write_Function write, LV2UI_Controller controller,
                  const LV2UI_Touch* touch);

    // A control port's new value from the host; false for ports the panel does not show.
    bool portEvent(uint32_t port, float value);

    float read(int32_t parameter) const;
    // Written as the host's port value; a reset is a trigger, lowered again by settle().
    void write(int32_t parameter, float value);
    void touch(int32_t parameter, bool grabbed);
    // Lowers a raised reset at the host's next idle, so that each press is a rise of its own.
    void settle();

private:
    LV2UI_Write_Function writeFunction;
    LV2UI_Controller controller;
    const LV2UI_Touch* touchFeature;
    // Hosts report every control port right after creating the panel; until then all read 0.
    float parameters[kParameterCount] = {};
    bool resetRaised = false;
};
