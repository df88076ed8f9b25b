// Cost of the instrument's block processing: processReplacing blocks while the dense
// strumming example plays, the strum engine's processBlock with its schedule full, and the
// loading of instances through the built module, alone and sixteen to a session; and what a
// strum pattern on a held chord costs against the same strums played by keys.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include "clap/ClapAbi.h"
#include "host/Plektra.h"
#include "lv2/Lv2Instrument.h"
#include "platform/LoadableModule.h"
#include "tests/support/Lv2Host.h"
#include "tools/MidiFile.h"
#include "tools/PluginHost.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kMaxEventsPerBlock = 512;

AEffect* makePlektra(audioMasterCallback audioMaster)
{
    return (new Plektra(audioMaster))->getAeffect();
}

// The MIDI events of one block, laid out as the host hands them over.
struct BlockEvents
{
    std::vector<VstMidiEvent> midi;
    std::vector<VstEvent*> pointers;
    std::vector<uint8_t> list;  // a VstEvents with room for every pointer

    VstEvents* events()
    {
        const size_t header = offsetof(VstEvents, events);
        list.assign(header + sizeof(VstEvent*) * (pointers.size() + 1), 0);
        auto* events = reinterpret_cast<VstEvents*>(list.data());
        events->numEvents = static_cast<int32_t>(pointers.size());
        std::memcpy(list.data() + header, pointers.data(), sizeof(VstEvent*) * pointers.size());
        return events;
    }
};

// The dense example cut into blocks of the benchmark's range(0) frames; empty, with the
// benchmark skipped, when the file cannot be read.
std::vector<BlockEvents> denseStrumBlocks(benchmark::State& state)
{
    const auto frames = static_cast<int32_t>(state.range(0));
    std::string error;
    const auto file = smf::MidiFile::load(LYREVANE_EXAMPLES_DIR "/dense-strum.mid", error);
    if (!file) {
        state.SkipWithError(error.c_str());
        return {};
    }
    const smf::TempoMap& tempo = file->tempoMap();
    const double seconds = tempo.secondsAtTick(file->events().back().tick) + 1.0;
    std::vector<BlockEvents> blocks(static_cast<size_t>(seconds * kRate / frames) + 1);
    for (const smf::ChannelEvent& event : file->events()) {
        const auto sample = static_cast<int64_t>(tempo.secondsAtTick(event.tick) * kRate);
        BlockEvents& block = blocks[static_cast<size_t>(sample / frames)];
        VstMidiEvent midi{};
        midi.type = kVstMidiType;
        midi.byteSize = sizeof(VstMidiEvent);
        midi.deltaFrames = static_cast<int32_t>(sample % frames);
        midi.midiData[0] = static_cast<char>(event.status);
        midi.midiData[1] = static_cast<char>(event.data1);
        midi.midiData[2] = static_cast<char>(event.data2);
        if (block.midi.size() < kMaxEventsPerBlock) block.midi.push_back(midi);
    }
    for (BlockEvents& block : blocks) {
        for (VstMidiEvent& midi : block.midi) {
            block.pointers.push_back(reinterpret_cast<VstEvent*>(&midi));
        }
    }
    return blocks;
}

// The frames each iteration processed, and the seconds of sound per second of processor time.
void countFrames(benchmark::State& state, int32_t frames)
{
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * frames / kRate, benchmark::Counter::kIsRate);
}

// One processReplacing block of range(0) frames; the song loops until the timing is done.
// Varied, every stroke is drawn anew (the musician's instrument's variation).
void plektraDenseBlock(benchmark::State& state, bool varied)
{
    const auto frames = static_cast<int32_t>(state.range(0));
    std::vector<BlockEvents> blocks = denseStrumBlocks(state);
    if (blocks.empty()) return;
    std::vector<VstEvents*> lists;
    for (BlockEvents& block : blocks) lists.push_back(block.events());

    // A playing host at 120 beats per minute; the instrument is driven directly, so that
    // only its own work is timed.
    harness::PluginHost host;
    host.recordCalls = false;
    VstTimeInfo& hostTime = host.timeInfo;
    hostTime = VstTimeInfo{};
    hostTime.sampleRate = kRate;
    hostTime.tempo = 120.0;
    hostTime.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
    Plektra& plektra =
        *static_cast<Plektra*>(static_cast<AudioEffect*>(host.open(makePlektra)->object));
    plektra.setSampleRate(static_cast<float>(kRate));
    plektra.setVariation(varied, 1);
    std::vector<float> left(frames), right(frames);
    float* outputs[] = {left.data(), right.data()};
    size_t next = 0;
    for (auto _ : state) {
        hostTime.ppqPos = static_cast<double>(next) * frames / kRate * 2.0;
        plektra.processEvents(lists[next]);
        plektra.processReplacing(nullptr, outputs, frames);
        benchmark::DoNotOptimize(left.data());
        next = next + 1 < lists.size() ? next + 1 : 0;
    }
    countFrames(state, frames);
}
BENCHMARK_CAPTURE(plektraDenseBlock, plain, false)->Arg(64)->Arg(512)->Arg(1024)->Arg(4096);
BENCHMARK_CAPTURE(plektraDenseBlock, varied, true)->Arg(64)->Arg(512)->Arg(1024)->Arg(4096);

