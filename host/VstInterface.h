// The binary interface between a VST 2.4 host and this module: the effect record,
// the event and time records the host hands over, and the opcode numbers of both
// directions. Field order and widths are fixed by the interface; the static_asserts
// below pin every offset for 32- and 64-bit builds, since a host reads these records
// by offset and any drift corrupts the exchange silently.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

extern "C" {
typedef intptr_t (*audioMasterCallback)(AEffect* effect, int32_t opcode, int32_t index,
                                        intptr_t value, void* ptr, float opt);
typedef intptr_t (*AEffectDispatcherProc)(AEffect* effect, int32_t opcode, int32_t index,
                                          intptr_t value, void* ptr, float opt);
typedef void (*AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
                                   int32_t sampleFrames);
typedef void (*AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                         int32_t sampleFrames);
typedef void (*AEffectSetParameterProc)(AEffect* effect, int32_t index, float parameter);
typedef float (*AEffectGetParameterProc)(AEffect* effect, int32_t index);
}

// Four-character codes, most significant byte first.
constexpr int32_t fourCharCode(char a, char b, char c, char d)
{
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P');

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // deprecated accumulating entry
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

enum VstAEffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Opcodes the host sends through the dispatcher entry.
enum AEffectOpcodes : int32_t {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,  // 25
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,  // 35
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,  // 40
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,  // 45
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,  // 50
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,  // 55
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,  // 60
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,  // 65
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,  // 70
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,  // 75
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,  // 79
};
static_assert(effProcessEvents == 25 && effGetPlugCategory == 35 && effGetEffectName == 45 &&
              effGetVstVersion == 58 && effSetEditKnobMode == 61 &&
              effGetNumMidiOutputChannels == 79, "opcode numbering");

// Opcodes this module sends through the host callback.
enum AudioMasterOpcodes : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterSizeWindow = 15,
    audioMasterCanDo = 37,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

enum VstPlugCategory : int32_t { kPlugCategUnknown = 0, kPlugCategEffect = 1, kPlugCategSynth = 2 };

enum VstEventTypes : int32_t { kVstMidiType = 1, kVstSysExType = 6 };

struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];  // the host allocates as many pointers as numEvents
};

struct VstMidiEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

