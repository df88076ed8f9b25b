// Shared helpers of the toolkit tests: PNG images made in memory and served as resources,
// a recording editor interface and listener, and pixel access.
#pragma once

#include <png.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Resources.h"
#include "vstgui/CBitmap.h"
#include "vstgui/CControl.h"
#include "vstgui/CDrawContext.h"
#include "vstgui/VSTGUIEditorInterface.h"

namespace toolkit_test {

struct Rgba
{
    uint8_t r, g, b, a;
};

// An RGBA PNG of width x height whose pixel (x, y) is colourAt(x, y).
template <typename ColourAt>
std::vector<uint8_t> makePng(int width, int height, ColourAt colourAt)
{
    // Sized once and written in place: growing it pixel by pixel makes GCC 12 at -O3 warn of
    // an overflow inside vector::insert that cannot happen.
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    uint8_t* out = rgba.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgba c = colourAt(x, y);
            *out++ = c.r;
            *out++ = c.g;
            *out++ = c.b;
            *out++ = c.a;
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
    std::vector<uint8_t> bytes(size);
    png_image_write_to_memory(&image, bytes.data(), &size, 0, rgba.data(), 0, nullptr);
    bytes.resize(size);
    return bytes;
}

// Serves the given images as "PNG" resources for as long as it lives.
class ImageResources
{
public:
    void add(int id, std::vector<uint8_t> bytes)
    {
        images.push_back({id, std::move(bytes)});
    }
    void install()
    {
        table.clear();
        for (const auto& image : images) {
            table.push_back({"PNG", image.id, image.bytes.data(),
                             image.bytes.data() + image.bytes.size()});
        }
        platform::setResourceTable(table.data(), table.size());
    }
    ~ImageResources() { platform::setResourceTable(nullptr, 0); }

private:
    struct Image
    {
        int id;
        std::vector<uint8_t> bytes;
    };
    std::vector<Image> images;
    std::vector<platform::EmbeddedResource> table;
};

// Blue, green, red, alpha of pixel (x, y) of a bitmap.
inline Rgba pixelAt(const VSTGUI::CBitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.getPixels() + (size_t(y) * bitmap.getWidth() + x) * 4;
    return {p[2], p[1], p[0], p[3]};
}

inline bool operator==(const Rgba& a, const Rgba& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

inline std::ostream& operator<<(std::ostream& out, const Rgba& c)
{
    return out << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}

// Records what the toolkit asks of its editor.
class RecordingEditor : public VSTGUI::VSTGUIEditorInterface
{
public:
    void runIdleNow() override { log += "idle;"; }
    int32_t getKnobMode() const override { return 0; }
    void beginEdit(int32_t index) override { log += "begin" + std::to_string(index) + ";"; }
    void endEdit(int32_t index) override { log += "end" + std::to_string(index) + ";"; }
    // The X11 window reports its events inside processEvents, which these tests call.
    void beginEvent() override {}
    void endEvent() override {}
    void setFrame(VSTGUI::CFrame* newFrame) { frame = newFrame; }

    std::string log;
};

// Records value changes into the editor's log, so their order against idles shows.
class RecordingListener : public VSTGUI::CControlListener
{
public:
    explicit RecordingListener(std::string& log) : log(log) {}
    void onValueChange(VSTGUI::CControl* control) override
    {
        ++changes;
        log += "change" + std::to_string(control->getTag()) + ";";
        if (snapTo >= 0.0f) control->setValue(snapTo);
    }
    int32_t modifierClicked(VSTGUI::CControl*, int32_t) override { return modifierAnswer; }

    std::string& log;
    int changes = 0;
    int32_t modifierAnswer = 0;
    // When set, every change is snapped to this value, as an editor snapping to a grid does.
    float snapTo = -1.0f;
};

}  // namespace toolkit_test
