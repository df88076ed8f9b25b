// Feeds any bytes to the toolkit's PNG decoder and checks the pixels it keeps: the size it
// reports, every byte of them, and premultiplied colour.
#include "tests/fuzz/FuzzInput.h"
#include "vstgui/PngDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    VSTGUI::decodePng(data, size, width, height, pixels);
    if (!pixels.empty()) {
        FUZZ_CHECK(width > 0 && height > 0);
        // Every byte is read, so a buffer shorter than its reported size is caught.
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        FUZZ_CHECK(pixels.size() == 4 * count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* pixel = pixels.data() + 4 * i;
            FUZZ_CHECK(pixel[0] <= pixel[3] && pixel[1] <= pixel[3] && pixel[2] <= pixel[3]);
        }
    }
    return 0;
}
