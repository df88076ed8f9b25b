// Our own VST3 host, for the render tool and the tests: loads a bundle's binary as a music host
// does, reads its factory and class, creates the component with its processor and controller
// (the same object or one of the controller's own class), sets up its buses and processing,
// and plays blocks with note events, parameter changes at their samples and the host's
// transport. State travels through streams in memory.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/LoadableModule.h"
#include "vst3/Vst3Interfaces.h"

namespace harness {

// UTF-16 text of the format's string fields, as UTF-8 (the names this project meets are ASCII
// or Latin-1 at most).
std::string utf8Of(const vst3::Char16* text, size_t capacity = 128);
void copyUtf16(const std::string& text, vst3::Char16* to, size_t capacity = 128);

// A stream over bytes in memory. A host's stream may move fewer bytes per call than asked:
// mostPerCall makes this one do so.
class Vst3MemoryStream final : public vst3::Stream
{
public:
    Vst3MemoryStream() = default;
    explicit Vst3MemoryStream(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}

    vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
    uint32_t LYREVANE_VST3_CALL release() override { return 1; }
    vst3::Result LYREVANE_VST3_CALL read(void* buffer, int32_t count, int32_t* done) override;
    vst3::Result LYREVANE_VST3_CALL write(void* buffer, int32_t count, int32_t* done) override;
    vst3::Result LYREVANE_VST3_CALL seek(int64_t to, int32_t mode, int64_t* result) override;
    vst3::Result LYREVANE_VST3_CALL tell(int64_t* where) override;

    std::vector<uint8_t> bytes;
    int64_t position = 0;
    int32_t mostPerCall = INT32_MAX;
};

// One edit the controller reported through the component handler.
struct Vst3Edit
{
    enum Kind { kBegin, kPerform, kEnd, kRestart } kind;
    vst3::ParamId id;
    double value;  // the normalised value of kPerform, the flags of kRestart
};

class Vst3Host
{
public:
    Vst3Host();
    ~Vst3Host();
    Vst3Host(const Vst3Host&) = delete;
    Vst3Host& operator=(const Vst3Host&) = delete;

    // Loads the bundle's binary, creates its first audio module class and starts it processing
    // at the rate with blocks of at most maxBlock frames; false with the reason in error.
    bool load(const std::string& bundle, double sampleRate, int32_t maxBlock, std::string& error);
    // Stops processing, terminates and releases everything, and unloads the binary.
    void unload();

    // What the module and its class said of themselves.
    const vst3::FactoryInfo& factoryInfo() const { return factory; }
    const vst3::ClassInfo2& classInfo() const { return plugin; }
    bool hasClassInfo2() const { return classInfo2Known; }
    // True when the component answered as its own edit controller.
    bool controllerIsComponent() const { return singleComponent; }

    vst3::PluginFactory* pluginFactory() const { return factoryInterface; }
    vst3::Component* component() const { return componentInterface; }
    vst3::AudioProcessor* processor() const { return processorInterface; }
    vst3::EditController* controller() const { return controllerInterface; }
    // The interface of the component or controller by its id, or null; released by the host.
    template <typename Interface> Interface* query(vst3::Unknown* object)
    {
        void* found = nullptr;
        if (object == nullptr ||
            object->queryInterface(Interface::iid.data(), &found) != vst3::kResultOk ||
            found == nullptr) {
            return nullptr;
        }
        queried.push_back(static_cast<vst3::Unknown*>(found));
        return static_cast<Interface*>(found);
    }

    std::vector<vst3::BusInfo> buses(int32_t mediaType, int32_t direction) const;
    std::vector<vst3::ParameterInfo> parameters() const;
    // The id of the parameter titled so, or -1.
    int64_t parameterId(const std::string& title) const;

    // A parameter point for the next block at its offset, told to the controller too, as a
    // host does with automation.
    void setParameter(vst3::ParamId id, double normalized, int32_t sampleOffset = 0);
    void noteOn(int32_t sampleOffset, int16_t pitch, float velocity, int32_t noteId = -1);
    void noteOff(int32_t sampleOffset, int16_t pitch, float velocity = 0.0f, int32_t noteId = -1);
    void addEvent(const vst3::Event& event) { events.events.push_back(event); }

