// Drawing with GDI+ on 32-bit premultiplied pixels: images of the toolkit and the child
// window's back buffer alike. Pixel offsets of one half and nearest-neighbour sampling make
// every image draw a whole-pixel copy where the drawing has the device's pixels; edges are
// never smoothed. A scaled window's painter draws panel pixels through a scale transform.
#include "platform/win32/GdiplusPainter.h"

#include <gdiplus.h>

#include <algorithm>
#include <mutex>
#include <string>

#include "platform/Scale.h"

namespace platform {

namespace {

// Instances are made and destroyed on whatever threads hosts use.
std::mutex startupLock;
int startupUsers = 0;
ULONG_PTR startupToken = 0;

Gdiplus::Color toColor(const Colour& colour)
{
    return Gdiplus::Color(colour.alpha, colour.red, colour.green, colour.blue);
}

class GdiplusPainter : public Painter
{
public:
    GdiplusPainter(uint8_t* pixels, int32_t width, int32_t height, double scale)
        : use(),
          target(width, height, width * 4, PixelFormat32bppPARGB, pixels),
          graphics(&target),
          deviceScale(scale)
    {
        graphics.SetPageUnit(Gdiplus::UnitPixel);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
        // Everything below is in panel pixels; GDI+ makes them device pixels.
        if (scale != 1.0) graphics.ScaleTransform(Gdiplus::REAL(scale), Gdiplus::REAL(scale));
    }

    ~GdiplusPainter() override { graphics.Flush(Gdiplus::FlushIntentionSync); }

    double scale() const override { return deviceScale; }

    void setClip(const Rect& area) override
    {
        graphics.SetClip(Gdiplus::Rect(area.left, area.top, area.right - area.left,
                                       area.bottom - area.top));
    }

    void clear(const Colour& colour) override
    {
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        Gdiplus::SolidBrush brush(toColor(colour));
        graphics.FillRectangle(&brush, 0, 0, INT(target.GetWidth()), INT(target.GetHeight()));
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
    }

    void fillRect(const Rect& area, const Colour& colour) override
    {
        if (area.right <= area.left || area.bottom <= area.top) return;
        Gdiplus::SolidBrush brush(toColor(colour));
        graphics.FillRectangle(&brush, area.left, area.top, area.right - area.left,
                               area.bottom - area.top);
    }

    // Four one-pixel fills: exactly the outermost pixels, whatever a pen would round to.
    void strokeRect(const Rect& area, const Colour& colour) override
    {
        if (area.right <= area.left || area.bottom <= area.top) return;
        fillRect({area.left, area.top, area.right, area.top + 1}, colour);
        if (area.bottom - area.top > 1) {
            fillRect({area.left, area.bottom - 1, area.right, area.bottom}, colour);
        }
        fillRect({area.left, area.top + 1, area.left + 1, area.bottom - 1}, colour);
        if (area.right - area.left > 1) {
            fillRect({area.right - 1, area.top + 1, area.right, area.bottom - 1}, colour);
        }
    }

    void drawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Colour& colour) override
    {
        if (x0 == x1 || y0 == y1) {
            fillRect({std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1,
                      std::max(y0, y1) + 1},
                     colour);
            return;
        }
        Gdiplus::Pen pen(toColor(colour), 1.0f);
        graphics.DrawLine(&pen, x0, y0, x1, y1);
    }

    void drawImage(Image& image, const Rect& area, int32_t sourceX, int32_t sourceY,
                   uint8_t alpha) override;

    void drawText(const char* text, int32_t x, int32_t y, const char* font, int32_t size,
                  const Colour& colour) override
    {
        if (text == nullptr || font == nullptr || size <= 0) return;
        const std::wstring family = widen(font);
        const std::wstring wide = widen(text);
        Gdiplus::Font gdiFont(family.c_str(), Gdiplus::REAL(size), Gdiplus::FontStyleRegular,
                              Gdiplus::UnitPixel);
        Gdiplus::FontFamily fontFamily;
        gdiFont.GetFamily(&fontFamily);
        // GDI+ places text by its top; the toolkit gives the baseline.
        const float ascent = size * float(fontFamily.GetCellAscent(Gdiplus::FontStyleRegular)) /
                             float(std::max<UINT16>(fontFamily.GetEmHeight(Gdiplus::FontStyleRegular), 1));
        Gdiplus::SolidBrush brush(toColor(colour));
        graphics.DrawString(wide.c_str(), -1, &gdiFont, Gdiplus::PointF(float(x), y - ascent),
                            &brush);
    }

private:
    static std::wstring widen(const char* text)
    {
        const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
        std::wstring wide(length > 0 ? size_t(length) : 1, L'\0');
        if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
        wide.resize(wide.size() - 1);
        return wide;
    }

    // A drawing of a factor other than the device's, filtered to it.
    void drawFiltered(Gdiplus::Bitmap& drawing, int32_t factor, const Rect& area,
                      int32_t sourceX, int32_t sourceY, Gdiplus::ImageAttributes& attributes);

    GdiplusUse use;  // first: GDI+ is up before the bitmap and down after it
    Gdiplus::Bitmap target;
    Gdiplus::Graphics graphics;
    double deviceScale;
};

class GdiplusImage : public Image
{
public:
    GdiplusImage(uint8_t* pixels, int32_t width, int32_t height)
        : pixels(pixels), width(width), height(height),
          bitmap(width, height, width * 4, PixelFormat32bppPARGB, pixels)
    {
    }

