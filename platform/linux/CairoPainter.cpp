// Drawing with Cairo: the painter, and images as Cairo image surfaces over our own pixels,
// whose layout is exactly Cairo's ARGB32 on a little-endian machine.
#include "platform/linux/CairoPainter.h"

#include "platform/Scale.h"

namespace platform {

namespace {

void setSource(cairo_t* cr, const Colour& colour)
{
    cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0,
                          colour.alpha / 255.0);
}

cairo_surface_t* surfaceOver(uint8_t* pixels, int32_t width, int32_t height)
{
    return cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height,
                                               width * 4);
}

class CairoImage : public Image
{
public:
    CairoImage(uint8_t* pixels, int32_t width, int32_t height)
        : width(width), height(height), surface(surfaceOver(pixels, width, height))
    {
    }
    ~CairoImage() override
    {
        for (cairo_surface_t* scaled : scaledSurfaces) {
            if (scaled) cairo_surface_destroy(scaled);
        }
        cairo_surface_destroy(surface);
    }
    CairoImage(const CairoImage&) = delete;
    CairoImage& operator=(const CairoImage&) = delete;

    void addScaled(int32_t factor, uint8_t* pixels) override
    {
        if (factor < 2 || factor > kLargestImageFactor || !pixels) return;
        cairo_surface_t*& scaled = scaledSurfaces[factor];
        if (scaled) cairo_surface_destroy(scaled);
        scaled = surfaceOver(pixels, width * factor, height * factor);
        heldFactors |= 1u << factor;
    }
    std::unique_ptr<Painter> paint() override
    {
        return std::make_unique<CairoPainter>(cairo_create(surface));
    }
    void flush() override { cairo_surface_flush(surface); }

    // The drawing to use at scale, and its factor.
    cairo_surface_t* drawingFor(double scale, int32_t& factor) const
    {
        factor = imageFactorFor(scale, heldFactors);
        return factor == 1 ? surface : scaledSurfaces[factor];
    }

private:
    const int32_t width;
    const int32_t height;
    cairo_surface_t* const surface;
    cairo_surface_t* scaledSurfaces[kLargestImageFactor + 1] = {};
    uint32_t heldFactors = 0;
};

}  // namespace

std::unique_ptr<Image> Image::wrap(uint8_t* pixels, int32_t width, int32_t height)
{
    if (!pixels || width <= 0 || height <= 0) return nullptr;
    return std::make_unique<CairoImage>(pixels, width, height);
}

CairoPainter::CairoPainter(cairo_t* context, double scale) : cr(context), deviceScale(scale)
{
    // Artwork is pixel-aligned: no anti-aliasing of edges, as the panel was drawn for.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cr, 1.0);
    // Everything below is in panel pixels; Cairo makes them device pixels.
    if (scale != 1.0) cairo_scale(cr, scale, scale);
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
    int32_t factor = 1;
    cairo_surface_t* source = static_cast<CairoImage&>(image).drawingFor(deviceScale, factor);
    cairo_save(cr);
    cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, area.left - sourceX, area.top - sourceY);
    if (factor != 1) {
        // The drawing's pixels are 1 / factor panel pixels, wherever the area cuts it: the
        // same place for every part of the image that is drawn.
        cairo_matrix_t toDrawing;
        cairo_matrix_init_scale(&toDrawing, factor, factor);
        cairo_matrix_translate(&toDrawing, sourceX - area.left, sourceY - area.top);
        cairo_pattern_set_matrix(cairo_get_source(cr), &toDrawing);
    }
    // Whole-pixel copies where the drawing has the device's pixels: no smoothing between
    // neighbouring artwork pixels. Anywhere else the drawing is filtered to the device's
    // bilinearly: a drawing is shrunk by no more than a half, so every pixel of it still
    // counts, at a fifteenth of the time of Cairo's convolution filter (a whole panel at 1.5
    // in 1.2 ms instead of 18).
    cairo_pattern_set_filter(cairo_get_source(cr), factor == deviceScale ? CAIRO_FILTER_NEAREST
                                                                          : CAIRO_FILTER_BILINEAR);
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
