// The key-names extension that Ardour defined and Ardour and MusE understand (it is not part
// of lv2-dev): the plug-in hands the host a MIDNAM document naming its keys, and asks the
// host to read it again when the names change.
#pragma once

#include <lv2/core/lv2.h>

#define LYREVANE_MIDNAM_PREFIX "http://ardour.org/lv2/midnam#"
// Extension data: LyrevaneMidnamInterface.
#define LYREVANE_MIDNAM_INTERFACE LYREVANE_MIDNAM_PREFIX "interface"
// An optional host feature: LyrevaneMidnamUpdate.
#define LYREVANE_MIDNAM_UPDATE LYREVANE_MIDNAM_PREFIX "update"

struct LyrevaneMidnamInterface {
    // The document, and the model name it describes (unique to the instance), as strings
    // the host gives back to release.
    char* (*midnam)(LV2_Handle instance);
    char* (*model)(LV2_Handle instance);
    void (*release)(char* text);
};

struct LyrevaneMidnamUpdate {
    void* handle;
    // Asks the host to read the document again; any thread may call it, run() included.
    void (*update)(void* handle);
};