    void addScaled(int32_t factor, uint8_t* scaledPixels) override
    {
        if (factor < 2 || factor > kLargestImageFactor || scaledPixels == nullptr) return;
        scaled[factor] = std::make_unique<Gdiplus::Bitmap>(width * factor, height * factor,
                                                           width * factor * 4,
                                                           PixelFormat32bppPARGB, scaledPixels);
        heldFactors |= 1u << factor;
    }
    std::unique_ptr<Painter> paint() override { return paintPixels(pixels, width, height); }
    // Each painter flushes as it goes, and the bitmap reads the pixels where they lie.
    void flush() override {}

    // The drawing to use at scale, and its factor.
    Gdiplus::Bitmap& drawingFor(double scale, int32_t& factor)
    {
        factor = imageFactorFor(scale, heldFactors);
        return factor == 1 ? bitmap : *scaled[factor];
    }

private:
    GdiplusUse use;
    uint8_t* pixels;
    int32_t width;
    int32_t height;
    Gdiplus::Bitmap bitmap;
    std::unique_ptr<Gdiplus::Bitmap> scaled[kLargestImageFactor + 1];
    uint32_t heldFactors = 0;
};

void GdiplusPainter::drawImage(Image& image, const Rect& area, int32_t sourceX,
                               int32_t sourceY, uint8_t alpha)
{
    const INT width = area.right - area.left;
    const INT height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || alpha == 0) return;
    int32_t factor = 1;
    Gdiplus::Bitmap& source = static_cast<GdiplusImage&>(image).drawingFor(deviceScale, factor);
    // The colour matrix scales alpha only: the pixels are premultiplied, and GDI+ scales
    // their colours with it when it blends.
    Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0},
                                    {0, 1, 0, 0, 0},
                                    {0, 0, 1, 0, 0},
                                    {0, 0, 0, alpha * 0.003921569f, 0},
                                    {0, 0, 0, 0, 1}}};
    Gdiplus::ImageAttributes attributes;
    if (alpha != 255) attributes.SetColorMatrix(&matrix);
    if (factor != deviceScale) {
        drawFiltered(source, factor, area, sourceX, sourceY, attributes);
        return;
    }
    // The drawing has the device's pixels: a whole-pixel copy.
    const Gdiplus::Rect destination(area.left, area.top, width, height);
    if (alpha == 255) {
        graphics.DrawImage(&source, destination, sourceX * factor, sourceY * factor,
                           width * factor, height * factor, Gdiplus::UnitPixel);
        return;
    }
    graphics.DrawImage(&source, destination, sourceX * factor, sourceY * factor, width * factor,
                       height * factor, Gdiplus::UnitPixel, &attributes);
}

void GdiplusPainter::drawFiltered(Gdiplus::Bitmap& drawing, int32_t factor, const Rect& area,
                                  int32_t sourceX, int32_t sourceY,
                                  Gdiplus::ImageAttributes& attributes)
{
    // A little of the drawing around the area is drawn too and clipped away, so that the
    // filter reads the real neighbours at the area's edges: a part of the image redrawn
    // alone looks as it does drawn with the rest. The mirrored edge of the drawing itself
    // keeps its border from fading to transparent.
    constexpr INT kMargin = 2;  // drawing pixels
    const INT left = std::max<INT>(0, sourceX * factor - kMargin);
    const INT top = std::max<INT>(0, sourceY * factor - kMargin);
    const INT right = std::min<INT>(INT(drawing.GetWidth()),
                                    (sourceX + area.right - area.left) * factor + kMargin);
    const INT bottom = std::min<INT>(INT(drawing.GetHeight()),
                                     (sourceY + area.bottom - area.top) * factor + kMargin);
    if (right <= left || bottom <= top) return;
    const Gdiplus::REAL perPixel = 1.0f / Gdiplus::REAL(factor);
    const Gdiplus::RectF destination(area.left + (left - sourceX * factor) * perPixel,
                                     area.top + (top - sourceY * factor) * perPixel,
                                     (right - left) * perPixel, (bottom - top) * perPixel);
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    const Gdiplus::GraphicsState state = graphics.Save();
    graphics.SetClip(Gdiplus::Rect(area.left, area.top, area.right - area.left,
                                   area.bottom - area.top),
                     Gdiplus::CombineModeIntersect);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBilinear);
    graphics.DrawImage(&drawing, destination, Gdiplus::REAL(left), Gdiplus::REAL(top),
                       Gdiplus::REAL(right - left), Gdiplus::REAL(bottom - top),
                       Gdiplus::UnitPixel, &attributes);
    graphics.Restore(state);
}

}  // namespace

GdiplusUse::GdiplusUse()
{
    const std::lock_guard<std::mutex> guard(startupLock);
    if (startupUsers++ == 0) {
        Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, own thread
        Gdiplus::GdiplusStartup(&startupToken, &input, nullptr);
    }
}

GdiplusUse::~GdiplusUse()
{
    const std::lock_guard<std::mutex> guard(startupLock);
    if (--startupUsers == 0) {
        Gdiplus::GdiplusShutdown(startupToken);
        startupToken = 0;
    }
}

std::unique_ptr<Painter> paintPixels(uint8_t* pixels, int32_t width, int32_t height,
                                     double scale)
{
    return std::make_unique<GdiplusPainter>(pixels, width, height, scale);
}

std::unique_ptr<Image> Image::wrap(uint8_t* pixels, int32_t width, int32_t height)
{
    if (pixels == nullptr || width <= 0 || height <= 0) return nullptr;
    return std::make_unique<GdiplusImage>(pixels, width, height);
}

}  // namespace platform
