// The editor adapter: connects the host's editor calls to a frame of toolkit views, and the
// toolkit's edit gestures and idle requests back to the instrument and the host.
#pragma once

#include <vector>

#include "host/AEffEditor.h"
#include "vstgui/CFrame.h"
#include "vstgui/InstrumentLink.h"
#include "vstgui/VSTGUIEditorInterface.h"

class AEffGUIEditor : public AEffEditor, public VSTGUI::VSTGUIEditorInterface
{
public:
    // Registers itself as the effect's editor, which owns it from then on; the effect is the
    // instrument the panel reads and edits.
    explicit AEffGUIEditor(AudioEffect* effect);
    // For a front end without an effect: the panel reads and edits instrument instead.
    explicit AEffGUIEditor(VSTGUI::InstrumentLink& instrument);
    ~AEffGUIEditor() override;

    // The panel's size in device pixels: rect at the scale the panel is shown at, or will
    // open at.
    bool getRect(ERect** rect) override;
    // Takes a usable scale from the host, which wins over every other; an open panel asks the
    // host for its new size and is redrawn at it, or stays as it is if the host refuses.
    bool setScaleFactor(float scale) override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    // The mode is shared by every editor of the toolkit.
    bool setKnobMode(int mode) override;

    // A control with this tag has a new value.
    virtual void setParameter(int32_t /*tag*/, float /*value*/) {}
    // Paints rect of the frame now; the whole frame when rect is null.
    virtual void draw(ERect* rect = nullptr);

    // Idles at most every 100 ms: a drag may ask for this on every mouse move, and each call
    // also lets the host idle.
    void runIdleNow() override;
    int32_t getKnobMode() const override;
    // A gesture on the control with this tag begins or ends. The host hears of the parameter
    // that editParameter names when the gesture begins; a nested begin and every end name
    // that same parameter, whatever the control shows meanwhile. A gesture that the closed
    // panel can no longer end (a drag whose mouse-up will never come) is ended when its
    // frame goes.
    void beginEdit(int32_t tag) override;
    void endEdit(int32_t tag) override;
    // An event that the window system delivered to the frame by itself: a close asked
    // during it is carried out when the outermost event ends.
    void beginEvent() override;
    void endEvent() override;
    void windowScaleChanged(double scale) override;

protected:
    // The scale a panel opening in parent is shown at: the first usable of the host's, the
    // window system's for parent, the user's (LYREVANE_SCALE) and the desktop's, else 1. If
    // the host was told another size, it is asked for this one, and if it refuses, the
    // panel keeps the size it was told.
    double scaleForOpening(void* parent);
    // Closing: releases the frame, or, while an event is being handled, hides it and releases
    // it once the handling has unwound. A host may close the editor from a callback made
    // during a click (idle, automation, begin or end of an edit), and the click's code is
    // still running in the frame's views: what it still does for the instrument (the rest of
    // its gesture, the parameter it writes) goes on, since the user made the click.
    // What the window system said of its window goes with it, and the next getRect reads
    // the scale anew.
    void releaseFrame();
    // The parameter that a gesture on the control with this tag writes; -1 for a control
    // that writes none, whose gestures the host does not hear of.
    virtual int32_t editParameter(int32_t tag) const { return tag; }
    // The parameter of the gesture going on at the control with this tag; -1 for none.
    int32_t gestureParameter(int32_t tag) const;
    // Whether a gesture is going on; panels keep showing what it edits until it ends.
    bool inGesture() const { return !gestures.empty(); }

    // The panel's size in panel pixels.
    ERect rect{};
    // The instrument as the panel sees it; null without one.
    VSTGUI::InstrumentLink* instrument;
    // Tick count in milliseconds before which runIdleNow does not idle again.
    uint32_t nextIdleTime;
    // Set while the host idles from inside runIdleNow, so that idle does not recurse.
    bool inHostIdle = false;

private:
    // The effect as an instrument link: what the VST editor adapter tells its instrument.
    class EffectLink : public VSTGUI::InstrumentLink
    {
    public:
        explicit EffectLink(AudioEffect* effect) : effect(effect) {}
        float getParameter(int32_t index) override;
        void setParameterAutomated(int32_t index, float value) override;
        void beginEdit(int32_t index) override;
        void endEdit(int32_t index) override;
        void masterIdle() override;
        bool sizeWindow(int32_t width, int32_t height) override;

    private:
        AudioEffect* effect;
    };

    // Makes each of the host's calls into the frame an event: idle, which handles the X11
    // window's events, and the keys.
    class EventScope
    {
    public:
        explicit EventScope(AEffGUIEditor& editor);
        ~EventScope();

    private:
        AEffGUIEditor& editor;
    };

    // Ends at the instrument every gesture still going on: their frames are gone.
    void endGestures();

    // A gesture the instrument has been told of: its control's tag, the parameter, and how
    // many begins (a control-click nests one in the click's) are still to be ended.
    struct Gesture
    {
        int32_t tag;
        int32_t parameter;
        int32_t depth;
    };

    double resolveScale(void* parent) const;
    // Asks the host for the size of the panel at scale; true when it took it.
    bool askHostForSize(double scale);
    // Brings the open panel to the scale its sources now give.
    void rescale();

    EffectLink effectLink;
    // The scales given by the host and, for the open panel's window, by the window system;
    // 0 for none.
    double hostScale = 0.0;
    double windowScale = 0.0;
    // The scale of the size getRect answers: the open panel's, or, while closed, the one it
    // told the host it would open at (0 until asked).
    double shownScale = 0.0;
    ERect scaledRect{};
    int32_t eventDepth = 0;
    // Closed during an event, waiting for it to unwind.
    std::vector<VSTGUI::CFrame*> closedFrames;
    std::vector<Gesture> gestures;
};
