// The host-facing editor interface: what the dispatcher of AudioEffect calls for the
// editor opcodes. The toolkit's AEffGUIEditor derives from it.
#pragma once

#include "host/VstInterface.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect* getEffect() { return effect; }
    // Hands out the editor's rectangle; the default has none.
    virtual bool getRect(ERect** rect)
    {
        if (rect) *rect = nullptr;
        return false;
    }
    // ptr is the host's parent window (an X11 Window id on Linux).
    virtual bool open(void* ptr)
    {
        parentWindow = ptr;
        return false;
    }
    virtual void close() { parentWindow = nullptr; }
    virtual bool isOpen() { return parentWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(int /*mode*/) { return false; }
    // The host's scale for the panel: device pixels per panel pixel. False when not taken.
    virtual bool setScaleFactor(float /*scale*/) { return false; }

protected:
    AudioEffect* effect = nullptr;
    void* parentWindow = nullptr;
};
