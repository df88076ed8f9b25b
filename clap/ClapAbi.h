// The CLAP plug-in interface as this project uses it, declared from the format's published
// facts: the exported entry, the plug-in factory, the plug-in and host tables, events, the
// process call and the extensions we offer or ask for. Every table is a plain C struct of
// function pointers in the format's order; the offsets pinned below are those of the x86-64
// ABI, which Linux and Windows share for these types. Names are ours; the exported symbol,
// the id strings and the numbers are the format's and never change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace clapabi {

// The interface version this code speaks. A host or plug-in accepts any partner whose major
// version is at least 1.
struct Version
{
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
constexpr Version kVersion{1, 1, 7};
constexpr bool isCompatible(const Version& version) { return version.major >= 1; }

// The one symbol a CLAP binary exports (a PluginEntry object, not a function).
constexpr const char* kEntrySymbol = "clap_entry";

// Fixed text sizes, terminating zero included.
constexpr size_t kNameSize = 256;
constexpr size_t kPathSize = 1024;

using Id = uint32_t;
constexpr Id kInvalidId = UINT32_MAX;

struct Host;
struct Plugin;

struct PluginEntry
{
    Version version;
    // Called once after loading, with the binary's own path, before any other call.
    bool (*init)(const char* pluginPath);
    void (*deinit)();
    const void* (*getFactory)(const char* factoryId);
};

struct PluginDescriptor
{
    Version version;
    const char* id;  // reverse-domain, the key hosts store in sessions
    const char* name;
    const char* vendor;
    const char* url;
    const char* manualUrl;
    const char* supportUrl;
    const char* pluginVersion;
    const char* description;
    const char* const* features;  // null-terminated list
};

constexpr const char* kPluginFactoryId = "clap.plugin-factory";
struct PluginFactory
{
    uint32_t (*count)(const PluginFactory* factory);
    const PluginDescriptor* (*descriptor)(const PluginFactory* factory, uint32_t index);
    const Plugin* (*create)(const PluginFactory* factory, const Host* host, const char* pluginId);
};

struct Host
{
    Version version;
    void* hostData;
    const char* name;
    const char* vendor;
    const char* url;
    const char* hostVersion;
    const void* (*extension)(const Host* host, const char* extensionId);
    void (*requestRestart)(const Host* host);
    void (*requestProcess)(const Host* host);
    // Asks for onMainThread on the main thread soon; hosts may ignore it.
    void (*requestCallback)(const Host* host);
};

// --- Events --------------------------------------------------------------------------------

constexpr uint16_t kCoreEventSpace = 0;
enum EventType : uint16_t {
    kNoteOn = 0,
    kNoteOff = 1,
    kNoteChoke = 2,
    kNoteEnd = 3,
    kNoteExpression = 4,
    kParamValue = 5,
    kParamMod = 6,
    kParamGestureBegin = 7,
    kParamGestureEnd = 8,
    kTransport = 9,
    kMidi = 10,
    kMidiSysex = 11,
    kMidi2 = 12,
};
constexpr uint32_t kEventIsLive = 1u << 0;
constexpr uint32_t kEventDontRecord = 1u << 1;

struct EventHeader
{
    uint32_t size;  // of the whole event
    uint32_t time;  // sample offset within the block
    uint16_t spaceId;
    uint16_t type;
    uint32_t flags;
};

// Note id, port, channel and key take -1 as a wildcard.
struct NoteEvent
{
    EventHeader header;
    int32_t noteId;
    int16_t portIndex;
    int16_t channel;
    int16_t key;
    double velocity;  // 0 to 1
};

struct ParamValueEvent
{
    EventHeader header;
    Id paramId;
    void* cookie;
    int32_t noteId;
    int16_t portIndex;
    int16_t channel;
    int16_t key;
    double value;
};

struct ParamGestureEvent
{
    EventHeader header;
    Id paramId;
};

struct MidiEvent
{
    EventHeader header;
    uint16_t portIndex;
    uint8_t data[3];
};

// Fixed-point song positions: beats (quarter notes) and seconds, both times 2^31.
using BeatTime = int64_t;
using SecondsTime = int64_t;
constexpr double kBeatTimeFactor = 2147483648.0;
constexpr double kSecondsTimeFactor = 2147483648.0;

constexpr uint32_t kTransportHasTempo = 1u << 0;
constexpr uint32_t kTransportHasBeatsTimeline = 1u << 1;
constexpr uint32_t kTransportHasSecondsTimeline = 1u << 2;
constexpr uint32_t kTransportHasTimeSignature = 1u << 3;
constexpr uint32_t kTransportIsPlaying = 1u << 4;
constexpr uint32_t kTransportIsRecording = 1u << 5;
constexpr uint32_t kTransportIsLoopActive = 1u << 6;
constexpr uint32_t kTransportIsWithinPreRoll = 1u << 7;

struct TransportEvent
{
    EventHeader header;
    uint32_t flags;
    BeatTime songPositionBeats;
    SecondsTime songPositionSeconds;
    double tempo;           // beats per minute
    double tempoIncrement;  // per sample, within the block
    BeatTime loopStartBeats;
    BeatTime loopEndBeats;
    SecondsTime loopStartSeconds;
    SecondsTime loopEndSeconds;
    BeatTime barStart;
    int32_t barNumber;
    uint16_t timeSignatureNumerator;
    uint16_t timeSignatureDenominator;
};

// Events of a block, ordered by time.
struct InputEvents
{
    void* context;
    uint32_t (*size)(const InputEvents* list);
    const EventHeader* (*get)(const InputEvents* list, uint32_t index);
};

struct OutputEvents
{
    void* context;
    bool (*tryPush)(const OutputEvents* list, const EventHeader* event);  // copies the event
};

// --- Processing ----------------------------------------------------------------------------

struct AudioBuffer
{
    float** data32;
    double** data64;
    uint32_t channelCount;
    uint32_t latency;
    uint64_t constantMask;  // bit n: channel n holds one value throughout the block
};

struct Process
{
    int64_t steadyTime;  // samples since activation, or -1
    uint32_t frameCount;
    const TransportEvent* transport;  // null when the host has none (a free-running engine)
    const AudioBuffer* audioInputs;
    AudioBuffer* audioOutputs;
    uint32_t audioInputCount;
    uint32_t audioOutputCount;
    const InputEvents* inEvents;
    const OutputEvents* outEvents;
};

using ProcessStatus = int32_t;
enum : ProcessStatus {
    kProcessError = 0,
    kProcessContinue = 1,
    kProcessContinueIfNotQuiet = 2,
    kProcessTail = 3,
    kProcessSleep = 4,
};

struct Plugin
{
    const PluginDescriptor* descriptor;
    void* pluginData;
    // Main thread: init, destroy, activate, deactivate, getExtension, onMainThread.
    bool (*init)(const Plugin* plugin);
    void (*destroy)(const Plugin* plugin);
    bool (*activate)(const Plugin* plugin, double sampleRate, uint32_t minFrames,
                     uint32_t maxFrames);
    void (*deactivate)(const Plugin* plugin);
    // Audio thread.
    bool (*startProcessing)(const Plugin* plugin);
    void (*stopProcessing)(const Plugin* plugin);
    void (*reset)(const Plugin* plugin);
    ProcessStatus (*process)(const Plugin* plugin, const Process* process);
    const void* (*extension)(const Plugin* plugin, const char* extensionId);
    void (*onMainThread)(const Plugin* plugin);
};

// --- Streams (state) -----------------------------------------------------------------------

// Either call may move fewer bytes than asked: callers loop. Negative: an error; 0 on read:
// the end.
struct InputStream
{
    void* context;
    int64_t (*read)(const InputStream* stream, void* buffer, uint64_t size);
};
struct OutputStream
{
    void* context;
    int64_t (*write)(const OutputStream* stream, const void* buffer, uint64_t size);
};

// --- Extensions ----------------------------------------------------------------------------

constexpr const char* kParamsExtension = "clap.params";
constexpr uint32_t kParamIsStepped = 1u << 0;
constexpr uint32_t kParamIsPeriodic = 1u << 1;
constexpr uint32_t kParamIsHidden = 1u << 2;
constexpr uint32_t kParamIsReadOnly = 1u << 3;
constexpr uint32_t kParamIsBypass = 1u << 4;
constexpr uint32_t kParamIsAutomatable = 1u << 5;
constexpr uint32_t kParamRequiresProcess = 1u << 15;
constexpr uint32_t kParamIsEnum = 1u << 16;

struct ParamInfo
{
    Id id;
    uint32_t flags;
    void* cookie;
    char name[kNameSize];
    char module[kPathSize];  // group path, "/"-separated
    double minimum;
    double maximum;
    double defaultValue;
};

struct PluginParams
{
    uint32_t (*count)(const Plugin* plugin);
    bool (*info)(const Plugin* plugin, uint32_t index, ParamInfo* info);
    bool (*value)(const Plugin* plugin, Id id, double* value);
    bool (*valueToText)(const Plugin* plugin, Id id, double value, char* text, uint32_t capacity);
    bool (*textToValue)(const Plugin* plugin, Id id, const char* text, double* value);
    // Parameter events outside process: never together with process.
    void (*flush)(const Plugin* plugin, const InputEvents* in, const OutputEvents* out);
};

constexpr uint32_t kParamRescanValues = 1u << 0;
constexpr uint32_t kParamRescanText = 1u << 1;
constexpr uint32_t kParamRescanInfo = 1u << 2;
constexpr uint32_t kParamRescanAll = 1u << 3;
struct HostParams
{
    void (*rescan)(const Host* host, uint32_t flags);
    void (*clear)(const Host* host, Id id, uint32_t flags);
    void (*requestFlush)(const Host* host);
};

constexpr const char* kStateExtension = "clap.state";
struct PluginState
{
    bool (*save)(const Plugin* plugin, const OutputStream* stream);
    bool (*load)(const Plugin* plugin, const InputStream* stream);
};
struct HostState
{
    void (*markDirty)(const Host* host);
};

constexpr const char* kNotePortsExtension = "clap.note-ports";
constexpr uint32_t kNoteDialectClap = 1u << 0;
constexpr uint32_t kNoteDialectMidi = 1u << 1;
constexpr uint32_t kNoteDialectMidiMpe = 1u << 2;
constexpr uint32_t kNoteDialectMidi2 = 1u << 3;
struct NotePortInfo
{
    Id id;
    uint32_t supportedDialects;
    uint32_t preferredDialect;
    char name[kNameSize];
};
struct PluginNotePorts
{
    uint32_t (*count)(const Plugin* plugin, bool isInput);
    bool (*info)(const Plugin* plugin, uint32_t index, bool isInput, NotePortInfo* info);
};

constexpr const char* kAudioPortsExtension = "clap.audio-ports";
constexpr const char* kPortMono = "mono";
constexpr const char* kPortStereo = "stereo";
constexpr uint32_t kAudioPortIsMain = 1u << 0;
struct AudioPortInfo
{
    Id id;
    char name[kNameSize];
    uint32_t flags;
    uint32_t channelCount;
    const char* portType;
    Id inPlacePair;
};
struct PluginAudioPorts
{
    uint32_t (*count)(const Plugin* plugin, bool isInput);
    bool (*info)(const Plugin* plugin, uint32_t index, bool isInput, AudioPortInfo* info);
};

constexpr const char* kNoteNameExtension = "clap.note-name";
struct NoteName
{
    char name[kNameSize];
    int16_t port;
    int16_t key;
    int16_t channel;  // -1: every channel
};
struct PluginNoteName
{
    uint32_t (*count)(const Plugin* plugin);
    bool (*get)(const Plugin* plugin, uint32_t index, NoteName* name);
};
struct HostNoteName
{
    void (*changed)(const Host* host);
};

constexpr const char* kLatencyExtension = "clap.latency";
struct PluginLatency
{
    uint32_t (*get)(const Plugin* plugin);
};

constexpr const char* kRenderExtension = "clap.render";
using RenderMode = int32_t;
enum : RenderMode { kRenderRealtime = 0, kRenderOffline = 1 };
struct PluginRender
{
    bool (*hasHardRealtimeRequirement)(const Plugin* plugin);
    bool (*set)(const Plugin* plugin, RenderMode mode);
};

constexpr const char* kThreadCheckExtension = "clap.thread-check";
struct HostThreadCheck
{
    bool (*isMainThread)(const Host* host);
    bool (*isAudioThread)(const Host* host);
};

constexpr const char* kLogExtension = "clap.log";
enum : int32_t { kLogDebug = 0, kLogInfo = 1, kLogWarning = 2, kLogError = 3, kLogFatal = 4 };
struct HostLog
{
    void (*log)(const Host* host, int32_t severity, const char* message);
};

constexpr const char* kTimerSupportExtension = "clap.timer-support";
struct PluginTimerSupport
{
    void (*onTimer)(const Plugin* plugin, Id timerId);
};
struct HostTimerSupport
{
    bool (*registerTimer)(const Host* host, uint32_t periodMs, Id* timerId);
    bool (*unregisterTimer)(const Host* host, Id timerId);
};

constexpr const char* kPosixFdSupportExtension = "clap.posix-fd-support";
constexpr uint32_t kFdRead = 1u << 0;
constexpr uint32_t kFdWrite = 1u << 1;
constexpr uint32_t kFdError = 1u << 2;
struct PluginPosixFdSupport
{
    void (*onFd)(const Plugin* plugin, int fd, uint32_t flags);
};
struct HostPosixFdSupport
{
    bool (*registerFd)(const Host* host, int fd, uint32_t flags);
    bool (*modifyFd)(const Host* host, int fd, uint32_t flags);
    bool (*unregisterFd)(const Host* host, int fd);
};

constexpr const char* kGuiExtension = "clap.gui";
constexpr const char* kWindowApiX11 = "x11";
constexpr const char* kWindowApiWin32 = "win32";
struct Window
{
    const char* api;
    union {
        unsigned long x11;  // an X11 window id
        void* win32;        // an HWND
        void* pointer;
    };
};
struct GuiResizeHints
{
    bool canResizeHorizontally;
    bool canResizeVertically;
    bool preserveAspectRatio;
    uint32_t aspectRatioWidth;
    uint32_t aspectRatioHeight;
};
struct PluginGui
{
    bool (*isApiSupported)(const Plugin* plugin, const char* api, bool isFloating);
    bool (*preferredApi)(const Plugin* plugin, const char** api, bool* isFloating);
    bool (*create)(const Plugin* plugin, const char* api, bool isFloating);
    void (*destroy)(const Plugin* plugin);
    bool (*setScale)(const Plugin* plugin, double scale);
    bool (*size)(const Plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*canResize)(const Plugin* plugin);
    bool (*resizeHints)(const Plugin* plugin, GuiResizeHints* hints);
    bool (*adjustSize)(const Plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*setSize)(const Plugin* plugin, uint32_t width, uint32_t height);
    bool (*setParent)(const Plugin* plugin, const Window* window);
    bool (*setTransient)(const Plugin* plugin, const Window* window);
    void (*suggestTitle)(const Plugin* plugin, const char* title);
    bool (*show)(const Plugin* plugin);
    bool (*hide)(const Plugin* plugin);
};

// --- The x86-64 layout, as every CLAP binary on these systems expects it -------------------

static_assert(sizeof(void*) == 8, "declared for 64-bit builds");
static_assert(sizeof(PluginEntry) == 40 && offsetof(PluginEntry, getFactory) == 32);
static_assert(sizeof(PluginDescriptor) == 88 && offsetof(PluginDescriptor, id) == 16 &&
              offsetof(PluginDescriptor, features) == 80);
static_assert(sizeof(Host) == 88 && offsetof(Host, hostData) == 16 &&
              offsetof(Host, extension) == 56 && offsetof(Host, requestCallback) == 80);
static_assert(sizeof(Plugin) == 96 && offsetof(Plugin, init) == 16 &&
              offsetof(Plugin, process) == 72 && offsetof(Plugin, onMainThread) == 88);
static_assert(sizeof(EventHeader) == 16 && offsetof(EventHeader, spaceId) == 8 &&
              offsetof(EventHeader, type) == 10 && offsetof(EventHeader, flags) == 12);
static_assert(sizeof(NoteEvent) == 40 && offsetof(NoteEvent, key) == 24 &&
              offsetof(NoteEvent, velocity) == 32);
static_assert(sizeof(ParamValueEvent) == 56 && offsetof(ParamValueEvent, cookie) == 24 &&
              offsetof(ParamValueEvent, noteId) == 32 && offsetof(ParamValueEvent, value) == 48);
static_assert(sizeof(MidiEvent) == 24 && offsetof(MidiEvent, data) == 18);
static_assert(sizeof(TransportEvent) == 104 && offsetof(TransportEvent, songPositionBeats) == 24 &&
              offsetof(TransportEvent, tempo) == 40 && offsetof(TransportEvent, barStart) == 88 &&
              offsetof(TransportEvent, barNumber) == 96 &&
              offsetof(TransportEvent, timeSignatureDenominator) == 102);
static_assert(sizeof(AudioBuffer) == 32 && offsetof(AudioBuffer, constantMask) == 24);
static_assert(sizeof(Process) == 64 && offsetof(Process, transport) == 16 &&
              offsetof(Process, audioInputCount) == 40 && offsetof(Process, inEvents) == 48);
static_assert(sizeof(ParamInfo) == 1320 && offsetof(ParamInfo, name) == 16 &&
              offsetof(ParamInfo, module) == 272 && offsetof(ParamInfo, minimum) == 1296);
static_assert(sizeof(NotePortInfo) == 268);
static_assert(sizeof(AudioPortInfo) == 288 && offsetof(AudioPortInfo, flags) == 260 &&
              offsetof(AudioPortInfo, portType) == 272 &&
              offsetof(AudioPortInfo, inPlacePair) == 280);
static_assert(sizeof(NoteName) == 262 && offsetof(NoteName, key) == 258);
static_assert(sizeof(Window) == 16);
static_assert(sizeof(GuiResizeHints) == 12);
static_assert(sizeof(PluginGui) == 15 * 8);
static_assert(sizeof(PluginParams) == 6 * 8);

}  // namespace clapabi
