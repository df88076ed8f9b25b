// Drawing with Cairo: the painter, and images as Cairo image surfaces over our own pixels,
// whose layout is exactly Cairo's ARGB32 on a little-endian machine.
#include "platform/linux/CairoPainter.h"

namespace platform {

namespace {

void setSource(cairo_t* cr, const Colour& colour)
{
    cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0,
                          colour.alpha / 255.0);
}

class CairoImage : public Image
{
public:
    explicit CairoImage(cairo_surface_t* surface) : surface(surface) {}
    ~CairoImage() override { cairo_surface_destroy(surface); }
    CairoImage(const CairoImage&) = delete;
    CairoImage& operator=(const CairoImage&) = delete;

    std::unique_ptr<Painter> paint() override
    {
        return std::make_unique<CairoPainter>(cairo_create(surface));
    }
    void flush() override { cairo_surface_flush(surface); }

    cairo_surface_t* const surface;
};

}  // namespace

std::unique_ptr<Image> Image::wrap(uint8_t* pixels, int32_t width, int32_t height)
{
    if (!pixels || width <= 0 || height <= 0) return nullptr;
    return std::make_unique<CairoImage>(cairo_image_surface_create_for_data(
        pixels, CAIRO_FORMAT_ARGB32, width, height, width * 4));
}

CairoPainter::CairoPainter(cairo_t* context) : cr(context)
{
    // Artwork is pixel-aligned: no anti-aliasing of edges, as the panel was drawn for.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cr, 1.0);
}

CairoPainter::~CairoPainter()
{
    cairo_destroy(cr);
}

void CairoPainter::setClip(const Rect& area)
{
    cairo_reset_clip(cr);
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_clip(cr);
}

void CairoPainter::clear(const Colour& colour)
{
    setSource(cr, colour);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

void CairoPainter::fillRect(const Rect& area, const Colour& colour)
{
    setSource(cr, colour);
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_fill(cr);
}

void CairoPainter::strokeRect(const Rect& area, const Colour& colour)
{
    // Half-pixel centres put a one-pixel line exactly on the outer pixels of the rectangle.
    setSource(cr, colour);
    cairo_rectangle(cr, area.left + 0.5, area.top + 0.5, area.right - area.left - 1,
                    area.bottom - area.top - 1);
    cairo_stroke(cr);
}

void CairoPainter::drawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            const Colour& colour)
{
    // Square caps reach the centre of each end pixel and half a pixel beyond it.
    setSource(cr, colour);
    cairo_save(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void CairoPainter::drawImage(Image& image, const Rect& area, int32_t sourceX, int32_t sourceY,
                             uint8_t alpha)
{
    // The one image kind of this backend.
    cairo_surface_t* source = static_cast<CairoImage&>(image).surface;
    cairo_save(cr);
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, area.left - sourceX, area.top - sourceY);
    // Whole-pixel copies: no smoothing between neighbouring artwork pixels.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha == 255) {
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, alpha / 255.0);
    }
    cairo_restore(cr);
}

void CairoPainter::drawText(const char* text, int32_t x, int32_t y, const char* font,
                            int32_t size, const Colour& colour)
{
    if (!text) return;
    setSource(cr, colour);
    cairo_select_font_face(cr, font ? font : "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, text);
}

}  // namespace platform
