// The painter and images over Cairo, shared by the X11 window, which paints through a Cairo
// context on its own surface.
#pragma once

#include <cairo.h>

#include "platform/Painter.h"

namespace platform {

class CairoPainter : public Painter
{
public:
    // Takes over context, which it destroys; draws each panel pixel as scale device pixels.
    explicit CairoPainter(cairo_t* context, double scale = 1.0);
    ~CairoPainter() override;
    CairoPainter(const CairoPainter&) = delete;
    CairoPainter& operator=(const CairoPainter&) = delete;

    double scale() const override { return deviceScale; }
    void setClip(const Rect& area) override;
    void clear(const Colour& colour) override;
    void fillRect(const Rect& area, const Colour& colour) override;
    void strokeRect(const Rect& area, const Colour& colour) override;
    void drawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Colour& colour) override;
    void drawImage(Image& image, const Rect& area, int32_t sourceX, int32_t sourceY,
                   uint8_t alpha) override;
    void drawText(const char* text, int32_t x, int32_t y, const char* font, int32_t size,
                  const Colour& colour) override;

    cairo_t* context() const { return cr; }

private:
    cairo_t* cr;
    double deviceScale;
};

}  // namespace platform
