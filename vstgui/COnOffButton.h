// A two-state button drawn from one image: the off state above, the on state below.
#pragma once

#include "vstgui/CControl.h"

namespace VSTGUI {

class COnOffButton : public CControl
{
public:
    // style 0 tells the listener after the click has been painted, 1 before.
    COnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                 int32_t style = 0);

    virtual int32_t getStyle() const { return style; }
    virtual void setStyle(int32_t newStyle) { style = newStyle; }

    void draw(CDrawContext* context) override;
    MouseEventResult mouseDown(CPoint& where, const int32_t& buttons) override;
    bool hasClassName(const char* name) const override;

private:
    int32_t style;
};

}  // namespace VSTGUI
