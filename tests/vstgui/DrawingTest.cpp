// Decoding PNG resources into premultiplied pixels, and drawing through Cairo contexts,
// checked pixel by pixel on image surfaces.
#include <gtest/gtest.h>

#include "ToolkitFixtures.h"
#include "vstgui/CDrawingStartup.h"
#include "vstgui/CFontDesc.h"

using namespace VSTGUI;
using namespace toolkit_test;

namespace {

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kGrey{40, 40, 40, 255};

// The two-state switch: upper half red (off), lower half blue (on).
std::vector<uint8_t> switchImage()
{
    return makePng(199, 48, [](int, int y) { return y < 24 ? kRed : kBlue; });
}

// An offscreen context filled with grey, to see what a draw changed.
COffscreenContext* greyCanvas(int width, int height)
{
    return new COffscreenContext(nullptr, width, height, CColour{40, 40, 40, 255});
}

Rgba canvasPixel(COffscreenContext* canvas, int x, int y)
{
    canvas->flush();
    return pixelAt(*canvas->getBitmap(), x, y);
}

}  // namespace

TEST(BitmapDecoding, StoresPremultipliedBlueGreenRedAlphaWithExactOpaqueColours)
{
    ImageResources resources;
    resources.add(1, makePng(4, 1, [](int x, int) {
        const Rgba pixels[] = {{255, 128, 1, 255}, {200, 100, 50, 0}, {200, 100, 50, 128},
                               {255, 255, 255, 255}};
        return pixels[x];
    }));
    resources.install();

    auto* bitmap = new CBitmap(1);
    ASSERT_EQ(bitmap->getWidth(), 4);
    ASSERT_EQ(bitmap->getHeight(), 1);
    const uint8_t* p = bitmap->getPixels();
    ASSERT_NE(p, nullptr);
    // Opaque (255, 128, 1) keeps its colour exactly, in blue-green-red-alpha order.
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{1, 128, 255, 255}));
    // Alpha 0 clears the colour.
    EXPECT_EQ(std::vector<uint8_t>(p + 4, p + 8), (std::vector<uint8_t>{0, 0, 0, 0}));
    // Rounded premultiplication: 50*128/255 = 25.1, 100*128/255 = 50.2, 200*128/255 = 100.4.
    EXPECT_EQ(std::vector<uint8_t>(p + 8, p + 12), (std::vector<uint8_t>{25, 50, 100, 128}));
    EXPECT_EQ(std::vector<uint8_t>(p + 12, p + 16), (std::vector<uint8_t>{255, 255, 255, 255}));
    bitmap->release();
}

TEST(BitmapDecoding, MissingOrCorruptImagesDrawNothingAndReportWhatWasRead)
{
    const std::vector<uint8_t> good = switchImage();
    ImageResources resources;
    // Signature and header chunk only: the size is known, the pixels are not.
    resources.add(2, std::vector<uint8_t>(good.begin(), good.begin() + 33));
    resources.add(3, std::vector<uint8_t>(100, 0xAB));
    resources.add(4, {});
    resources.install();

    auto* canvas = greyCanvas(8, 8);
    auto* missing = new CBitmap(99);
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_FALSE(missing->loadImage(99));

    auto* truncated = new CBitmap(2);
    EXPECT_EQ(truncated->getWidth(), 199);
    EXPECT_EQ(truncated->getHeight(), 48);
    EXPECT_EQ(truncated->getPixels(), nullptr);
    EXPECT_TRUE(truncated->loadImage(2));

    auto* garbage = new CBitmap(3);
    EXPECT_EQ(garbage->getWidth(), 0);
    EXPECT_EQ(garbage->getPixels(), nullptr);
    auto* empty = new CBitmap(4);
    EXPECT_EQ(empty->getPixels(), nullptr);

    for (CBitmap* bitmap : {missing, truncated, garbage, empty}) {
        bitmap->draw(canvas, CRect(0, 0, 8, 8));
        EXPECT_EQ(canvasPixel(canvas, 3, 3), kGrey);
        bitmap->release();
    }
    canvas->release();
}

TEST(BitmapDrawing, RegionAtAnOffsetShowsTheLowerHalfOfATwoStateImage)
{
    ImageResources resources;
    resources.add(203, switchImage());
    resources.install();
    auto* image = new CBitmap(203);
    auto* canvas = greyCanvas(220, 40);

    image->draw(canvas, CRect(10, 5, 209, 29), CPoint(0, 24));
    EXPECT_EQ(canvasPixel(canvas, 10, 5), kBlue);
    EXPECT_EQ(canvasPixel(canvas, 208, 28), kBlue);
    EXPECT_EQ(canvasPixel(canvas, 9, 5), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 209, 28), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 10, 29), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 10, 4), kGrey);

    // The context offset moves everything drawn.
    canvas->offset = CPoint(2, 3);
    image->draw(canvas, CRect(0, 0, 1, 1));
    EXPECT_EQ(canvasPixel(canvas, 2, 3), kRed);
    image->release();
    canvas->release();
}

