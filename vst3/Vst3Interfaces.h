// The VST3 binary interface as far as Lyrevane and its test host use it, declared by us from
// the format's published facts: interface ids, the order of each interface's methods (the
// order of its virtual table), the layout of the structures passed through them, result
// codes and string types. Every interface is a C++ class of pure virtual methods with no
// destructor of its own, so that its virtual table is exactly the COM-style table the format
// defines: queryInterface, addRef, release, then its methods in order. Pointers to these
// classes cross between host and plug-in built by different compilers, so nothing here may
// change the layout: no data members in interfaces, no virtual destructors, no reordering.
#pragma once

#include <cstdint>
#include <cstring>

// The calling convention of every interface method and exported function: the COM
// convention, which differs from the default only on 32-bit Windows.
#if defined(_WIN32) && !defined(_WIN64)
#define LYREVANE_VST3_CALL __stdcall
#else
#define LYREVANE_VST3_CALL
#endif

namespace vst3 {

using Result = int32_t;
using Bool8 = uint8_t;
using Char16 = char16_t;
using String128 = Char16[128];  // titles and names, NUL-terminated UTF-16
using ParamId = uint32_t;
using ParamValue = double;  // normalised, 0 to 1
using UnitId = int32_t;
using ProgramListId = int32_t;
using SpeakerArrangement = uint64_t;  // one bit per speaker

// Result codes: on Windows the COM values, elsewhere small numbers. Success is 0 and "no"
// is 1 on both, which is why callers compare with kResultOk and never test for negatives.
#ifdef _WIN32
constexpr Result kNoInterface = static_cast<Result>(0x80004002u);
constexpr Result kInvalidArgument = static_cast<Result>(0x80070057u);
constexpr Result kNotImplemented = static_cast<Result>(0x80004001u);
constexpr Result kInternalError = static_cast<Result>(0x80004005u);
constexpr Result kNotInitialized = static_cast<Result>(0x8000FFFFu);
#else
constexpr Result kNoInterface = -1;
constexpr Result kInvalidArgument = 2;
constexpr Result kNotImplemented = 3;
constexpr Result kInternalError = 4;
constexpr Result kNotInitialized = 5;
#endif
constexpr Result kResultOk = 0;
constexpr Result kResultTrue = kResultOk;
constexpr Result kResultFalse = 1;

// A 16-byte interface or class id. The format writes ids as four 32-bit numbers; Windows
// builds lay out their bytes as a COM GUID (first number and the two halves of the second
// little-endian), all other systems in plain big-endian order.
struct Uid
{
    uint8_t bytes[16];

    static constexpr Uid of(uint32_t a, uint32_t b, uint32_t c, uint32_t d)
    {
#ifdef _WIN32
        return {{uint8_t(a), uint8_t(a >> 8), uint8_t(a >> 16), uint8_t(a >> 24), uint8_t(b >> 16),
                 uint8_t(b >> 24), uint8_t(b), uint8_t(b >> 8), uint8_t(c >> 24), uint8_t(c >> 16),
                 uint8_t(c >> 8), uint8_t(c), uint8_t(d >> 24), uint8_t(d >> 16), uint8_t(d >> 8),
                 uint8_t(d)}};
#else
        return {{uint8_t(a >> 24), uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a), uint8_t(b >> 24),
                 uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b), uint8_t(c >> 24), uint8_t(c >> 16),
                 uint8_t(c >> 8), uint8_t(c), uint8_t(d >> 24), uint8_t(d >> 16), uint8_t(d >> 8),
                 uint8_t(d)}};
#endif
    }
    // Ids travel as pointers to their 16 bytes (plain char pointers in the format).
    bool matches(const void* id) const { return id != nullptr && std::memcmp(bytes, id, 16) == 0; }
    const char* data() const { return reinterpret_cast<const char*>(bytes); }
};

// ---- The base of every interface -------------------------------------------------------

class Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
    virtual Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) = 0;
    virtual uint32_t LYREVANE_VST3_CALL addRef() = 0;
    virtual uint32_t LYREVANE_VST3_CALL release() = 0;

protected:
    ~Unknown() = default;
};

