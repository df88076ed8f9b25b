// Containers: child ownership, drawing in order, mouse routing, focus walking.
#include "vstgui/CViewContainer.h"

#include <algorithm>
#include <cstring>

#include "vstgui/CBitmap.h"
#include "vstgui/CControl.h"
#include "vstgui/CDrawContext.h"
#include "vstgui/CFrame.h"

namespace VSTGUI {

namespace {

CPoint toLocal(const CPoint& where, const CRect& size)
{
    return CPoint(where.x - size.left, where.y - size.top);
}

}  // namespace

CViewContainer::CViewContainer(const CRect& size) : CView(size)
{
    setDirty(true);
}

CViewContainer::~CViewContainer()
{
    removeAll(true);
}

bool CViewContainer::addView(CView* view)
{
    return addView(view, nullptr);
}

bool CViewContainer::addView(CView* view, CView* before)
{
    if (!view || view->isAttached() || isChild(view)) return false;
    auto position = std::find(children.begin(), children.end(), before);
    children.insert(position, view);
    // The creator hands its reference over and does not release it; removal with release
    // drops that one as well as the container's own.
    view->retain();
    if (inTree) {
        view->attachTo(this);
        view->invalidate();
    }
    return true;
}

void CViewContainer::forgetView(CView* view)
{
    if (pressedView == view) pressedView = nullptr;
    if (ownerFrame && ownerFrame != view) ownerFrame->onViewRemoved(view);
}

bool CViewContainer::removeView(CView* view, bool withRelease)
{
    auto position = std::find(children.begin(), children.end(), view);
    if (!view || position == children.end()) return false;
    view->invalidate();
    forgetView(view);
    if (inTree) view->detachFrom(this);
    children.erase(position);
    if (withRelease) view->release();
    view->release();
    return true;
}

bool CViewContainer::removeAll(bool withRelease)
{
    while (!children.empty()) {
        CView* view = children.front();
        forgetView(view);
        if (inTree) view->detachFrom(this);
        children.erase(children.begin());
        if (withRelease) view->release();
        view->release();
    }
    return true;
}

bool CViewContainer::isChild(CView* view, bool deep) const
{
    for (CView* child : children) {
        if (child == view) return true;
        if (deep && child->notify(nullptr, kMsgCheckIfViewContainer) &&
            static_cast<CViewContainer*>(child)->isChild(view, true)) {
            return true;
        }
    }
    return false;
}

CView* CViewContainer::getView(int32_t index) const
{
    return index >= 0 && index < getNbViews() ? children[size_t(index)] : nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const
{
    const CPoint local = toLocal(where, size);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (!child->isVisible() || !child->getMouseableArea().pointInsideWithEdges(local)) {
            continue;
        }
        if (deep && child->notify(nullptr, kMsgCheckIfViewContainer)) {
            if (CView* inner = static_cast<CViewContainer*>(child)->getViewAt(local, true)) {
                return inner;
            }
        }
        return child;
    }
    return nullptr;
}

void CViewContainer::setBackgroundColour(const CColour& colour)
{
    backgroundColour = colour;
    setDirty(true);
}

void CViewContainer::draw(CDrawContext* context)
{
    drawArea(context, size);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect)
{
    if (background) {
        CRect whole(size.left, size.top, size.left + background->getWidth(),
                    size.top + background->getHeight());
        if (transparency) {
            background->drawTransparent(context, whole, backgroundOffset);
        } else {
            background->draw(context, whole, backgroundOffset);
        }
    } else if (!transparency || backgroundColour.alpha != 255) {
        context->setFillColour(backgroundColour);
        context->drawRectangle(rect, kDrawFilled);
    }
}

void CViewContainer::drawArea(CDrawContext* context, const CRect& updateRect)
{
    const CRect oldClip = context->getClipRect();
    CRect area = updateRect;
    area.bound(size);
    context->setClipRect(area);
    drawBackgroundRect(context, area);

    // Children live in the container's coordinates.
    const CPoint oldOffset = context->offset;
    context->offset.x += size.left;
    context->offset.y += size.top;
    area.offset(-size.left, -size.top);
    for (CView* child : children) {
        if (!child->isVisible() || !child->checkUpdate(area)) continue;
        CRect childClip = child->getViewSize();
        context->setClipRect(childClip.bound(area));
        child->drawArea(context, area);
    }
    context->offset = oldOffset;
    context->setClipRect(oldClip);
    setDirty(false);
}

void CViewContainer::redrawDirtyChildren()
{
    if (!visible) return;
    if (isDirty()) {
        invalidate();
        return;
    }
    for (CView* child : children) {
        if (!child->isVisible() || !child->isDirty()) continue;
        if (child->notify(nullptr, kMsgCheckIfViewContainer)) {
            static_cast<CViewContainer*>(child)->redrawDirtyChildren();
        } else {
            child->invalidate();
        }
    }
}

bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse)
{
    const auto count = static_cast<ptrdiff_t>(children.size());
    const auto found = std::find(children.begin(), children.end(), oldFocus);
    ptrdiff_t index;
    if (found == children.end()) {
        index = reverse ? count - 1 : 0;
    } else {
        index = (found - children.begin()) + (reverse ? -1 : 1);
    }
    for (; index >= 0 && index < count; index += reverse ? -1 : 1) {
        CView* child = children[size_t(index)];
        if (!child->isVisible()) continue;
        if (child->notify(nullptr, kMsgCheckIfViewContainer)) {
            if (static_cast<CViewContainer*>(child)->advanceNextFocusView(nullptr, reverse)) {
                return true;
            }
        } else if (child->takesFocus() && ownerFrame) {
            ownerFrame->setFocus(child);
            child->focusGained();
            return true;
        }
    }
    return false;
}

