// Draw contexts over Cairo.
#include "vstgui/CDrawContext.h"

#include <cairo.h>

#include "vstgui/CBitmap.h"
#include "vstgui/CFontDesc.h"
#include "vstgui/CFrame.h"

namespace VSTGUI {

namespace {

void setSource(cairo_t* cr, const CColour& colour)
{
    cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0,
                          colour.alpha / 255.0);
}

}  // namespace

CDrawContext::CDrawContext(CFrame* frame, cairo_surface_t* surface)
    : frame(frame),
      clipRect(frame ? frame->getViewSize() : CRect(0, 0, 1000, 1000))
{
    if (surface) {
        cr = cairo_create(surface);
        // Artwork is pixel-aligned: no anti-aliasing of edges, as the panel was drawn for.
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_line_width(cr, 1.0);
    }
    setFont(sharedFont(0));
}

CDrawContext::~CDrawContext()
{
    if (font) font->release();
    releaseCairo();
}

void CDrawContext::releaseCairo()
{
    if (cr) cairo_destroy(cr);
    cr = nullptr;
}

void CDrawContext::setClipRect(const CRect& clip)
{
    CRect absolute = clip;
    absolute.offset(offset.x, offset.y);
    if (absolute == clipRect) return;
    clipRect = absolute;
    if (!cr) return;
    cairo_reset_clip(cr);
    cairo_rectangle(cr, clipRect.left, clipRect.top, clipRect.width(), clipRect.height());
    cairo_clip(cr);
}

CRect CDrawContext::getClipRect() const
{
    CRect local = clipRect;
    return local.offset(-offset.x, -offset.y);
}

void CDrawContext::drawRectangle(const CRect& rect, CDrawStyle style)
{
    if (!cr) return;
    CRect r = rect;
    r.offset(offset.x, offset.y).normalize();
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        setSource(cr, fillColour);
        cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
        cairo_fill(cr);
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        // Half-pixel centres put a one-pixel line exactly on the outer pixels of the rectangle.
        setSource(cr, frameColour);
        cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.width() - 1, r.height() - 1);
        cairo_stroke(cr);
    }
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
    : CDrawContext(frame, bitmap->platformImage()), bitmap(bitmap)
{
    setClipRect(CRect(0, 0, bitmap->getWidth(), bitmap->getHeight()));
    if (cairo_t* cr = getCairo()) {
        setSource(cr, background);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
}

COffscreenContext::~COffscreenContext()
{
    // The Cairo context draws into the bitmap's pixels, so it must go before them.
    releaseCairo();
    bitmap->release();
}

CBitmap* COffscreenContext::getBitmap() const
{
    return bitmap;
}

void COffscreenContext::flush()
{
    if (cairo_surface_t* surface = bitmap->platformImage()) cairo_surface_flush(surface);
}

}  // namespace VSTGUI
