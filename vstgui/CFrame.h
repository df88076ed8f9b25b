// The frame: the container at the top of the view tree, with the editor's child window,
// focus, mouse-over tracking and the redraw cycle.
#pragma once

#include <memory>

#include "platform/ChildWindow.h"
#include "vstgui/CViewContainer.h"

namespace VSTGUI {

class VSTGUIEditorInterface;

class CFrame : public CViewContainer, private platform::WindowListener
{
public:
    // parentWindow is the host's native window handle, or null for a frame without a window;
    // the window shows each of the frame's pixels as scale of its own (1 to 4).
    CFrame(const CRect& size, void* parentWindow, VSTGUIEditorInterface* editor,
           double scale = 1.0);
    ~CFrame() override;

    // Handles the window's events, then asks for the repaint of whatever is dirty and paints
    // it. Does nothing once the window has been destroyed.
    virtual void idle();
    bool isOpen() const { return openFlag; }
    // Hides the window and stops handling its events and painting; the frame stays whole
    // until released, since views of it may still be running a click.
    void close();
    // Paints the area asked for so far, now.
    void paintPending();
    // Paints rect into the window at once.
    void drawRect(const CRect& rect);
    // The child window's id, 0 without one.
    uintptr_t getWindowId() const;
    // Redraws the window at another scale, at its size for that scale; an unusable scale
    // changes nothing.
    void setScale(double newScale);
    double getScale() const { return scale; }

    void invalidateRect(const CRect& rect) override;
    void drawArea(CDrawContext* context, const CRect& updateRect) override;

    MouseEventResult mouseDown(CPoint& where, const int32_t& buttons) override;
    MouseEventResult mouseMoved(CPoint& where, const int32_t& buttons) override;
    MouseEventResult mouseExited(CPoint& where, const int32_t& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const int32_t& buttons) override;
    using CViewContainer::onWheel;
    // 1 used, -1 not.
    int32_t onKeyDown(VstKeyCode& keyCode);
    int32_t onKeyUp(VstKeyCode& keyCode);

    bool setFocus(CView* view);
    CView* getFocusView() const { return focusView; }
    CView* getHoverView() const { return hoverView; }
    // The frame climbs out of a container that has no candidate left, never wrapping round.
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;
    // A view leaving the tree stops being the focus or hover view.
    void onViewRemoved(CView* view);

    void runIdleNow();
    int32_t getKnobMode() const;
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    VSTGUIEditorInterface* getEditor() const override { return editor; }

    bool hasClassName(const char* name) const override;

private:
    void windowPaint(platform::Painter& painter, const platform::Rect& area) override;
    void windowMouseDown(int32_t x, int32_t y, uint32_t state) override;
    void windowMouseUp(int32_t x, int32_t y, uint32_t state) override;
    void windowMouseMoved(int32_t x, int32_t y, uint32_t state) override;
    void windowMouseExited(int32_t x, int32_t y, uint32_t state) override;
    bool windowWheel(int32_t x, int32_t y, float distance, bool horizontal, uint32_t state) override;
    void windowDestroyed() override;
    void windowEventBegins() override;
    void windowEventEnds() override;
    void windowScaleChanged(double newScale) override;

    VSTGUIEditorInterface* editor;
    double scale;
    CView* focusView = nullptr;
    CView* hoverView = nullptr;
    bool firstPaint = true;
    bool openFlag = true;
    // Set while the window's events are being handled, since a click may idle the frame.
    bool handlingEvents = false;
    std::unique_ptr<platform::ChildWindow> window;
};

}  // namespace VSTGUI
