// The view tree without a window: ownership, event routing, focus and tab order, the
// redraw cycle and container drawing.
#include <gtest/gtest.h>

#include "ToolkitFixtures.h"
#include "vstgui/CFrame.h"
#include "vstgui/COnOffButton.h"
#include "vstgui/CSlider.h"

using namespace VSTGUI;
using namespace toolkit_test;

namespace {

// A view that logs what reaches it and answers presses with a set result.
class ProbeView : public CView
{
public:
    ProbeView(const CRect& size, std::string& log, const char* name, int* destroyed = nullptr)
        : CView(size), log(log), name(name), destroyed(destroyed)
    {
    }
    ~ProbeView() override
    {
        if (destroyed) ++*destroyed;
    }
    MouseEventResult mouseDown(CPoint& where, const int32_t&) override
    {
        log += name + "down" + std::to_string(where.x) + "," + std::to_string(where.y) + ";";
        return pressResult;
    }
    MouseEventResult mouseUp(CPoint&, const int32_t&) override
    {
        log += name + "up;";
        return kMouseEventHandled;
    }
    MouseEventResult mouseMoved(CPoint&, const int32_t& buttons) override
    {
        if (buttons) log += name + "move;";
        return kMouseEventHandled;
    }
    MouseEventResult mouseEntered(CPoint&, const int32_t&) override
    {
        log += name + "enter;";
        return kMouseEventHandled;
    }
    MouseEventResult mouseExited(CPoint&, const int32_t&) override
    {
        log += name + "exit;";
        return kMouseEventHandled;
    }
    void focusLost() override { log += name + "lost;"; }
    void focusGained() override { log += name + "gained;"; }

    std::string& log;
    std::string name;
    int* destroyed;
    MouseEventResult pressResult = kMouseEventHandled;
};

// A container that logs the focus messages it is sent, by message identity.
class ProbeContainer : public CViewContainer
{
public:
    ProbeContainer(const CRect& size, std::string& log) : CViewContainer(size), log(log) {}
    int32_t notify(CBaseObject* sender, const char* message) override
    {
        if (message == kMsgNewFocusView) log += "new;";
        if (message == kMsgOldFocusView) log += "old;";
        return CViewContainer::notify(sender, message);
    }
    std::string& log;
};

struct FrameFixture : ::testing::Test
{
    FrameFixture() { editor.setFrame(frame); }
    ~FrameFixture() override { frame->release(); }

    RecordingEditor editor;
    CFrame* frame = new CFrame(CRect(0, 0, 529, 225), nullptr, &editor);
    RecordingListener listener{editor.log};
};

MouseEventResult press(CFrame* frame, int x, int y, int32_t buttons = kLButton)
{
    CPoint where(x, y);
    return frame->mouseDown(where, buttons);
}

MouseEventResult release(CFrame* frame, int x, int y)
{
    CPoint where(x, y);
    return frame->mouseUp(where, 0);
}

MouseEventResult move(CFrame* frame, int x, int y, int32_t buttons)
{
    CPoint where(x, y);
    return frame->mouseMoved(where, buttons);
}

}  // namespace

TEST_F(FrameFixture, ClickOnASharedEdgeGoesToTheViewAddedLater)
{
    auto* upper = new COnOffButton(CRect(480, 0, 504, 16), &listener, 73, nullptr);
    auto* lower = new COnOffButton(CRect(480, 16, 504, 32), &listener, 76, nullptr);
    frame->addView(upper);
    frame->addView(lower);
    EXPECT_EQ(press(frame, 490, 16), kMouseEventHandledNoMoveOrUp);
    EXPECT_EQ(upper->getValue(), 0.0f);
    EXPECT_EQ(lower->getValue(), 1.0f);
    // Right and bottom edges belong to the view as well.
    EXPECT_EQ(press(frame, 504, 0), kMouseEventHandledNoMoveOrUp);
    EXPECT_EQ(upper->getValue(), 1.0f);
}

TEST_F(FrameFixture, PressesMovesAndReleasesAreRoutedInChildCoordinates)
{
    auto* group = new CViewContainer(CRect(100, 50, 300, 150));
    auto* probe = new ProbeView(CRect(10, 10, 50, 30), editor.log, "a");
    group->addView(probe);
    frame->addView(group);

    EXPECT_EQ(press(frame, 120, 65), kMouseEventHandled);
    EXPECT_EQ(move(frame, 125, 65, kLButton), kMouseEventHandled);
    EXPECT_EQ(release(frame, 125, 65), kMouseEventHandled);
    EXPECT_EQ(editor.log, "adown20,15;amove;aup;");

    // A press nobody takes leaves nothing pressed: moves turn to mouse-over tracking and the
    // release is not handled.
    editor.log.clear();
    probe->pressResult = kMouseEventNotHandled;
    EXPECT_EQ(press(frame, 120, 65), kMouseEventNotHandled);
    EXPECT_EQ(frame->getPressedView(), nullptr);
    EXPECT_EQ(group->getPressedView(), nullptr);
    EXPECT_EQ(move(frame, 121, 65, 0), kMouseEventHandled);
    EXPECT_EQ(frame->getHoverView(), probe);
    EXPECT_EQ(move(frame, 5, 5, 0), kMouseEventHandled);
    EXPECT_EQ(frame->getHoverView(), nullptr);
    EXPECT_EQ(release(frame, 5, 5), kMouseEventNotHandled);
    EXPECT_EQ(editor.log, "adown20,15;aenter;aexit;");
}

