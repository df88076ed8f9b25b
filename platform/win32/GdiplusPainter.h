// The GDI+ side of the Windows drawing backend, shared by its images and its child window:
// GDI+ is started once for every user in the process and shut down with the last of them.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/Painter.h"

namespace platform {

// One reference on the process's GDI+ start-up; the last one to go shuts GDI+ down.
class GdiplusUse
{
public:
    GdiplusUse();
    ~GdiplusUse();
    GdiplusUse(const GdiplusUse&) = delete;
    GdiplusUse& operator=(const GdiplusUse&) = delete;
};

// A painter over 32-bit premultiplied pixels (the toolkit's layout) that stay the caller's,
// drawing each panel pixel as scale of them.
std::unique_ptr<Painter> paintPixels(uint8_t* pixels, int32_t width, int32_t height,
                                     double scale = 1.0);

}  // namespace platform