// The LV2 front end as a host drives it: its controls at the instrument's own defaults but
// for the ones given, and each block's events as an atom sequence, the first block's led by
// a time:Position that starts the transport at 120 bpm.
class Lv2Rig
{
public:
    Lv2Rig(int32_t frames, const std::vector<std::pair<uint32_t, float>>& settings = {})
        : left(frames), right(frames), controls(lv2ports::kPortCount)
    {
        lv2_atom_forge_init(&forge, urids.feature());
        for (uint32_t port = lv2ports::kFirstControl; port < lv2ports::kPortCount; ++port) {
            controls[port] = ::controls::range(lv2ports::controlOf(port)).defaultValue;
        }
        for (const auto& [port, value] : settings) controls[port] = value;
        for (uint32_t port = lv2ports::kFirstString; port < lv2ports::kPortCount; ++port) {
            instrument.connect(port, &controls[port]);
        }
        instrument.connect(lv2ports::kLeft, left.data());
        instrument.connect(lv2ports::kRight, right.data());
        instrument.activate();
    }

    void addBlock(const std::vector<VstMidiEvent>& midi)
    {
        std::vector<uint64_t>& buffer = sequences.emplace_back(1024 + midi.size() * 4);
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(buffer.data()),
                                  buffer.size() * sizeof(uint64_t));
        LV2_Atom_Forge_Frame sequence;
        lv2_atom_forge_sequence_head(&forge, &sequence, 0);
        if (sequences.size() == 1) {
            lv2_atom_forge_frame_time(&forge, 0);
            LV2_Atom_Forge_Frame object;
            lv2_atom_forge_object(&forge, &object, 0, urids.map(LV2_TIME__Position));
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, 120.0f);
            lv2_atom_forge_key(&forge, urids.map(LV2_TIME__speed));
            lv2_atom_forge_float(&forge, 1.0f);
            lv2_atom_forge_pop(&forge, &object);
        }
        for (const VstMidiEvent& event : midi) {
            lv2_atom_forge_frame_time(&forge, event.deltaFrames);
            lv2_atom_forge_atom(&forge, 3, urids.map(LV2_MIDI__MidiEvent));
            lv2_atom_forge_write(&forge, event.midiData, 3);
        }
        lv2_atom_forge_pop(&forge, &sequence);
    }

    // Runs the blocks in a loop until the timing is done; the first only once, as it
    // starts the transport.
    void run(benchmark::State& state)
    {
        const auto frames = static_cast<uint32_t>(left.size());
        size_t next = 0;
        for (auto _ : state) {
            instrument.connect(lv2ports::kEvents, sequences[next].data());
            instrument.run(frames);
            benchmark::DoNotOptimize(left.data());
            next = next + 1 < sequences.size() ? next + 1 : 1 % sequences.size();
        }
        countFrames(state, static_cast<int32_t>(frames));
    }

private:
    lv2host::UridMap urids;
    LV2_Atom_Forge forge{};
    Lv2Instrument instrument{kRate, *urids.feature()};
    std::vector<float> left, right;
    std::vector<float> controls;
    std::vector<std::vector<uint64_t>> sequences;
};

// The same blocks through the LV2 front end.
void lv2DenseBlock(benchmark::State& state)
{
    const std::vector<BlockEvents> blocks = denseStrumBlocks(state);
    if (blocks.empty()) return;
    Lv2Rig rig(static_cast<int32_t>(state.range(0)));
    for (const BlockEvents& block : blocks) rig.addBlock(block.midi);
    rig.run(state);
}
BENCHMARK(lv2DenseBlock)->Arg(64)->Arg(1024);

