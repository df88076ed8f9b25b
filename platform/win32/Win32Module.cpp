// The DLL's load-time entry. It only remembers the instance handle: everything else waits
// until a host asks for an instrument, since little is allowed under the loader lock.
#include "platform/win32/Win32Module.h"

namespace {
HMODULE instance = nullptr;
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD, LPVOID)
{
    instance = module;
    return TRUE;
}

namespace platform {

HMODULE moduleHandle()
{
    return instance;
}

}  // namespace platform
