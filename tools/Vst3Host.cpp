// Loading and driving a VST3 bundle as a music host does; see Vst3Host.h.
#include "tools/Vst3Host.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace harness {

namespace {

// The binary inside a bundle, as hosts find it on this system.
std::filesystem::path binaryOf(const std::filesystem::path& bundle)
{
    const std::string stem = bundle.stem().string();
#ifdef _WIN32
    return bundle / "Contents" / "x86_64-win" / (stem + ".vst3");
#else
    return bundle / "Contents" / "x86_64-linux" / (stem + ".so");
#endif
}

// The host's own objects live as long as the host; their counts mean nothing.
template <typename Interface> vst3::Result answer(Interface* self, const char* iid, void** object)
{
    if (vst3::Unknown::iid.matches(iid) || Interface::iid.matches(iid)) {
        *object = self;
        return vst3::kResultOk;
    }
    *object = nullptr;
    return vst3::kNoInterface;
}

}  // namespace

std::string utf8Of(const vst3::Char16* text, size_t capacity)
{
    std::string result;
    for (size_t i = 0; i < capacity && text[i] != 0; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            result += static_cast<char>(c);
        } else if (c < 0x800) {
            result += static_cast<char>(0xC0 | (c >> 6));
            result += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            result += static_cast<char>(0xE0 | (c >> 12));
            result += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return result;
}

void copyUtf16(const std::string& text, vst3::Char16* to, size_t capacity)
{
    size_t written = 0;
    for (size_t i = 0; i < text.size() && written + 1 < capacity; ++i) {
        to[written++] = static_cast<unsigned char>(text[i]);
    }
    to[written] = 0;
}

// ---- Streams, events, parameter changes ---------------------------------------------------

vst3::Result Vst3MemoryStream::queryInterface(const char* iid, void** object)
{
    return answer<vst3::Stream>(this, iid, object);
}

vst3::Result Vst3MemoryStream::read(void* buffer, int32_t count, int32_t* done)
{
    if (buffer == nullptr || count < 0) return vst3::kInvalidArgument;
    const int64_t left = std::max<int64_t>(0, int64_t(bytes.size()) - position);
    const int32_t moved = static_cast<int32_t>(std::min<int64_t>({count, left, mostPerCall}));
    if (moved > 0) std::memcpy(buffer, bytes.data() + position, size_t(moved));
    position += moved;
    if (done != nullptr) *done = moved;
    return vst3::kResultOk;
}

vst3::Result Vst3MemoryStream::write(void* buffer, int32_t count, int32_t* done)
{
    if (buffer == nullptr || count < 0) return vst3::kInvalidArgument;
    const int32_t moved = std::min(count, mostPerCall);
    if (size_t(position + moved) > bytes.size()) bytes.resize(size_t(position + moved));
    std::memcpy(bytes.data() + position, buffer, size_t(moved));
    position += moved;
    if (done != nullptr) *done = moved;
    return vst3::kResultOk;
}

vst3::Result Vst3MemoryStream::seek(int64_t to, int32_t mode, int64_t* result)
{
    const int64_t base = mode == kSeekSet       ? 0
                         : mode == kSeekCurrent ? position
                                                : int64_t(bytes.size());
    if (mode < kSeekSet || mode > kSeekEnd || base + to < 0) return vst3::kInvalidArgument;
    position = base + to;
    if (result != nullptr) *result = position;
    return vst3::kResultOk;
}

vst3::Result Vst3MemoryStream::tell(int64_t* where)
{
    if (where == nullptr) return vst3::kInvalidArgument;
    *where = position;
    return vst3::kResultOk;
}

vst3::Result Vst3Host::Events::queryInterface(const char* iid, void** object)
{
    return answer<vst3::EventList>(this, iid, object);
}

vst3::Result Vst3Host::Events::getEvent(int32_t index, vst3::Event& event)
{
    if (index < 0 || size_t(index) >= events.size()) return vst3::kInvalidArgument;
    event = events[size_t(index)];
    return vst3::kResultOk;
}

vst3::Result Vst3Host::Events::addEvent(vst3::Event& event)
{
    events.push_back(event);
    return vst3::kResultOk;
}

vst3::Result Vst3Host::Queue::queryInterface(const char* iid, void** object)
{
    return answer<vst3::ParamValueQueue>(this, iid, object);
}

vst3::Result Vst3Host::Queue::getPoint(int32_t index, int32_t& offset, double& value)
{
    if (index < 0 || size_t(index) >= points.size()) return vst3::kInvalidArgument;
    offset = points[size_t(index)].first;
    value = points[size_t(index)].second;
    return vst3::kResultOk;
}

vst3::Result Vst3Host::Queue::addPoint(int32_t offset, double value, int32_t& index)
{
    index = static_cast<int32_t>(points.size());
    points.emplace_back(offset, value);
    return vst3::kResultOk;
}

vst3::Result Vst3Host::Changes::queryInterface(const char* iid, void** object)
{
    return answer<vst3::ParameterChanges>(this, iid, object);
}

vst3::ParamValueQueue* Vst3Host::Changes::getParameterData(int32_t index)
{
    return index >= 0 && size_t(index) < queues.size() ? &queues[size_t(index)] : nullptr;
}

vst3::ParamValueQueue* Vst3Host::Changes::addParameterData(const vst3::ParamId& id, int32_t& index)
{
    for (size_t i = 0; i < queues.size(); ++i) {
        if (queues[i].id == id) {
            index = static_cast<int32_t>(i);
            return &queues[i];
        }
    }
    index = static_cast<int32_t>(queues.size());
    queues.emplace_back(id);
    return &queues.back();
}

// ---- What the plug-in sees of the host -----------------------------------------------------

// The context given to initialize: the host's name; it creates none of its own objects for
// the plug-in.
class Vst3Host::HostContext final : public vst3::HostApplication
{
public:
    vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override
    {
        return answer<vst3::HostApplication>(this, iid, object);
    }
    uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
    uint32_t LYREVANE_VST3_CALL release() override { return 1; }
    vst3::Result LYREVANE_VST3_CALL getName(vst3::String128 name) override
    {
        copyUtf16("lyrevane-render", name);
        return vst3::kResultOk;
    }
    vst3::Result LYREVANE_VST3_CALL createInstance(uint8_t*, uint8_t*, void** object) override
    {
        *object = nullptr;
        return vst3::kResultFalse;
    }
};

class Vst3Host::Handler final : public vst3::ComponentHandler
{
public:
    explicit Handler(std::vector<Vst3Edit>& edits) : edits(edits) {}
    vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override
    {
        return answer<vst3::ComponentHandler>(this, iid, object);
    }
    uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
    uint32_t LYREVANE_VST3_CALL release() override { return 1; }
    vst3::Result LYREVANE_VST3_CALL beginEdit(vst3::ParamId id) override
    {
        edits.push_back({Vst3Edit::kBegin, id, 0.0});
        return vst3::kResultOk;
    }
    vst3::Result LYREVANE_VST3_CALL performEdit(vst3::ParamId id, double value) override
    {
        edits.push_back({Vst3Edit::kPerform, id, value});
        return vst3::kResultOk;
    }
    vst3::Result LYREVANE_VST3_CALL endEdit(vst3::ParamId id) override
    {
        edits.push_back({Vst3Edit::kEnd, id, 0.0});
        return vst3::kResultOk;
    }
    vst3::Result LYREVANE_VST3_CALL restartComponent(int32_t flags) override
    {
        edits.push_back({Vst3Edit::kRestart, 0, double(flags)});
        return vst3::kResultOk;
    }

private:
    std::vector<Vst3Edit>& edits;
};

// ---- The host --------------------------------------------------------------------------

Vst3Host::Vst3Host() : hostContext(new HostContext), handler(new Handler(edits)) {}

Vst3Host::~Vst3Host()
{
    unload();
    delete handler;
    delete hostContext;
}

bool Vst3Host::load(const std::string& bundle, double sampleRate, int32_t maxBlock,
                    std::string& error)
{
    unload();
    const std::filesystem::path binary = binaryOf(bundle);
    module = platform::LoadableModule::load(binary.string(), error);
    if (!module.isLoaded()) {
        error = binary.string() + ": " + error;
        return false;
    }
    auto getFactory =
        reinterpret_cast<vst3::GetFactoryFunction>(module.symbol(vst3::kFactoryEntry));
    auto enter = reinterpret_cast<vst3::ModuleEntryFunction>(module.symbol(vst3::kModuleEntry));
    if (getFactory == nullptr || enter == nullptr || module.symbol(vst3::kModuleExit) == nullptr) {
        error = binary.string() + " lacks " + vst3::kFactoryEntry + ", " + vst3::kModuleEntry +
                " or " + vst3::kModuleExit;
        return false;
    }
#ifdef _WIN32
    entered = enter();
#else
    entered = enter(module.nativeHandle());
#endif
    if (!entered) {
        error = std::string(vst3::kModuleEntry) + " failed";
        return false;
    }
    factoryInterface = getFactory();
    if (factoryInterface == nullptr ||
        factoryInterface->getFactoryInfo(&factory) != vst3::kResultOk) {
        error = "no factory, or no factory information";
        return false;
    }
    // The first audio module class, with its extended information where the factory has it.
    auto* factory2 = query<vst3::PluginFactory2>(factoryInterface);
    const int32_t classes = factoryInterface->countClasses();
    bool found = false;
    for (int32_t index = 0; index < classes && !found; ++index) {
        vst3::ClassInfo basic{};
        if (factoryInterface->getClassInfo(index, &basic) != vst3::kResultOk ||
            std::strncmp(basic.category, vst3::kAudioModuleClass, sizeof basic.category) != 0) {
            continue;
        }
        found = true;
        classInfo2Known =
            factory2 != nullptr && factory2->getClassInfo2(index, &plugin) == vst3::kResultOk;
        if (!classInfo2Known) {
            std::memcpy(plugin.classId, basic.classId, sizeof plugin.classId);
            plugin.cardinality = basic.cardinality;
            std::memcpy(plugin.category, basic.category, sizeof plugin.category);
            std::memcpy(plugin.name, basic.name, sizeof plugin.name);
        }
    }
    if (!found) {
        error = "the module has no \"" + std::string(vst3::kAudioModuleClass) + "\" class";
        return false;
    }
    void* object = nullptr;
    if (factoryInterface->createInstance(reinterpret_cast<const char*>(plugin.classId),
                                         vst3::Component::iid.data(), &object) != vst3::kResultOk ||
        object == nullptr) {
        error = "the factory made no component";
        return false;
    }
    componentInterface = static_cast<vst3::Component*>(object);
    if (componentInterface->initialize(hostContext) != vst3::kResultOk) {
        error = "the component refused initialize";
        componentInterface->release();
        componentInterface = nullptr;
        return false;
    }
    processorInterface = query<vst3::AudioProcessor>(componentInterface);
    if (processorInterface == nullptr) {
        error = "the component has no audio processor";
        return false;
    }
    return createController(error) && start(sampleRate, maxBlock, error);
}

// As Ardour does: the component itself first, else the class it names.
bool Vst3Host::createController(std::string& error)
{
    controllerInterface = query<vst3::EditController>(componentInterface);
    singleComponent = controllerInterface != nullptr;
    if (!singleComponent) {
        uint8_t controllerClass[16] = {};
        void* object = nullptr;
        if (componentInterface->getControllerClassId(controllerClass) != vst3::kResultOk ||
            factoryInterface->createInstance(reinterpret_cast<const char*>(controllerClass),
                                             vst3::EditController::iid.data(),
                                             &object) != vst3::kResultOk ||
            object == nullptr) {
            error = "no edit controller";
            return false;
        }
        controllerInterface = static_cast<vst3::EditController*>(object);
        if (controllerInterface->initialize(hostContext) != vst3::kResultOk) {
            error = "the controller refused initialize";
            return false;
        }
        controllerInitialised = true;
        componentConnection = query<vst3::ConnectionPoint>(componentInterface);
        controllerConnection = query<vst3::ConnectionPoint>(controllerInterface);
        if (componentConnection != nullptr && controllerConnection != nullptr) {
            componentConnection->connect(controllerConnection);
            controllerConnection->connect(componentConnection);
        }
    }
    controllerInterface->setComponentHandler(handler);
    std::vector<uint8_t> state;
    if (componentState(state)) {
        Vst3MemoryStream stream(std::move(state));
        controllerInterface->setComponentState(&stream);
    }
    return true;
}

bool Vst3Host::start(double sampleRate, int32_t maxBlock, std::string& error)
{
    // Every main bus on, as Ardour switches them; stereo wherever the plug-in takes it.
    std::vector<vst3::SpeakerArrangement> inputs;
    std::vector<vst3::SpeakerArrangement> outputs;
    for (int32_t type : {vst3::kAudio, vst3::kEvent}) {
        for (int32_t direction : {vst3::kInput, vst3::kOutput}) {
            const std::vector<vst3::BusInfo> all = buses(type, direction);
            for (size_t index = 0; index < all.size(); ++index) {
                const bool main = all[index].busType == vst3::kMainBus;
                componentInterface->activateBus(type, direction, int32_t(index), main);
                if (type == vst3::kAudio) {
                    (direction == vst3::kInput ? inputs : outputs)
                        .push_back(all[index].channelCount == 1 ? vst3::kSpeakerLeft
                                                                : vst3::kStereo);
                }
            }
        }
    }
    const std::vector<vst3::BusInfo> audioIn = buses(vst3::kAudio, vst3::kInput);
    inputChannels = audioIn.empty() ? 0 : audioIn[0].channelCount;
    const std::vector<vst3::BusInfo> audioOut = buses(vst3::kAudio, vst3::kOutput);
    if (audioOut.empty() || audioOut[0].channelCount < 1) {
        error = "the component has no audio output";
        return false;
    }
    outputChannels = std::min(audioOut[0].channelCount, 2);
    processorInterface->setBusArrangements(inputs.data(), int32_t(inputs.size()), outputs.data(),
                                           int32_t(outputs.size()));
    vst3::ProcessSetup setup{processMode, vst3::kSample32, maxBlock, sampleRate};
    if (processorInterface->setupProcessing(setup) != vst3::kResultOk) {
        error = "the processor refused setupProcessing";
        return false;
    }
    if (componentInterface->setActive(1) != vst3::kResultOk) {
        error = "the component refused setActive";
        return false;
    }
    active = true;
    // Some plug-ins answer setProcessing with "not implemented"; that is no refusal.
    processorInterface->setProcessing(1);
    processing = true;
    maxFrames = maxBlock;
    silence.assign(size_t(maxBlock), 0.0f);
    scratch.assign(size_t(maxBlock) * 8, 0.0f);
    return true;
}

void Vst3Host::unload()
{
    if (processing) processorInterface->setProcessing(0);
    if (active) componentInterface->setActive(0);
    processing = active = false;
    if (componentConnection != nullptr && controllerConnection != nullptr) {
        componentConnection->disconnect(controllerConnection);
        controllerConnection->disconnect(componentConnection);
    }
    componentConnection = controllerConnection = nullptr;
    for (vst3::Unknown* each : queried)
        each->release();
    queried.clear();
    processorInterface = nullptr;
    if (controllerInterface != nullptr && !singleComponent) {
        if (controllerInitialised) controllerInterface->terminate();
        controllerInterface->release();
    }
    controllerInterface = nullptr;
    controllerInitialised = singleComponent = false;
    if (componentInterface != nullptr) {
        componentInterface->terminate();
        componentInterface->release();
        componentInterface = nullptr;
    }
    if (factoryInterface != nullptr) factoryInterface->release();
    factoryInterface = nullptr;
    if (entered) {
        reinterpret_cast<vst3::ModuleExitFunction>(module.symbol(vst3::kModuleExit))();
    }
    entered = false;
    module = platform::LoadableModule();
    classInfo2Known = false;
}

std::vector<vst3::BusInfo> Vst3Host::buses(int32_t mediaType, int32_t direction) const
{
    std::vector<vst3::BusInfo> all;
    const int32_t count = componentInterface->getBusCount(mediaType, direction);
    for (int32_t index = 0; index < count; ++index) {
        vst3::BusInfo info{};
        componentInterface->getBusInfo(mediaType, direction, index, info);
        all.push_back(info);
    }
    return all;
}

std::vector<vst3::ParameterInfo> Vst3Host::parameters() const
{
    std::vector<vst3::ParameterInfo> all;
    const int32_t count = controllerInterface->getParameterCount();
    for (int32_t index = 0; index < count; ++index) {
        vst3::ParameterInfo info{};
        controllerInterface->getParameterInfo(index, info);
        all.push_back(info);
    }
    return all;
}

int64_t Vst3Host::parameterId(const std::string& title) const
{
    for (const vst3::ParameterInfo& info : parameters()) {
        if (utf8Of(info.title) == title) return info.id;
    }
    return -1;
}

void Vst3Host::setParameter(vst3::ParamId id, double normalized, int32_t sampleOffset)
{
    int32_t index = 0;
    changes.addParameterData(id, index)->addPoint(sampleOffset, normalized, index);
    controllerInterface->setParamNormalized(id, normalized);
}

void Vst3Host::noteOn(int32_t sampleOffset, int16_t pitch, float velocity, int32_t noteId)
{
    vst3::Event event{};
    event.sampleOffset = sampleOffset;
    event.type = vst3::Event::kNoteOn;
    event.noteOn = {0, pitch, 0.0f, velocity, 0, noteId};
    events.events.push_back(event);
}

void Vst3Host::noteOff(int32_t sampleOffset, int16_t pitch, float velocity, int32_t noteId)
{
    vst3::Event event{};
    event.sampleOffset = sampleOffset;
    event.type = vst3::Event::kNoteOff;
    event.noteOff = {0, pitch, velocity, noteId, 0.0f};
    events.events.push_back(event);
}

vst3::Result Vst3Host::process(const float* const* inputs, float* left, float* right,
                               int32_t frames)
{
    frames = std::min(frames, maxFrames);
    // Inputs are copied so that a plug-in writing into them in place harms no caller.
    std::vector<float*> inputPointers;
    for (int32_t channel = 0; channel < inputChannels && channel < 8; ++channel) {
        float* copy = scratch.data() + size_t(channel) * size_t(maxFrames);
        const float* from =
            inputs != nullptr && inputs[channel] != nullptr ? inputs[channel] : silence.data();
        std::copy(from, from + frames, copy);
        inputPointers.push_back(copy);
    }
    float* outputPointers[2] = {left, right};
    vst3::AudioBusBuffers input{};
    input.channelCount = static_cast<int32_t>(inputPointers.size());
    input.channels32 = inputPointers.data();
    vst3::AudioBusBuffers output{};
    output.channelCount = outputChannels;
    output.channels32 = outputPointers;
    vst3::ProcessData data{};
    data.processMode = processMode;
    data.sampleSize = vst3::kSample32;
    data.sampleCount = frames;
    data.inputCount = inputChannels > 0 ? 1 : 0;
    data.outputCount = 1;
    data.inputs = inputChannels > 0 ? &input : nullptr;
    data.outputs = &output;
    data.inputParameterChanges = &changes;
    data.outputParameterChanges = &outputChanges;
    data.inputEvents = &events;
    data.outputEvents = &outputEvents;
    data.processContext = sendContext ? &context : nullptr;
    const vst3::Result result = processorInterface->process(data);
    if (outputChannels == 1) std::copy(left, left + frames, right);
    events.events.clear();
    changes.queues.clear();
    outputEvents.events.clear();
    outputChanges.queues.clear();
    return result;
}

bool Vst3Host::componentState(std::vector<uint8_t>& bytes)
{
    Vst3MemoryStream stream;
    if (componentInterface->getState(&stream) != vst3::kResultOk) return false;
    bytes = std::move(stream.bytes);
    return true;
}

bool Vst3Host::setComponentState(const std::vector<uint8_t>& bytes)
{
    Vst3MemoryStream forComponent(bytes);
    if (componentInterface->setState(&forComponent) != vst3::kResultOk) return false;
    Vst3MemoryStream forController(bytes);
    return controllerInterface->setComponentState(&forController) == vst3::kResultOk;
}

}  // namespace harness
