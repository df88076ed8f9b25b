// Images decoded from the module's "PNG" resources into premultiplied pixels and drawn
// through a draw context.
#pragma once

#include <memory>
#include <vector>

#include "platform/Painter.h"
#include "platform/Scale.h"

#include "vstgui/CBaseObject.h"
#include "vstgui/Geometry.h"


namespace VSTGUI {

class CDrawContext;

// Pixels are blue, green, red, alpha bytes, premultiplied, top row first, stride width x 4:
// the platform image draws from them where they lie, so drawing is one copy.
class CBitmap : public CBaseObject
{
public:
    // Loads "PNG" resource resourceId; a missing or corrupt image leaves a bitmap that draws
    // nothing and reports the size it could read.
    explicit CBitmap(int32_t resourceId);
    // A transparent bitmap to draw into.
    CBitmap(int32_t width, int32_t height);
    ~CBitmap() override;

    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint());
    // Same as draw: the pixels carry their own transparency.
    virtual void drawTransparent(CDrawContext* context, const CRect& rect,
                                 const CPoint& offset = CPoint());
    virtual void drawWithAlpha(CDrawContext* context, const CRect& rect, const CPoint& offset,
                               uint8_t alpha);
    virtual void dispose();
    // True when the resource was found, whether or not its bytes decoded.
    virtual bool loadImage(int32_t resourceId);

    int32_t getResourceId() const { return resourceId; }
    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    // Null when nothing could be decoded.
    const uint8_t* getPixels() const { return pixels.empty() ? nullptr : pixels.data(); }
    // The platform's image over the pixels, made on first use; null when there are none.
    platform::Image* platformImage();
    // Gives the platform's image the drawing of the artwork that a painter at scale draws
    // from, decoded on first use, if the module has it: resource factor x 1000 + the 1x id,
    // exactly factor times the 1x size.
    void loadScaledFor(double scale);

private:
    int32_t resourceId = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    // Drawings at factor 2 and 3, by factor; looked for once each (bit f of scaledTried).
    std::vector<uint8_t> scaledPixels[platform::kLargestImageFactor + 1];
    uint32_t scaledTried = 0;
    std::unique_ptr<platform::Image> image;
};

}  // namespace VSTGUI
