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

namespace {

// The ids of resources.txt: the artwork drawn at factor f is resource f x 1000 + the 1x id.
constexpr int32_t kScaledIdStep = 1000;

// The bytes of "PNG" resource id; false when it cannot be found or loaded.
bool pngResource(int32_t id, const uint8_t*& bytes, uint32_t& size)
{
    const platform::ResourceHandle resource = platform::findResource(id, "PNG");
    if (!resource) return false;
    size = platform::sizeofResource(resource);
    const void* loaded = platform::loadResource(resource);
    bytes = static_cast<const uint8_t*>(loaded ? platform::lockResource(loaded) : nullptr);
    return bytes != nullptr;
}

}  // namespace

void CBitmap::dispose()
{
    image.reset();
    pixels.clear();
    pixels.shrink_to_fit();
    for (std::vector<uint8_t>& scaled : scaledPixels) {
        scaled.clear();
        scaled.shrink_to_fit();
    }
    scaledTried = 0;
    width = 0;
    height = 0;
}

bool CBitmap::loadImage(int32_t id)
{
    dispose();
    resourceId = id;
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!pngResource(id, bytes, size)) return false;
    decodePng(bytes, size, width, height, pixels);
    return true;
}

platform::Image* CBitmap::platformImage()
{
    if (!image && !pixels.empty()) image = platform::Image::wrap(pixels.data(), width, height);
    return image.get();
}

void CBitmap::loadScaledFor(double scale)
{
    const int32_t factor = platform::imageFactorFor(scale, platform::kAllImageFactors);
    if (factor == 1 || (scaledTried & (1u << factor))) return;
    scaledTried |= 1u << factor;
    platform::Image* target = platformImage();
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    // Only an image of the module's own artwork has scaled drawings.
    if (!target || resourceId <= 0 || resourceId >= kScaledIdStep ||
        !pngResource(factor * kScaledIdStep + resourceId, bytes, size)) {
        return;
    }
    int32_t scaledWidth = 0;
    int32_t scaledHeight = 0;
    std::vector<uint8_t>& scaled = scaledPixels[factor];
    decodePng(bytes, size, scaledWidth, scaledHeight, scaled);
    // Anything but exactly the scaled size would misplace every pixel drawn from it.
    if (scaledWidth != width * factor || scaledHeight != height * factor ||
        scaled.size() != size_t(scaledWidth) * size_t(scaledHeight) * 4) {
        scaled.clear();
        return;
    }
    target->addScaled(factor, scaled.data());
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
    if (painter->scale() > 1.0) loadScaledFor(painter->scale());
    const int32_t left = rect.left + context->offset.x;
    const int32_t top = rect.top + context->offset.y;
    painter->drawImage(*source, {left, top, left + rect.width(), top + rect.height()}, offset.x,
                       offset.y, alpha);
}

}  // namespace VSTGUI