// A byte stream the host lends for state; reads and writes may move fewer bytes than asked.
class Stream : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
    enum SeekMode : int32_t { kSeekSet = 0, kSeekCurrent = 1, kSeekEnd = 2 };
    virtual Result LYREVANE_VST3_CALL read(void* buffer, int32_t bytes, int32_t* bytesRead) = 0;
    virtual Result LYREVANE_VST3_CALL write(void* buffer, int32_t bytes, int32_t* bytesWritten) = 0;
    virtual Result LYREVANE_VST3_CALL seek(int64_t position, int32_t mode, int64_t* result) = 0;
    virtual Result LYREVANE_VST3_CALL tell(int64_t* position) = 0;

protected:
    ~Stream() = default;
};

// Both component and controller are initialised with the host's context object.
class PluginBase : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
    virtual Result LYREVANE_VST3_CALL initialize(Unknown* hostContext) = 0;
    virtual Result LYREVANE_VST3_CALL terminate() = 0;

protected:
    ~PluginBase() = default;
};

// ---- The factory a module exports --------------------------------------------------------

struct FactoryInfo
{
    char vendor[64];
    char url[256];
    char email[128];
    int32_t flags;
    enum : int32_t { kUnicode = 1 << 4 };
};

constexpr int32_t kManyInstances = 0x7FFFFFFF;
// The categories of classes a host looks for.
constexpr const char* kAudioModuleClass = "Audio Module Class";
constexpr const char* kComponentControllerClass = "Component Controller Class";

struct ClassInfo
{
    uint8_t classId[16];
    int32_t cardinality;
    char category[32];
    char name[64];
};

struct ClassInfo2
{
    uint8_t classId[16];
    int32_t cardinality;
    char category[32];
    char name[64];
    uint32_t classFlags;
    char subCategories[128];  // '|'-separated
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

class PluginFactory : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
    virtual Result LYREVANE_VST3_CALL getFactoryInfo(FactoryInfo* info) = 0;
    virtual int32_t LYREVANE_VST3_CALL countClasses() = 0;
    virtual Result LYREVANE_VST3_CALL getClassInfo(int32_t index, ClassInfo* info) = 0;
    virtual Result LYREVANE_VST3_CALL createInstance(const char* classId, const char* iid,
                                                     void** object) = 0;

protected:
    ~PluginFactory() = default;
};

