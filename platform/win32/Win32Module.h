// The module instance handle that the load-time entry stores, for the resource calls.
#pragma once

#include <windows.h>

namespace platform {

// The DLL's own handle once DllMain has run; null when the code is linked into a program,
// which Win32 reads as "the program's own module".
HMODULE moduleHandle();

}  // namespace platform
