// Modules through LoadLibrary.
#include "platform/LoadableModule.h"

#include <windows.h>

namespace platform {

namespace {

std::wstring widen(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string narrow(const std::wstring& text)
{
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(length > 0 ? static_cast<size_t>(length) : 1, '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), length, nullptr,
                            nullptr);
    }
    result.resize(result.size() - 1);
    return result;
}

}  // namespace

LoadableModule LoadableModule::load(const std::string& path, std::string& error)
{
    HMODULE handle = LoadLibraryW(widen(path).c_str());
    if (handle == nullptr) {
        error = "system error " + std::to_string(GetLastError());
    }
    return LoadableModule(reinterpret_cast<void*>(handle));
}

LoadableModule::~LoadableModule()
{
    if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
}

void* LoadableModule::symbol(const char* name) const
{
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

std::string executablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace platform
