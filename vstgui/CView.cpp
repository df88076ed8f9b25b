// The view base class.
#include "vstgui/CView.h"

#include <cstring>

#include "vstgui/CBitmap.h"
#include "vstgui/CFrame.h"

namespace VSTGUI {

const char* const kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";
const char* const kMsgNewFocusView = "kMsgNewFocusView";
const char* const kMsgOldFocusView = "kMsgOldFocusView";

CView::CView(const CRect& size) : size(size), mouseArea(size) {}

CView::~CView()
{
    if (background) background->release();
}

void CView::draw(CDrawContext* context)
{
    if (background) {
        if (transparency) {
            background->drawTransparent(context, size);
        } else {
            background->draw(context, size);
        }
    }
    setDirty(false);
}

void CView::drawArea(CDrawContext* context, const CRect& /*updateRect*/)
{
    draw(context);
}

void CView::invalidateRect(const CRect& rect)
{
    if (!inTree || !visible) return;
    if (parentContainer) {
        const CRect& parentSize = parentContainer->getViewSize();
        CRect inGrandparent = rect;
        parentContainer->invalidateRect(inGrandparent.offset(parentSize.left, parentSize.top));
    } else if (ownerFrame && ownerFrame != this) {
        ownerFrame->invalidateRect(rect);
    }
}

void CView::invalidate()
{
    setDirty(false);
    invalidateRect(size);
}

void CView::setVisible(bool state)
{
    if (visible == state) return;
    visible = state;
    setDirty(true);
}

MouseEventResult CView::mouseDown(CPoint&, const int32_t&)
{
    return kMouseEventNotImplemented;
}

MouseEventResult CView::mouseUp(CPoint&, const int32_t&)
{
    return kMouseEventNotImplemented;
}

MouseEventResult CView::mouseMoved(CPoint&, const int32_t&)
{
    return kMouseEventNotImplemented;
}

MouseEventResult CView::mouseEntered(CPoint&, const int32_t&)
{
    return kMouseEventNotImplemented;
}

MouseEventResult CView::mouseExited(CPoint&, const int32_t&)
{
    return kMouseEventNotImplemented;
}

bool CView::hitTest(const CPoint& where, const int32_t&)
{
    return mouseArea.pointInsideWithEdges(where);
}

bool CView::onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                    const int32_t& buttons)
{
    return onWheel(where, axis == kMouseWheelHorizontal ? -distance : distance, buttons);
}

bool CView::onWheel(const CPoint&, const float&, const int32_t&)
{
    return false;
}

int32_t CView::keyDown(VstKeyCode&)
{
    return -1;
}

int32_t CView::keyUp(VstKeyCode&)
{
    return -1;
}

void CView::setViewSize(const CRect& rect, bool invalidate)
{
    size = rect;
    if (invalidate) setDirty(true);
}

CPoint& CView::frameToLocal(CPoint& point) const
{
    if (parentContainer) {
        parentContainer->frameToLocal(point);
        const CRect& parentSize = parentContainer->getViewSize();
        point.x -= parentSize.left;
        point.y -= parentSize.top;
    }
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const
{
    if (parentContainer) {
        const CRect& parentSize = parentContainer->getViewSize();
        point.x += parentSize.left;
        point.y += parentSize.top;
        parentContainer->localToFrame(point);
    }
    return point;
}

void CView::setBackground(CBitmap* bitmap)
{
    if (bitmap) bitmap->retain();
    if (background) background->release();
    background = bitmap;
    setDirty(true);
}

bool CView::detachFrom(CView*)
{
    if (!inTree) return false;
    parentContainer = nullptr;
    ownerFrame = nullptr;
    inTree = false;
    return true;
}

bool CView::attachTo(CView* parent)
{
    if (inTree || !parent) return false;
    parentContainer = parent;
    ownerFrame = parent->getFrame();
    inTree = true;
    return true;
}

VSTGUIEditorInterface* CView::getEditor() const
{
    return ownerFrame ? ownerFrame->getEditor() : nullptr;
}

bool CView::hasClassName(const char* name) const
{
    return name && std::strcmp(name, "CView") == 0;
}

}  // namespace VSTGUI