// The CLAP edition as a host drives it, loaded from the built Lyrevane.clap: each block's
// notes as CLAP note events (the host's own lists built beforehand, as a host keeps them),
// the transport rolling at 120 bpm, stated every block as CLAP hosts do.
class ClapRig
{
public:
    ClapRig(int32_t frames, const std::vector<std::pair<uint32_t, double>>& settings = {})
        : left(frames), right(frames)
    {
        std::string error;
        module = platform::LoadableModule::load(LYREVANE_CLAP_PATH, error);
        entry = static_cast<const clapabi::PluginEntry*>(module.symbol(clapabi::kEntrySymbol));
        if (entry == nullptr || !entry->init(LYREVANE_CLAP_PATH)) return;
        const auto* factory = static_cast<const clapabi::PluginFactory*>(
            entry->getFactory(clapabi::kPluginFactoryId));
        plugin = factory->create(factory, &host, "org.lyrevane.lyrevane");
        if (plugin == nullptr || !plugin->init(plugin) ||
            !plugin->activate(plugin, kRate, 1, static_cast<uint32_t>(frames))) {
            plugin = nullptr;
            return;
        }
        const auto* params = static_cast<const clapabi::PluginParams*>(
            plugin->extension(plugin, clapabi::kParamsExtension));
        for (const auto& [id, value] : settings) {
            clapabi::ParamValueEvent change{
                {sizeof change, 0, clapabi::kCoreEventSpace, clapabi::kParamValue, 0},
                id,
                nullptr,
                -1,
                -1,
                -1,
                -1,
                value};
            Events one{{&change.header}};
            const clapabi::InputEvents in{&one, &Events::size, &Events::get};
            params->flush(plugin, &in, nullptr);
        }
    }
    ~ClapRig()
    {
        if (plugin != nullptr) plugin->destroy(plugin);
        if (entry != nullptr) entry->deinit();
    }
    bool ok() const { return plugin != nullptr; }

    void addBlock(const std::vector<VstMidiEvent>& midi)
    {
        auto& notes = blockNotes.emplace_back();
        for (const VstMidiEvent& event : midi) {
            notes.push_back({{sizeof(clapabi::NoteEvent), static_cast<uint32_t>(event.deltaFrames),
                              clapabi::kCoreEventSpace, clapabi::kNoteOn, 0},
                             -1,
                             0,
                             0,
                             static_cast<int16_t>(event.midiData[1]),
                             static_cast<uint8_t>(event.midiData[2]) / 127.0});
        }
    }

    void run(benchmark::State& state)
    {
        const auto frames = static_cast<uint32_t>(left.size());
        std::vector<Events> lists(blockNotes.size());
        for (size_t block = 0; block < blockNotes.size(); ++block) {
            for (const clapabi::NoteEvent& note : blockNotes[block]) {
                lists[block].headers.push_back(&note.header);
            }
        }
        float* channels[2] = {left.data(), right.data()};
        clapabi::AudioBuffer output{channels, nullptr, 2, 0, 0};
        clapabi::TransportEvent transport{};
        transport.header = {sizeof transport, 0, clapabi::kCoreEventSpace, clapabi::kTransport, 0};
        transport.flags = clapabi::kTransportHasTempo | clapabi::kTransportHasBeatsTimeline |
                          clapabi::kTransportIsPlaying;
        transport.tempo = 120.0;
        int64_t position = 0;
        size_t next = 0;
        for (auto _ : state) {
            transport.songPositionBeats =
                std::llround(position / kRate * 2.0 * clapabi::kBeatTimeFactor);
            const clapabi::InputEvents in{&lists[next], &Events::size, &Events::get};
            const clapabi::Process process{position, frames, &transport, nullptr, &output,
                                           0,        1,      &in,        nullptr};
            plugin->process(plugin, &process);
            benchmark::DoNotOptimize(left.data());
            position += frames;
            next = next + 1 < lists.size() ? next + 1 : 1 % lists.size();
        }
        countFrames(state, static_cast<int32_t>(frames));
    }

private:
    struct Events
    {
        std::vector<const clapabi::EventHeader*> headers;
        static uint32_t size(const clapabi::InputEvents* list)
        {
            return static_cast<uint32_t>(static_cast<Events*>(list->context)->headers.size());
        }
        static const clapabi::EventHeader* get(const clapabi::InputEvents* list, uint32_t index)
        {
            return static_cast<Events*>(list->context)->headers[index];
        }
    };