TEST_F(FrameFixture, ModifierClicksAreOfferedToTheListenerFirst)
{
    auto* button = new COnOffButton(CRect(0, 0, 24, 16), &listener, 7, nullptr);
    frame->addView(button);
    listener.modifierAnswer = 1;
    EXPECT_EQ(press(frame, 5, 5, kLButton | kControl), kMouseEventHandled);
    EXPECT_EQ(button->getValue(), 0.0f);
    listener.modifierAnswer = 0;
    EXPECT_EQ(press(frame, 5, 5, kLButton | kControl), kMouseEventHandledNoMoveOrUp);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(press(frame, 5, 5, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(button->getValue(), 1.0f);
}

TEST_F(FrameFixture, WheelGoesToTheViewUnderThePointerButNotDuringADrag)
{
    auto* dragged = new CHorizontalSlider(CRect(24, 144, 504, 160), &listener, 1, 24, 480,
                                          nullptr, nullptr);
    auto* other = new CHorizontalSlider(CRect(24, 128, 504, 144), &listener, 2, 24, 480,
                                        nullptr, nullptr);
    frame->addView(dragged);
    frame->addView(other);
    EXPECT_TRUE(frame->onWheel(CPoint(100, 130), 1.0f, 0));
    EXPECT_FLOAT_EQ(other->getValue(), 0.1f);
    // Horizontal turns count the other way round.
    EXPECT_TRUE(frame->onWheel(CPoint(100, 130), kMouseWheelHorizontal, 1.0f, 0));
    EXPECT_FLOAT_EQ(other->getValue(), 0.0f);
    EXPECT_FALSE(frame->onWheel(CPoint(100, 300), 1.0f, 0));

    EXPECT_EQ(press(frame, 100, 150), kMouseEventHandled);
    EXPECT_FALSE(frame->onWheel(CPoint(100, 130), 1.0f, 0));
    EXPECT_FLOAT_EQ(other->getValue(), 0.0f);
    release(frame, 100, 150);
    EXPECT_TRUE(frame->onWheel(CPoint(100, 130), 1.0f, 0));
}

TEST_F(FrameFixture, TabWalksFocusableViewsInOrderWithoutWrappingAndTellsContainers)
{
    std::string messages;
    auto* first = new CHorizontalSlider(CRect(0, 0, 100, 16), &listener, 0, 0, 76, nullptr,
                                        nullptr);
    auto* button = new COnOffButton(CRect(0, 20, 24, 36), &listener, 73, nullptr);
    auto* group = new ProbeContainer(CRect(0, 40, 200, 100), messages);
    auto* inner = new CHorizontalSlider(CRect(0, 0, 100, 16), &listener, 1, 0, 76, nullptr,
                                        nullptr);
    auto* last = new CHorizontalSlider(CRect(0, 120, 100, 136), &listener, 2, 0, 76, nullptr,
                                       nullptr);
    group->addView(inner);
    frame->addView(first);
    frame->addView(button);
    frame->addView(group);
    frame->addView(last);

    VstKeyCode tab{0, 2, 0};
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), first);
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), inner);
    EXPECT_EQ(messages, "new;");
    EXPECT_EQ(frame->onKeyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), last);
    EXPECT_EQ(messages, "new;old;");
    EXPECT_EQ(frame->onKeyDown(tab), -1);
    EXPECT_EQ(frame->getFocusView(), nullptr);

    VstKeyCode backTab{0, 2, 1};
    EXPECT_EQ(frame->onKeyDown(backTab), 1);
    EXPECT_EQ(frame->getFocusView(), last);
    EXPECT_EQ(frame->onKeyDown(backTab), 1);
    EXPECT_EQ(frame->getFocusView(), inner);

    // The focused slider takes the arrow keys; other keys stay unused.
    VstKeyCode right{0, 13, 0};
    EXPECT_EQ(frame->onKeyDown(right), 1);
    EXPECT_FLOAT_EQ(inner->getValue(), 0.1f);
    VstKeyCode letter{'a', 0, 0};
    EXPECT_EQ(frame->onKeyDown(letter), -1);
    EXPECT_EQ(frame->onKeyUp(letter), -1);
}

