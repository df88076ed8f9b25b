// The module's exported entry, under both names hosts look for. It joins the instrument and
// its panel: the engine knows the editor only through the factory handed in here.
#include <new>

#include "editor/CPlektraGUI.h"
#include "host/Plektra.h"

#ifdef _WIN32
// Windows exports by the module definition file, which also gives "main" its address.
#define LYREVANE_EXPORT
#else
#define LYREVANE_EXPORT __attribute__((visibility("default")))
#endif

extern "C" LYREVANE_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    // A host that does not state its interface version cannot be relied on.
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    Plektra* instrument = new (std::nothrow) Plektra(audioMaster, &CPlektraGUI::create);
    return instrument ? instrument->getAeffect() : nullptr;
}

#ifndef _WIN32
// Older hosts look the entry up as "main". C++ reserves that name for the program's own
// entry, so the alias is declared under another name and given the symbol through asm.
extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) AEffect*
vstMainAlias(audioMasterCallback audioMaster) __asm__("main");
#endif
