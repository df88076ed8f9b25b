// The panel's view of the LV2 plug-in's ports: the instrument's parameters as the panel reads
// and writes them (the VST encoding), kept from the host's port events and written back
// through the host's write function, with the touch feature around each edit. A reset goes
// to the plug-in as a message of its own.
#pragma once

#include <cstdint>

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2Ports.h"

class Lv2PanelPorts
{
public:
    Lv2PanelPorts(LV2UI_Write_Function write, LV2UI_Controller controller,
                  const LV2UI_Touch* touch, LV2_URID_Map& map);

    // A control port's new value from the host; false for ports the panel does not show.
    bool portEvent(uint32_t port, float value);

    float read(int32_t parameter) const;
    // Written as the host's port value; a reset, whatever the value, as one reset message.
    void write(int32_t parameter, float value);
    void touch(int32_t parameter, bool grabbed);

private:
    LV2UI_Write_Function writeFunction;
    LV2UI_Controller controller;
    const LV2UI_Touch* touchFeature;
    LV2_URID eventTransfer;
    LV2_URID atomObject;
    LV2_URID resetMessage;
    // Hosts report every control port right after creating the panel; until then all read 0.
    float parameters[kParameterCount] = {};
};