class PluginFactory2 : public PluginFactory
{
public:
    static constexpr Uid iid = Uid::of(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
    virtual Result LYREVANE_VST3_CALL getClassInfo2(int32_t index, ClassInfo2* info) = 0;

protected:
    ~PluginFactory2() = default;
};

// The exported entry points, by name.
constexpr const char* kFactoryEntry = "GetPluginFactory";
using GetFactoryFunction = PluginFactory*(LYREVANE_VST3_CALL*)();
#ifdef _WIN32
constexpr const char* kModuleEntry = "InitDll";
constexpr const char* kModuleExit = "ExitDll";
using ModuleEntryFunction = bool(LYREVANE_VST3_CALL*)();
#else
constexpr const char* kModuleEntry = "ModuleEntry";
constexpr const char* kModuleExit = "ModuleExit";
using ModuleEntryFunction = bool(LYREVANE_VST3_CALL*)(void* moduleHandle);
#endif
using ModuleExitFunction = bool(LYREVANE_VST3_CALL*)();

// ---- The processing component -------------------------------------------------------------

enum MediaType : int32_t { kAudio = 0, kEvent = 1 };
enum BusDirection : int32_t { kInput = 0, kOutput = 1 };
enum BusType : int32_t { kMainBus = 0, kAuxBus = 1 };

struct BusInfo
{
    int32_t mediaType;
    int32_t direction;
    int32_t channelCount;
    String128 name;
    int32_t busType;
    uint32_t flags;
    enum : uint32_t { kDefaultActive = 1 << 0, kIsControlVoltage = 1 << 1 };
};

struct RoutingInfo
{
    int32_t mediaType;
    int32_t busIndex;
    int32_t channel;
};

class Component : public PluginBase
{
public:
    static constexpr Uid iid = Uid::of(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
    virtual Result LYREVANE_VST3_CALL getControllerClassId(uint8_t classId[16]) = 0;
    virtual Result LYREVANE_VST3_CALL setIoMode(int32_t mode) = 0;
    virtual int32_t LYREVANE_VST3_CALL getBusCount(int32_t type, int32_t direction) = 0;
    virtual Result LYREVANE_VST3_CALL getBusInfo(int32_t type, int32_t direction, int32_t index,
                                                 BusInfo& info) = 0;
    virtual Result LYREVANE_VST3_CALL getRoutingInfo(RoutingInfo& in, RoutingInfo& out) = 0;
    virtual Result LYREVANE_VST3_CALL activateBus(int32_t type, int32_t direction, int32_t index,
                                                  Bool8 state) = 0;
    virtual Result LYREVANE_VST3_CALL setActive(Bool8 state) = 0;
    virtual Result LYREVANE_VST3_CALL setState(Stream* state) = 0;
    virtual Result LYREVANE_VST3_CALL getState(Stream* state) = 0;

protected:
    ~Component() = default;
};

constexpr SpeakerArrangement kSpeakerLeft = 1 << 0;
constexpr SpeakerArrangement kSpeakerRight = 1 << 1;
constexpr SpeakerArrangement kStereo = kSpeakerLeft | kSpeakerRight;

enum ProcessMode : int32_t { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum SampleSize : int32_t { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup
{
    int32_t processMode;
    int32_t sampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers
{
    int32_t channelCount;
    uint64_t silenceFlags;  // one bit per channel known to be silent
    union {
        float** channels32;
        double** channels64;
    };
};

// One note-on, note-off or other event of a block.
struct NoteOnEvent
{
    int16_t channel;
    int16_t pitch;   // MIDI key number
    float tuning;    // cents
    float velocity;  // 0 to 1
    int32_t length;
    int32_t noteId;  // -1 when the host gives none
};

struct NoteOffEvent
{
    int16_t channel;
    int16_t pitch;
    float velocity;
    int32_t noteId;
    float tuning;
};

struct DataEvent
{
    uint32_t size;
    uint32_t type;
    const uint8_t* bytes;
};

struct PolyPressureEvent
{
    int16_t channel;
    int16_t pitch;
    float pressure;
    int32_t noteId;
};

// The largest member of the event union, which fixes its size.
struct NoteExpressionTextEvent
{
    uint32_t typeId;
    int32_t noteId;
    uint32_t textLength;
    const Char16* text;
};

struct Event
{
    int32_t busIndex;
    int32_t sampleOffset;
    double ppqPosition;  // in quarter notes
    uint16_t flags;
    uint16_t type;
    union {
        NoteOnEvent noteOn;
        NoteOffEvent noteOff;
        DataEvent data;
        PolyPressureEvent polyPressure;
        NoteExpressionTextEvent noteExpressionText;
    };
    enum : uint16_t { kNoteOn = 0, kNoteOff = 1, kData = 2, kPolyPressure = 3 };
    enum : uint16_t { kIsLive = 1 << 0 };
};

class EventList : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
    virtual int32_t LYREVANE_VST3_CALL getEventCount() = 0;
    virtual Result LYREVANE_VST3_CALL getEvent(int32_t index, Event& event) = 0;
    virtual Result LYREVANE_VST3_CALL addEvent(Event& event) = 0;

protected:
    ~EventList() = default;
};

// The points of one parameter's automation within a block.
class ParamValueQueue : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
    virtual ParamId LYREVANE_VST3_CALL getParameterId() = 0;
    virtual int32_t LYREVANE_VST3_CALL getPointCount() = 0;
    virtual Result LYREVANE_VST3_CALL getPoint(int32_t index, int32_t& sampleOffset,
                                               ParamValue& value) = 0;
    virtual Result LYREVANE_VST3_CALL addPoint(int32_t sampleOffset, ParamValue value,
                                               int32_t& index) = 0;

protected:
    ~ParamValueQueue() = default;
};

class ParameterChanges : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
    virtual int32_t LYREVANE_VST3_CALL getParameterCount() = 0;
    virtual ParamValueQueue* LYREVANE_VST3_CALL getParameterData(int32_t index) = 0;
    virtual ParamValueQueue* LYREVANE_VST3_CALL addParameterData(const ParamId& id,
                                                                 int32_t& index) = 0;

protected:
    ~ParameterChanges() = default;
};

// Where the host's transport stands at the block's first sample; each field counts only
// when its flag is set in state.
struct ProcessContext
{
    uint32_t state;
    double sampleRate;
    int64_t projectTimeSamples;
    int64_t systemTime;  // nanoseconds
    int64_t continuousTimeSamples;
    double projectTimeMusic;  // quarter notes
    double barPositionMusic;  // quarter notes at the last bar's start
    double cycleStartMusic;
    double cycleEndMusic;
    double tempo;  // quarter notes per minute
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    struct
    {
        uint8_t keyNote;
        uint8_t rootNote;
        int16_t chordMask;
    } chord;
    int32_t smpteOffsetSubframes;
    struct
    {
        uint32_t framesPerSecond;
        uint32_t flags;
    } frameRate;
    int32_t samplesToNextClock;

