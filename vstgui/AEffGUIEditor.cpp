// The editor adapter.
#include "vstgui/AEffGUIEditor.h"

#include "host/AudioEffect.h"
#include "platform/ChildWindow.h"
#include "platform/Clock.h"
#include "platform/Scale.h"

namespace {

// One user-interface thread: a plain value shared by all editors.
int32_t knobMode = 0;

// Tick counts wrap; their difference does not.
bool isBefore(uint32_t tick, uint32_t deadline)
{
    return static_cast<int32_t>(tick - deadline) < 0;
}

}  // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect)
    : AEffEditor(effect),
      instrument(effect ? &effectLink : nullptr),
      nextIdleTime(platform::tickCount()),
      effectLink(effect)
{
    if (effect) effect->setEditor(this);
}

AEffGUIEditor::AEffGUIEditor(VSTGUI::InstrumentLink& instrument)
    : AEffEditor(nullptr),
      instrument(&instrument),
      nextIdleTime(platform::tickCount()),
      effectLink(nullptr)
{
}

float AEffGUIEditor::EffectLink::getParameter(int32_t index)
{
    return effect->getParameter(index);
}

void AEffGUIEditor::EffectLink::setParameterAutomated(int32_t index, float value)
{
    effect->setParameterAutomated(index, value);
}

void AEffGUIEditor::EffectLink::beginEdit(int32_t index)
{
    effect->beginEdit(index);
}

void AEffGUIEditor::EffectLink::endEdit(int32_t index)
{
    effect->endEdit(index);
}

void AEffGUIEditor::EffectLink::masterIdle()
{
    effect->masterIdle();
}

bool AEffGUIEditor::EffectLink::sizeWindow(int32_t width, int32_t height)
{
    return effect->sizeWindow(width, height);
}

AEffGUIEditor::~AEffGUIEditor()
{
    // A host that destroys the instrument without closing its editor first must not leave
    // the window and its views behind, nor a parameter it still takes as being edited.
    if (frame) frame->release();
    frame = nullptr;
    for (VSTGUI::CFrame* closed : closedFrames) closed->release();
    endGestures();
}

AEffGUIEditor::EventScope::EventScope(AEffGUIEditor& editor) : editor(editor)
{
    editor.beginEvent();
}

AEffGUIEditor::EventScope::~EventScope()
{
    editor.endEvent();
}

void AEffGUIEditor::beginEvent()
{
    ++eventDepth;
}

void AEffGUIEditor::endEvent()
{
    if (--eventDepth > 0 || closedFrames.empty()) return;
    for (VSTGUI::CFrame* closed : closedFrames) closed->release();
    closedFrames.clear();
    endGestures();
}

void AEffGUIEditor::releaseFrame()
{
    if (!frame) return;
    windowScale = 0.0;
    shownScale = 0.0;
    if (eventDepth > 0) {
        frame->close();
        closedFrames.push_back(frame);
        frame = nullptr;
    } else {
        VSTGUI::CFrame* released = frame;
        frame = nullptr;
        released->release();
        endGestures();
    }
}

bool AEffGUIEditor::getRect(ERect** rectOut)
{
    // Read once while closed: the desktop's scale takes a round trip to the display.
    if (shownScale == 0.0) shownScale = resolveScale(nullptr);
    scaledRect.top = rect.top;
    scaledRect.left = rect.left;
    scaledRect.bottom = static_cast<int16_t>(
        rect.top + platform::scaledLength(rect.bottom - rect.top, shownScale));
    scaledRect.right = static_cast<int16_t>(
        rect.left + platform::scaledLength(rect.right - rect.left, shownScale));
    if (rectOut) *rectOut = &scaledRect;
    return true;
}

bool AEffGUIEditor::setScaleFactor(float scale)
{
    if (!platform::isUsableScale(scale)) return false;
    hostScale = scale;
    if (frame) {
        rescale();
    } else {
        shownScale = 0.0;  // the next getRect tells the new size
    }
    return true;
}

void AEffGUIEditor::windowScaleChanged(double scale)
{
    if (!platform::isUsableScale(scale)) return;
    windowScale = scale;
    if (frame) rescale();
}

