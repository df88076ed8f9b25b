// Controls: views that hold a value, tell a listener when the user changes it, and bracket
// each gesture with begin and end of edit.
#pragma once

#include "vstgui/CView.h"

namespace VSTGUI {

class CControl;

class CControlListener
{
public:
    virtual ~CControlListener() = default;
    virtual void onValueChange(CControl* control) = 0;
    // Non-zero consumes a press made with a modifier or a button other than the left.
    virtual int32_t modifierClicked(CControl* /*control*/, int32_t /*buttons*/) { return 0; }
    virtual void editStarted(CControl* /*control*/) {}
    virtual void editEnded(CControl* /*control*/) {}
};

class CControl : public CView
{
public:
    CControl(const CRect& size, CControlListener* listener, int32_t tag,
             CBitmap* background = nullptr);

    virtual void runIdleNow();
    // Does not clamp: only user gestures are held to the bounds.
    virtual void setValue(float newValue) { value = newValue; }
    virtual float getValue() const { return value; }
    virtual void setMin(float newMin) { minValue = newMin; }
    virtual float getMin() const { return minValue; }
    virtual void setMax(float newMax) { maxValue = newMax; }
    virtual float getMax() const { return maxValue; }
    virtual void setDrawnValue(float newValue) { drawnValue = newValue; }
    virtual float getDrawnValue() const { return drawnValue; }
    virtual void setDefaultValue(float newValue) { defaultValue = newValue; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void clampValue();
    // A click with exactly the left button and control sets the default value.
    virtual bool checkDefaultReset(int32_t buttons);
    virtual void setTag(int32_t newTag) { tag = newTag; }
    virtual int32_t getTag() const { return tag; }
    virtual void beginEdit();
    virtual void endEdit();
    virtual void setListener(CControlListener* newListener) { listener = newListener; }
    virtual CControlListener* getListener() const { return listener; }
    virtual void setBackgroundOffset(const CPoint& offset) { backgroundOffset = offset; }
    virtual void copyBackgroundOffset() { backgroundOffset = size.topLeft(); }
    virtual void setWheelStep(float step) { wheelStep = step; }
    virtual float getWheelStep() const { return wheelStep; }

    bool isDirty() const override;
    void setDirty(bool flag = true) override;
    bool hasClassName(const char* name) const override;

protected:
    // Tells the listener of a value that the user changed, inside its own edit bracket.
    void reportChange();

    CControlListener* listener;
    int32_t tag;
    float drawnValue = 1.0f;
    float defaultValue = 0.5f;
    float value = 0.0f;
    float minValue = 0.0f;
    float maxValue = 1.0f;
    float wheelStep = 0.1f;
    CPoint backgroundOffset;
};

}  // namespace VSTGUI
