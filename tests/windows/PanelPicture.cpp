#include "tests/windows/PanelPicture.h"

#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <cstdlib>

namespace wintest {

RgbaPicture readPng(const std::string& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot read " << path << ": " << image.message;
        return {};
    }
    image.format = PNG_FORMAT_RGBA;
    RgbaPicture picture;
    picture.bytes.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, picture.bytes.data(), 0, nullptr);
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}

bool writePng(const std::string& path, const RgbaPicture& picture)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.bytes.data(), 0, nullptr) != 0;
}

PictureMatch compare(const RgbaPicture& a, const RgbaPicture& b)
{
    PictureMatch match;
    size_t close = 0;
    size_t exact = 0;
    for (size_t i = 0; i + 3 < a.bytes.size() && i + 3 < b.bytes.size(); i += 4) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(int(a.bytes[i + c]) - int(b.bytes[i + c])));
        }
        match.largest = std::max(match.largest, worst);
        close += worst <= 8;
        exact += worst == 0;
    }
    const double pixels = double(a.bytes.size() / 4);
    if (pixels > 0) {
        match.withinEight = close / pixels;
        match.identical = exact / pixels;
    }
    return match;
}

}  // namespace wintest
