// A view holding child views: it owns them by reference, draws them in order over its
// background and routes mouse presses to the topmost child hit.
#pragma once

#include <vector>

#include "vstgui/CView.h"

namespace VSTGUI {

class CViewContainer : public CView
{
public:
    explicit CViewContainer(const CRect& size);
    ~CViewContainer() override;

    // Hands the caller's reference to the container; false for null or an attached view.
    virtual bool addView(CView* view);
    // Inserted in front of before (at the end when before is not a child).
    virtual bool addView(CView* view, CView* before);
    // withRelease drops the caller's reference too, as well as the container's.
    virtual bool removeView(CView* view, bool withRelease = true);
    virtual bool removeAll(bool withRelease = true);
    // deep: also inside child containers.
    virtual bool isChild(CView* view, bool deep = false) const;
    int32_t getNbViews() const { return static_cast<int32_t>(children.size()); }
    CView* getView(int32_t index) const;
    // The topmost visible child whose mouse area holds where (container coordinates); with
    // deep, the deepest such view.
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;

    void setBackgroundColour(const CColour& colour);
    CColour getBackgroundColour() const { return backgroundColour; }
    void setBackgroundOffset(const CPoint& offset) { backgroundOffset = offset; }

    void draw(CDrawContext* context) override;
    void drawArea(CDrawContext* context, const CRect& updateRect) override;
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    // Asks for the repaint of everything dirty underneath.
    virtual void redrawDirtyChildren();
    // Moves the focus to the next view that takes it (previous with reverse), starting after
    // oldFocus, or at the start when oldFocus is not a child. False when none is left.
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    MouseEventResult mouseDown(CPoint& where, const int32_t& buttons) override;
    MouseEventResult mouseUp(CPoint& where, const int32_t& buttons) override;
    MouseEventResult mouseMoved(CPoint& where, const int32_t& buttons) override;
    bool onWheel(const CPoint& where, const CMouseWheelAxis& axis, const float& distance,
                 const int32_t& buttons) override;
    using CView::onWheel;

    bool attachTo(CView* parent) override;
    bool detachFrom(CView* parent) override;
    int32_t notify(CBaseObject* sender, const char* message) override;
    bool hasClassName(const char* name) const override;

    // The child holding the current press, if any.
    CView* getPressedView() const { return pressedView; }

protected:
    // Forgets a view that leaves the tree, so that no stale pointer to it survives.
    void forgetView(CView* view);

    std::vector<CView*> children;
    CColour backgroundColour = kBlackColour;
    CPoint backgroundOffset;
    CView* pressedView = nullptr;
};

}  // namespace VSTGUI
