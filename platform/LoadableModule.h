// Loading a plug-in module as a host does (dlopen on Linux, LoadLibrary on Windows), and
// the path of the running program, beside which the tools look for the module.
#pragma once

#include <string>
#include <utility>

namespace platform {

class LoadableModule
{
public:
    // Null handle with the system's reason in error when the module cannot be loaded.
    static LoadableModule load(const std::string& path, std::string& error);
    LoadableModule() = default;
    LoadableModule(LoadableModule&& other) noexcept : handle(std::exchange(other.handle, nullptr))
    {
    }
    LoadableModule& operator=(LoadableModule&& other) noexcept
    {
        std::swap(handle, other.handle);
        return *this;
    }
    LoadableModule(const LoadableModule&) = delete;
    LoadableModule& operator=(const LoadableModule&) = delete;
    ~LoadableModule();  // unloads

    bool isLoaded() const { return handle != nullptr; }
    // The exported symbol's address, or null.
    void* symbol(const char* name) const;
    // The system's handle, which some formats' entry functions take.
    void* nativeHandle() const { return handle; }

private:
    explicit LoadableModule(void* handle) : handle(handle) {}
    void* handle = nullptr;
};

// The running program's own file; empty when the system cannot say.
std::string executablePath();

// The file name of the plug-in module on this system.
#ifdef _WIN32
constexpr const char* kModuleFileName = "Lyrevane.dll";
#else
constexpr const char* kModuleFileName = "Lyrevane.so";
#endif

}  // namespace platform