MouseEventResult CViewContainer::mouseDown(CPoint& where, const int32_t& buttons)
{
    CPoint local = toLocal(where, size);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (!child->isVisible() || !child->getMouseEnabled() || !child->hitTest(local, buttons)) {
            continue;
        }
        // A non-left button or any modifier is offered to the listener first.
        if (child->hasClassName("CControl") && (buttons & 0xFF) > 7) {
            auto* control = static_cast<CControl*>(child);
            CControlListener* listener = control->getListener();
            if (listener && listener->modifierClicked(control, buttons) != 0) {
                return kMouseEventHandled;
            }
        }
        const MouseEventResult result = child->mouseDown(local, buttons);
        if (result == kMouseEventHandled) pressedView = child;
        return result;
    }
    return kMouseEventNotHandled;
}

MouseEventResult CViewContainer::mouseUp(CPoint& where, const int32_t& buttons)
{
    if (!pressedView) return kMouseEventNotHandled;
    CPoint local = toLocal(where, size);
    CView* view = pressedView;
    pressedView = nullptr;
    view->mouseUp(local, buttons);
    return kMouseEventHandled;
}

MouseEventResult CViewContainer::mouseMoved(CPoint& where, const int32_t& buttons)
{
    if (!pressedView) return kMouseEventNotHandled;
    CPoint local = toLocal(where, size);
    const MouseEventResult result = pressedView->mouseMoved(local, buttons);
    if (result == kMouseEventHandled) return kMouseEventHandled;
    pressedView = nullptr;
    return result;
}

bool CViewContainer::onWheel(const CPoint& where, const CMouseWheelAxis& axis,
                             const float& distance, const int32_t& buttons)
{
    // A wheel turn during a drag would fight the drag.
    if (pressedView) return false;
    const CPoint local = toLocal(where, size);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (child->isVisible() && child->getMouseableArea().pointInsideWithEdges(local)) {
            return child->onWheel(local, axis, distance, buttons);
        }
    }
    return false;
}

bool CViewContainer::attachTo(CView* parent)
{
    if (!CView::attachTo(parent)) return false;
    for (CView* child : children) child->attachTo(this);
    return true;
}

bool CViewContainer::detachFrom(CView* parent)
{
    if (!inTree) return false;
    for (CView* child : children) child->detachFrom(this);
    return CView::detachFrom(parent);
}

int32_t CViewContainer::notify(CBaseObject* sender, const char* message)
{
    if (message == kMsgCheckIfViewContainer) return 1;
    return CView::notify(sender, message);
}

bool CViewContainer::hasClassName(const char* name) const
{
    return (name && std::strcmp(name, "CViewContainer") == 0) || CView::hasClassName(name);
}

}  // namespace VSTGUI
