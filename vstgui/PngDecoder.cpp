// PNG decoding with libpng into premultiplied pixels.
#include "vstgui/PngDecoder.h"

#include <png.h>

#include <cstring>

namespace VSTGUI {

namespace {

// Beyond the drawing libraries' image limits, or an amount of memory no panel image comes near: such a
// header is treated as a pixel store that cannot be created.
constexpr uint32_t kMaxSide = 32767;
constexpr uint64_t kMaxPixels = 16u * 1024u * 1024u;

struct PngSource
{
    const uint8_t* bytes;
    size_t size;
    size_t position;
};

void readFromResource(png_structp png, png_bytep out, size_t count)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    // A truncated resource is an error: handing libpng an unfilled buffer would decode
    // whatever memory happened to be there.
    if (count > source->size - source->position) png_error(png, "truncated image");
    std::memcpy(out, source->bytes + source->position, count);
    source->position += count;
}

// Errors unwind to the setjmp in decodePng; nothing is printed, a bad image just draws nothing.
void onPngError(png_structp png, png_const_charp /*message*/)
{
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Rounds to nearest, so opaque pixels keep their colour exactly.
uint8_t premultiply(uint8_t value, uint8_t alpha)
{
    return static_cast<uint8_t>((value * alpha + 127) / 255);
}

void premultiplyAll(std::vector<uint8_t>& pixels)
{
    for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
        const uint8_t alpha = pixels[i + 3];
        for (size_t c = 0; c < 3; ++c) pixels[i + c] = premultiply(pixels[i + c], alpha);
    }
}

}  // namespace

// Only plain data lives in this frame, since an error longjmps back into it and skips
// destructors; the vector belongs to the caller.
void decodePng(const uint8_t* bytes, size_t size, int32_t& width, int32_t& height,
               std::vector<uint8_t>& pixels)
{
    PngSource source{bytes, size, 0};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (!png) return;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return;
    }
    if (setjmp(png_jmpbuf(png))) {
        // The header chunk, if it was read, still tells the size.
        width = static_cast<int32_t>(png_get_image_width(png, info));
        height = static_cast<int32_t>(png_get_image_height(png, info));
        pixels.clear();
        png_destroy_read_struct(&png, &info, nullptr);
        return;
    }
    png_set_read_fn(png, &source, readFromResource);
    png_read_info(png, info);

    const png_uint_32 imageWidth = png_get_image_width(png, info);
    const png_uint_32 imageHeight = png_get_image_height(png, info);
    if (imageWidth > kMaxSide || imageHeight > kMaxSide ||
        uint64_t(imageWidth) * imageHeight > kMaxPixels) {
        png_error(png, "image too large");
    }
    pixels.assign(size_t(imageWidth) * imageHeight * 4, 0);

    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
    } else {
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    if (bitDepth == 16) png_set_strip_16(png);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // Every row must come out as exactly four bytes a pixel, or the buffer would overflow.
    if (png_get_rowbytes(png, info) != size_t(imageWidth) * 4) png_error(png, "bad layout");

    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 row = 0; row < imageHeight; ++row) {
            png_read_row(png, pixels.data() + size_t(row) * imageWidth * 4, nullptr);
        }
    }
    png_read_end(png, nullptr);
    width = static_cast<int32_t>(imageWidth);
    height = static_cast<int32_t>(imageHeight);
    png_destroy_read_struct(&png, &info, nullptr);
    premultiplyAll(pixels);
}

}  // namespace VSTGUI
