// The panel over the instrument: the VST parameter encoding the panel speaks, translated to
// the instrument's controls.
#include "instrumentpanel/InstrumentPanel.h"

#include <cmath>

#include "host/PlektraParameters.h"

namespace {

// The control a panel parameter edits, or kCount for one that is no control (the chord
// shown, which only selects what the fretboard shows).
uint32_t controlOf(int32_t index)
{
    if (index >= 0 && index < kChordParameterCount) {
        return controls::kFirstString + static_cast<uint32_t>(index);
    }
    if (index == kSoundSetParameter) return controls::kSoundSet;
    if (index == kResetParameter) return controls::kReset;
    return controls::kCount;
}

}  // namespace

InstrumentPanel::InstrumentPanel(Instrument& instrument, PanelEdits& edits)
    : instrument(instrument), edits(edits), panel(static_cast<VSTGUI::InstrumentLink&>(*this))
{
    for (uint32_t id = 0; id < shown.size(); ++id)
        shown[id] = instrument.value(id);
}

InstrumentPanel::~InstrumentPanel() { close(); }

bool InstrumentPanel::setScale(double scale)
{
    return scale >= 1.0 && scale <= 4.0 && panel.setScaleFactor(static_cast<float>(scale));
}

uint32_t InstrumentPanel::width()
{
    ERect* size = nullptr;
    panel.getRect(&size);
    return static_cast<uint32_t>(size->right - size->left);
}

uint32_t InstrumentPanel::height()
{
    ERect* size = nullptr;
    panel.getRect(&size);
    return static_cast<uint32_t>(size->bottom - size->top);
}

bool InstrumentPanel::open(uintptr_t parent)
{
    for (uint32_t id = 0; id < shown.size(); ++id)
        shown[id] = instrument.value(id);
    return panel.open(reinterpret_cast<void*>(parent));
}

bool InstrumentPanel::isOpen() const { return panel.getFrame() != nullptr; }

void InstrumentPanel::close()
{
    if (isOpen()) panel.close();
}

void InstrumentPanel::idle()
{
    if (!isOpen()) return;
    bool changed = false;
    for (uint32_t id = 0; id < shown.size(); ++id) {
        const float value = instrument.value(id);
        changed = changed || value != shown[id];
        shown[id] = value;
    }
    if (changed) panel.showInstrumentValues();
    panel.idle();
}

float InstrumentPanel::getParameter(int32_t index)
{
    if (index >= 0 && index < kChordParameterCount) {
        const float fret = instrument.value(controls::kFirstString + static_cast<uint32_t>(index));
        return controls::parameterOfFret(static_cast<int32_t>(fret));
    }
    if (index == kSoundSetParameter) return instrument.value(controls::kSoundSet);
    if (index == kSelectedChordParameter) {
        return instrument.value(controls::kPlayedChord) * kChordStep;
    }
    return 0.0f;
}

void InstrumentPanel::setParameterAutomated(int32_t index, float value)
{
    const uint32_t id = controlOf(index);
    if (id == controls::kCount || std::isnan(value)) return;
    float natural = 1.0f;  // a reset, whatever the value
    if (controls::isString(id)) {
        natural = static_cast<float>(controls::fretOfParameter(value));
    } else if (id == controls::kSoundSet) {
        natural = value != 0.0f ? 1.0f : 0.0f;
    }
    instrument.setValue(id, natural);
    if (id < shown.size()) shown[id] = natural;
    // A reset is an action, not a setting a host would keep.
    if (id != controls::kReset) edits.controlEdited(id, natural);
}

void InstrumentPanel::beginEdit(int32_t index)
{
    const uint32_t id = controlOf(index);
    if (id != controls::kCount) edits.editGesture(id, true);
}

void InstrumentPanel::endEdit(int32_t index)
{
    const uint32_t id = controlOf(index);
    if (id != controls::kCount) edits.editGesture(id, false);
}
