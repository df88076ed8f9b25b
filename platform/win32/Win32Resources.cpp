// The find/load/lock/size steps over the module's own Win32 resources.
#include "platform/Resources.h"

#include "platform/win32/Win32Module.h"

namespace platform {

ResourceHandle findResource(int id, const char* type)
{
    if (type == nullptr) {
        SetLastError(kErrorResourceNotFound);
        return nullptr;
    }
    return FindResourceA(moduleHandle(), MAKEINTRESOURCEA(id), type);
}

const void* loadResource(ResourceHandle resource)
{
    return LoadResource(moduleHandle(), static_cast<HRSRC>(const_cast<void*>(resource)));
}

const void* lockResource(const void* loaded)
{
    return LockResource(const_cast<void*>(loaded));
}

uint32_t sizeofResource(ResourceHandle resource)
{
    return SizeofResource(moduleHandle(), static_cast<HRSRC>(const_cast<void*>(resource)));
}

uint32_t lastError()
{
    return GetLastError();
}

}  // namespace platform
