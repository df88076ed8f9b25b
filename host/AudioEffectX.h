// AudioEffectX: the extended opcodes 25..79 of the interface, the extended host calls, and a
// resume that asks the host for MIDI.
#pragma once

#include "host/AudioEffect.h"

class AudioEffectX : public AudioEffect
{
public:
    using AudioEffect::AudioEffect;

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) override;
    void resume() override;

    // Receives the host's events for the next block; the answer reaches the host.
    virtual int32_t processEvents(VstEvents* /*events*/) { return 0; }
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    // No capability text is recognised: 0 tells the host "don't know".
    virtual intptr_t canDo(const char* /*text*/) { return 0; }
    virtual VstPlugCategory getPlugCategory();

    // Host calls.
    VstTimeInfo* getTimeInfo(int32_t filter);
    bool wantEvents(int32_t filter = 1);
    intptr_t canHostDo(const char* text);
};
