// The instrument's panel: layout, and the value flow between controls and parameters.
#include "editor/CPlektraGUI.h"

#include <algorithm>
#include <new>

#include "host/AudioEffect.h"
#include "resources/image-ids.h"
#include "vstgui/CBitmap.h"
#include "vstgui/COnOffButton.h"
#include "vstgui/CSlider.h"

using VSTGUI::CBitmap;
using VSTGUI::CControl;
using VSTGUI::CFrame;
using VSTGUI::CHorizontalSlider;
using VSTGUI::COnOffButton;
using VSTGUI::CRect;
using namespace images;  // the artwork's resource ids

namespace {

// Where the artwork puts each control, in frame pixels. Widths and heights come from the
// images, so that a control always covers exactly what its image draws.
constexpr int32_t kChordSelectorLeft = 48;
constexpr int32_t kButtonLeft = 480;
constexpr int32_t kButtonWidth = 24;
constexpr int32_t kShowChordTop = 0;
constexpr int32_t kResetTop = 16;
constexpr int32_t kSoundSetLeft = 36;
constexpr int32_t kSoundSetTop = 184;
constexpr int32_t kStringLeft = 24;
// String 0, the lowest-pitched, is the lowest row; each higher string one row up.
constexpr int32_t kLowestStringTop = 144;
constexpr int32_t kStringRowHeight = 16;

// Chord n travels as n x kChordStep and string position k as k x kPositionStep, the steps
// the instrument itself stores and reports.
constexpr int32_t kLastChord = ChordValues::kChordCount - 1;
constexpr int32_t kLastStringPosition = ChordValues::kLastPosition;
constexpr float kStringStep = ChordValues::kPositionStep;

// The nearest of positions 0..last. Sliders hold their values to 0..1; anything else still
// lands on a valid position.
int32_t quantise(float value, int32_t last)
{
    const float held = value > 0.0f ? std::min(value, 1.0f) : 0.0f;
    return static_cast<int32_t>(held * static_cast<float>(last) + 0.5f);
}

CRect area(int32_t left, int32_t top, int32_t width, int32_t height)
{
    CRect rect(left, top, left + width, top + height);
    return rect.normalize();
}

}  // namespace

CPlektraGUI::CPlektraGUI(AudioEffect* effect) : AEffGUIEditor(effect)
{
    loadImagesAndSize();
}

CPlektraGUI::CPlektraGUI(VSTGUI::InstrumentLink& instrument) : AEffGUIEditor(instrument)
{
    loadImagesAndSize();
}

// What both constructors share, whether the panel talks to an effect or to another link.
void CPlektraGUI::loadImagesAndSize()
{
    fretMarkerBitmap = new CBitmap(kFretMarkerImage);
    openStringBitmap = new CBitmap(kOpenStringImage);
    mutedStringBitmap = new CBitmap(kMutedStringImage);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = kHeight;
    rect.right = kWidth;
}

AEffEditor* CPlektraGUI::create(AudioEffect* effect)
{
    return new (std::nothrow) CPlektraGUI(effect);
}

CPlektraGUI::~CPlektraGUI()
{
    // The frame's controls report to this editor: they go while it is still whole.
    close();
    fretMarkerBitmap->release();
    openStringBitmap->release();
    mutedStringBitmap->release();
}

bool CPlektraGUI::open(void* parent)
{
    // A host that opens twice without closing must not leave the first panel behind.
    close();
    parentWindow = parent;
    frame = new CFrame(CRect(0, 0, kWidth, kHeight), parent, this, scaleForOpening(parent));

    // The image is taller than the frame, which shows its top rows.
    auto* background = new CBitmap(kBackgroundImage);
    frame->setBackground(background);
    background->release();

    auto* chordBackground = new CBitmap(kChordBackgroundImage);
    auto* chordHandle = new CBitmap(kChordHandleImage);
    chordSelector = new CHorizontalSlider(
        area(kChordSelectorLeft, 0, chordBackground->getWidth(), chordBackground->getHeight()),
        this, kChordSelectorTag, kChordSelectorLeft,
        kChordSelectorLeft + chordBackground->getWidth() - chordHandle->getWidth(), chordHandle,
        chordBackground);
    chordSelector->setValue(0.0f);
    frame->addView(chordSelector);
    chordBackground->release();
    chordHandle->release();

    auto* pushButton = new CBitmap(kPushButtonImage);
    const int32_t buttonHeight = pushButton->getHeight() / 2;
    showChordButton = new COnOffButton(area(kButtonLeft, kShowChordTop, kButtonWidth,
                                            buttonHeight),
                                       this, kShowChordTag, pushButton);
    showChordButton->setValue(1.0f);
    frame->addView(showChordButton);
    resetButton = new COnOffButton(area(kButtonLeft, kResetTop, kButtonWidth, buttonHeight),
                                   this, kResetTag, pushButton);
    resetButton->setValue(0.0f);
    frame->addView(resetButton);
    pushButton->release();

    // Opens showing the set in force, which the instrument reports on its parameter.
    auto* switchImage = new CBitmap(kSoundSetImage);
    soundSetSwitch = new COnOffButton(area(kSoundSetLeft, kSoundSetTop, switchImage->getWidth(),
                                           switchImage->getHeight() / 2),
                                      this, kSoundSetTag, switchImage);
    soundSetSwitch->setValue(instrument && instrument->getParameter(kSoundSetParameter) != 0.0f ? 1.0f
                                                                                          : 0.0f);
    frame->addView(soundSetSwitch);
    switchImage->release();

    auto* stringBackground = new CBitmap(kStringBackgroundImage);
    for (int32_t string = 0; string < kStringCount; ++string) {
        const int32_t top = kLowestStringTop - kStringRowHeight * string;
        const int32_t travelStart = kStringLeft;
        const int32_t travelEnd =
            kStringLeft + stringBackground->getWidth() - fretMarkerBitmap->getWidth();
        stringSliders[string] = new CHorizontalSlider(
            area(kStringLeft, top, stringBackground->getWidth(), stringBackground->getHeight()),
            this, kFirstStringTag + string, travelStart, travelEnd, fretMarkerBitmap,
            stringBackground);
        showStringValue(string, instrument ? instrument->getParameter(string) : 0.0f);
        frame->addView(stringSliders[string]);
    }
    stringBackground->release();
    return true;
}

