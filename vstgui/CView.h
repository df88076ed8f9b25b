// The view: a rectangle in its container that draws itself, takes mouse and key events and
// marks itself dirty when its look changes.
#pragma once

#include "host/VstInterface.h"
#include "platform/ChildWindow.h"
#include "vstgui/CBaseObject.h"
#include "vstgui/Geometry.h"

namespace VSTGUI {

class CBitmap;
class CDrawContext;
class CFrame;
class CViewContainer;
class VSTGUIEditorInterface;

// Mouse buttons and modifiers of a mouse event: the bits the platform's window reports.
enum ButtonState : int32_t {
    kLButton = platform::kPointerLeft,
    kMButton = platform::kPointerMiddle,
    kRButton = platform::kPointerRight,
    kShift = platform::kPointerShift,
    kControl = platform::kPointerControl,
    kAlt = platform::kPointerAlt,
    kButton4 = platform::kPointerButton4,
    kButton5 = platform::kPointerButton5,
    kDoubleClick = platform::kPointerDoubleClick,
};

enum MouseEventResult : int32_t {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled = 1,
    kMouseEventNotHandled = 2,
    // The view wants neither moves nor the release for this press.
    kMouseEventHandledNoMoveOrUp = 3,
};

enum CMouseWheelAxis : int32_t {
    kMouseWheelVertical,
    kMouseWheelHorizontal,
};

extern const char* const kMsgCheckIfViewContainer;
extern const char* const kMsgNewFocusView;
extern const char* const kMsgOldFocusView;

class CView : public CBaseObject
{
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);
    virtual void drawArea(CDrawContext* context, const CRect& updateRect);
    // True when rect meets the view.
    virtual bool checkUpdate(const CRect& rect) const { return size.rectOverlap(rect); }
    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool flag = true) { dirty = flag; }
    // rect is in the coordinates of the view's container.
    virtual void invalidateRect(const CRect& rect);
    virtual void invalidate();
    virtual void setVisible(bool state);
    bool isVisible() const { return visible; }

    // Points are in the coordinates of the view's container, like its size.
    virtual MouseEventResult mouseDown(CPoint& where, const int32_t& buttons);
    virtual MouseEventResult mouseUp(CPoint& where, const int32_t& buttons);
    virtual MouseEventResult mouseMoved(CPoint& where, const int32_t& buttons);
    virtual MouseEventResult mouseEntered(CPoint& where, const int32_t& buttons);
    virtual MouseEventResult mouseExited(CPoint& where, const int32_t& buttons);
    // All four edges belong to the view.
    virtual bool hitTest(const CPoint& where, const int32_t& buttons = -1);
    // The horizontal axis turns to the plain wheel with the distance negated.
    virtual bool onWheel(const CPoint& where, const CMouseWheelAxis& axis,
                         const float& distance, const int32_t& buttons);
    virtual bool onWheel(const CPoint& where, const float& distance, const int32_t& buttons);

    virtual void setMouseEnabled(bool state) { mouseEnabled = state; }
    virtual bool getMouseEnabled() const { return mouseEnabled; }
    virtual void setMouseableArea(const CRect& area) { mouseArea = area; }
    virtual const CRect& getMouseableArea() const { return mouseArea; }

    // -1 = not used.
    virtual int32_t keyDown(VstKeyCode& keyCode);
    virtual int32_t keyUp(VstKeyCode& keyCode);

    virtual void setViewSize(const CRect& rect, bool invalidate = true);
    virtual const CRect& getViewSize() const { return size; }
    // Conversions between frame coordinates and those of this view's container.
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;

    virtual void focusLost() {}
    virtual void focusGained() {}
    virtual void setTakesFocus(bool state) { takesFocusFlag = state; }
    virtual bool takesFocus() const { return takesFocusFlag; }

    virtual void setBackground(CBitmap* bitmap);
    virtual CBitmap* getBackground() const { return background; }
    virtual void setTransparency(bool state) { transparency = state; }
    virtual bool getTransparency() const { return transparency; }

    virtual bool detachFrom(CView* parent);
    virtual bool attachTo(CView* parent);
    bool isAttached() const { return inTree; }
    CFrame* getFrame() const { return ownerFrame; }
    CView* getParentView() const { return parentContainer; }
    virtual VSTGUIEditorInterface* getEditor() const;

    virtual bool hasClassName(const char* name) const;

protected:
    CRect size;
    CRect mouseArea;
    CFrame* ownerFrame = nullptr;
    CView* parentContainer = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparency = false;
    bool takesFocusFlag = false;
    bool inTree = false;
    bool visible = true;
    CBitmap* background = nullptr;
};

}  // namespace VSTGUI
