// Two-state bitmap buttons.
#include "vstgui/COnOffButton.h"

#include <cmath>
#include <cstring>

#include "vstgui/CBitmap.h"

namespace VSTGUI {

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, int32_t tag,
                           CBitmap* background, int32_t style)
    : CControl(size, listener, tag, background), style(style)
{
}

void COnOffButton::draw(CDrawContext* context)
{
    if (background) {
        const int32_t off = value != 0.0f ? background->getHeight() / 2 : 0;
        if (transparency) {
            background->drawTransparent(context, size, CPoint(0, off));
        } else {
            background->draw(context, size, CPoint(0, off));
        }
    }
    setDirty(false);
}

MouseEventResult COnOffButton::mouseDown(CPoint&, const int32_t& buttons)
{
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    // Anything that truncates to zero counts as off.
    value = std::trunc(value) != 0.0f ? 0.0f : 1.0f;
    invalidate();
    // Not reportChange: invalidate has just marked the new value as drawn.
    auto tellListener = [this] {
        if (!listener) return;
        beginEdit();
        listener->onValueChange(this);
        endEdit();
    };
    if (style == 1) tellListener();
    runIdleNow();
    if (style == 0) tellListener();
    return kMouseEventHandledNoMoveOrUp;
}

bool COnOffButton::hasClassName(const char* name) const
{
    return (name && std::strcmp(name, "COnOffButton") == 0) || CControl::hasClassName(name);
}

}  // namespace VSTGUI
