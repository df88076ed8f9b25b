// The instrument's panel: chord buttons, a six-string fretboard, the sound-set switch, the
// show-chord and reset buttons, and the value flow between them and the host parameters.
#pragma once

#include <cstdint>

#include "host/PlektraParameters.h"
#include "vstgui/AEffGUIEditor.h"
#include "vstgui/CControl.h"

namespace VSTGUI {
class CBitmap;
class CHorizontalSlider;
class COnOffButton;
}  // namespace VSTGUI

class CPlektraGUI : public AEffGUIEditor, public VSTGUI::CControlListener
{
public:
    // Control tags. The buttons' tags are also the parameters they write or stand for.
    enum Tag : int32_t {
        kChordSelectorTag = 0,
        kFirstStringTag = 1,  // string s has tag 1 + s
        kShowChordTag = 73,
        kSoundSetTag = 75,
        kResetTag = 76,
    };
    static constexpr int32_t kStringCount = ChordValues::kStringCount;
    static constexpr int32_t kWidth = 529;
    static constexpr int32_t kHeight = 225;

    explicit CPlektraGUI(AudioEffect* effect);
    // The panel of a front end without an effect, reading and editing instrument.
    explicit CPlektraGUI(VSTGUI::InstrumentLink& instrument);
    // The instrument's editor factory: the panel for effect, null without memory for it.
    static AEffEditor* create(AudioEffect* effect);
    ~CPlektraGUI() override;

    // Builds the panel anew from the instrument's parameters in the host's parent window.
    bool open(void* parent) override;
    void close() override;
    // Redraws, then brings the panel to the chord being played while showChord is on.
    void idle() override;
    void setParameter(int32_t tag, float value) override;
    // Shows the shown chord's strings and the sound set as the instrument now holds them,
    // after a host changed them from outside the panel.
    void showInstrumentValues();
    void onValueChange(VSTGUI::CControl* control) override;

protected:
    // A string's gesture edits the chord shown when it begins; the chord selector and
    // show-chord write nothing.
    int32_t editParameter(int32_t tag) const override;

private:
    void showStringValue(int32_t string, float value);
    // The six strings of chord n as the instrument holds them.
    void showChord(int32_t chord);
    // The chord that the fretboard shows and edits.
    int32_t shownChord() const;

    VSTGUI::COnOffButton* showChordButton = nullptr;
    VSTGUI::COnOffButton* resetButton = nullptr;
    VSTGUI::COnOffButton* soundSetSwitch = nullptr;
    VSTGUI::CHorizontalSlider* chordSelector = nullptr;
    VSTGUI::CHorizontalSlider* stringSliders[kStringCount] = {};
    void loadImagesAndSize();

    // Live as long as the editor, so that switching a string's handle never decodes an image.
    VSTGUI::CBitmap* fretMarkerBitmap = nullptr;
    VSTGUI::CBitmap* openStringBitmap = nullptr;
    VSTGUI::CBitmap* mutedStringBitmap = nullptr;
};
