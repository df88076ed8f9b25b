// Bitmap sliders.
#include "vstgui/CSlider.h"

#include <algorithm>
#include <cstring>

#include "vstgui/CBitmap.h"

namespace VSTGUI {

namespace {

// Truncates toward zero; a value set far outside its range (setValue does not clamp) must
// not overflow the conversion.
int32_t pixelPosition(int32_t travel, float fraction)
{
    const float position = static_cast<float>(travel) * fraction;
    if (!(position > -1e9f)) return -1000000000;
    return position < 1e9f ? static_cast<int32_t>(position) : 1000000000;
}

}  // namespace

CSlider::CSlider(const CRect& size, CControlListener* listener, int32_t tag,
                 int32_t minPosition, int32_t maxPosition, CBitmap* handle,
                 CBitmap* background, const CPoint& sourceOffset, int32_t style)
    : CControl(size, listener, tag, background),
      sourceOffset(sourceOffset),
      style(style),
      travel(maxPosition - minPosition),
      minOffset(minPosition - ((style & kVertical) ? size.top : size.left)),
      controlWidth(size.width()),
      controlHeight(size.height())
{
    if (handle) {
        handle->retain();
        handleBitmap = handle;
        handleWidth = handle->getWidth();
        handleHeight = handle->getHeight();
    }
    setHandleOffset(CPoint(0, 0));
    setTakesFocus(true);
}

CSlider::~CSlider()
{
    if (handleBitmap) handleBitmap->release();
}

void CSlider::setHandleOffset(const CPoint& offset)
{
    handleOffset = offset;
    handleMinEdge = minOffset + (isHorizontal() ? handleOffset.x : handleOffset.y);
    handleMaxEdge = handleMinEdge + travel + (isHorizontal() ? handleWidth : handleHeight);
}

void CSlider::setHandle(CBitmap* bitmap)
{
    if (bitmap) bitmap->retain();
    if (handleBitmap) handleBitmap->release();
    handleBitmap = bitmap;
    handleWidth = bitmap ? bitmap->getWidth() : 1;
    handleHeight = bitmap ? bitmap->getHeight() : 1;
}

float CSlider::travelFraction() const
{
    return (style & (kLeft | kTop)) ? value : 1.0f - value;
}

void CSlider::draw(CDrawContext* context)
{
    if (background) {
        const CRect area(size.left, size.top, size.left + controlWidth, size.top + controlHeight);
        if (transparency) {
            background->drawTransparent(context, area, sourceOffset);
        } else {
            background->draw(context, area, sourceOffset);
        }
    }
    const int32_t position = pixelPosition(travel, travelFraction());
    CRect handle;
    if (isHorizontal()) {
        handle.left = std::max(handleMinEdge, position + handleOffset.x);
        handle.right = std::min(handleMaxEdge, handle.left + handleWidth);
        handle.top = handleOffset.y;
        handle.bottom = handleOffset.y + handleHeight;
    } else {
        handle.left = handleOffset.x;
        handle.right = handleOffset.x + handleWidth;
        handle.top = std::max(handleMinEdge, position + handleOffset.y);
        handle.bottom = std::min(handleMaxEdge, handle.top + handleHeight);
    }
    handle.offset(size.left, size.top);
    if (handleBitmap) {
        if (transparentHandle) {
            handleBitmap->drawTransparent(context, handle);
        } else {
            handleBitmap->draw(context, handle);
        }
    }
    setDirty(false);
}

MouseEventResult CSlider::mouseDown(CPoint& where, const int32_t& buttons)
{
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    const bool horizontal = isHorizontal();
    dragOrigin = horizontal ? size.left + handleOffset.x : size.top + handleOffset.y;
    if (jumpOnClick) {
        // Centres the handle under the pointer.
        dragOrigin += (horizontal ? handleWidth : handleHeight) / 2 - 1;
    } else {
        // Only a press on the handle grabs it, and it keeps the grab point under the pointer.
        const int32_t leading = pixelPosition(travel, travelFraction());
        const int32_t along = horizontal ? where.x : where.y;
        const int32_t across = horizontal ? where.y : where.x;
        const int32_t start = leading + dragOrigin;
        const int32_t acrossStart =
            horizontal ? size.top + handleOffset.y : size.left + handleOffset.x;
        const int32_t length = horizontal ? handleWidth : handleHeight;
        const int32_t thickness = horizontal ? handleHeight : handleWidth;
        if (along < start || along > start + length || across < acrossStart ||
            across > acrossStart + thickness) {
            return kMouseEventNotHandled;
        }
        dragOrigin += along - start;
    }
    fineTuneAnchor = minValue - 1.0f;
    anchorButtons = buttons;
    beginEdit();
    if (checkDefaultReset(buttons)) {
        endEdit();
        return kMouseEventHandledNoMoveOrUp;
    }
    // A shift-click only takes hold: the value must not jump before fine-tuning starts.
    if (buttons & kShift) return kMouseEventHandled;
    return mouseMoved(where, buttons);
}

MouseEventResult CSlider::mouseMoved(CPoint& where, const int32_t& buttons)
{
    if (!(buttons & kLButton)) return kMouseEventHandled;
    const float range = maxValue - minValue;
    const float normalised = range != 0.0f ? (value - minValue) / range : 0.0f;
    if (fineTuneAnchor == minValue - 1.0f) fineTuneAnchor = normalised;
    if (buttons != anchorButtons) {
        fineTuneAnchor = normalised;
        if (buttons & kShift) anchorButtons = buttons;
    } else if (!(buttons & kShift)) {
        fineTuneAnchor = normalised;
    }

    // Images that failed to load leave no travel; a whole pixel then spans the range rather
    // than a division by zero producing a value that is not a number.
    const float length = travel != 0 ? static_cast<float>(travel) : 1.0f;
    float v = static_cast<float>((isHorizontal() ? where.x : where.y) - dragOrigin) / length;
    if (style & (kRight | kBottom)) v = 1.0f - v;
    if (buttons & kShift) v = fineTuneAnchor + (v - fineTuneAnchor) / fineTuneDivisor;
    value = minValue + v * range;
    clampValue();
    // The listener may move the value again, for instance onto a grid.
    if (isDirty() && listener) listener->onValueChange(this);
    if (isDirty()) invalidate();
    return kMouseEventHandled;
}

MouseEventResult CSlider::mouseUp(CPoint&, const int32_t&)
{
    endEdit();
    return kMouseEventHandled;
}

bool CSlider::onWheel(const CPoint&, const float& distance, const int32_t& buttons)
{
    if (!getMouseEnabled()) return false;
    value += (buttons & kShift) ? distance * 0.1f * wheelStep : distance * wheelStep;
    clampValue();
    reportChange();
    return true;
}

int32_t CSlider::keyDown(VstKeyCode& keyCode)
{
    float step;
    switch (keyCode.virt) {
    case kVstKeyLeft:
    case kVstKeyDown: step = -1.0f; break;
    case kVstKeyUp:
    case kVstKeyRight: step = 1.0f; break;
    default: return -1;
    }
    const bool fine = (keyCode.modifier & kVstModifierShift) != 0;
    value += fine ? step * 0.1f * wheelStep : step * wheelStep;
    clampValue();
    reportChange();
    return 1;
}

void CSlider::setViewSize(const CRect& rect, bool invalidate)
{
    CControl::setViewSize(rect, invalidate);
    controlWidth = rect.width();
    controlHeight = rect.height();
}

bool CSlider::hasClassName(const char* name) const
{
    return (name && std::strcmp(name, "CSlider") == 0) || CControl::hasClassName(name);
}

CHorizontalSlider::CHorizontalSlider(const CRect& size, CControlListener* listener, int32_t tag,
                                     int32_t minPosition, int32_t maxPosition, CBitmap* handle,
                                     CBitmap* background, const CPoint& sourceOffset,
                                     int32_t /*style*/)
    : CSlider(size, listener, tag, minPosition, maxPosition, handle, background, sourceOffset,
              kHorizontal | kLeft)
{
}

}  // namespace VSTGUI