    enum : uint32_t {
        kPlaying = 1 << 1,
        kCycleActive = 1 << 2,
        kRecording = 1 << 3,
        kSystemTimeValid = 1 << 8,
        kProjectTimeMusicValid = 1 << 9,
        kTempoValid = 1 << 10,
        kBarPositionValid = 1 << 11,
        kCycleValid = 1 << 12,
        kTimeSigValid = 1 << 13,
        kContinuousTimeValid = 1 << 17,
    };
};

struct ProcessData
{
    int32_t processMode;
    int32_t sampleSize;
    int32_t sampleCount;
    int32_t inputCount;  // audio buses
    int32_t outputCount;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    ParameterChanges* inputParameterChanges;
    ParameterChanges* outputParameterChanges;
    EventList* inputEvents;
    EventList* outputEvents;
    ProcessContext* processContext;
};

class AudioProcessor : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
    virtual Result LYREVANE_VST3_CALL setBusArrangements(SpeakerArrangement* inputs,
                                                         int32_t inputCount,
                                                         SpeakerArrangement* outputs,
                                                         int32_t outputCount) = 0;
    virtual Result LYREVANE_VST3_CALL getBusArrangement(int32_t direction, int32_t index,
                                                        SpeakerArrangement& arrangement) = 0;
    virtual Result LYREVANE_VST3_CALL canProcessSampleSize(int32_t sampleSize) = 0;
    virtual uint32_t LYREVANE_VST3_CALL getLatencySamples() = 0;
    virtual Result LYREVANE_VST3_CALL setupProcessing(ProcessSetup& setup) = 0;
    virtual Result LYREVANE_VST3_CALL setProcessing(Bool8 state) = 0;
    virtual Result LYREVANE_VST3_CALL process(ProcessData& data) = 0;
    virtual uint32_t LYREVANE_VST3_CALL getTailSamples() = 0;

protected:
    ~AudioProcessor() = default;
};

// ---- The edit controller -------------------------------------------------------------------

struct ParameterInfo
{
    ParamId id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32_t stepCount;  // 0: continuous; n: n + 1 values
    ParamValue defaultNormalizedValue;
    UnitId unitId;
    int32_t flags;
    enum : int32_t {
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16,
    };
};

// The host's side of the controller: edits from the panel, and requests to re-read.
class ComponentHandler : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
    virtual Result LYREVANE_VST3_CALL beginEdit(ParamId id) = 0;
    virtual Result LYREVANE_VST3_CALL performEdit(ParamId id, ParamValue value) = 0;
    virtual Result LYREVANE_VST3_CALL endEdit(ParamId id) = 0;
    virtual Result LYREVANE_VST3_CALL restartComponent(int32_t flags) = 0;
    enum : int32_t {
        kReloadComponent = 1 << 0,
        kIoChanged = 1 << 1,
        kParamValuesChanged = 1 << 2,
        kLatencyChanged = 1 << 3,
        kParamTitlesChanged = 1 << 4,
    };

protected:
    ~ComponentHandler() = default;
};

class PlugView;

