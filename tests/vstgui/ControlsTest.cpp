// Slider geometry, fine-tuning, default reset, wheel and keys; button toggling and the order
// of its notifications; edit brackets.
#include <gtest/gtest.h>

#include "ToolkitFixtures.h"
#include "vstgui/CFrame.h"
#include "vstgui/COnOffButton.h"
#include "vstgui/CSlider.h"

using namespace VSTGUI;
using namespace toolkit_test;

namespace {

// A string slider of the panel: 480 pixels wide, a 24-pixel handle travelling 24..480.
struct SliderFixture : ::testing::Test
{
    SliderFixture()
    {
        editor.setFrame(frame);
        frame->addView(slider);
    }
    ~SliderFixture() override
    {
        frame->release();
        handle->release();
    }

    float clickAt(int x, int32_t buttons = kLButton)
    {
        CPoint where(x, 150);
        slider->mouseDown(where, buttons);
        CPoint up(x, 150);
        slider->mouseUp(up, 0);
        return slider->getValue();
    }
    void moveTo(int x, int32_t buttons)
    {
        CPoint where(x, 150);
        slider->mouseMoved(where, buttons);
    }

    RecordingEditor editor;
    RecordingListener listener{editor.log};
    CFrame* frame = new CFrame(CRect(0, 0, 529, 225), nullptr, &editor);
    CBitmap* handle = new CBitmap(24, 16);
    CHorizontalSlider* slider = new CHorizontalSlider(CRect(24, 144, 504, 160), &listener, 3,
                                                      24, 480, handle, nullptr);
};

}  // namespace

TEST_F(SliderFixture, ClicksMapTheTravelOntoZeroToOneAndClamp)
{
    EXPECT_FLOAT_EQ(clickAt(35), 0.0f);
    EXPECT_FLOAT_EQ(clickAt(491), 1.0f);
    EXPECT_FLOAT_EQ(clickAt(263), 0.5f);
    EXPECT_FLOAT_EQ(clickAt(20), 0.0f);
    EXPECT_FLOAT_EQ(clickAt(503), 1.0f);
    // Each click is one gesture, bracketed for the host with the slider's tag.
    EXPECT_EQ(editor.log.substr(0, 27), "begin3;change3;end3;begin3;");
    EXPECT_EQ(listener.changes, 5);
    EXPECT_EQ(frame->getFocusView(), slider);

    CPoint where(100, 150);
    EXPECT_EQ(slider->mouseDown(where, kRButton), kMouseEventNotHandled);
}

TEST_F(SliderFixture, ControlClickSetsTheDefaultOnceWithoutDragging)
{
    slider->setValue(0.9f);
    CPoint where(35, 150);
    EXPECT_EQ(slider->mouseDown(where, kLButton | kControl), kMouseEventHandledNoMoveOrUp);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);
    EXPECT_EQ(listener.changes, 1);
    EXPECT_EQ(editor.log, "begin3;begin3;change3;end3;end3;");

    // Control with another button or modifier is an ordinary press.
    editor.log.clear();
    EXPECT_EQ(slider->mouseDown(where, kLButton | kControl | kShift), kMouseEventHandled);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.5f);
}

TEST_F(SliderFixture, ShiftFineTunesFromTheValueWhereShiftWentDown)
{
    // A shift-click takes hold without moving.
    slider->setValue(0.25f);
    CPoint where(400, 150);
    EXPECT_EQ(slider->mouseDown(where, kLButton | kShift), kMouseEventHandled);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.25f);
    moveTo(35 + 228, kLButton | kShift);  // raw 0.5: a tenth of the way from 0.25
    EXPECT_FLOAT_EQ(slider->getValue(), 0.25f + 0.025f);

    // A plain drag, then shift goes down at 0.5: movement counts a tenth from there.
    clickAt(263);
    CPoint press(263, 150);
    slider->mouseDown(press, kLButton);
    moveTo(263 + 114, kLButton);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.75f);
    moveTo(263 + 114, kLButton | kShift);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.75f);
    moveTo(263 + 114 + 228, kLButton | kShift);
    EXPECT_NEAR(slider->getValue(), 0.75f + 0.05f, 1e-6);
    moveTo(263 + 114 + 228 + 228, kLButton | kShift);
    EXPECT_NEAR(slider->getValue(), 0.75f + 0.1f, 1e-6);
    // Releasing shift puts the value back under the pointer.
    moveTo(263 - 114, kLButton);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.25f);
    // A move without the left button changes nothing.
    moveTo(491, 0);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.25f);
}

TEST_F(SliderFixture, ListenerMayMoveTheValueDuringADrag)
{
    listener.snapTo = 0.4f;
    clickAt(400);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.4f);
}