    // The transport for the following blocks; with sendContext false the blocks carry none.
    vst3::ProcessContext context{};
    bool sendContext = false;
    int32_t processMode = vst3::kRealtime;

    // One block: the queued events and parameter points, the inputs (one buffer per input
    // channel of the main audio input, null for silence), stereo out (a mono output on both).
    // Returns what process answered; the queues are cleared.
    vst3::Result process(const float* const* inputs, float* left, float* right, int32_t frames);

    // The component's state, and a state given back; setState goes to the component and,
    // as hosts do, to the controller's setComponentState.
    bool componentState(std::vector<uint8_t>& bytes);
    bool setComponentState(const std::vector<uint8_t>& bytes);

    // What the controller reported through the component handler, in order.
    std::vector<Vst3Edit> edits;

private:
    class HostContext;
    class Handler;
    class Events final : public vst3::EventList
    {
    public:
        vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override;
        uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
        uint32_t LYREVANE_VST3_CALL release() override { return 1; }
        int32_t LYREVANE_VST3_CALL getEventCount() override
        {
            return static_cast<int32_t>(events.size());
        }
        vst3::Result LYREVANE_VST3_CALL getEvent(int32_t index, vst3::Event& event) override;
        vst3::Result LYREVANE_VST3_CALL addEvent(vst3::Event& event) override;
        std::vector<vst3::Event> events;
    };
    class Queue final : public vst3::ParamValueQueue
    {
    public:
        explicit Queue(vst3::ParamId id) : id(id) {}
        vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override;
        uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
        uint32_t LYREVANE_VST3_CALL release() override { return 1; }
        vst3::ParamId LYREVANE_VST3_CALL getParameterId() override { return id; }
        int32_t LYREVANE_VST3_CALL getPointCount() override
        {
            return static_cast<int32_t>(points.size());
        }
        vst3::Result LYREVANE_VST3_CALL getPoint(int32_t index, int32_t& offset,
                                                 double& value) override;
        vst3::Result LYREVANE_VST3_CALL addPoint(int32_t offset, double value,
                                                 int32_t& index) override;
        vst3::ParamId id;
        std::vector<std::pair<int32_t, double>> points;
    };
    class Changes final : public vst3::ParameterChanges
    {
    public:
        vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override;
        uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
        uint32_t LYREVANE_VST3_CALL release() override { return 1; }
        int32_t LYREVANE_VST3_CALL getParameterCount() override
        {
            return static_cast<int32_t>(queues.size());
        }
        vst3::ParamValueQueue* LYREVANE_VST3_CALL getParameterData(int32_t index) override;
        vst3::ParamValueQueue* LYREVANE_VST3_CALL addParameterData(const vst3::ParamId& id,
                                                                   int32_t& index) override;
        std::vector<Queue> queues;
    };

    bool start(double sampleRate, int32_t maxBlock, std::string& error);
    bool createController(std::string& error);

    platform::LoadableModule module;
    bool entered = false;
    HostContext* hostContext;
    Handler* handler;
    vst3::FactoryInfo factory{};
    vst3::ClassInfo2 plugin{};
    bool classInfo2Known = false;
    bool singleComponent = false;
    bool active = false;
    bool processing = false;
    bool controllerInitialised = false;
    vst3::PluginFactory* factoryInterface = nullptr;
    vst3::Component* componentInterface = nullptr;
    vst3::AudioProcessor* processorInterface = nullptr;
    vst3::EditController* controllerInterface = nullptr;
    vst3::ConnectionPoint* componentConnection = nullptr;
    vst3::ConnectionPoint* controllerConnection = nullptr;
    std::vector<vst3::Unknown*> queried;
    int32_t inputChannels = 0;
    int32_t outputChannels = 2;  // a mono output plays on both sides
    int32_t maxFrames = 0;
    Events events;
    Events outputEvents;
    Changes changes;
    Changes outputChanges;
    std::vector<float> silence;
    std::vector<float> scratch;
};

}  // namespace harness