class EditController : public PluginBase
{
public:
    static constexpr Uid iid = Uid::of(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
    virtual Result LYREVANE_VST3_CALL setComponentState(Stream* state) = 0;
    virtual Result LYREVANE_VST3_CALL setState(Stream* state) = 0;
    virtual Result LYREVANE_VST3_CALL getState(Stream* state) = 0;
    virtual int32_t LYREVANE_VST3_CALL getParameterCount() = 0;
    virtual Result LYREVANE_VST3_CALL getParameterInfo(int32_t index, ParameterInfo& info) = 0;
    virtual Result LYREVANE_VST3_CALL getParamStringByValue(ParamId id, ParamValue value,
                                                            String128 text) = 0;
    virtual Result LYREVANE_VST3_CALL getParamValueByString(ParamId id, Char16* text,
                                                            ParamValue& value) = 0;
    virtual ParamValue LYREVANE_VST3_CALL normalizedParamToPlain(ParamId id, ParamValue value) = 0;
    virtual ParamValue LYREVANE_VST3_CALL plainParamToNormalized(ParamId id, ParamValue plain) = 0;
    virtual ParamValue LYREVANE_VST3_CALL getParamNormalized(ParamId id) = 0;
    virtual Result LYREVANE_VST3_CALL setParamNormalized(ParamId id, ParamValue value) = 0;
    virtual Result LYREVANE_VST3_CALL setComponentHandler(ComponentHandler* handler) = 0;
    virtual PlugView* LYREVANE_VST3_CALL createView(const char* name) = 0;

protected:
    ~EditController() = default;
};

// MIDI controllers, pitch bend among them, reach a plug-in only as parameters it names here.
class MidiMapping : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
    enum : int16_t { kAfterTouch = 128, kPitchBend = 129 };
    virtual Result LYREVANE_VST3_CALL getMidiControllerAssignment(int32_t busIndex, int16_t channel,
                                                                  int16_t controller,
                                                                  ParamId& id) = 0;

protected:
    ~MidiMapping() = default;
};

struct UnitInfo
{
    UnitId id;
    UnitId parentUnitId;
    String128 name;
    ProgramListId programListId;
    enum : int32_t { kRootUnit = 0, kNoParentUnit = -1, kNoProgramList = -1 };
};

struct ProgramListInfo
{
    ProgramListId id;
    String128 name;
    int32_t programCount;
};

// Groups of parameters, and the program list with its names and its key names.
class UnitInformation : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
    virtual int32_t LYREVANE_VST3_CALL getUnitCount() = 0;
    virtual Result LYREVANE_VST3_CALL getUnitInfo(int32_t index, UnitInfo& info) = 0;
    virtual int32_t LYREVANE_VST3_CALL getProgramListCount() = 0;
    virtual Result LYREVANE_VST3_CALL getProgramListInfo(int32_t index, ProgramListInfo& info) = 0;
    virtual Result LYREVANE_VST3_CALL getProgramName(ProgramListId list, int32_t program,
                                                     String128 name) = 0;
    virtual Result LYREVANE_VST3_CALL getProgramInfo(ProgramListId list, int32_t program,
                                                     const char* attribute, String128 value) = 0;
    virtual Result LYREVANE_VST3_CALL hasProgramPitchNames(ProgramListId list, int32_t program) = 0;
    virtual Result LYREVANE_VST3_CALL getProgramPitchName(ProgramListId list, int32_t program,
                                                          int16_t pitch, String128 name) = 0;
    virtual UnitId LYREVANE_VST3_CALL getSelectedUnit() = 0;
    virtual Result LYREVANE_VST3_CALL selectUnit(UnitId unit) = 0;
    virtual Result LYREVANE_VST3_CALL getUnitByBus(int32_t type, int32_t direction,
                                                   int32_t busIndex, int32_t channel,
                                                   UnitId& unit) = 0;
    virtual Result LYREVANE_VST3_CALL setUnitProgramData(int32_t listOrUnit, int32_t program,
                                                         Stream* data) = 0;

protected:
    ~UnitInformation() = default;
};

// ---- What a host offers its plug-ins -------------------------------------------------------

class HostApplication : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
    virtual Result LYREVANE_VST3_CALL getName(String128 name) = 0;
    virtual Result LYREVANE_VST3_CALL createInstance(uint8_t classId[16], uint8_t iid[16],
                                                     void** object) = 0;

protected:
    ~HostApplication() = default;
};

class Message;