TEST_F(SliderFixture, WheelAndArrowKeysStepByTheWheelStepAndClamp)
{
    slider->setValue(0.5f);
    EXPECT_TRUE(slider->onWheel(CPoint(), 1.0f, 0));
    EXPECT_FLOAT_EQ(slider->getValue(), 0.6f);
    EXPECT_TRUE(slider->onWheel(CPoint(), -1.0f, kShift));
    EXPECT_FLOAT_EQ(slider->getValue(), 0.59f);
    EXPECT_TRUE(slider->onWheel(CPoint(), 10.0f, 0));
    EXPECT_FLOAT_EQ(slider->getValue(), 1.0f);

    VstKeyCode left{0, 11, 0}, down{0, 14, 0}, up{0, 12, 1}, other{'x', 0, 0};
    EXPECT_EQ(slider->keyDown(left), 1);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.9f);
    EXPECT_EQ(slider->keyDown(down), 1);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.8f);
    EXPECT_EQ(slider->keyDown(up), 1);
    EXPECT_FLOAT_EQ(slider->getValue(), 0.81f);
    EXPECT_EQ(slider->keyDown(other), -1);

    slider->setMouseEnabled(false);
    EXPECT_FALSE(slider->onWheel(CPoint(), 1.0f, 0));
}

TEST_F(SliderFixture, HandleIsDrawnAtItsTravelPosition)
{
    ImageResources resources;
    resources.add(101, makePng(24, 16, [](int, int) { return Rgba{255, 0, 0, 255}; }));
    resources.install();
    auto* red = new CBitmap(101);
    slider->setHandle(red);
    red->release();

    slider->setValue(0.5f);
    auto* canvas = new COffscreenContext(frame, 529, 225, CColour{0, 0, 0, 255});
    slider->draw(canvas);
    canvas->flush();
    const int handleLeft = 24 + 228;
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), handleLeft, 144), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), handleLeft + 23, 159), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), handleLeft - 1, 150), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), handleLeft + 24, 150), (Rgba{0, 0, 0, 255}));
    EXPECT_FALSE(slider->isDirty());
    // A value far outside the range draws nothing out of bounds.
    slider->setValue(1e30f);
    slider->draw(canvas);
    canvas->release();
}

TEST(OnOffButton, ClicksToggleAndTellTheListenerAfterOrBeforeTheRepaint)
{
    RecordingEditor editor;
    RecordingListener listener(editor.log);
    auto* frame = new CFrame(CRect(0, 0, 100, 100), nullptr, &editor);
    editor.setFrame(frame);
    auto* after = new COnOffButton(CRect(0, 0, 24, 16), &listener, 75, nullptr);
    auto* before = new COnOffButton(CRect(30, 0, 54, 16), &listener, 76, nullptr, 1);
    frame->addView(after);
    frame->addView(before);

    CPoint where(5, 5);
    after->setValue(0.5f);
    EXPECT_EQ(after->mouseDown(where, kLButton), kMouseEventHandledNoMoveOrUp);
    EXPECT_EQ(after->getValue(), 1.0f);
    EXPECT_EQ(editor.log, "idle;begin75;change75;end75;");
    after->mouseDown(where, kLButton);
    EXPECT_EQ(after->getValue(), 0.0f);
    EXPECT_EQ(after->mouseDown(where, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(after->getValue(), 0.0f);

    editor.log.clear();
    before->mouseDown(where, kLButton);
    EXPECT_EQ(editor.log, "begin76;change76;end76;idle;");
    frame->release();
}

TEST(OnOffButton, DrawsTheLowerHalfOfItsImageWhenOn)
{
    ImageResources resources;
    resources.add(202, makePng(24, 32, [](int, int y) {
        return y < 16 ? Rgba{0, 0, 0, 0} : Rgba{0, 255, 0, 255};
    }));
    resources.install();
    auto* image = new CBitmap(202);
    auto* button = new COnOffButton(CRect(2, 2, 26, 18), nullptr, 73, image);
    image->release();
    auto* canvas = new COffscreenContext(nullptr, 30, 30, CColour{40, 40, 40, 255});

    button->draw(canvas);
    canvas->flush();
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), 10, 10), (Rgba{40, 40, 40, 255}));
    button->setValue(1.0f);
    EXPECT_TRUE(button->isDirty());
    button->draw(canvas);
    canvas->flush();
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), 10, 10), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(pixelAt(*canvas->getBitmap(), 26, 10), (Rgba{40, 40, 40, 255}));
    EXPECT_FALSE(button->isDirty());
    canvas->release();
    button->release();
}
