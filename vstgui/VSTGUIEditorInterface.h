// What the toolkit asks of the editor that owns a frame.
#pragma once

#include <cstdint>

namespace VSTGUI {

class CFrame;

class VSTGUIEditorInterface
{
public:
    // Redraw what is pending at once, during a click.
    virtual void runIdleNow() = 0;
    virtual int32_t getKnobMode() const = 0;
    // A user gesture on the control with this tag starts and ends.
    virtual void beginEdit(int32_t index) = 0;
    virtual void endEdit(int32_t index) = 0;
    // The frame handles an event that the window system delivered by itself; a close asked
    // meanwhile waits for the end, which may then release the frame.
    virtual void beginEvent() = 0;
    virtual void endEvent() = 0;
    // The window system asks the frame's window for another scale; the editor decides.
    virtual void windowScaleChanged(double /*scale*/) {}
    virtual ~VSTGUIEditorInterface() = default;

    CFrame* getFrame() const { return frame; }

protected:
    // Owned: exists only while the editor is open.
    CFrame* frame = nullptr;
};

}  // namespace VSTGUI
