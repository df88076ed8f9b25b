// Panel and device pixels, image factors and the user's scale.
#include "platform/Scale.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// Products such as 225 x 1.1 land a hair below the whole number they stand for.
constexpr double kSlack = 1e-9;

}  // namespace

bool isUsableScale(double scale)
{
    return std::isfinite(scale) && scale >= 1.0 && scale <= kLargestScale;
}

int32_t scaledLength(int32_t length, double scale)
{
    return static_cast<int32_t>(std::floor(length * scale + kSlack));
}

Rect toDevice(const Rect& area, double scale)
{
    if (scale == 1.0) return area;
    return {static_cast<int32_t>(std::floor(area.left * scale + kSlack)),
            static_cast<int32_t>(std::floor(area.top * scale + kSlack)),
            static_cast<int32_t>(std::ceil(area.right * scale - kSlack)),
            static_cast<int32_t>(std::ceil(area.bottom * scale - kSlack))};
}

Rect toPanel(const Rect& deviceArea, double scale)
{
    if (scale == 1.0) return deviceArea;
    return {static_cast<int32_t>(std::floor(deviceArea.left / scale + kSlack)),
            static_cast<int32_t>(std::floor(deviceArea.top / scale + kSlack)),
            static_cast<int32_t>(std::ceil(deviceArea.right / scale - kSlack)),
            static_cast<int32_t>(std::ceil(deviceArea.bottom / scale - kSlack))};
}

int32_t toPanel(int32_t device, double scale)
{
    if (scale == 1.0) return device;
    return static_cast<int32_t>(std::floor((device + 0.5) / scale));
}

int32_t imageFactorFor(double scale, uint32_t heldFactors)
{
    int32_t largest = 1;
    for (int32_t factor = 1; factor <= kLargestImageFactor; ++factor) {
        if (factor > 1 && !(heldFactors & (1u << factor))) continue;
        if (factor >= scale) return factor;
        largest = factor;
    }
    return largest;
}

double userScale()
{
    const char* text = std::getenv("LYREVANE_SCALE");
    if (!text || !*text) return 0.0;
    const char* end = text + std::strlen(text);
    double scale = 0.0;
    // The whole text must be the number, read the same in every locale: "2x" or "1,5" is
    // not a scale.
    const std::from_chars_result read = std::from_chars(text, end, scale);
    if (read.ec != std::errc() || read.ptr != end || !isUsableScale(scale)) return 0.0;
    return scale;
}

}  // namespace platform
