// Drawing, whatever the graphics library: a painter draws on a window or an image, and an
// image is pixels of ours that a painter can draw into and from. The toolkit draws only
// through these; the Cairo implementation lives in platform/, and another backend is new
// files beside it.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// Right and bottom are exclusive.
struct Rect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct Colour
{
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
};

class Painter;

// Pixels in the toolkit's own layout: blue, green, red, alpha bytes, premultiplied, top row
// first, stride width x 4. The image draws from and into them where they lie.
class Image
{
public:
    // The pixels must outlive the image. Null for an empty size.
    static std::unique_ptr<Image> wrap(uint8_t* pixels, int32_t width, int32_t height);
    virtual ~Image() = default;

    // The same picture drawn at factor (2 to kLargestImageFactor of platform/Scale.h) device
    // pixels per pixel: width x factor by height x factor pixels of the same layout, which
    // must outlive the image. Painters of a larger scale draw from it instead.
    virtual void addScaled(int32_t factor, uint8_t* pixels) = 0;
    // A painter drawing into the image.
    virtual std::unique_ptr<Painter> paint() = 0;
    // Makes what was painted so far readable in the pixels.
    virtual void flush() = 0;
};

// Whole pixels, no smoothing of edges: the artwork is pixel-aligned. Coordinates are panel
// pixels; a painter of a scaled window draws each as scale() device pixels, images from
// their drawing of the nearest larger factor, filtered down unless it is the scale itself.
class Painter
{
public:
    virtual ~Painter() = default;

    // Device pixels per panel pixel: 1 on an image.
    virtual double scale() const = 0;

    // Replaces the clip: nothing outside area is drawn.
    virtual void setClip(const Rect& area) = 0;
    // Sets every pixel within the clip to colour, alpha included, without blending.
    virtual void clear(const Colour& colour) = 0;
    virtual void fillRect(const Rect& area, const Colour& colour) = 0;
    // A one-pixel outline on the outermost pixels of area.
    virtual void strokeRect(const Rect& area, const Colour& colour) = 0;
    // A one-pixel line, both end pixels included.
    virtual void drawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          const Colour& colour) = 0;
    // The pixels of image from (sourceX, sourceY) on, copied into area and blended over what
    // is there, weighted by alpha / 255.
    virtual void drawImage(Image& image, const Rect& area, int32_t sourceX, int32_t sourceY,
                           uint8_t alpha) = 0;
    // UTF-8 text with its baseline starting at (x, y), in the named font at size pixels.
    virtual void drawText(const char* text, int32_t x, int32_t y, const char* font,
                          int32_t size, const Colour& colour) = 0;
};

}  // namespace platform
