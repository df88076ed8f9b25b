// The frame: window events into mouse and key routing, focus, and the redraw cycle.
#include "vstgui/CFrame.h"

#include <cstring>

#include "platform/Scale.h"
#include "vstgui/CDrawContext.h"
#include "vstgui/CDrawingStartup.h"
#include "vstgui/VSTGUIEditorInterface.h"

namespace VSTGUI {

namespace {

// A focus change can notify views that change the focus again; the guard ignores such
// nested changes. One user-interface thread, so a plain flag shared by all frames.
bool focusChanging = false;

bool isWithin(CView* candidate, CView* ancestor)
{
    for (CView* view = candidate; view; view = view->getParentView()) {
        if (view == ancestor) return true;
    }
    return false;
}

}  // namespace

CFrame::CFrame(const CRect& size, void* parentWindow, VSTGUIEditorInterface* editor,
               double scale)
    : CViewContainer(size), editor(editor), scale(platform::isUsableScale(scale) ? scale : 1.0)
{
    ownerFrame = this;
    inTree = true;
    CDrawingStartup::acquire();
    if (parentWindow) {
        window = platform::ChildWindow::create(reinterpret_cast<uintptr_t>(parentWindow),
                                             size.width(), size.height(), this->scale, *this);
    }
}

CFrame::~CFrame()
{
    focusView = nullptr;
    hoverView = nullptr;
    removeAll(true);
    window.reset();
    CDrawingStartup::drop();
}

uintptr_t CFrame::getWindowId() const
{
    return window ? window->nativeHandle() : 0;
}

void CFrame::setScale(double newScale)
{
    if (!platform::isUsableScale(newScale) || newScale == scale) return;
    scale = newScale;
    if (window && openFlag) window->setScale(scale);
}

void CFrame::idle()
{
    if (!openFlag) return;
    if (window && !handlingEvents) {
        handlingEvents = true;
        window->processEvents();
        handlingEvents = false;
        if (!openFlag) return;
    }
    redrawDirtyChildren();
    paintPending();
}

void CFrame::close()
{
    openFlag = false;
    if (window) window->hide();
}

void CFrame::paintPending()
{
    if (window && openFlag) window->paintPending();
}

void CFrame::drawRect(const CRect& rect)
{
    if (!window || !openFlag) return;
    CRect area = rect;
    area.normalize().bound(size);
    if (area.isEmpty()) return;
    window->paint({area.left, area.top, area.right, area.bottom});
}

void CFrame::invalidateRect(const CRect& rect)
{
    if (!visible || !window) return;
    CRect area = rect;
    area.bound(size);
    window->invalidate({area.left, area.top, area.right, area.bottom});
}

void CFrame::drawArea(CDrawContext* context, const CRect& updateRect)
{
    firstPaint = false;
    CViewContainer::drawArea(context, updateRect);
}

MouseEventResult CFrame::mouseDown(CPoint& where, const int32_t& buttons)
{
    // A view still holding the last press (another button went down during its drag, or
    // its release never came) is released first: its gesture ends before a new one begins.
    if (pressedView) CViewContainer::mouseUp(where, buttons);
    if (focusView) setFocus(nullptr);
    if (hoverView) {
        CPoint local = where;
        hoverView->frameToLocal(local);
        hoverView->mouseExited(local, buttons);
        hoverView = nullptr;
    }
    return CViewContainer::mouseDown(where, buttons);
}

MouseEventResult CFrame::mouseMoved(CPoint& where, const int32_t& buttons)
{
    if (pressedView) {
        const MouseEventResult result = CViewContainer::mouseMoved(where, buttons);
        if (result == kMouseEventHandled) return result;
    }
    CView* view = getViewAt(where, true);
    if (view == hoverView) {
        if (!hoverView) return kMouseEventNotHandled;
        CPoint local = where;
        hoverView->frameToLocal(local);
        return hoverView->mouseMoved(local, 0);
    }
    if (hoverView) {
        CPoint local = where;
        hoverView->frameToLocal(local);
        hoverView->mouseExited(local, buttons);
    }
    hoverView = view;
    if (hoverView) {
        CPoint local = where;
        hoverView->frameToLocal(local);
        hoverView->mouseEntered(local, buttons);
    }
    return kMouseEventHandled;
}

MouseEventResult CFrame::mouseExited(CPoint& where, const int32_t& buttons)
{
    if (hoverView) {
        CPoint local = where;
        hoverView->frameToLocal(local);
        hoverView->mouseExited(local, buttons);
        hoverView = nullptr;
    }
    return kMouseEventHandled;
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const int32_t& buttons)
{
    return onWheel(where, kMouseWheelVertical, distance, buttons);
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode)
{
    if (focusView) {
        const int32_t result = focusView->keyDown(keyCode);
        if (result != -1) return result;
    }
    if (keyCode.virt == kVstKeyTab) {
        const bool reverse = (keyCode.modifier & kVstModifierShift) != 0;
        return advanceNextFocusView(focusView, reverse) ? 1 : -1;
    }
    return -1;
}

int32_t CFrame::onKeyUp(VstKeyCode& keyCode)
{
    return focusView ? focusView->keyUp(keyCode) : -1;
}

bool CFrame::setFocus(CView* view)
{
    if (view == focusView || focusChanging) return false;
    focusChanging = true;
    CView* previous = focusView;
    focusView = view;
    auto tellContainers = [this](CView* subject, const char* message) {
        for (CView* p = subject->getParentView(); p && p != this; p = p->getParentView()) {
            p->notify(subject, message);
        }
    };
    if (view && view->takesFocus()) {
        view->setDirty(true);
        tellContainers(view, kMsgNewFocusView);
    }
    if (previous) {
        if (previous->takesFocus()) {
            previous->setDirty(true);
            tellContainers(previous, kMsgOldFocusView);
        }
        previous->focusLost();
    }
    focusChanging = false;
    return true;
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    CView* after = oldFocus;
    CView* container = oldFocus && oldFocus->getParentView() ? oldFocus->getParentView() : this;
    while (container) {
        const bool moved =
            container == this
                ? CViewContainer::advanceNextFocusView(after, reverse)
                : static_cast<CViewContainer*>(container)->advanceNextFocusView(after, reverse);
        if (moved) return true;
        if (container == this) break;
        after = container;
        container = container->getParentView();
    }
    setFocus(nullptr);
    return false;
}

void CFrame::onViewRemoved(CView* view)
{
    if (isWithin(focusView, view)) focusView = nullptr;
    if (isWithin(hoverView, view)) hoverView = nullptr;
}

void CFrame::runIdleNow()
{
    if (editor) editor->runIdleNow();
}

int32_t CFrame::getKnobMode() const
{
    return editor ? editor->getKnobMode() : 0;
}

void CFrame::beginEdit(int32_t index)
{
    if (editor) editor->beginEdit(index);
}

void CFrame::endEdit(int32_t index)
{
    if (editor) editor->endEdit(index);
}

bool CFrame::hasClassName(const char* name) const
{
    return (name && std::strcmp(name, "CFrame") == 0) || CViewContainer::hasClassName(name);
}

void CFrame::windowPaint(platform::Painter& painter, const platform::Rect& updateArea)
{
    CRect area(updateArea.left, updateArea.top, updateArea.right, updateArea.bottom);
    area.normalize().bound(size);
    if (area.isEmpty()) return;
    auto* context = new CDrawContext(this, &painter);
    drawArea(context, area);
    context->release();
}

void CFrame::windowMouseDown(int32_t x, int32_t y, uint32_t state)
{
    CPoint where(x, y);
    const int32_t buttons = static_cast<int32_t>(state);
    // A press that a view took keeps the pointer for the drag, beyond the window's edges.
    if (mouseDown(where, buttons) == kMouseEventHandled && window) window->capturePointer();
}

void CFrame::windowMouseUp(int32_t x, int32_t y, uint32_t state)
{
    CPoint where(x, y);
    const int32_t buttons = static_cast<int32_t>(state);
    mouseUp(where, buttons);
    if (window) window->releasePointer();
}

void CFrame::windowMouseMoved(int32_t x, int32_t y, uint32_t state)
{
    CPoint where(x, y);
    const int32_t buttons = static_cast<int32_t>(state);
    mouseMoved(where, buttons);
}

void CFrame::windowMouseExited(int32_t x, int32_t y, uint32_t state)
{
    CPoint where(x, y);
    const int32_t buttons = static_cast<int32_t>(state);
    mouseExited(where, buttons);
}

bool CFrame::windowWheel(int32_t x, int32_t y, float distance, bool horizontal, uint32_t state)
{
    const int32_t buttons = static_cast<int32_t>(state);
    if (!horizontal) return onWheel(CPoint(x, y), kMouseWheelVertical, distance, buttons);
    // The toolkit's horizontal axis counts leftwards (views negate it), so that scrolling
    // right raises a value as scrolling up does.
    return onWheel(CPoint(x, y), kMouseWheelHorizontal, -distance, buttons);
}

void CFrame::windowDestroyed()
{
    openFlag = false;
}

void CFrame::windowEventBegins()
{
    if (editor) editor->beginEvent();
}

// The editor may release this frame here: nothing of it is touched after.
void CFrame::windowEventEnds()
{
    if (editor) editor->endEvent();
}

void CFrame::windowScaleChanged(double newScale)
{
    if (editor) editor->windowScaleChanged(newScale);
}

}  // namespace VSTGUI
