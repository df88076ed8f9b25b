// PNG images decoded with libpng into the toolkit's pixels: blue, green, red, alpha bytes,
// premultiplied, top row first, stride width x 4. Apart from the bitmap class, so that what
// only decodes links nothing but libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace VSTGUI {

// Decodes into pixels, left empty when the bytes are no image we can read; width and height
// get whatever the header said (0 without one).
void decodePng(const uint8_t* bytes, size_t size, int32_t& width, int32_t& height,
               std::vector<uint8_t>& pixels);

}  // namespace VSTGUI
