// Bitmap sliders: a handle image moved along a background by dragging, the wheel or the
// arrow keys, with fine-tuning while shift is held.
#pragma once

#include "vstgui/CControl.h"

namespace VSTGUI {

enum CSliderStyle : int32_t {
    kHorizontal = 0x01,
    kVertical = 0x02,
    kLeft = 0x08,
    kRight = 0x10,
    kTop = 0x20,
    kBottom = 0x40,
};

class CSlider : public CControl
{
public:
    virtual void setTransparentHandle(bool state) { transparentHandle = state; }
    virtual void setJumpOnClick(bool state) { jumpOnClick = state; }
    virtual bool getJumpOnClick() const { return jumpOnClick; }
    virtual void setHandleOffset(const CPoint& offset);
    virtual CPoint getHandleOffset() const { return handleOffset; }
    virtual void setSourceOffset(const CPoint& offset) { sourceOffset = offset; }
    virtual CPoint getSourceOffset() const { return sourceOffset; }
    virtual int32_t getStyle() const { return style; }
    // Takes the new handle's size but keeps the clamp bounds of the old.
    virtual void setHandle(CBitmap* bitmap);
    virtual CBitmap* getHandle() const { return handleBitmap; }
    virtual void setFineTuneDivisor(float divisor) { fineTuneDivisor = divisor; }
    virtual float getFineTuneDivisor() const { return fineTuneDivisor; }

    void draw(CDrawContext* context) override;
    MouseEventResult mouseDown(CPoint& where, const int32_t& buttons) override;
    MouseEventResult mouseUp(CPoint& where, const int32_t& buttons) override;
    MouseEventResult mouseMoved(CPoint& where, const int32_t& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const int32_t& buttons) override;
    using CControl::onWheel;
    int32_t keyDown(VstKeyCode& keyCode) override;
    void setViewSize(const CRect& rect, bool invalidate = true) override;
    bool hasClassName(const char* name) const override;

protected:
    // minPosition and maxPosition: where the handle's leading edge sits at value 0 and 1, in
    // the coordinates of the slider's container.
    CSlider(const CRect& size, CControlListener* listener, int32_t tag, int32_t minPosition,
            int32_t maxPosition, CBitmap* handle, CBitmap* background,
            const CPoint& sourceOffset, int32_t style);
    ~CSlider() override;

private:
    bool isHorizontal() const { return (style & kVertical) == 0; }
    // The value as a fraction of the travel from the leading end.
    float travelFraction() const;

    CPoint sourceOffset;
    CPoint handleOffset;
    CBitmap* handleBitmap = nullptr;
    int32_t style;
    int32_t handleWidth = 1;
    int32_t handleHeight = 1;
    int32_t travel;
    int32_t handleMinEdge = 0;
    int32_t handleMaxEdge = 0;
    int32_t minOffset;
    int32_t controlWidth;
    int32_t controlHeight;
    float fineTuneDivisor = 10.0f;
    bool transparentHandle = true;
    bool jumpOnClick = true;
    // During a drag: the pixel position that corresponds to value 0.
    int32_t dragOrigin = 0;
    // The value (0..1) that shift fine-tuning is anchored at; minValue - 1 when not taken.
    float fineTuneAnchor = 0.0f;
    int32_t anchorButtons = 0;
};

// Grows to the right; the style argument is accepted for symmetry and ignored.
class CHorizontalSlider : public CSlider
{
public:
    CHorizontalSlider(const CRect& size, CControlListener* listener, int32_t tag,
                      int32_t minPosition, int32_t maxPosition, CBitmap* handle,
                      CBitmap* background, const CPoint& sourceOffset = CPoint(),
                      int32_t style = kLeft);
};

}  // namespace VSTGUI
