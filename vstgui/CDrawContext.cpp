// Draw contexts over the platform's painter.
#include "vstgui/CDrawContext.h"

#include "vstgui/CBitmap.h"
#include "vstgui/CFontDesc.h"
#include "vstgui/CFrame.h"

namespace VSTGUI {

namespace {

platform::Colour colourOf(const CColour& colour)
{
    return {colour.red, colour.green, colour.blue, colour.alpha};
}

platform::Rect areaOf(const CRect& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

std::unique_ptr<platform::Painter> painterInto(CBitmap* bitmap)
{
    platform::Image* image = bitmap->platformImage();
    return image ? image->paint() : nullptr;
}

}  // namespace

CDrawContext::CDrawContext(CFrame* frame, platform::Painter* painter)
    : painter(painter),
      frame(frame),
      clipRect(frame ? frame->getViewSize() : CRect(0, 0, 1000, 1000))
{
    setFont(sharedFont(0));
}

CDrawContext::~CDrawContext()
{
    if (font) font->release();
}

void CDrawContext::setClipRect(const CRect& clip)
{
    CRect absolute = clip;
    absolute.offset(offset.x, offset.y);
    if (absolute == clipRect) return;
    clipRect = absolute;
    if (painter) painter->setClip(areaOf(clipRect));
}

CRect CDrawContext::getClipRect() const
{
    CRect local = clipRect;
    return local.offset(-offset.x, -offset.y);
}

void CDrawContext::drawRectangle(const CRect& rect, CDrawStyle style)
{
    if (!painter) return;
    CRect r = rect;
    r.offset(offset.x, offset.y).normalize();
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        painter->fillRect(areaOf(r), colourOf(fillColour));
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        painter->strokeRect(areaOf(r), colourOf(frameColour));
    }
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to)
{
    if (!painter) return;
    painter->drawLine(from.x + offset.x, from.y + offset.y, to.x + offset.x, to.y + offset.y,
                      colourOf(frameColour));
}

void CDrawContext::drawString(const char* text, const CPoint& where)
{
    if (!painter || !font) return;
    painter->drawText(text, where.x + offset.x, where.y + offset.y, font->getName(),
                      font->getSize(), colourOf(fontColour));
}

void CDrawContext::setFont(CFontDesc* newFont, int32_t size, int32_t style)
{
    if (!newFont) return;
    CFontDesc* previous = font;
    const bool sameSize = size <= 0 || size == newFont->getSize();
    const bool sameStyle = style == -1 || style == newFont->getStyle();
    if (sameSize && sameStyle) {
        newFont->retain();
        font = newFont;
    } else {
        font = new CFontDesc(newFont->getName(), size <= 0 ? newFont->getSize() : size,
                             style == -1 ? newFont->getStyle() : style);
    }
    if (previous) previous->release();
}

COffscreenContext::COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                                     const CColour& background)
    : COffscreenContext(frame, new CBitmap(width, height), background)
{
}

COffscreenContext::COffscreenContext(CFrame* frame, CBitmap* bitmap, const CColour& background)
    : COffscreenContext(frame, bitmap, painterInto(bitmap), background)
{
}

COffscreenContext::COffscreenContext(CFrame* frame, CBitmap* bitmap,
                                     std::unique_ptr<platform::Painter> painter,
                                     const CColour& background)
    : CDrawContext(frame, painter.get()), bitmap(bitmap), ownPainter(std::move(painter))
{
    setClipRect(CRect(0, 0, bitmap->getWidth(), bitmap->getHeight()));
    if (ownPainter) ownPainter->clear(colourOf(background));
}

COffscreenContext::~COffscreenContext()
{
    ownPainter.reset();
    bitmap->release();
}

CBitmap* COffscreenContext::getBitmap() const
{
    return bitmap;
}

void COffscreenContext::flush()
{
    if (platform::Image* image = bitmap->platformImage()) image->flush();
}

}  // namespace VSTGUI