enum VstTimeInfoFlags : int32_t {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

struct VstKeyCode {
    int32_t character;
    uint8_t virt;
    uint8_t modifier;
};

// Virtual key numbers and the modifier bit of the key records that the editor acts on.
enum VstVirtualKey : uint8_t {
    kVstKeyTab = 2,
    kVstKeyLeft = 11,
    kVstKeyUp = 12,
    kVstKeyRight = 13,
    kVstKeyDown = 14,
};
constexpr uint8_t kVstModifierShift = 0x01;

// ---- layout pins -------------------------------------------------------------------
namespace vst_layout {
constexpr bool wide = sizeof(void*) == 8;
constexpr size_t pick(size_t narrow, size_t wideValue) { return wide ? wideValue : narrow; }
}  // namespace vst_layout

static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "32- or 64-bit builds only");
static_assert(offsetof(AEffect, magic) == 0, "AEffect layout");
static_assert(offsetof(AEffect, dispatcher) == vst_layout::pick(4, 8), "AEffect layout");
static_assert(offsetof(AEffect, process) == vst_layout::pick(8, 16), "AEffect layout");
static_assert(offsetof(AEffect, setParameter) == vst_layout::pick(12, 24), "AEffect layout");
static_assert(offsetof(AEffect, getParameter) == vst_layout::pick(16, 32), "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == vst_layout::pick(20, 40), "AEffect layout");
static_assert(offsetof(AEffect, numParams) == vst_layout::pick(24, 44), "AEffect layout");
static_assert(offsetof(AEffect, numInputs) == vst_layout::pick(28, 48), "AEffect layout");
static_assert(offsetof(AEffect, numOutputs) == vst_layout::pick(32, 52), "AEffect layout");
static_assert(offsetof(AEffect, flags) == vst_layout::pick(36, 56), "AEffect layout");
static_assert(offsetof(AEffect, resvd1) == vst_layout::pick(40, 64), "AEffect layout");
static_assert(offsetof(AEffect, resvd2) == vst_layout::pick(44, 72), "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == vst_layout::pick(48, 80), "AEffect layout");
static_assert(offsetof(AEffect, realQualities) == vst_layout::pick(52, 84), "AEffect layout");
static_assert(offsetof(AEffect, offQualities) == vst_layout::pick(56, 88), "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == vst_layout::pick(60, 92), "AEffect layout");
static_assert(offsetof(AEffect, object) == vst_layout::pick(64, 96), "AEffect layout");
static_assert(offsetof(AEffect, user) == vst_layout::pick(68, 104), "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == vst_layout::pick(72, 112), "AEffect layout");
static_assert(offsetof(AEffect, version) == vst_layout::pick(76, 116), "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == vst_layout::pick(80, 120), "AEffect layout");
static_assert(offsetof(AEffect, processDoubleReplacing) == vst_layout::pick(84, 128),
              "AEffect layout");
static_assert(offsetof(AEffect, future) == vst_layout::pick(88, 136), "AEffect layout");
static_assert(sizeof(AEffect) == vst_layout::pick(144, 192), "AEffect size");

static_assert(offsetof(VstEvents, numEvents) == 0, "VstEvents layout");
static_assert(offsetof(VstEvents, reserved) == vst_layout::pick(4, 8), "VstEvents layout");
static_assert(offsetof(VstEvents, events) == vst_layout::pick(8, 16), "VstEvents layout");

static_assert(offsetof(VstEvent, type) == 0 && offsetof(VstEvent, byteSize) == 4 &&
              offsetof(VstEvent, deltaFrames) == 8 && offsetof(VstEvent, flags) == 12 &&
              offsetof(VstEvent, data) == 16 && sizeof(VstEvent) == 32, "VstEvent layout");

static_assert(offsetof(VstMidiEvent, type) == 0 && offsetof(VstMidiEvent, byteSize) == 4 &&
              offsetof(VstMidiEvent, deltaFrames) == 8 && offsetof(VstMidiEvent, flags) == 12 &&
              offsetof(VstMidiEvent, noteLength) == 16 &&
              offsetof(VstMidiEvent, noteOffset) == 20 &&
              offsetof(VstMidiEvent, midiData) == 24 && offsetof(VstMidiEvent, detune) == 28 &&
              offsetof(VstMidiEvent, noteOffVelocity) == 29 && sizeof(VstMidiEvent) == 32,
              "VstMidiEvent layout");

static_assert(offsetof(VstTimeInfo, samplePos) == 0 && offsetof(VstTimeInfo, sampleRate) == 8 &&
              offsetof(VstTimeInfo, nanoSeconds) == 16 && offsetof(VstTimeInfo, ppqPos) == 24 &&
              offsetof(VstTimeInfo, tempo) == 32 && offsetof(VstTimeInfo, barStartPos) == 40 &&
              offsetof(VstTimeInfo, cycleStartPos) == 48 &&
              offsetof(VstTimeInfo, cycleEndPos) == 56 &&
              offsetof(VstTimeInfo, timeSigNumerator) == 64 &&
              offsetof(VstTimeInfo, timeSigDenominator) == 68 &&
              offsetof(VstTimeInfo, smpteOffset) == 72 &&
              offsetof(VstTimeInfo, smpteFrameRate) == 76 &&
              offsetof(VstTimeInfo, samplesToNextClock) == 80 &&
              offsetof(VstTimeInfo, flags) == 84 && sizeof(VstTimeInfo) == 88,
              "VstTimeInfo layout");

static_assert(offsetof(ERect, top) == 0 && offsetof(ERect, left) == 2 &&
              offsetof(ERect, bottom) == 4 && offsetof(ERect, right) == 6 && sizeof(ERect) == 8,
              "ERect layout");
static_assert(offsetof(VstKeyCode, character) == 0 && offsetof(VstKeyCode, virt) == 4 &&
              offsetof(VstKeyCode, modifier) == 5, "VstKeyCode layout");