// Component and controller of a two-class plug-in talk through a pair of these.
class ConnectionPoint : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
    virtual Result LYREVANE_VST3_CALL connect(ConnectionPoint* other) = 0;
    virtual Result LYREVANE_VST3_CALL disconnect(ConnectionPoint* other) = 0;
    virtual Result LYREVANE_VST3_CALL notify(Message* message) = 0;

protected:
    ~ConnectionPoint() = default;
};

// ---- The panel --------------------------------------------------------------------------

constexpr const char* kPlatformX11 = "X11EmbedWindowID";
constexpr const char* kPlatformHwnd = "HWND";

struct ViewRect
{
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class PlugFrame;

class PlugView : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
    virtual Result LYREVANE_VST3_CALL isPlatformTypeSupported(const char* type) = 0;
    virtual Result LYREVANE_VST3_CALL attached(void* parent, const char* type) = 0;
    virtual Result LYREVANE_VST3_CALL removed() = 0;
    virtual Result LYREVANE_VST3_CALL onWheel(float distance) = 0;
    virtual Result LYREVANE_VST3_CALL onKeyDown(Char16 key, int16_t keyCode, int16_t modifiers) = 0;
    virtual Result LYREVANE_VST3_CALL onKeyUp(Char16 key, int16_t keyCode, int16_t modifiers) = 0;
    virtual Result LYREVANE_VST3_CALL getSize(ViewRect* size) = 0;
    virtual Result LYREVANE_VST3_CALL onSize(ViewRect* size) = 0;
    virtual Result LYREVANE_VST3_CALL onFocus(Bool8 focused) = 0;
    virtual Result LYREVANE_VST3_CALL setFrame(PlugFrame* frame) = 0;
    virtual Result LYREVANE_VST3_CALL canResize() = 0;
    virtual Result LYREVANE_VST3_CALL checkSizeConstraint(ViewRect* rect) = 0;

protected:
    ~PlugView() = default;
};

class PlugFrame : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
    virtual Result LYREVANE_VST3_CALL resizeView(PlugView* view, ViewRect* size) = 0;

protected:
    ~PlugFrame() = default;
};

class PlugViewContentScale : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
    virtual Result LYREVANE_VST3_CALL setContentScaleFactor(float factor) = 0;

protected:
    ~PlugViewContentScale() = default;
};

// On Linux the host's frame offers a run loop: a view registers the X connection's
// descriptor and a timer there, and no idle calls come.
class EventHandler : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
    virtual void LYREVANE_VST3_CALL onFDIsSet(int descriptor) = 0;

protected:
    ~EventHandler() = default;
};

class TimerHandler : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
    virtual void LYREVANE_VST3_CALL onTimer() = 0;

protected:
    ~TimerHandler() = default;
};

class RunLoop : public Unknown
{
public:
    static constexpr Uid iid = Uid::of(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
    virtual Result LYREVANE_VST3_CALL registerEventHandler(EventHandler* handler,
                                                           int descriptor) = 0;
    virtual Result LYREVANE_VST3_CALL unregisterEventHandler(EventHandler* handler) = 0;
    virtual Result LYREVANE_VST3_CALL registerTimer(TimerHandler* handler,
                                                    uint64_t milliseconds) = 0;
    virtual Result LYREVANE_VST3_CALL unregisterTimer(TimerHandler* handler) = 0;

protected:
    ~RunLoop() = default;
};

// The layouts hosts and plug-ins built elsewhere rely on (64-bit systems).
static_assert(sizeof(void*) != 8 || sizeof(Event) == 48, "event layout");
static_assert(sizeof(void*) != 8 || sizeof(AudioBusBuffers) == 24, "audio bus layout");
static_assert(sizeof(void*) != 8 || sizeof(ProcessData) == 80, "process data layout");
static_assert(sizeof(ProcessSetup) == 24, "process setup layout");
static_assert(sizeof(ParameterInfo) == 792, "parameter info layout");
static_assert(sizeof(BusInfo) == 276, "bus info layout");
static_assert(sizeof(ClassInfo2) == 440, "class info layout");
static_assert(sizeof(FactoryInfo) == 452, "factory info layout");
static_assert(sizeof(ProcessContext) == 112, "process context layout");

}  // namespace vst3
