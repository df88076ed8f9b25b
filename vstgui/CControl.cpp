// The control base class.
#include "vstgui/CControl.h"

#include <cstring>

#include "vstgui/CFrame.h"

namespace VSTGUI {

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag,
                   CBitmap* background)
    : CView(size), listener(listener), tag(tag)
{
    setMouseEnabled(true);
    setTransparency(false);
    setBackground(background);
    setDirty(true);
}

void CControl::runIdleNow()
{
    if (ownerFrame) ownerFrame->runIdleNow();
}

void CControl::clampValue()
{
    if (value > maxValue) {
        value = maxValue;
    } else if (value < minValue) {
        value = minValue;
    }
}

bool CControl::checkDefaultReset(int32_t buttons)
{
    if (buttons != (kLButton | kControl)) return false;
    beginEdit();
    value = defaultValue;
    if (isDirty() && listener) listener->onValueChange(this);
    endEdit();
    return true;
}

void CControl::beginEdit()
{
    if (listener) listener->editStarted(this);
    if (ownerFrame) {
        ownerFrame->setFocus(this);
        ownerFrame->beginEdit(tag);
    }
}

void CControl::endEdit()
{
    if (ownerFrame) ownerFrame->endEdit(tag);
    if (listener) listener->editEnded(this);
}

void CControl::reportChange()
{
    if (!isDirty() || !listener) return;
    beginEdit();
    listener->onValueChange(this);
    endEdit();
}

bool CControl::isDirty() const
{
    return drawnValue != value || CView::isDirty();
}

void CControl::setDirty(bool flag)
{
    CView::setDirty(flag);
    if (flag) {
        // Anything but the value makes the dirty test hold until the next draw.
        drawnValue = value == -1.0f ? 0.0f : -1.0f;
    } else {
        drawnValue = value;
    }
}

bool CControl::hasClassName(const char* name) const
{
    return (name && std::strcmp(name, "CControl") == 0) || CView::hasClassName(name);
}

}  // namespace VSTGUI