TEST(BitmapDrawing, ClippingAndAlphaLimitWhatChanges)
{
    ImageResources resources;
    resources.add(203, switchImage());
    resources.install();
    auto* image = new CBitmap(203);
    auto* canvas = greyCanvas(40, 40);

    canvas->setClipRect(CRect(5, 5, 10, 10));
    image->draw(canvas, CRect(0, 0, 40, 20));
    EXPECT_EQ(canvasPixel(canvas, 5, 5), kRed);
    EXPECT_EQ(canvasPixel(canvas, 9, 9), kRed);
    EXPECT_EQ(canvasPixel(canvas, 10, 9), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 4, 5), kGrey);
    EXPECT_EQ(canvas->getClipRect(), CRect(5, 5, 10, 10));

    canvas->setClipRect(CRect(0, 0, 40, 40));
    image->drawWithAlpha(canvas, CRect(20, 20, 30, 30), CPoint(), 0);
    EXPECT_EQ(canvasPixel(canvas, 25, 25), kGrey);
    image->drawWithAlpha(canvas, CRect(20, 20, 30, 30), CPoint(), 255);
    EXPECT_EQ(canvasPixel(canvas, 25, 25), kRed);
    image->release();
    canvas->release();
}

TEST(DrawContext, RectanglesAreNormalisedFilledAndOutlined)
{
    auto* canvas = greyCanvas(30, 30);
    canvas->setFillColour(CColour{0, 0, 255, 255});
    canvas->drawRectangle(CRect(10, 10, 0, 0), kDrawFilled);
    EXPECT_EQ(canvasPixel(canvas, 0, 0), kBlue);
    EXPECT_EQ(canvasPixel(canvas, 9, 9), kBlue);
    EXPECT_EQ(canvasPixel(canvas, 10, 10), kGrey);

    canvas->setFrameColour(CColour{255, 0, 0, 255});
    canvas->drawRectangle(CRect(15, 15, 25, 25), kDrawStroked);
    EXPECT_EQ(canvasPixel(canvas, 15, 15), kRed);
    EXPECT_EQ(canvasPixel(canvas, 24, 24), kRed);
    EXPECT_EQ(canvasPixel(canvas, 20, 20), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 25, 25), kGrey);
    canvas->release();
}

TEST(DrawContext, FontsAreSharedUnlessSizeOrStyleDiffer)
{
    CFontDesc* shared = sharedFont(0);
    ASSERT_NE(shared, nullptr);
    EXPECT_STREQ(shared->getName(), "Arial");
    EXPECT_EQ(shared->getSize(), 12);
    EXPECT_STREQ(sharedFont(7)->getName(), "Symbol");
    EXPECT_EQ(sharedFont(8), nullptr);

    const int32_t before = shared->getNbReference();
    auto* context = new CDrawContext(nullptr, nullptr);
    EXPECT_EQ(context->getFont(), shared);
    EXPECT_EQ(shared->getNbReference(), before + 1);
    context->setFont(shared, 0, -1);
    EXPECT_EQ(context->getFont(), shared);
    EXPECT_EQ(shared->getNbReference(), before + 1);

    context->setFont(shared, 14);
    EXPECT_NE(context->getFont(), shared);
    EXPECT_STREQ(context->getFont()->getName(), "Arial");
    EXPECT_EQ(context->getFont()->getSize(), 14);
    EXPECT_EQ(shared->getNbReference(), before);
    // A context without a target draws nothing and does not crash.
    context->drawRectangle(CRect(0, 0, 5, 5), kDrawFilledAndStroked);
    context->release();
}

TEST(DrawingStartup, LastBitmapEndsTheHolderAndANewOneStartsItAgain)
{
    ASSERT_EQ(CDrawingStartup::instance(), nullptr);
    auto* first = new CBitmap(2, 2);
    auto* second = new CBitmap(2, 2);
    ASSERT_NE(CDrawingStartup::instance(), nullptr);
    EXPECT_EQ(CDrawingStartup::instance()->getNbReference(), 2);
    first->release();
    EXPECT_NE(CDrawingStartup::instance(), nullptr);
    second->release();
    EXPECT_EQ(CDrawingStartup::instance(), nullptr);
    auto* third = new CBitmap(1, 1);
    EXPECT_NE(CDrawingStartup::instance(), nullptr);
    third->release();
}

TEST(ReferenceCounting, CreationRetainReleaseAndNotify)
{
    int destroyed = 0;
    struct Counted : CBaseObject
    {
        explicit Counted(int& destroyed) : destroyed(destroyed) {}
        ~Counted() override { ++destroyed; }
        int& destroyed;
    };
    auto* object = new Counted(destroyed);
    EXPECT_EQ(object->getNbReference(), 1);
    object->retain();
    object->release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(object->getNbReference(), 1);
    EXPECT_EQ(object->notify(nullptr, "anything"), 0);
    object->release();
    EXPECT_EQ(destroyed, 1);
}

TEST(DrawContext, LinesIncludeBothEndsAndTextDrawsInTheFontColour)
{
    auto* canvas = greyCanvas(60, 30);
    canvas->setFrameColour(CColour{255, 0, 0, 255});
    canvas->offset = CPoint(1, 1);
    canvas->drawLine(CPoint(2, 3), CPoint(9, 3));
    EXPECT_EQ(canvasPixel(canvas, 3, 4), kRed);
    EXPECT_EQ(canvasPixel(canvas, 10, 4), kRed);
    EXPECT_EQ(canvasPixel(canvas, 2, 4), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 11, 4), kGrey);
    EXPECT_EQ(canvasPixel(canvas, 5, 5), kGrey);

    canvas->offset = CPoint();
    canvas->setFontColour(CColour{0, 0, 255, 255});
    canvas->drawString("WWW", CPoint(2, 25));
    int blue = 0;
    for (int y = 10; y < 26; ++y) {
        for (int x = 2; x < 40; ++x) blue += canvasPixel(canvas, x, y).b > 128;
    }
    EXPECT_GT(blue, 10);
    EXPECT_EQ(canvasPixel(canvas, 50, 5), kGrey);
    canvas->release();
}
