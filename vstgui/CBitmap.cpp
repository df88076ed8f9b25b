// Bitmaps: images decoded from the module's "PNG" resources, drawn through the platform's painter.
#include "vstgui/CBitmap.h"

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
    image.reset();
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

platform::Image* CBitmap::platformImage()
{
    if (!image && !pixels.empty()) image = platform::Image::wrap(pixels.data(), width, height);
    return image.get();
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
    platform::Painter* painter = context ? context->getPainter() : nullptr;
    platform::Image* source = platformImage();
    if (!painter || !source || rect.isEmpty()) return;
    const int32_t left = rect.left + context->offset.x;
    const int32_t top = rect.top + context->offset.y;
    painter->drawImage(*source, {left, top, left + rect.width(), top + rect.height()}, offset.x,
                       offset.y, alpha);
}

}  // namespace VSTGUI
