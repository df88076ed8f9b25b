// The extended dispatcher (opcodes 25..79) and the extended host calls.
#include "host/AudioEffectX.h"

#include "host/AEffEditor.h"

namespace {

// The vendor-specific call by which hosts give the editor's scale: index and value are
// these two codes, the scale (1 for 96 dots per inch) is in opt.
constexpr int32_t kScaleIndex = fourCharCode('P', 'r', 'e', 'S');
constexpr int32_t kScaleValue = fourCharCode('A', 'e', 'C', 's');

// The low byte of a float the host sends, truncated toward zero; NaN and values beyond the
// int32 range read as 0 rather than being converted with undefined behaviour.
uint8_t lowByteOf(float value)
{
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(value) & 0xFF);
}

}  // namespace

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt)
{
    switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return 1;
    case effGetPlugCategory: return getPlugCategory();
    case effGetEffectName: return getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString: return getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString: return getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effCanDo: return canDo(static_cast<const char*>(ptr));
    case effGetVstVersion: return 2400;
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor) return 0;
        VstKeyCode key{index, static_cast<uint8_t>(value & 0xFF), lowByteOf(opt)};
        bool used = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        return used ? 1 : 0;
    }
    case effSetEditKnobMode:
        return editor && editor->setKnobMode(static_cast<int>(value)) ? 1 : 0;
    case effGetCurrentMidiProgram: return -1;
    case effGetSpeakerArrangement:
        // Both arguments are addresses of arrangement pointers: there is no arrangement.
        if (void** input = reinterpret_cast<void**>(value)) *input = nullptr;
        if (void** output = static_cast<void**>(ptr)) *output = nullptr;
        return 0;
    case effSetTotalSampleToProcess: return value;
    case effVendorSpecific:
        if (index != kScaleIndex || value != kScaleValue) return 0;
        return editor && editor->setScaleFactor(opt) ? 1 : 0;
    default: break;
    }
    if (opcode >= effProcessEvents && opcode <= effGetNumMidiOutputChannels) return 0;
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffectX::resume()
{
    if ((cEffect.flags & effFlagsIsSynth) || canHostDo("receiveVstMidiEvent") == 1) {
        wantEvents(1);
    }
}

VstPlugCategory AudioEffectX::getPlugCategory()
{
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter)
{
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

bool AudioEffectX::wantEvents(int32_t filter)
{
    return callHost(audioMasterWantMidi, 0, filter) != 0;
}

intptr_t AudioEffectX::canHostDo(const char* text)
{
    return callHost(audioMasterCanDo, 0, 0, const_cast<char*>(text));
}