    platform::LoadableModule module;
    const clapabi::PluginEntry* entry = nullptr;
    clapabi::Host host{clapabi::kVersion,
                       nullptr,
                       "bench",
                       "",
                       "",
                       "1",
                       [](const clapabi::Host*, const char*) -> const void* { return nullptr; },
                       [](const clapabi::Host*) {},
                       [](const clapabi::Host*) {},
                       [](const clapabi::Host*) {}};
    const clapabi::Plugin* plugin = nullptr;
    std::vector<float> left, right;
    std::vector<std::vector<clapabi::NoteEvent>> blockNotes;
};

// The same blocks through the CLAP edition, to set beside lv2DenseBlock.
void clapDenseBlock(benchmark::State& state)
{
    const std::vector<BlockEvents> blocks = denseStrumBlocks(state);
    if (blocks.empty()) return;
    ClapRig rig(static_cast<int32_t>(state.range(0)));
    if (!rig.ok()) {
        state.SkipWithError("cannot load " LYREVANE_CLAP_PATH);
        return;
    }
    for (const BlockEvents& block : blocks) rig.addBlock(block.midi);
    rig.run(state);
}
BENCHMARK(clapDenseBlock)->Arg(64)->Arg(1024);

VstMidiEvent key(int32_t offset, uint8_t note, uint8_t velocity)
{
    VstMidiEvent event{};
    event.deltaFrames = offset;
    event.midiData[0] = static_cast<char>(0x90);
    event.midiData[1] = static_cast<char>(note);
    event.midiData[2] = static_cast<char>(velocity);
    return event;
}

// Eight bars at 64 frames, 128 at 1024: a whole number of blocks and of bars at 120 bpm.
constexpr int32_t kPatternBlocks = 11025;
constexpr int32_t kEighthsPattern = 2;

// A pattern of ringing eighths, down and up, on an E major chord held in the chord zone...
void lv2PatternOnHeldChord(benchmark::State& state)
{
    Lv2Rig rig(static_cast<int32_t>(state.range(0)),
               {{lv2ports::kChordInput, 1.0f}, {lv2ports::kPattern, kEighthsPattern}});
    rig.addBlock({key(0, 28, 90), key(0, 32, 90), key(0, 35, 90)});
    rig.addBlock({});
    rig.run(state);
}
BENCHMARK(lv2PatternOnHeldChord)->Arg(64)->Arg(1024);

// The same with every control of a guitarist's playing on: a capo, DADGAD (the held chord
// fingered by the voicing finder) and the articulation keys.
void lv2PatternOnHeldChordCapoTuningArticulations(benchmark::State& state)
{
    Lv2Rig rig(static_cast<int32_t>(state.range(0)),
               {{lv2ports::kChordInput, 1.0f},
                {lv2ports::kPattern, kEighthsPattern},
                {lv2ports::kCapo, 3.0f},
                {lv2ports::kTuning, 8.0f},
                {lv2ports::kArticulationKeys, 1.0f}});
    rig.addBlock({key(0, 28, 90), key(0, 32, 90), key(0, 35, 90)});
    rig.addBlock({});
    rig.run(state);
}
BENCHMARK(lv2PatternOnHeldChordCapoTuningArticulations)->Arg(64)->Arg(1024);

// And every new control on at once, on all six strings: a capo, drop D, the articulation keys
// and varied strokes.
void lv2PatternOnHeldChordEveryNewControl(benchmark::State& state)
{
    Lv2Rig rig(static_cast<int32_t>(state.range(0)),
               {{lv2ports::kChordInput, 1.0f},
                {lv2ports::kPattern, kEighthsPattern},
                {lv2ports::kCapo, 3.0f},
                {lv2ports::kTuning, 1.0f},
                {lv2ports::kArticulationKeys, 1.0f},
                {lv2ports::kVariation, 1.0f}});
    rig.addBlock({key(0, 28, 90), key(0, 32, 90), key(0, 35, 90)});
    rig.addBlock({});
    rig.run(state);
}
BENCHMARK(lv2PatternOnHeldChordEveryNewControl)->Arg(64)->Arg(1024);

