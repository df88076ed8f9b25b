// Modules through the dynamic loader.
#include "platform/LoadableModule.h"

#include <dlfcn.h>
#include <unistd.h>

namespace platform {

LoadableModule LoadableModule::load(const std::string& path, std::string& error)
{
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown error";
    }
    return LoadableModule(handle);
}

LoadableModule::~LoadableModule()
{
    if (handle != nullptr) dlclose(handle);
}

void* LoadableModule::symbol(const char* name) const
{
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

std::string executablePath()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

}  // namespace platform
