// Panel pictures of the Windows tests as RGBA rows, read from and written to PNG files, and
// how closely two of them match.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wintest {

struct RgbaPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bytes;  // red, green, blue, alpha; top row first
};

// Empty, with a test failure added, when the file cannot be read.
RgbaPicture readPng(const std::string& path);
bool writePng(const std::string& path, const RgbaPicture& picture);

struct PictureMatch {
    double withinEight = 0.0;  // share of pixels whose colour channels all lie within 8 levels
    double identical = 0.0;
    int largest = 0;           // the largest channel difference anywhere
};
// Both pictures must have the same size.
PictureMatch compare(const RgbaPicture& a, const RgbaPicture& b);

}  // namespace wintest
