// Drives the instrument through its effect record as an arbitrary host could: any opcode with
// the buffers a host provides for it, any parameter and value, any event list, any block and
// any time record, in any order, checking the record and every output sample as it goes.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "editor/CPlektraGUI.h"
#include "host/Plektra.h"
#include "platform/EmbeddedResources.h"
#include "platform/Resources.h"
#include "sound/SampleBank.h"
#include "tests/fuzz/FuzzInput.h"
#include "tools/HostWindow.h"
#include "tools/PluginHost.h"

namespace {

// Largest block one operation renders, and the frames one input may render in all, so that
// a long input cannot slow the search down to a crawl.
constexpr int32_t kMaxFrames = 4096;
constexpr int64_t kFrameBudget = 4096;
// 32 voices at full velocity and envelope, reading full-scale samples, through the mix
// gain of 1/4: nothing the instrument plays can exceed this.
constexpr float kOutputBound = 8.0f;
// What a block writes over; a value the instrument never produces on its own.
constexpr float kUnwritten = -12345.0f;
constexpr uint8_t kBufferFill = 0xA5;

// Square waves at full scale, 512 samples long, in place of the 25 recordings: the
// instrument then builds in microseconds and the voices still swing as far as they can.
std::vector<uint8_t> makeStandInWave(float rootFrequency)
{
    constexpr uint32_t kSamples = 512;
    std::vector<uint8_t> bytes;
    auto put = [&](uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    auto tag = [&](const char* code) { bytes.insert(bytes.end(), code, code + 4); };
    tag("RIFF");
    put(36 + kSamples * 2, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(44100, 4);
    put(88200, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(kSamples * 2, 4);
    const float halfPeriod = 44100.0f / rootFrequency / 2.0f;
    for (uint32_t i = 0; i < kSamples; ++i) {
        const bool high = static_cast<uint32_t>(static_cast<float>(i) / halfPeriod) % 2 == 0;
        put(high ? 0x7FFF : 0x8000, 2);
    }
    return bytes;
}

// The stand-in recordings with the module's own images.
void installStandInResources()
{
    static std::vector<std::vector<uint8_t>> waves;
    static std::vector<platform::EmbeddedResource> table;
    for (const recordings::Recording& recording : recordings::kRecordings) {
        waves.push_back(makeStandInWave(noteFrequency(recording.rootNote)));
        table.push_back({"WAVE", recording.resourceId, waves.back().data(),
                         waves.back().data() + waves.back().size()});
    }
    for (size_t i = 0; i < platform::kEmbeddedResourceCount; ++i) {
        const platform::EmbeddedResource& resource = platform::kEmbeddedResources[i];
        if (std::strcmp(resource.type, "PNG") == 0) table.push_back(resource);
    }
    platform::setResourceTable(table.data(), table.size());
}

// The host, which answers the instrument's time requests as the input says.
harness::PluginHost& host()
{
    static harness::PluginHost instance;
    return instance;
}

AEffect* makeInstrument(audioMasterCallback audioMaster)
{
    return (new Plektra(audioMaster, &CPlektraGUI::create))->getAeffect();
}

AEffect* openInstrument()
{
    host().recordCalls = false;
    host().answerTimeWithNull = false;
    host().timeInfo = VstTimeInfo{};
    host().timeInfo.tempo = 120.0;
    host().timeInfo.sampleRate = 44100.0;
    return host().open(makeInstrument);
}

// What a host passes in ptr (and, for the speaker arrangements, in value) for each opcode.
enum class Argument {
    NoPointer,
    TextOut,         // a text buffer of the given size for the answer
    TextIn,          // a zero-terminated text
    Slot,            // the address of a pointer the plug-in fills in
    HostRecord,      // a record of the interface the host fills or expects filled
    Events,          // a VstEvents list
    Chunk,           // chunk bytes, their size in value
    SpeakerSlots,    // value and ptr each the address of a pointer
    SpeakerRecords,  // value and ptr each a record
    Unknown,         // an opcode the interface does not define: null or some record
    ParentWindow,    // the host's window for the editor, or null
};

struct ArgumentShape
{
    Argument kind;
    size_t size;
};

ArgumentShape argumentOf(int32_t opcode)
{
    switch (opcode) {
    // The smallest text buffers hosts are known to pass for each kind of text.
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        return {Argument::TextOut, 8};
    case effGetProgramName:
    case effGetProgramNameIndexed:
        return {Argument::TextOut, 24};
    case effGetEffectName:
        return {Argument::TextOut, 32};
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
        return {Argument::TextOut, 64};
    case effGetErrorText:
        return {Argument::TextOut, 256};
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
        return {Argument::TextIn, 0};
    case effEditGetRect:
    case effGetChunk:
        return {Argument::Slot, 0};
    case effSetChunk:
        return {Argument::Chunk, 0};
    case effProcessEvents:
        return {Argument::Events, 0};
    case effGetSpeakerArrangement:
        return {Argument::SpeakerSlots, 0};
    case effSetSpeakerArrangement:
        return {Argument::SpeakerRecords, 1024};
    case effEditOpen:
        return {Argument::ParentWindow, 0};
    case effGetInputProperties:
    case effGetOutputProperties:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo:
    case effVendorSpecific:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return {Argument::HostRecord, 1024};
    default:
        break;
    }
    if (opcode < 0 || opcode > effGetNumMidiOutputChannels) return {Argument::Unknown, 1024};
    return {Argument::NoPointer, 0};
}

// With a display, the editor opens in a real window of ours, as in a host; without one, or
// when the input says so, it gets null. A made-up window id would be the fuzzer's fault.
void* parentWindow()
{
    static const harness::HostWindow window(0, 0, 600, 300);
    return window.ok() ? window.parent() : nullptr;
}

int32_t takeOpcode(FuzzInput& in)
{
    const uint8_t choice = in.takeByte();
    if (choice < 0xF0) return choice % (effGetNumMidiOutputChannels + 3);
    return in.take<int32_t>();
}

// A VstEvents list of exactly the length it announces, so that reading one pointer past it
// is caught, and events of exactly the MIDI event's size.
class EventList
{
public:
    explicit EventList(FuzzInput& in)
    {
        const uint8_t choice = in.takeByte();
        // Now and then more events than the instrument's queue holds.
        const size_t count = choice < 0xF0 ? choice % 32 : 200 + in.takeByte();
        storage.assign(offsetof(VstEvents, events) + count * sizeof(VstEvent*), 0);
        list()->numEvents = static_cast<int32_t>(count);
        events.resize(count);
        for (size_t i = 0; i < count; ++i) {
            auto event = std::make_unique<VstMidiEvent>();
            event->type = in.takeByte() < 0xE0 ? kVstMidiType : in.take<int32_t>();
            event->byteSize = in.takeByte() < 0xE0 ? sizeof(VstMidiEvent) : in.take<int32_t>();
            event->deltaFrames =
                in.takeByte() < 0xE0 ? in.take<uint16_t>() % kMaxFrames : in.take<int32_t>();
            event->flags = in.take<int32_t>();
            for (char& byte : event->midiData)
                byte = static_cast<char>(in.takeByte());
            event->detune = static_cast<char>(in.takeByte());
            event->noteOffVelocity = static_cast<char>(in.takeByte());
            VstEvent* generic = reinterpret_cast<VstEvent*>(event.get());
            std::memcpy(storage.data() + offsetof(VstEvents, events) + i * sizeof(VstEvent*),
                        &generic, sizeof generic);
            events[i] = std::move(event);
        }
    }

    VstEvents* list() { return reinterpret_cast<VstEvents*>(storage.data()); }

private:
    std::vector<unsigned char> storage;
    std::vector<std::unique_ptr<VstMidiEvent>> events;
};

// Anything the plug-in wrote into a text buffer must end inside it.
void checkText(const std::vector<uint8_t>& buffer)
{
    bool written = false;
    for (uint8_t byte : buffer)
        written = written || byte != kBufferFill;
    if (written) FUZZ_CHECK(std::memchr(buffer.data(), 0, buffer.size()) != nullptr);
}

void dispatch(AEffect*& effect, FuzzInput& in)
{
    const int32_t opcode = takeOpcode(in);
    const int32_t index = in.takeIndex(80);
    intptr_t value = in.take<int32_t>();
    const float opt = in.takeFloat();
    const ArgumentShape shape = argumentOf(opcode);

    std::vector<uint8_t> buffer;
    std::vector<uint8_t> second;
    void* slots[2] = {&buffer, &second};  // anything but null, to see they are cleared
    std::unique_ptr<EventList> events;
    void* ptr = nullptr;
    switch (shape.kind) {
    case Argument::NoPointer:
        break;
    case Argument::TextOut:
        buffer.assign(shape.size, kBufferFill);
        ptr = buffer.data();
        break;
    case Argument::TextIn:
        buffer = in.takeBytes(in.takeByte() % 80);
        buffer.push_back(0);
        ptr = buffer.data();
        break;
    case Argument::Slot:
        ptr = &slots[0];
        break;
    case Argument::HostRecord:
    case Argument::SpeakerRecords:
    case Argument::Unknown:
        if (shape.kind == Argument::Unknown && in.takeByte() % 2 == 0) break;
        buffer = in.takeBytes(shape.size);
        buffer.resize(shape.size);
        second = buffer;
        ptr = buffer.data();
        if (shape.kind == Argument::SpeakerRecords)
            value = reinterpret_cast<intptr_t>(second.data());
        break;
    case Argument::Events:
        // A host that forgets its list passes null.
        if (in.takeByte() == 0xFF) break;
        events = std::make_unique<EventList>(in);
        ptr = events->list();
        break;
    case Argument::Chunk:
        buffer = in.takeBytes(in.takeByte());
        ptr = buffer.data();
        value = static_cast<intptr_t>(buffer.size());
        break;
    case Argument::SpeakerSlots:
        value = reinterpret_cast<intptr_t>(&slots[0]);
        ptr = &slots[1];
        break;
    case Argument::ParentWindow:
        if (in.takeByte() % 4 != 0) ptr = parentWindow();
        break;
    }

    // Closing goes through the host, which then knows the effect is gone.
    const intptr_t result = opcode == effClose
                                ? host().close()
                                : effect->dispatcher(effect, opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        FUZZ_CHECK(result == 1);
        effect = openInstrument();
        return;
    }
    switch (shape.kind) {
    case Argument::TextOut:
        checkText(buffer);
        break;
    case Argument::Events:
        FUZZ_CHECK(result == 1);
        break;
    case Argument::SpeakerSlots:
        FUZZ_CHECK(slots[0] == nullptr && slots[1] == nullptr);
        break;
    case Argument::Slot:
        if (opcode == effEditGetRect && result == 1) {
            const ERect* rect = static_cast<const ERect*>(slots[0]);
            FUZZ_CHECK(rect != nullptr);
            FUZZ_CHECK(rect->bottom > rect->top && rect->right > rect->left);
        }
        if (opcode == effGetChunk && result > 0) {
            // The host copies that many bytes from where the slot points.
            std::vector<uint8_t> copy(static_cast<const uint8_t*>(slots[0]),
                                      static_cast<const uint8_t*>(slots[0]) + result);
        }
        break;
    default:
        break;
    }
}

int32_t takeFrames(FuzzInput& in, int64_t& budget)
{
    int32_t frames =
        in.takeByte() < 0xF0 ? in.take<uint16_t>() % (kMaxFrames + 1) : in.take<int32_t>();
    if (frames > kMaxFrames) frames %= kMaxFrames + 1;
    if (frames > budget) frames = static_cast<int32_t>(budget);
    if (frames > 0) budget -= frames;
    return frames;
}

void render(AEffect* effect, FuzzInput& in, int64_t& budget)
{
    const int32_t frames = takeFrames(in, budget);
    const size_t length = frames > 0 ? static_cast<size_t>(frames) : 1;
    std::vector<float> left(length, kUnwritten);
    std::vector<float> right(length, kUnwritten);
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, frames);
    if (frames <= 0) {
        FUZZ_CHECK(left[0] == kUnwritten && right[0] == kUnwritten);
        return;
    }
    for (size_t i = 0; i < length; ++i) {
        FUZZ_CHECK(std::isfinite(left[i]) && std::fabs(left[i]) <= kOutputBound);
        FUZZ_CHECK(left[i] == right[i]);
    }
}

// The deprecated accumulating entries must leave the host's buffers alone.
void renderThroughOldEntries(AEffect* effect, FuzzInput& in, int64_t& budget)
{
    const int32_t frames = takeFrames(in, budget);
    const size_t length = frames > 0 ? static_cast<size_t>(frames) : 1;
    std::vector<float> single(length, kUnwritten);
    std::vector<double> wide(length, kUnwritten);
    float* outputs[2] = {single.data(), single.data()};
    double* wideOutputs[2] = {wide.data(), wide.data()};
    effect->process(effect, nullptr, outputs, frames);
    effect->processDoubleReplacing(effect, nullptr, wideOutputs, frames);
    for (size_t i = 0; i < length; ++i)
        FUZZ_CHECK(single[i] == kUnwritten && wide[i] == kUnwritten);
}

void changeTimeAnswer(FuzzInput& in)
{
    host().answerTimeWithNull = in.takeByte() % 4 == 0;
    VstTimeInfo& time = host().timeInfo;
    time.flags = in.take<int32_t>();
    time.tempo = in.takeDouble();
    time.ppqPos = in.takeDouble();
    time.samplePos = in.takeDouble();
    time.sampleRate = in.takeDouble();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool installed = (installStandInResources(), true);
    (void)installed;

    FuzzInput in(data, size);
    AEffect* effect = openInstrument();
    int64_t budget = kFrameBudget;
    while (!in.empty()) {
        switch (in.takeByte() % 8) {
        case 0:
        case 1:
            dispatch(effect, in);
            break;
        case 2:
            effect->setParameter(effect, in.takeIndex(77), in.takeFloat());
            break;
        case 3: {
            const float value = effect->getParameter(effect, in.takeIndex(77));
            FUZZ_CHECK(value >= -1.0f && value <= 1.0f);
            break;
        }
        case 4:
            render(effect, in, budget);
            break;
        case 5:
            renderThroughOldEntries(effect, in, budget);
            break;
        case 6:
            changeTimeAnswer(in);
            break;
        case 7: {
            // A host that passes no output array at all.
            int32_t frames = takeFrames(in, budget);
            effect->processReplacing(effect, nullptr, nullptr, frames);
            break;
        }
        }
        // The record sits inside the instrument: a stray write anywhere near would show here.
        FUZZ_CHECK(effect->magic == kEffectMagic && effect->numParams == kParameterCount);
    }
    host().close();
    return 0;
}