// ...against the same strums played by the strum keys on the E major chord key.
void lv2SameStrumsByKeys(benchmark::State& state)
{
    const auto frames = static_cast<int32_t>(state.range(0));
    Lv2Rig rig(frames);
    PatternPlayer pattern;
    pattern.setPattern(kEighthsPattern);
    SongClock clock;
    clock.rolling = true;
    for (int32_t block = 0; block < kPatternBlocks; ++block) {
        clock.beat = block * frames / (kRate / 2.0);
        clock.barStart = std::floor(clock.beat / 4.0) * 4.0;
        pattern.startBlock(&clock, frames, kRate);
        std::vector<VstMidiEvent> keys;
        if (block == 0) keys.push_back(key(0, 52, 100));
        Stroke stroke{};
        while (pattern.nextStroke(frames, stroke)) {
            keys.push_back(key(stroke.time, stroke.action == StrumDown ? 60 : 62,
                               static_cast<uint8_t>(stroke.velocity)));
        }
        pattern.endBlock();
        rig.addBlock(keys);
    }
    rig.run(state);
}
BENCHMARK(lv2SameStrumsByKeys)->Arg(64)->Arg(1024);

// The strum engine alone, its schedule refilled to all 255 entries before every block:
// sorting them and moving the block's share into the decoder queue.
class FullSchedule : public CArpStrum
{
public:
    void fill(int32_t blockLength)
    {
        for (int32_t i = eventCount; i < kEventCapacity; ++i) {
            // Scattered over the next four blocks, in no order, as strums interleave.
            const int32_t time = (i * 7919) % (4 * blockLength);
            pushEvent(time, packMsg(0x90, 0, 40 + i % 40, 1 + i % 100));
        }
    }
};

void strumProcessBlockFull(benchmark::State& state)
{
    const auto frames = static_cast<int32_t>(state.range(0));
    FullSchedule strum;
    for (auto _ : state) {
        strum.fill(frames);
        strum.processBlock(120.0f, 0.0f, frames, static_cast<float>(kRate));
        benchmark::DoNotOptimize(strum.pendingCount());
        strum.clearQueue();
    }
}
BENCHMARK(strumProcessBlockFull)->Arg(512);

// Loading an instance as a host does: VSTPluginMain up to the returned effect record (all 25
// recordings read and the acoustic set laid out), then effClose. The module is opened once.
void moduleInstanceLoad(benchmark::State& state)
{
    harness::PluginHost host;
    host.recordCalls = false;
    if (!host.load(LYREVANE_MODULE_PATH)) {
        state.SkipWithError(host.error().c_str());
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(host.open());
        host.close();
    }
}
BENCHMARK(moduleInstanceLoad)->Unit(benchmark::kMillisecond);

double secondsSince(const std::chrono::steady_clock::time_point& start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Resident memory of the process in bytes.
double residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// A session of sixteen strummers: the module freshly opened, then sixteen instances loaded
// one after another and kept. Reports the first instance's time apart from the others',
// and what each further instance adds to the heap and to resident memory.
void moduleSixteenInstances(benchmark::State& state)
{
    constexpr int kInstances = 16;
    double first = 0, further = 0, heap = 0, resident = 0;
    for (auto _ : state) {
        // Sixteen hosts of one module: the first dlopen maps it afresh, the others share it,
        // and it is unloaded again when the last host goes.
        std::vector<std::unique_ptr<harness::PluginHost>> hosts;
        for (int i = 0; i < kInstances; ++i) {
            hosts.push_back(std::make_unique<harness::PluginHost>());
            hosts.back()->recordCalls = false;
            if (!hosts.back()->load(LYREVANE_MODULE_PATH)) {
                state.SkipWithError(hosts.back()->error().c_str());
                return;
            }
        }
        double heapBefore = 0, residentBefore = 0, iteration = 0;
        for (int i = 0; i < kInstances; ++i) {
            if (i == 1) {
                heapBefore = double(mallinfo2().uordblks);
                residentBefore = residentBytes();
            }
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(hosts[i]->open());
            const double seconds = secondsSince(start);
            iteration += seconds;
            if (i == 0) {
                first += seconds;
            } else {
                further += seconds;
            }
        }
        heap += double(mallinfo2().uordblks) - heapBefore;
        resident += residentBytes() - residentBefore;
        state.SetIterationTime(iteration);
    }
    const double runs = double(state.iterations());
    const double others = runs * (kInstances - 1);
    state.counters["first_ms"] = 1e3 * first / runs;
    state.counters["further_ms"] = 1e3 * further / others;
    state.counters["further_heap_KB"] = heap / others / 1024;
    state.counters["further_resident_KB"] = resident / others / 1024;
}
BENCHMARK(moduleSixteenInstances)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
