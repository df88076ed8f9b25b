// The instrument's panel for the editions that hold the instrument and its panel in one
// process (CLAP, VST3): the same CPlektraGUI as the VST editor and the LV2 UI, reading the
// instrument's values and editing them directly, and telling the edition of each edit so
// that it can tell its host. The edition drives it from the host's main thread.
#pragma once

#include <array>
#include <cstdint>

#include "editor/CPlektraGUI.h"
#include "instrument/Instrument.h"
#include "vstgui/InstrumentLink.h"

// What the edition does with the panel's edits: the values are already the instrument's.
class PanelEdits
{
public:
    // A control's new value in its own units, and the start and end of a drag.
    virtual void controlEdited(uint32_t id, float value) = 0;
    virtual void editGesture(uint32_t id, bool begins) = 0;

protected:
    ~PanelEdits() = default;
};

class InstrumentPanel final : private VSTGUI::InstrumentLink
{
public:
    InstrumentPanel(Instrument& instrument, PanelEdits& edits);
    InstrumentPanel(const InstrumentPanel&) = delete;
    InstrumentPanel& operator=(const InstrumentPanel&) = delete;
    ~InstrumentPanel();

    // A usable scale (1 to 4) the host asks for; false for any other.
    bool setScale(double scale);
    // The panel's size in device pixels at its scale.
    uint32_t width();
    uint32_t height();
    // Opens the panel as a child of the host's window (an X11 window id, an HWND).
    bool open(uintptr_t parent);
    bool isOpen() const;
    void close();
    // Handles the window's events, shows what changed in the instrument (a host's
    // automation, a state load, the chord being played) and repaints.
    void idle();

private:
    float getParameter(int32_t index) override;
    void setParameterAutomated(int32_t index, float value) override;
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    // The host drives the panel by its timer and needs no idle back.
    void masterIdle() override {}

    Instrument& instrument;
    PanelEdits& edits;
    CPlektraGUI panel;
    // The strings and sound set as the panel last showed them, to see a change from outside.
    std::array<float, controls::kSoundSet + 1> shown{};
};
