// Draw contexts: a painter on the frame's window or on a bitmap of its own, with an offset,
// a clip rectangle, colours and a font.
#pragma once

#include <memory>

#include "platform/Painter.h"
#include "vstgui/CBaseObject.h"
#include "vstgui/Geometry.h"


namespace VSTGUI {

class CBitmap;
class CFontDesc;
class CFrame;

enum CDrawStyle : int32_t {
    kDrawStroked = 0,
    kDrawFilled = 1,
    kDrawFilledAndStroked = 2,
};

class CDrawContext : public CBaseObject
{
public:
    // Draws through painter (a window's or an image's), which must outlive the context;
    // without one the context draws nothing.
    CDrawContext(CFrame* frame, platform::Painter* painter);
    ~CDrawContext() override;

    // In the coordinates of the current offset, like every other rectangle given here.
    void setClipRect(const CRect& clip);
    CRect getClipRect() const;
    void drawRectangle(const CRect& rect, CDrawStyle style = kDrawStroked);
    void setFrameColour(const CColour& colour) { frameColour = colour; }
    CColour getFrameColour() const { return frameColour; }
    void setFillColour(const CColour& colour) { fillColour = colour; }
    CColour getFillColour() const { return fillColour; }
    // size <= 0 and style -1 keep the font's own; a differing size or style makes a new
    // description of the same name.
    void setFont(CFontDesc* font, int32_t size = 0, int32_t style = -1);
    CFontDesc* getFont() const { return font; }

    CFrame* getFrame() const { return frame; }
    // A one-pixel line in the frame colour, both end points included.
    void drawLine(const CPoint& from, const CPoint& to);
    // Text in the font and the font colour, its baseline starting at where.
    void drawString(const char* text, const CPoint& where);
    void setFontColour(const CColour& colour) { fontColour = colour; }
    // Null when the context has nothing to draw on.
    platform::Painter* getPainter() const { return painter; }

    // Added to every coordinate drawn; containers move it to their children's origin.
    CPoint offset;

protected:
    platform::Painter* painter;

private:
    CFrame* frame;
    CFontDesc* font = nullptr;
    CColour frameColour = kWhiteColour;
    CColour fillColour = kBlackColour;
    CColour fontColour = kWhiteColour;
    // Absolute (offset included), so that containers can restore it after a change of offset.
    CRect clipRect;
};

// A context drawing into a bitmap that it owns, first filled with the background colour.
class COffscreenContext : public CDrawContext
{
public:
    COffscreenContext(CFrame* frame, int32_t width, int32_t height,
                      const CColour& background = kBlackColour);
    ~COffscreenContext() override;

    // The bitmap holds the drawing once the context has been flushed.
    CBitmap* getBitmap() const;
    void flush();

private:
    COffscreenContext(CFrame* frame, CBitmap* bitmap, const CColour& background);
    COffscreenContext(CFrame* frame, CBitmap* bitmap, std::unique_ptr<platform::Painter> painter,
                      const CColour& background);

    CBitmap* bitmap;
    // Draws into the bitmap's pixels, so it goes before them.
    std::unique_ptr<platform::Painter> ownPainter;
};

}  // namespace VSTGUI