double AEffGUIEditor::resolveScale(void* parent) const
{
    if (hostScale != 0.0) return hostScale;
    if (windowScale != 0.0) return windowScale;
    const double system = platform::ChildWindow::parentScale(reinterpret_cast<uintptr_t>(parent));
    if (platform::isUsableScale(system)) return system;
    const double user = platform::userScale();
    if (user != 0.0) return user;
    const double desktop = platform::ChildWindow::desktopScale();
    return desktop != 0.0 ? desktop : 1.0;
}

bool AEffGUIEditor::askHostForSize(double scale)
{
    return instrument &&
           instrument->sizeWindow(platform::scaledLength(rect.right - rect.left, scale),
                                  platform::scaledLength(rect.bottom - rect.top, scale));
}

double AEffGUIEditor::scaleForOpening(void* parent)
{
    const double scale = resolveScale(parent);
    const double told = shownScale;
    // A host that asks for the size again while being told the new one hears the new one.
    shownScale = scale;
    if (told != 0.0 && told != scale && !askHostForSize(scale)) shownScale = told;
    return shownScale;
}

void AEffGUIEditor::rescale()
{
    const double scale = resolveScale(parentWindow);
    const double shown = frame->getScale();
    if (scale == shown) return;
    shownScale = scale;
    // A host may close the editor while it resizes its window.
    const bool resized = askHostForSize(scale);
    if (!frame) return;
    if (!resized) {
        // Refused: the panel stays drawn whole at the size the host keeps.
        shownScale = shown;
        return;
    }
    frame->setScale(scale);
}

void AEffGUIEditor::idle()
{
    if (inHostIdle || !frame) return;
    EventScope scope(*this);
    frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode)
{
    if (!frame) return false;
    EventScope scope(*this);
    return frame->onKeyDown(keyCode) > 0;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode)
{
    if (!frame) return false;
    EventScope scope(*this);
    return frame->onKeyUp(keyCode) > 0;
}

bool AEffGUIEditor::setKnobMode(int mode)
{
    knobMode = mode;
    return true;
}

int32_t AEffGUIEditor::getKnobMode() const
{
    return knobMode;
}

void AEffGUIEditor::draw(ERect* area)
{
    if (!frame) return;
    VSTGUI::CRect r = frame->getViewSize();
    if (area) {
        r = VSTGUI::CRect(area->left, area->top, area->right, area->bottom);
        r.normalize();
    }
    frame->drawRect(r);
}

void AEffGUIEditor::runIdleNow()
{
    uint32_t now = platform::tickCount();
    if (isBefore(now, nextIdleTime)) {
        platform::sleepMs(4);
        now += 4;
        if (isBefore(now, nextIdleTime - 50)) return;
    }
    idle();
    if (frame) frame->paintPending();
    nextIdleTime = now + 100;
    if (instrument) {
        inHostIdle = true;
        instrument->masterIdle();
        inHostIdle = false;
    }
}

// Gestures come from the views of a frame, open or closed and still unwinding a click.
// Each is recorded before the instrument hears of it, since the host may close the editor
// from inside that call.
void AEffGUIEditor::beginEdit(int32_t tag)
{
    if (!instrument || (!frame && closedFrames.empty())) return;
    for (Gesture& gesture : gestures) {
        if (gesture.tag == tag) {
            ++gesture.depth;
            instrument->beginEdit(gesture.parameter);
            return;
        }
    }
    const int32_t parameter = editParameter(tag);
    if (parameter < 0) return;
    gestures.push_back({tag, parameter, 1});
    instrument->beginEdit(parameter);
}

void AEffGUIEditor::endEdit(int32_t tag)
{
    for (auto gesture = gestures.begin(); gesture != gestures.end(); ++gesture) {
        if (gesture->tag != tag) continue;
        const int32_t parameter = gesture->parameter;
        if (--gesture->depth == 0) gestures.erase(gesture);
        instrument->endEdit(parameter);
        return;
    }
}

int32_t AEffGUIEditor::gestureParameter(int32_t tag) const
{
    for (const Gesture& gesture : gestures) {
        if (gesture.tag == tag) return gesture.parameter;
    }
    return -1;
}

void AEffGUIEditor::endGestures()
{
    while (!gestures.empty()) {
        Gesture gesture = gestures.back();
        gestures.pop_back();
        while (gesture.depth-- > 0) instrument->endEdit(gesture.parameter);
    }
}
