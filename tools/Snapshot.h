// Opens a module's editor in a real window (X11 on Linux, Win32 on Windows) and writes what
// the window shows as a PNG.
#pragma once

#include "tools/PluginHost.h"

#include <string>

// The module must be started. False with a one-line reason in error on failure.
bool writeEditorSnapshot(harness::PluginHost& host, const std::string& pngPath,
                         std::string& error);