TEST_F(FrameFixture, FocusChangesNotifyOnceAndRemovedViewsLeaveNoStalePointers)
{
    auto* a = new ProbeView(CRect(0, 0, 10, 10), editor.log, "a");
    auto* b = new ProbeView(CRect(20, 0, 30, 10), editor.log, "b");
    frame->addView(a);
    frame->addView(b);
    EXPECT_TRUE(frame->setFocus(a));
    EXPECT_FALSE(frame->setFocus(a));
    EXPECT_TRUE(frame->setFocus(b));
    EXPECT_EQ(editor.log, "alost;");

    move(frame, 5, 5, 0);
    EXPECT_EQ(frame->getHoverView(), a);
    EXPECT_TRUE(frame->removeView(a));
    EXPECT_EQ(frame->getHoverView(), nullptr);

    EXPECT_EQ(press(frame, 25, 5), kMouseEventHandled);
    EXPECT_EQ(frame->getPressedView(), b);
    frame->setFocus(b);
    EXPECT_TRUE(frame->removeView(b, false));
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(frame->getPressedView(), nullptr);
    EXPECT_EQ(release(frame, 25, 5), kMouseEventNotHandled);
    EXPECT_FALSE(frame->removeView(b));
    EXPECT_FALSE(frame->addView(nullptr));
    b->release();
}

TEST(ViewOwnership, TheFrameFreesEveryViewAndBitmapItHolds)
{
    std::string log;
    int destroyed = 0;
    ImageResources resources;
    resources.add(10, makePng(8, 8, [](int, int) { return Rgba{1, 2, 3, 255}; }));
    resources.install();

    auto* frame = new CFrame(CRect(0, 0, 100, 100), nullptr, nullptr);
    auto* background = new CBitmap(10);
    frame->setBackground(background);
    background->release();
    auto* handle = new CBitmap(24, 16);
    auto* group = new CViewContainer(CRect(0, 0, 50, 50));
    group->addView(new ProbeView(CRect(0, 0, 5, 5), log, "x", &destroyed));
    frame->addView(group);
    frame->addView(new ProbeView(CRect(60, 0, 70, 5), log, "y", &destroyed));
    auto* slider = new CHorizontalSlider(CRect(0, 60, 100, 76), nullptr, 1, 0, 76, handle,
                                         nullptr);
    frame->addView(slider);
    EXPECT_EQ(handle->getNbReference(), 2);
    EXPECT_FALSE(frame->addView(slider));

    // Removing without release leaves the creator's reference alive.
    auto* kept = new ProbeView(CRect(0, 0, 1, 1), log, "k", &destroyed);
    frame->addView(kept);
    EXPECT_TRUE(frame->removeView(kept, false));
    EXPECT_EQ(destroyed, 0);
    EXPECT_FALSE(kept->isAttached());
    kept->release();
    EXPECT_EQ(destroyed, 1);

    frame->release();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(handle->getNbReference(), 1);
    handle->release();
}

TEST_F(FrameFixture, IdleRepaintsDirtyViewsAndContainersDrawChildrenInOrder)
{
    auto* under = new CViewContainer(CRect(10, 10, 30, 30));
    under->setBackgroundColour(CColour{255, 0, 0, 255});
    auto* over = new CViewContainer(CRect(20, 20, 40, 40));
    over->setBackgroundColour(CColour{0, 0, 255, 255});
    auto* hidden = new CViewContainer(CRect(0, 0, 5, 5));
    hidden->setBackgroundColour(CColour{0, 255, 0, 255});
    hidden->setVisible(false);
    frame->setBackgroundColour(CColour{40, 40, 40, 255});
    frame->addView(under);
    frame->addView(over);
    frame->addView(hidden);

    auto* canvas = new COffscreenContext(frame, 50, 50);
    frame->drawArea(canvas, CRect(0, 0, 50, 50));
    canvas->flush();
    const CBitmap& pixels = *canvas->getBitmap();
    EXPECT_EQ(pixelAt(pixels, 2, 2), (Rgba{40, 40, 40, 255}));
    EXPECT_EQ(pixelAt(pixels, 15, 15), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(pixelAt(pixels, 25, 25), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(pixels, 35, 35), (Rgba{0, 0, 255, 255}));
    EXPECT_EQ(pixelAt(pixels, 45, 45), (Rgba{40, 40, 40, 255}));
    EXPECT_FALSE(frame->isDirty());
    EXPECT_EQ(canvas->getClipRect(), CRect(0, 0, 50, 50));
    EXPECT_EQ(canvas->offset, CPoint(0, 0));
    canvas->release();

    auto* slider = new CHorizontalSlider(CRect(0, 100, 100, 116), &listener, 1, 0, 76,
                                         nullptr, nullptr);
    frame->addView(slider);
    slider->setValue(0.5f);
    EXPECT_TRUE(slider->isDirty());
    frame->idle();
    EXPECT_FALSE(slider->isDirty());
    EXPECT_TRUE(frame->isOpen());
}
