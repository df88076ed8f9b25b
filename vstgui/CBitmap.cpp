// Bitmaps: images decoded from the module's "PNG" resources, drawn with Cairo.
#include "vstgui/CBitmap.h"

#include <cairo.h>

#include "platform/Resources.h"
#include "vstgui/CDrawContext.h"
#include "vstgui/CDrawingStartup.h"
#include "vstgui/PngDecoder.h"

namespace VSTGUI {

CBitmap::CBitmap(int32_t resourceId)
{
    CDrawingStartup::acquire();
    loadImage(resourceId);
}

CBitmap::CBitmap(int32_t width, int32_t height)
    : width(std::max(width, 0)), height(std::max(height, 0))
{
    CDrawingStartup::acquire();
    pixels.assign(size_t(this->width) * size_t(this->height) * 4, 0);
}

CBitmap::~CBitmap()
{
    dispose();
    CDrawingStartup::drop();
}

void CBitmap::dispose()
{
    if (image) cairo_surface_destroy(image);
    image = nullptr;
    pixels.clear();
    pixels.shrink_to_fit();
    width = 0;
    height = 0;
}

bool CBitmap::loadImage(int32_t id)
{
    dispose();
    resourceId = id;
    const platform::ResourceHandle resource = platform::findResource(id, "PNG");
    if (!resource) return false;
    const uint32_t size = platform::sizeofResource(resource);
    const void* loaded = platform::loadResource(resource);
    const void* bytes = loaded ? platform::lockResource(loaded) : nullptr;
    if (!bytes) return false;
    decodePng(static_cast<const uint8_t*>(bytes), size, width, height, pixels);
    return true;
}

cairo_surface_t* CBitmap::platformImage()
{
    if (!image && !pixels.empty()) {
        image = cairo_image_surface_create_for_data(pixels.data(), CAIRO_FORMAT_ARGB32, width,
                                                    height, width * 4);
    }
    return image;
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    drawWithAlpha(context, rect, offset, 255);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    drawWithAlpha(context, rect, offset, 255);
}

void CBitmap::drawWithAlpha(CDrawContext* context, const CRect& rect, const CPoint& offset,
                            uint8_t alpha)
{
    cairo_t* cr = context ? context->getCairo() : nullptr;
    cairo_surface_t* source = platformImage();
    if (!cr || !source || rect.isEmpty()) return;
    const double left = rect.left + context->offset.x;
    const double top = rect.top + context->offset.y;
    cairo_save(cr);
    cairo_rectangle(cr, left, top, rect.width(), rect.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, left - offset.x, top - offset.y);
    // Whole-pixel copies: no smoothing between neighbouring artwork pixels.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha == 255) {
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, alpha / 255.0);
    }
    cairo_restore(cr);
}

}  // namespace VSTGUI