void CPlektraGUI::close()
{
    releaseFrame();
    showChordButton = nullptr;
    resetButton = nullptr;
    soundSetSwitch = nullptr;
    chordSelector = nullptr;
    std::fill(std::begin(stringSliders), std::end(stringSliders), nullptr);
    // Forgetting the parent keeps isOpen truthful once the panel is gone.
    AEffEditor::close();
}

void CPlektraGUI::idle()
{
    if (!frame) return;
    AEffGUIEditor::idle();
    // A host may close the editor from inside the idle call it gets while a click is handled.
    if (!frame || !instrument || showChordButton->getValue() == 0.0f) return;
    // A string being dragged goes on editing the chord it began on, which stays shown until
    // the drag ends; the panel then catches up with the chord played.
    if (inGesture()) return;
    const float playing = instrument->getParameter(kSelectedChordParameter);
    if (chordSelector->getValue() == playing) return;
    chordSelector->setValue(playing);
    chordSelector->setDirty();
    showChord(quantise(playing, kLastChord));
}

void CPlektraGUI::showInstrumentValues()
{
    if (!frame || !instrument) return;
    showChord(shownChord());
    soundSetSwitch->setValue(instrument->getParameter(kSoundSetParameter) != 0.0f ? 1.0f : 0.0f);
    soundSetSwitch->setDirty();
}

// A host may close the editor when told of an edit, or before a button's click tells the
// panel (it idles the host first): the click the user made still writes its parameter, and
// only the showing of it is left out.
void CPlektraGUI::setParameter(int32_t tag, float value)
{
    if (!instrument) return;
    if (tag == kChordSelectorTag) {
        if (!frame) return;
        // Picking a chord only chooses what the fretboard shows and edits.
        const int32_t chord = quantise(value, kLastChord);
        chordSelector->setValue(static_cast<float>(chord) * kChordStep);
        showChord(chord);
    } else if (tag >= kFirstStringTag && tag < kFirstStringTag + kStringCount) {
        const int32_t string = tag - kFirstStringTag;
        // The parameter the string's gesture began on, though the chord shown may change.
        int32_t parameter = gestureParameter(tag);
        if (parameter < 0) {
            if (!frame) return;
            parameter = editParameter(tag);
        }
        const float position =
            static_cast<float>(quantise(value, kLastStringPosition)) * kStringStep;
        instrument->setParameterAutomated(parameter, position);
        // Also snaps the dragged handle onto the position written.
        if (frame) showStringValue(string, position);
    } else if (tag == kSoundSetTag) {
        instrument->setParameterAutomated(kSoundSetParameter, value);
        if (frame) soundSetSwitch->setDirty();
    } else if (tag == kResetTag) {
        // A push button: its on image shows from the click until the next redraw.
        if (frame) {
            resetButton->setValue(0.0f);
            resetButton->setDirty();
        }
        instrument->setParameterAutomated(kResetParameter, value);
    }
}

int32_t CPlektraGUI::shownChord() const
{
    return quantise(chordSelector->getValue(), kLastChord);
}

int32_t CPlektraGUI::editParameter(int32_t tag) const
{
    if (tag >= kFirstStringTag && tag < kFirstStringTag + kStringCount) {
        return chordSelector ? shownChord() * kStringCount + tag - kFirstStringTag : -1;
    }
    if (tag == kSoundSetTag) return kSoundSetParameter;
    if (tag == kResetTag) return kResetParameter;
    return -1;
}

void CPlektraGUI::onValueChange(CControl* control)
{
    setParameter(control->getTag(), control->getValue());
}

void CPlektraGUI::showStringValue(int32_t string, float value)
{
    CHorizontalSlider* slider = stringSliders[string];
    slider->setValue(value);
    if (value == 0.0f) {
        slider->setHandle(mutedStringBitmap);
    } else if (value == kStringStep) {
        slider->setHandle(openStringBitmap);
    } else {
        slider->setHandle(fretMarkerBitmap);
    }
    slider->setDirty();
}

void CPlektraGUI::showChord(int32_t chord)
{
    for (int32_t string = 0; string < kStringCount; ++string) {
        showStringValue(string, instrument->getParameter(chord * kStringCount + string));
    }
}
