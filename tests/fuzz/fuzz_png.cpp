// Feeds any bytes to the toolkit's image loader as a "PNG" resource and checks the pixels it
// keeps: the size it reports, premultiplied colour, and a Cairo surface over them.
#include <cairo.h>

#include "platform/Resources.h"
#include "tests/fuzz/FuzzInput.h"
#include "vstgui/CBitmap.h"

namespace {

constexpr int kResourceId = 10;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const platform::EmbeddedResource resource{"PNG", kResourceId, data, data + size};
    platform::setResourceTable(&resource, 1);

    auto* bitmap = new VSTGUI::CBitmap(kResourceId);
    if (const uint8_t* pixels = bitmap->getPixels()) {
        const int32_t width = bitmap->getWidth();
        const int32_t height = bitmap->getHeight();
        FUZZ_CHECK(width > 0 && height > 0);
        // Every byte is read, so a buffer shorter than its reported size is caught.
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* pixel = pixels + 4 * i;
            FUZZ_CHECK(pixel[0] <= pixel[3] && pixel[1] <= pixel[3] && pixel[2] <= pixel[3]);
        }
        cairo_surface_t* surface = bitmap->platformImage();
        FUZZ_CHECK(surface != nullptr);
        FUZZ_CHECK(cairo_image_surface_get_width(surface) == width &&
                   cairo_image_surface_get_height(surface) == height);
    }
    bitmap->release();

    platform::setResourceTable(nullptr, 0);
    return 0;
}
