// Points, rectangles and colours in integer pixels, shared by views and drawing.
#pragma once

#include <algorithm>
#include <cstdint>

namespace VSTGUI {

struct CPoint
{
    int32_t x = 0;
    int32_t y = 0;

    CPoint() = default;
    CPoint(int32_t x, int32_t y) : x(x), y(y) {}
    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
};

// Right and bottom are exclusive for drawing; the hit test includes them.
struct CRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    CRect() = default;
    CRect(int32_t left, int32_t top, int32_t right, int32_t bottom)
        : left(left), top(top), right(right), bottom(bottom)
    {
    }

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    CPoint topLeft() const { return CPoint(left, top); }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(int32_t dx, int32_t dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& normalize()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        return *this;
    }
    // Intersection; disjoint rectangles leave an empty one.
    CRect& bound(const CRect& other)
    {
        left = std::max(left, other.left);
        top = std::max(top, other.top);
        right = std::max(left, std::min(right, other.right));
        bottom = std::max(top, std::min(bottom, other.bottom));
        return *this;
    }
    bool rectOverlap(const CRect& other) const
    {
        return other.right > left && other.left < right && other.bottom > top &&
               other.top < bottom;
    }
    bool pointInsideWithEdges(const CPoint& p) const
    {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    bool operator==(const CRect& other) const
    {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
    bool operator!=(const CRect& other) const { return !(*this == other); }
};

struct CColour
{
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    bool operator==(const CColour& other) const
    {
        return red == other.red && green == other.green && blue == other.blue &&
               alpha == other.alpha;
    }
    bool operator!=(const CColour& other) const { return !(*this == other); }
};

constexpr CColour kBlackColour{0, 0, 0, 255};
constexpr CColour kWhiteColour{255, 255, 255, 255};

}  // namespace VSTGUI
