// The VST3 edition's component and controller; see Vst3Edition.h.
#include "vst3/Vst3Edition.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "presets/FactoryChordSets.h"

namespace vst3edition {

namespace {

constexpr int32_t kNoteChannels = 16;
constexpr int32_t kChordSetCount = 26;
// Pitch bend's 14-bit range, as the normalised parameter carries it.
constexpr double kPitchBendSteps = 16383.0;
constexpr uint32_t kInfiniteTail = 0xFFFFFFFFu;

// A factory chord set as the controls it sets: each string's fret and the sound set.
struct ChordSetControls
{
    std::string name;
    std::array<float, kChordParameterCount> frets;
    float soundSet;
};

// Read once, on the host's thread, before any block can ask for them.
const std::vector<ChordSetControls>& chordSets()
{
    static const std::vector<ChordSetControls> sets = [] {
        std::vector<ChordSetControls> all;
        std::string error;
        for (const presets::ChordSet& set : presets::factoryChordSets(error)) {
            const presets::ParameterValues values = presets::parameterValuesOf(set);
            ChordSetControls controls{set.name, {}, set.electric ? 1.0f : 0.0f};
            for (size_t i = 0; i < controls.frets.size(); ++i) {
                controls.frets[i] = float(controls::fretOfParameter(values[i]));
            }
            all.push_back(controls);
        }
        return all;
    }();
    return sets;
}

void copyText(const std::string& text, vst3::Char16* to, size_t capacity = 128)
{
    size_t written = 0;
    for (size_t i = 0; i < text.size() && written + 1 < capacity; ++i) {
        to[written++] = static_cast<unsigned char>(text[i]);
    }
    to[written] = 0;
}

// Latin-1 text of a host's UTF-16 string; characters beyond it become '?'.
std::string textOf(const vst3::Char16* text)
{
    std::string result;
    for (size_t i = 0; i < 128 && text[i] != 0; ++i) {
        result += text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
    }
    return result;
}

bool isControl(vst3::ParamId id) { return id < controls::kCount; }

// A control's steps: whole numbers between its ends, or none for a continuous one.
int32_t stepsOf(uint32_t id)
{
    const controls::Range range = controls::range(id);
    const bool whole = (controls::flags(id) & (controls::kInteger | controls::kEnumeration)) != 0;
    return whole ? static_cast<int32_t>(std::lround(range.maximum - range.minimum)) : 0;
}

// The controls in their own units, as the format's numbers from 0 to 1 and back.
double plainOf(uint32_t id, double normalized) { return controls::fromNormalised(id, normalized); }

double normalizedOf(uint32_t id, double plain)
{
    return controls::normalised(id, static_cast<float>(plain));
}

// The stream a host lends, as the instrument's state reads and writes it.
int64_t readStream(void* context, void* data, uint64_t size)
{
    int32_t moved = 0;
    const auto asked = static_cast<int32_t>(std::min<uint64_t>(size, 1u << 30));
    if (static_cast<vst3::Stream*>(context)->read(data, asked, &moved) != vst3::kResultOk) {
        return -1;
    }
    return moved;
}

int64_t writeStream(void* context, const void* data, uint64_t size)
{
    int32_t moved = 0;
    const auto asked = static_cast<int32_t>(std::min<uint64_t>(size, 1u << 30));
    if (static_cast<vst3::Stream*>(context)->write(const_cast<void*>(data), asked, &moved) !=
        vst3::kResultOk) {
        return -1;
    }
    return moved;
}

}  // namespace

Vst3Edition::Vst3Edition() : instrument(sampleRate) { chordSets(); }

vst3::Result Vst3Edition::queryInterface(const char* iid, void** object)
{
    if (object == nullptr) return vst3::kInvalidArgument;
    void* found = nullptr;
    if (vst3::Unknown::iid.matches(iid) || vst3::PluginBase::iid.matches(iid) ||
        vst3::Component::iid.matches(iid)) {
        found = static_cast<vst3::Component*>(this);
    } else if (vst3::AudioProcessor::iid.matches(iid)) {
        found = static_cast<vst3::AudioProcessor*>(this);
    } else if (vst3::EditController::iid.matches(iid)) {
        found = static_cast<vst3::EditController*>(this);
    } else if (vst3::MidiMapping::iid.matches(iid)) {
        found = static_cast<vst3::MidiMapping*>(this);
    } else if (vst3::UnitInformation::iid.matches(iid)) {
        found = static_cast<vst3::UnitInformation*>(this);
    }
    *object = found;
    if (found == nullptr) return vst3::kNoInterface;
    addRef();
    return vst3::kResultOk;
}

uint32_t Vst3Edition::addRef() { return references.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t Vst3Edition::release()
{
    // The last release may come on any thread; what others wrote before theirs must be seen.
    const uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

vst3::Result Vst3Edition::initialize(vst3::Unknown*)
{
    ++initialised;
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::terminate()
{
    if (initialised == 0) return vst3::kNotInitialized;
    if (--initialised == 0) setComponentHandler(nullptr);
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getControllerClassId(uint8_t classId[16])
{
    if (classId == nullptr) return vst3::kInvalidArgument;
    std::memcpy(classId, kControllerClass.bytes, 16);
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::setIoMode(int32_t) { return vst3::kResultOk; }

// One event input for the notes, one stereo output, no audio input.
int32_t Vst3Edition::getBusCount(int32_t type, int32_t direction)
{
    if (type == vst3::kEvent && direction == vst3::kInput) return 1;
    if (type == vst3::kAudio && direction == vst3::kOutput) return 1;
    return 0;
}

vst3::Result Vst3Edition::getBusInfo(int32_t type, int32_t direction, int32_t index,
                                     vst3::BusInfo& info)
{
    if (index != 0 || getBusCount(type, direction) != 1) return vst3::kInvalidArgument;
    info = {};
    info.mediaType = type;
    info.direction = direction;
    info.channelCount = type == vst3::kEvent ? kNoteChannels : 2;
    copyText(type == vst3::kEvent ? "Notes" : "Output", info.name);
    info.busType = vst3::kMainBus;
    info.flags = vst3::BusInfo::kDefaultActive;
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getRoutingInfo(vst3::RoutingInfo&, vst3::RoutingInfo&)
{
    return vst3::kNotImplemented;
}

vst3::Result Vst3Edition::activateBus(int32_t type, int32_t direction, int32_t index, vst3::Bool8)
{
    return index == 0 && getBusCount(type, direction) == 1 ? vst3::kResultOk
                                                           : vst3::kInvalidArgument;
}

vst3::Result Vst3Edition::setActive(vst3::Bool8 state)
{
    if (state != 0 && !active) {
        instrument.activate();
        transportKnown = false;
    }
    active = state != 0;
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::setState(vst3::Stream* state)
{
    if (state == nullptr) return vst3::kInvalidArgument;
    return instrument.loadState(readStream, state) == state::Result::ok ? vst3::kResultOk
                                                                        : vst3::kResultFalse;
}

vst3::Result Vst3Edition::getState(vst3::Stream* state)
{
    if (state == nullptr) return vst3::kInvalidArgument;
    return instrument.saveState(writeStream, state) ? vst3::kResultOk : vst3::kResultFalse;
}

vst3::Result Vst3Edition::setBusArrangements(vst3::SpeakerArrangement*, int32_t inputCount,
                                             vst3::SpeakerArrangement* outputs, int32_t outputCount)
{
    const bool stereoOut =
        inputCount == 0 && outputCount == 1 && outputs != nullptr && outputs[0] == vst3::kStereo;
    return stereoOut ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::Result Vst3Edition::getBusArrangement(int32_t direction, int32_t index,
                                            vst3::SpeakerArrangement& arrangement)
{
    if (direction != vst3::kOutput || index != 0) return vst3::kInvalidArgument;
    arrangement = vst3::kStereo;
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::canProcessSampleSize(int32_t sampleSize)
{
    return sampleSize == vst3::kSample32 ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::Result Vst3Edition::setupProcessing(vst3::ProcessSetup& setup)
{
    if (active) return vst3::kResultFalse;  // the format allows it only while inactive
    if (std::isfinite(setup.sampleRate) && setup.sampleRate > 0.0) {
        sampleRate = setup.sampleRate;
        instrument.setSampleRate(sampleRate);
    }
    return setup.sampleSize == vst3::kSample32 ? vst3::kResultOk : vst3::kResultFalse;
}

vst3::Result Vst3Edition::setProcessing(vst3::Bool8) { return vst3::kResultOk; }

uint32_t Vst3Edition::getTailSamples()
{
    return kInfiniteTail;  // strings ring on, and patterns go on strumming, after the notes
}

vst3::Result Vst3Edition::process(vst3::ProcessData& data)
{
    const uint32_t frames = data.sampleCount > 0 ? uint32_t(data.sampleCount) : 0;
    float* left = nullptr;
    float* right = nullptr;
    if (data.outputCount > 0 && data.outputs != nullptr && data.sampleSize == vst3::kSample32 &&
        data.outputs[0].channels32 != nullptr) {
        left = data.outputs[0].channelCount > 0 ? data.outputs[0].channels32[0] : nullptr;
        right = data.outputs[0].channelCount > 1 ? data.outputs[0].channels32[1] : nullptr;
        data.outputs[0].silenceFlags = 0;
    }
    if (!active) {
        // Before setActive there is nothing to play yet: silence.
        if (left != nullptr) std::fill(left, left + frames, 0.0f);
        if (right != nullptr) std::fill(right, right + frames, 0.0f);
        return vst3::kResultOk;
    }
    instrument.beginBlock(left, right, frames);
    if (data.processContext != nullptr) takeTransport(*data.processContext, frames);

    if (data.inputEvents != nullptr) {
        const int32_t count = data.inputEvents->getEventCount();
        for (int32_t index = 0; index < count; ++index) {
            vst3::Event event{};
            if (data.inputEvents->getEvent(index, event) != vst3::kResultOk) continue;
            const auto frame = uint32_t(std::max(0, event.sampleOffset));
            if (event.type == vst3::Event::kNoteOn || event.type == vst3::Event::kNoteOff) {
                const bool on = event.type == vst3::Event::kNoteOn;
                const int16_t pitch = on ? event.noteOn.pitch : event.noteOff.pitch;
                const int16_t channel = on ? event.noteOn.channel : event.noteOff.channel;
                const float velocity = on ? event.noteOn.velocity : event.noteOff.velocity;
                if (pitch < 0 || pitch > 127) continue;
                // Velocity as the MIDI byte it came from: hosts divide it by 127.
                const double scaled = std::isfinite(velocity) ? velocity * 127.0 : 0.0;
                const uint8_t bytes[3] = {uint8_t((on ? 0x90 : 0x80) | (channel & 0x0F)),
                                          uint8_t(pitch),
                                          uint8_t(std::clamp(std::lround(scaled), 0L, 127L))};
                instrument.midi(frame, bytes, 3);
            }
        }
    }

    if (data.inputParameterChanges != nullptr) {
        const int32_t count = data.inputParameterChanges->getParameterCount();
        for (int32_t index = 0; index < count; ++index) {
            vst3::ParamValueQueue* queue = data.inputParameterChanges->getParameterData(index);
            if (queue == nullptr) continue;
            const vst3::ParamId id = queue->getParameterId();
            const int32_t points = queue->getPointCount();
            for (int32_t point = 0; point < points; ++point) {
                int32_t offset = 0;
                double value = 0.0;
                if (queue->getPoint(point, offset, value) != vst3::kResultOk ||
                    !std::isfinite(value)) {
                    continue;
                }
                const auto frame = uint32_t(std::max(0, offset));
                value = std::clamp(value, 0.0, 1.0);
                if (isControl(id)) {
                    if ((controls::flags(id) & controls::kOutput) == 0) {
                        instrument.control(frame, id, controls::fromNormalised(id, value));
                    }
                } else if (id == kPitchBendParameter) {
                    const auto bend = uint16_t(std::lround(value * kPitchBendSteps));
                    const uint8_t bytes[3] = {0xE0, uint8_t(bend & 0x7F), uint8_t(bend >> 7)};
                    instrument.midi(frame, bytes, 3);
                    pitchBend.store(value, std::memory_order_relaxed);
                } else if (id == kChordSetParameter) {
                    applyChordSet(frame, int32_t(std::lround(value * (kChordSetCount - 1))));
                }
            }
        }
    }
    instrument.endBlock();
    return vst3::kResultOk;
}

void Vst3Edition::applyChordSet(uint32_t frame, int32_t set)
{
    const std::vector<ChordSetControls>& sets = chordSets();
    if (set < 0 || size_t(set) >= sets.size()) return;
    for (uint32_t i = 0; i < kChordParameterCount; ++i) {
        instrument.control(frame, controls::kFirstString + i, sets[size_t(set)].frets[i]);
    }
    instrument.control(frame, controls::kSoundSet, sets[size_t(set)].soundSet);
    chordSet.store(set, std::memory_order_relaxed);
}

// The process context comes with every block; the instrument's clock runs on by itself from
// a statement, so the context is stated only when the transport did something else than run
// on: started, stopped, jumped, or changed tempo or meter.
void Vst3Edition::takeTransport(const vst3::ProcessContext& context, uint32_t frames)
{
    using Context = vst3::ProcessContext;
    const bool playing = (context.state & Context::kPlaying) != 0;
    const bool hasTempo = (context.state & Context::kTempoValid) != 0 &&
                          std::isfinite(context.tempo) && context.tempo > 0.0;
    const bool hasQuarters = (context.state & Context::kProjectTimeMusicValid) != 0 &&
                             std::isfinite(context.projectTimeMusic);
    const bool hasBar = (context.state & Context::kBarPositionValid) != 0 &&
                        std::isfinite(context.barPositionMusic);
    const bool hasMeter = (context.state & Context::kTimeSigValid) != 0 &&
                          context.timeSigNumerator > 0 && context.timeSigDenominator > 0;
    const double newTempo = hasTempo ? context.tempo : tempo;
    const double quartersPerFrame = newTempo / 60.0 / sampleRate;
    // Half a sample: hosts state positions of whole samples, each computed afresh.
    const bool moved =
        !transportKnown || playing != ((transportState & Context::kPlaying) != 0) ||
        newTempo != tempo ||
        (hasMeter &&
         (context.timeSigNumerator != meter[0] || context.timeSigDenominator != meter[1])) ||
        (hasQuarters &&
         !(std::fabs(context.projectTimeMusic - expectedQuarters) <= 0.5 * quartersPerFrame));
    if (moved) {
        Transport stated;
        stated.valid = Transport::kSpeed;
        stated.speed = playing ? 1.0 : 0.0;
        if (hasTempo) {
            stated.valid |= Transport::kTempo;
            stated.beatsPerMinute = context.tempo;
        }
        if (hasQuarters) {
            stated.valid |= Transport::kQuarters;
            stated.quarters = context.projectTimeMusic;
            if (hasBar) {
                stated.valid |= Transport::kBarStart;
                stated.barStart = context.barPositionMusic;
            }
        }
        if (hasMeter) {
            stated.valid |= Transport::kBeatsPerBar | Transport::kBeatUnit;
            stated.beatsPerBar = context.timeSigNumerator;
            stated.beatUnit = context.timeSigDenominator;
            meter[0] = context.timeSigNumerator;
            meter[1] = context.timeSigDenominator;
        }
        if (std::isfinite(double(context.projectTimeSamples))) {
            stated.valid |= Transport::kSample;
            stated.sample = double(context.projectTimeSamples);
        }
        instrument.transport(0, stated);
        transportKnown = true;
        transportState = context.state;
        tempo = newTempo;
    }
    if (hasQuarters) {
        expectedQuarters = context.projectTimeMusic + (playing ? frames * quartersPerFrame : 0.0);
    } else if (playing) {
        expectedQuarters += frames * quartersPerFrame;
    }
}

vst3::Result Vst3Edition::setComponentState(vst3::Stream*)
{
    // The same object read the component's state already; a controller made apart from its
    // component reads it here.
    return vst3::kResultOk;
}

int32_t Vst3Edition::getParameterCount() { return int32_t(controls::kCount) + 2; }

vst3::ParamId Vst3Edition::idAt(int32_t index)
{
    if (index < int32_t(controls::kCount)) return vst3::ParamId(index);
    return index == int32_t(controls::kCount) ? kChordSetParameter : kPitchBendParameter;
}

vst3::Result Vst3Edition::getParameterInfo(int32_t index, vst3::ParameterInfo& info)
{
    if (index < 0 || index >= getParameterCount()) return vst3::kInvalidArgument;
    info = {};
    info.id = idAt(index);
    if (info.id == kChordSetParameter) {
        copyText("Chord set", info.title);
        copyText("Chord set", info.shortTitle);
        info.stepCount = kChordSetCount - 1;
        info.flags = vst3::ParameterInfo::kIsProgramChange | vst3::ParameterInfo::kIsList |
                     vst3::ParameterInfo::kCanAutomate;
        return vst3::kResultOk;
    }
    if (info.id == kPitchBendParameter) {
        copyText("Pitch bend", info.title);
        copyText("Bend", info.shortTitle);
        info.defaultNormalizedValue = 0.5;
        info.flags = vst3::ParameterInfo::kIsHidden | vst3::ParameterInfo::kCanAutomate;
        return vst3::kResultOk;
    }
    const uint32_t id = info.id;
    const uint32_t flags = controls::flags(id);
    copyText(controls::name(id), info.title);
    copyText(controls::symbol(id), info.shortTitle);
    copyText(controls::unit(id), info.units);
    info.stepCount = stepsOf(id);
    info.defaultNormalizedValue = normalizedOf(id, controls::range(id).defaultValue);
    info.unitId = controls::isString(id)       ? kFirstChordUnit + int32_t(id / 6)
                  : controls::isPlayingAid(id) ? kPlayingAidsUnit
                                               : 0;
    if (flags & controls::kOutput) {
        info.flags = vst3::ParameterInfo::kIsReadOnly;
    } else {
        info.flags = vst3::ParameterInfo::kCanAutomate;
        if (flags & controls::kEnumeration) info.flags |= vst3::ParameterInfo::kIsList;
    }
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getParamStringByValue(vst3::ParamId id, double value,
                                                vst3::String128 text)
{
    if (text == nullptr || !std::isfinite(value)) return vst3::kInvalidArgument;
    if (isControl(id)) {
        copyText(controls::valueText(id, float(plainOf(id, value))), text);
    } else if (id == kChordSetParameter) {
        const std::vector<ChordSetControls>& sets = chordSets();
        const auto set = size_t(std::lround(std::clamp(value, 0.0, 1.0) * (kChordSetCount - 1)));
        if (set >= sets.size()) return vst3::kInvalidArgument;
        copyText(sets[set].name, text);
    } else if (id == kPitchBendParameter) {
        copyText(std::to_string(std::lround(std::clamp(value, 0.0, 1.0) * kPitchBendSteps) - 8192),
                 text);
    } else {
        return vst3::kInvalidArgument;
    }
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getParamValueByString(vst3::ParamId id, vst3::Char16* text, double& value)
{
    if (text == nullptr) return vst3::kInvalidArgument;
    const std::string typed = textOf(text);
    if (isControl(id)) {
        float plain = 0.0f;
        if (!controls::parseValue(id, typed, plain)) return vst3::kResultFalse;
        value = normalizedOf(id, plain);
        return vst3::kResultOk;
    }
    if (id == kChordSetParameter) {
        const std::vector<ChordSetControls>& sets = chordSets();
        for (size_t set = 0; set < sets.size(); ++set) {
            if (sets[set].name == typed) {
                value = double(set) / (kChordSetCount - 1);
                return vst3::kResultOk;
            }
        }
        return vst3::kResultFalse;
    }
    if (id == kPitchBendParameter) {
        char* end = nullptr;
        const double bend = std::strtod(typed.c_str(), &end);
        if (typed.empty() || *end != '\0' || !std::isfinite(bend)) return vst3::kResultFalse;
        value = std::clamp((bend + 8192.0) / kPitchBendSteps, 0.0, 1.0);
        return vst3::kResultOk;
    }
    return vst3::kInvalidArgument;
}

double Vst3Edition::normalizedParamToPlain(vst3::ParamId id, double value)
{
    if (isControl(id)) return plainOf(id, value);
    if (id == kChordSetParameter)
        return std::lround(std::clamp(value, 0.0, 1.0) * (kChordSetCount - 1));
    return value;
}

double Vst3Edition::plainParamToNormalized(vst3::ParamId id, double plain)
{
    if (isControl(id)) return normalizedOf(id, plain);
    if (id == kChordSetParameter) return std::clamp(plain / (kChordSetCount - 1), 0.0, 1.0);
    return plain;
}

double Vst3Edition::getParamNormalized(vst3::ParamId id)
{
    if (isControl(id)) return normalizedOf(id, instrument.value(id));
    if (id == kChordSetParameter) {
        return double(chordSet.load(std::memory_order_relaxed)) / (kChordSetCount - 1);
    }
    if (id == kPitchBendParameter) return pitchBend.load(std::memory_order_relaxed);
    return 0.0;
}

// The host's thread: what it sets here reaches the instrument at the next block's start.
vst3::Result Vst3Edition::setParamNormalized(vst3::ParamId id, double value)
{
    if (!std::isfinite(value)) return vst3::kInvalidArgument;
    value = std::clamp(value, 0.0, 1.0);
    if (isControl(id)) {
        if (controls::flags(id) & controls::kOutput) return vst3::kResultFalse;
        instrument.setValue(id, float(plainOf(id, value)));
        return vst3::kResultOk;
    }
    if (id == kChordSetParameter) {
        const auto set = int32_t(std::lround(value * (kChordSetCount - 1)));
        const std::vector<ChordSetControls>& sets = chordSets();
        if (size_t(set) >= sets.size()) return vst3::kInvalidArgument;
        controls::Settings settings = instrument.settings();
        for (uint32_t i = 0; i < kChordParameterCount; ++i) {
            settings[controls::kFirstString + i] = sets[size_t(set)].frets[i];
        }
        settings[controls::kSoundSet] = sets[size_t(set)].soundSet;
        instrument.setSettings(settings);
        chordSet.store(set, std::memory_order_relaxed);
        return vst3::kResultOk;
    }
    if (id == kPitchBendParameter) {
        pitchBend.store(value, std::memory_order_relaxed);
        return vst3::kResultOk;
    }
    return vst3::kInvalidArgument;
}

vst3::Result Vst3Edition::setComponentHandler(vst3::ComponentHandler* newHandler)
{
    if (newHandler == handler) return vst3::kResultOk;
    if (newHandler != nullptr) newHandler->addRef();
    if (handler != nullptr) handler->release();
    handler = newHandler;
    return vst3::kResultOk;
}

vst3::PlugView* Vst3Edition::createView(const char*) { return nullptr; }

vst3::Result Vst3Edition::getMidiControllerAssignment(int32_t busIndex, int16_t, int16_t controller,
                                                      vst3::ParamId& id)
{
    if (busIndex != 0 || controller != vst3::MidiMapping::kPitchBend) return vst3::kResultFalse;
    id = kPitchBendParameter;
    return vst3::kResultTrue;
}

int32_t Vst3Edition::getUnitCount() { return kPlayingAidsUnit + 1; }

vst3::Result Vst3Edition::getUnitInfo(int32_t index, vst3::UnitInfo& info)
{
    if (index < 0 || index >= getUnitCount()) return vst3::kInvalidArgument;
    info = {};
    info.id = index;
    info.parentUnitId = index == 0 ? vst3::UnitInfo::kNoParentUnit : vst3::UnitInfo::kRootUnit;
    info.programListId = index == 0 ? kChordSetList : vst3::UnitInfo::kNoProgramList;
    const std::string name = index == 0                  ? "Lyrevane"
                             : index == kPlayingAidsUnit ? controls::group(controls::kPattern)
                                                         : controls::chordLabel(index - 1);
    copyText(name, info.name);
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getProgramListInfo(int32_t index, vst3::ProgramListInfo& info)
{
    if (index != 0) return vst3::kInvalidArgument;
    info = {};
    info.id = kChordSetList;
    copyText("Chord sets", info.name);
    info.programCount = int32_t(chordSets().size());
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getProgramName(vst3::ProgramListId list, int32_t program,
                                         vst3::String128 name)
{
    const std::vector<ChordSetControls>& sets = chordSets();
    if (list != kChordSetList || program < 0 || size_t(program) >= sets.size() || name == nullptr) {
        return vst3::kInvalidArgument;
    }
    copyText(sets[size_t(program)].name, name);
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getProgramInfo(vst3::ProgramListId, int32_t, const char*, vst3::String128)
{
    return vst3::kNotImplemented;
}

vst3::Result Vst3Edition::hasProgramPitchNames(vst3::ProgramListId list, int32_t program)
{
    return list == kChordSetList && program >= 0 && size_t(program) < chordSets().size()
               ? vst3::kResultTrue
               : vst3::kResultFalse;
}

// The keys as they play now: the chord keys name the chords of the chord set in force.
vst3::Result Vst3Edition::getProgramPitchName(vst3::ProgramListId list, int32_t program,
                                              int16_t pitch, vst3::String128 name)
{
    if (hasProgramPitchNames(list, program) != vst3::kResultTrue || pitch < 0 || pitch > 127 ||
        name == nullptr) {
        return vst3::kInvalidArgument;
    }
    copyText(instrument.keyNames()[size_t(pitch)], name);
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::getUnitByBus(int32_t, int32_t, int32_t, int32_t, vst3::UnitId& unit)
{
    unit = 0;
    return vst3::kResultOk;
}

vst3::Result Vst3Edition::setUnitProgramData(int32_t, int32_t, vst3::Stream*)
{
    return vst3::kNotImplemented;
}

}  // namespace vst3edition
