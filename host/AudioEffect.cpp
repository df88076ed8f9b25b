// The effect record's entries, the base dispatcher for opcodes 0..24 and the host calls.
#include "host/AudioEffect.h"

#include <cstring>

#include "host/AEffEditor.h"

namespace {

AudioEffect* objectOf(AEffect* effect)
{
    return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
}

extern "C" intptr_t dispatcherEntry(AEffect* effect, int32_t opcode, int32_t index,
                                    intptr_t value, void* ptr, float opt)
{
    AudioEffect* object = objectOf(effect);
    if (!object) return 0;
    intptr_t result = object->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        // The record lives inside the object, so it goes with it.
        delete object;
        return 1;
    }
    return result;
}

// The accumulating entries are deprecated; the instrument only ever writes its output.
extern "C" void processEntry(AEffect*, float**, float**, int32_t) {}
extern "C" void processDoubleEntry(AEffect*, double**, double**, int32_t) {}

extern "C" void processReplacingEntry(AEffect* effect, float** inputs, float** outputs,
                                      int32_t frames)
{
    if (AudioEffect* object = objectOf(effect)) object->processReplacing(inputs, outputs, frames);
}

extern "C" void setParameterEntry(AEffect* effect, int32_t index, float value)
{
    if (AudioEffect* object = objectOf(effect)) object->setParameter(index, value);
}

extern "C" float getParameterEntry(AEffect* effect, int32_t index)
{
    AudioEffect* object = objectOf(effect);
    return object ? object->getParameter(index) : 0.0f;
}

}  // namespace

void copyHostString(char* dest, const char* text, size_t bound)
{
    if (!dest || bound == 0) return;
    size_t length = text ? std::strlen(text) : 0;
    if (length > bound - 1) length = bound - 1;
    if (length > 0) std::memcpy(dest, text, length);
    dest[length] = '\0';
}

AudioEffect::AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms,
                         int32_t numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatcherEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
    cEffect.processDoubleReplacing = processDoubleEntry;
}

AudioEffect::~AudioEffect()
{
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    if (editor) {
        cEffect.flags |= effFlagsHasEditor;
    } else {
        cEffect.flags &= ~effFlagsHasEditor;
    }
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t /*index*/, intptr_t value, void* ptr,
                                 float opt)
{
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value < numPrograms) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName: copyHostString(static_cast<char*>(ptr), "", kHostNameBound); return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effIdentify: return fourCharCode('N', 'v', 'E', 'f');
    default: break;
    }
    if (!editor) return 0;
    switch (opcode) {
    case effEditGetRect:
        if (!ptr) return 0;
        return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen: return editor->open(ptr) ? 1 : 0;
    case effEditClose: editor->close(); return 0;
    case effEditIdle: editor->idle(); return 0;
    default: return 0;
    }
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(int32_t index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

void AudioEffect::beginEdit(int32_t index)
{
    callHost(audioMasterBeginEdit, index);
}

void AudioEffect::endEdit(int32_t index)
{
    callHost(audioMasterEndEdit, index);
}

bool AudioEffect::sizeWindow(int32_t width, int32_t height)
{
    return callHost(audioMasterSizeWindow, width, height) != 0;
}
