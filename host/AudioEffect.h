// AudioEffect: owns the effect record the host holds, turns the host's opcodes 0..24 into
// virtual operations with their defaults, and makes the host calls of the plug-in side.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "host/VstInterface.h"

class AEffEditor;

class AudioEffect
{
public:
    AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();

    AEffect* getAeffect() { return &cEffect; }
    AEffEditor* getEditor() const { return editor; }
    // The editor registers itself here; the effect owns it from then on, and tells the host
    // whether it has one.
    void setEditor(AEffEditor* newEditor);

    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual int32_t getProgram() { return curProgram; }

    virtual void setParameter(int32_t /*index*/, float /*value*/) {}
    virtual float getParameter(int32_t /*index*/) { return 0.0f; }

    virtual void setSampleRate(float rate) { sampleRate.store(rate, std::memory_order_relaxed); }
    virtual void setBlockSize(int32_t size) { blockSize = size; }
    float getSampleRate() const { return sampleRate.load(std::memory_order_relaxed); }

    virtual void processReplacing(float** /*inputs*/, float** /*outputs*/, int32_t /*frames*/) {}

    // Host calls. Each is skipped, answering 0, when the host gave no callback.
    void setParameterAutomated(int32_t index, float value);
    void masterIdle();
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    // Asks the host to make the editor's window width x height; true when it did.
    bool sizeWindow(int32_t width, int32_t height);

protected:
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0,
                      void* ptr = nullptr, float opt = 0.0f);

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    // Set by the host on its user-interface thread, read by the audio thread once per block.
    std::atomic<float> sampleRate{44100.0f};
    int32_t blockSize = 1024;
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram = 0;
    AEffect cEffect;
};

// Copies text for the host: at most bound bytes in all, the terminating zero included, so a
// host buffer of exactly bound bytes is never overrun. A null destination is left alone.
void copyHostString(char* dest, const char* text, size_t bound);

// Bounds of the texts handed to the host: names, and vendor or product texts.
constexpr size_t kHostNameBound = 32;
constexpr size_t kHostTextBound = 64;
