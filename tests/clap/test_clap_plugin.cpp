// The CLAP edition as hosts meet it: the built Lyrevane.clap loaded by our CLAP host (proven
// on real CLAP binaries by test_clap_host.cpp), its controls, state and key names, its
// samples against the VST module's and the LV2 edition's, and hosts that misbehave.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/wait.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "instrument/Controls.h"
#include "platform/LoadableModule.h"
#include "tests/lv2/AllocationCounter.h"
#include "tools/ClapHost.h"
#include "tools/Keys.h"

namespace fs = std::filesystem;

namespace {

const std::string kPlugin = LYREVANE_CLAP_BINARY;
const std::string kRender = LYREVANE_RENDER;
const std::string kExamples = LYREVANE_EXAMPLES_DIR;
constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 1024;

void load(harness::ClapHost& host, uint32_t maxFrames = kBlock)
{
    std::string error;
    ASSERT_TRUE(host.load(kPlugin, "org.lyrevane.lyrevane", kRate, maxFrames, error)) << error;
}

using Audio = std::vector<float>;

// Plays the key presses (sample, key) through blocks of the given sizes, repeated until
// frames are done; parameter changes (sample, id, value) go to the block they fall in.
struct Change
{
    uint32_t sample;
    uint32_t id;
    double value;
};
Audio play(harness::ClapHost& host, const std::vector<std::pair<uint32_t, uint8_t>>& keys,
           const std::vector<Change>& changes, uint32_t frames, uint32_t block)
{
    Audio out(2 * size_t(frames));
    std::vector<float> left(block), right(block);
    for (uint32_t start = 0; start < frames; start += block) {
        const uint32_t length = std::min(block, frames - start);
        std::vector<harness::MidiEvent> midi;
        for (const auto& [sample, key] : keys) {
            if (sample >= start && sample < start + length) {
                midi.push_back({int32_t(sample - start), 0x90, key, 100});
            }
        }
        for (const Change& change : changes) {
            if (change.sample >= start && change.sample < start + length) {
                host.setParameter(change.id, change.value, change.sample - start);
            }
        }
        EXPECT_TRUE(host.run(nullptr, midi, length, nullptr, left.data(), right.data()));
        for (uint32_t i = 0; i < length; ++i) {
            out[2 * (start + i)] = left[i];
            out[2 * (start + i) + 1] = right[i];
        }
    }
    return out;
}

double peak(const Audio& audio)
{
    double loudest = 0.0;
    for (float sample : audio)
        loudest = std::max(loudest, double(std::fabs(sample)));
    return loudest;
}

std::vector<float> readWave(const fs::path& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    std::vector<float> samples(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

// lyrevane-render's renders, each into a folder of the test's own.
class Renders : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "lyrevane-clap-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::vector<float> render(const std::string& arguments, const std::string& midi)
    {
        const fs::path out = folder / ("render" + std::to_string(++count) + ".wav");
        const std::string command = kRender + " --float " + arguments + " " + kExamples + "/" +
                                    midi + " " + out.string() + " > /dev/null 2> " +
                                    (folder / "errors.txt").string();
        const int status = std::system(command.c_str());
        std::ifstream errors(folder / "errors.txt");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << arguments << ": "
            << std::string(std::istreambuf_iterator<char>(errors),
                           std::istreambuf_iterator<char>());
        return readWave(out);
    }

    fs::path folder;
    int count = 0;
};

// A block handed to the plug-in table directly, as a host's own code would: the event list
// and buffers are fixed before the call, so nothing of the host allocates during it.
struct RawBlock
{
    std::vector<const clapabi::EventHeader*> events;
    std::vector<float> left = std::vector<float>(kBlock);
    std::vector<float> right = std::vector<float>(kBlock);
    float* channels[2] = {left.data(), right.data()};
    clapabi::AudioBuffer output{channels, nullptr, 2, 0, 0};

    static uint32_t size(const clapabi::InputEvents* list)
    {
        return uint32_t(static_cast<RawBlock*>(list->context)->events.size());
    }
    static const clapabi::EventHeader* get(const clapabi::InputEvents* list, uint32_t index)
    {
        const auto& events = static_cast<RawBlock*>(list->context)->events;
        return index < events.size() ? events[index] : nullptr;
    }
    clapabi::ProcessStatus run(const clapabi::Plugin* plugin, uint32_t frames,
                               const clapabi::TransportEvent* transport = nullptr)
    {
        const clapabi::InputEvents in{this, &RawBlock::size, &RawBlock::get};
        const clapabi::Process process{-1, frames, transport, nullptr, &output, 0, 1, &in, nullptr};
        return plugin->process(plugin, &process);
    }
    bool finiteAndBounded() const
    {
        for (const std::vector<float>* channel : {&left, &right}) {
            for (float sample : *channel) {
                if (!std::isfinite(sample) || std::fabs(sample) > 4.0f) return false;
            }
        }
        return true;
    }
};

clapabi::NoteEvent note(uint16_t type, uint32_t time, int16_t key, double velocity,
                        int16_t port = 0, int16_t channel = 0)
{
    return {{sizeof(clapabi::NoteEvent), time, clapabi::kCoreEventSpace, type, 0},
            -1,
            port,
            channel,
            key,
            velocity};
}

clapabi::ParamValueEvent change(uint32_t time, clapabi::Id id, double value)
{
    return {
        {sizeof(clapabi::ParamValueEvent), time, clapabi::kCoreEventSpace, clapabi::kParamValue, 0},
        id,
        nullptr,
        -1,
        -1,
        -1,
        -1,
        value};
}

// The binary's entry and factory, with a host that offers nothing.
class RawPlugin
{
public:
    RawPlugin()
    {
        std::string error;
        module = platform::LoadableModule::load(kPlugin, error);
        entry = static_cast<const clapabi::PluginEntry*>(module.symbol(clapabi::kEntrySymbol));
        if (entry != nullptr && entry->init(kPlugin.c_str())) {
            factory = static_cast<const clapabi::PluginFactory*>(
                entry->getFactory(clapabi::kPluginFactoryId));
        }
    }
    ~RawPlugin()
    {
        if (entry != nullptr) entry->deinit();
    }
    const clapabi::Plugin* create() const
    {
        const clapabi::Plugin* plugin =
            factory != nullptr ? factory->create(factory, &host, "org.lyrevane.lyrevane") : nullptr;
        return plugin != nullptr && plugin->init(plugin) ? plugin : nullptr;
    }

private:
    platform::LoadableModule module;
    const clapabi::PluginEntry* entry = nullptr;
    const clapabi::PluginFactory* factory = nullptr;
    clapabi::Host host{clapabi::kVersion,
                       nullptr,
                       "bare",
                       "",
                       "",
                       "1",
                       [](const clapabi::Host*, const char*) -> const void* { return nullptr; },
                       [](const clapabi::Host*) {},
                       [](const clapabi::Host*) {},
                       [](const clapabi::Host*) {}};
};

}  // namespace

TEST_F(Renders, AtItsDefaultsTheClapEditionPlaysTheVstModulesSamplesInAnyBlockSize)
{
    const std::vector<float> module = render("", "song.mid");
    ASSERT_FALSE(module.empty());
    for (const char* block : {"512", "7", "1000"}) {
        EXPECT_TRUE(render(std::string("--clap --block ") + block, "song.mid") == module)
            << "block " << block;
    }
    EXPECT_TRUE(render("--clap --chord-set 'blues in e'", "song.mid") ==
                render("--chord-set 'blues in e'", "song.mid"));
}

TEST_F(Renders, WithThePlayerControlsSetTheClapEditionPlaysTheLv2EditionsSamples)
{
    const std::string controls =
        " --port chord_input=1 --port pattern=3 --port swing=0.3 --port humanise_velocity=10"
        " --port seed=7 --port humanise_time=12 --tempo 96";
    for (const char* block : {"512", "100"}) {
        const std::string size = std::string(" --block ") + block;
        const std::vector<float> lv2 = render("--lv2" + size + controls, "patterns.mid");
        ASSERT_FALSE(lv2.empty());
        EXPECT_TRUE(render("--clap" + size + controls, "patterns.mid") == lv2) << block;
    }
    // Dead and palm-muted strokes play their own takes, as in the LV2 edition.
    const std::string chucks =
        " --port chord_input=1 --port pattern=14 --port articulation_keys=1";
    EXPECT_TRUE(render("--clap" + chucks, "patterns.mid") ==
                render("--lv2" + chucks, "patterns.mid"));
    // A pattern on the host's beat does not depend on how the host cuts its blocks.
    const std::string pattern = " --port chord_input=1 --port pattern=5";
    EXPECT_TRUE(render("--clap --block 64" + pattern, "patterns.mid") ==
                render("--clap --block 4096" + pattern, "patterns.mid"));
    // The controls are also found by the names a host shows.
    EXPECT_TRUE(render("--clap --port 'strum pattern=5' --port chord_input=1", "patterns.mid") ==
                render("--clap" + pattern, "patterns.mid"));
}

TEST(ClapEdition, ItsParametersAreTheInstrumentsControls)
{
    harness::ClapHost host;
    load(host);
    ASSERT_EQ(host.parameters().size(), size_t(controls::kCount));
    for (const harness::ClapParameter& parameter : host.parameters()) {
        const uint32_t id = parameter.id;
        ASSERT_LT(id, controls::kCount);
        EXPECT_EQ(parameter.name, controls::name(id));
        EXPECT_EQ(parameter.module, controls::group(id));
        EXPECT_EQ(parameter.defaultValue, controls::range(id).defaultValue);
        const bool output = (controls::flags(id) & controls::kOutput) != 0;
        EXPECT_EQ((parameter.flags & clapabi::kParamIsReadOnly) != 0, output) << parameter.name;
        EXPECT_EQ((parameter.flags & clapabi::kParamIsAutomatable) != 0, !output);
    }
    std::string text;
    ASSERT_TRUE(host.valueToText(controls::kFirstString + 1, 5.0, text));
    EXPECT_EQ(text, "fret 5");
    const auto* params = host.extension<clapabi::PluginParams>(clapabi::kParamsExtension);
    double value = 0.0;
    ASSERT_TRUE(params->textToValue(host.plugin(), controls::kFirstString, "muted", &value));
    EXPECT_EQ(value, -1.0);
    EXPECT_FALSE(params->textToValue(host.plugin(), controls::kFirstString, "fret 99", &value));
    EXPECT_FALSE(params->value(host.plugin(), controls::kCount, &value));
    EXPECT_FALSE(params->valueToText(host.plugin(), 9999, 1.0, nullptr, 0));
}

// A change inside a block acts at its sample: the same as a block boundary there, and not
// the same as no change.
TEST(ClapEdition, AutomationActsAtItsExactSample)
{
    const uint32_t frames = 20000;
    const std::vector<std::pair<uint32_t, uint8_t>> keys = {
        {0, keys::kFirstChordKey}, {100, keys::kStrumDownKey}, {9000, keys::kStrumDownKey}};
    // The sound set turns electric between the two strums.
    const std::vector<Change> changes = {{5003, controls::kSoundSet, 1.0}};
    harness::ClapHost whole, cut, unchanged;
    load(whole);
    load(cut, 5003);
    load(unchanged);
    const Audio one = play(whole, keys, changes, frames, kBlock);
    ASSERT_GT(peak(one), 0.01);
    EXPECT_TRUE(play(cut, keys, changes, frames, 5003) == one);
    EXPECT_FALSE(play(unchanged, keys, {}, frames, kBlock) == one);
}

TEST(ClapEdition, FlushSetsParametersWhileNotProcessing)
{
    harness::ClapHost host;
    load(host);
    const auto* params = host.extension<clapabi::PluginParams>(clapabi::kParamsExtension);
    clapabi::ParamValueEvent change{};
    change.header = {sizeof change, 0, clapabi::kCoreEventSpace, clapabi::kParamValue, 0};
    change.paramId = controls::kPattern;
    change.value = 4.0;
    struct One
    {
        static uint32_t size(const clapabi::InputEvents*) { return 1; }
        static const clapabi::EventHeader* get(const clapabi::InputEvents* list, uint32_t)
        {
            return static_cast<const clapabi::EventHeader*>(list->context);
        }
    };
    const clapabi::InputEvents in{&change.header, &One::size, &One::get};
    params->flush(host.plugin(), &in, nullptr);
    double value = 0.0;
    ASSERT_TRUE(host.parameterValue(controls::kPattern, value));
    EXPECT_EQ(value, 4.0);
}

TEST(ClapEdition, StateSurvivesStreamsThatMoveOneByteAtATimeAndDamageIsRefused)
{
    harness::ClapHost first, second;
    load(first);
    load(second);
    first.setParameter(controls::kFirstString + 7, 9.0);
    first.setParameter(controls::kPattern, 2.0);
    first.setParameter(controls::kSeed, 1234.0);
    play(first, {}, {}, 64, 64);
    std::vector<uint8_t> state;
    ASSERT_TRUE(first.saveState(state, 1));
    ASSERT_TRUE(second.loadState(state, 1));
    play(second, {}, {}, 64, 64);
    for (uint32_t id :
         {controls::kFirstString + 7, uint32_t(controls::kPattern), uint32_t(controls::kSeed)}) {
        double a = 0.0, b = -5.0;
        ASSERT_TRUE(first.parameterValue(id, a));
        ASSERT_TRUE(second.parameterValue(id, b));
        EXPECT_EQ(a, b) << controls::name(id);
    }
    // Damaged states leave the instance as it was.
    harness::ClapHost third;
    load(third);
    std::vector<uint8_t> cut(state.begin(), state.begin() + state.size() / 2);
    std::vector<uint8_t> garbage(state.size(), 0xA5);
    for (const auto& bad : {cut, garbage, std::vector<uint8_t>{}}) {
        EXPECT_FALSE(third.loadState(bad, 3));
    }
    play(third, {}, {}, 64, 64);
    double pattern = -1.0;
    ASSERT_TRUE(third.parameterValue(controls::kPattern, pattern));
    EXPECT_EQ(pattern, controls::range(controls::kPattern).defaultValue);
}

TEST(ClapEdition, NamesTheChordKeysWithTheChordTheyPlay)
{
    harness::ClapHost host;
    load(host);
    const auto* names = host.extension<clapabi::PluginNoteName>(clapabi::kNoteNameExtension);
    ASSERT_NE(names, nullptr);
    ASSERT_EQ(names->count(host.plugin()), 128u);
    clapabi::NoteName name{};
    ASSERT_TRUE(names->get(host.plugin(), keys::kFirstChordKey, &name));
    EXPECT_EQ(name.key, keys::kFirstChordKey);
    EXPECT_NE(std::string(name.name).find("chord: C"), std::string::npos) << name.name;
    EXPECT_FALSE(names->get(host.plugin(), 128, &name));
    const auto* latency = host.extension<clapabi::PluginLatency>(clapabi::kLatencyExtension);
    ASSERT_NE(latency, nullptr);
    EXPECT_EQ(latency->get(host.plugin()), 0u);
}

TEST(ClapEdition, ProcessAllocatesNothing)
{
    RawPlugin binary;
    const clapabi::Plugin* plugin = binary.create();
    ASSERT_NE(plugin, nullptr);
    ASSERT_TRUE(plugin->activate(plugin, kRate, 1, kBlock));
    const clapabi::NoteEvent chord = note(clapabi::kNoteOn, 0, keys::kFirstChordKey + 4, 0.8);
    const clapabi::NoteEvent strum = note(clapabi::kNoteOn, 10, keys::kStrumDownKey, 0.8);
    const clapabi::ParamValueEvent pattern = change(20, controls::kPattern, 3.0);
    RawBlock block;
    block.events = {&chord.header, &strum.header, &pattern.header};
    const int allocated = allocations::countDuring([&] {
        for (int i = 0; i < 50; ++i)
            block.run(plugin, kBlock);
    });
    EXPECT_EQ(allocated, 0);
    plugin->destroy(plugin);
}

TEST(ClapEdition, AMisbehavingHostGetsSensibleAnswers)
{
    RawPlugin binary;
    const clapabi::Plugin* plugin = binary.create();
    ASSERT_NE(plugin, nullptr);
    RawBlock block;
    EXPECT_EQ(block.run(plugin, 256), clapabi::kProcessError) << "process before activate";
    EXPECT_FALSE(plugin->activate(plugin, std::nan(""), 1, kBlock));
    ASSERT_TRUE(plugin->activate(plugin, kRate, 1, kBlock));

    // Out of order, past the block, for ports, keys and ids that do not exist, not numbers.
    const clapabi::NoteEvent events[] = {
        note(clapabi::kNoteOn, 200, keys::kFirstChordKey, 0.9),
        note(clapabi::kNoteOn, 10, keys::kStrumDownKey, 0.9),
        note(clapabi::kNoteOn, 5000, keys::kStrumUpKey, 0.9),
        note(clapabi::kNoteOn, 0, keys::kStrumDownKey, 0.9, 3),
        note(clapabi::kNoteOn, 0, 300, 0.9),
        note(clapabi::kNoteOn, 0, keys::kStrumDownKey, 0.9, 0, 99),
        note(clapabi::kNoteOn, 0, keys::kStrumDownKey, std::nan("")),
        note(clapabi::kNoteOff, 0, -1, 0.0),
    };
    const clapabi::ParamValueEvent changes[] = {
        change(3, 9999, 1.0), change(4, controls::kSwing, std::nan("")),
        change(5, controls::kPattern, 1e300), change(6, controls::kPlayedChord, 5.0),
        change(7, controls::kFirstString, -1e300)};
    clapabi::EventHeader foreign{sizeof foreign, 0, 77, clapabi::kNoteOn, 0};
    clapabi::EventHeader shortNote{8, 0, clapabi::kCoreEventSpace, clapabi::kNoteOn, 0};
    for (const auto& event : events)
        block.events.push_back(&event.header);
    for (const auto& event : changes)
        block.events.push_back(&event.header);
    block.events.push_back(&foreign);
    block.events.push_back(&shortNote);
    block.events.push_back(nullptr);
    clapabi::TransportEvent transport{};
    transport.header = {sizeof transport, 0, clapabi::kCoreEventSpace, clapabi::kTransport, 0};
    transport.flags = clapabi::kTransportHasTempo | clapabi::kTransportHasBeatsTimeline |
                      clapabi::kTransportIsPlaying | clapabi::kTransportHasTimeSignature;
    transport.songPositionBeats = -40 * (int64_t(1) << 31);
    transport.barStart = INT64_MIN;
    transport.tempo = 0.0;
    transport.timeSignatureNumerator = 0;
    transport.timeSignatureDenominator = 65535;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(block.run(plugin, 256, &transport), clapabi::kProcessContinue);
        ASSERT_TRUE(block.finiteAndBounded());
        transport.tempo = i % 2 ? -120.0 : std::nan("");
    }
    const auto* params = static_cast<const clapabi::PluginParams*>(
        plugin->extension(plugin, clapabi::kParamsExtension));
    double value = -7.0;
    ASSERT_TRUE(params->value(plugin, controls::kPattern, &value));
    EXPECT_EQ(value, controls::range(controls::kPattern).maximum) << "held to its range";
    ASSERT_TRUE(params->value(plugin, controls::kSwing, &value));
    EXPECT_EQ(value, controls::range(controls::kSwing).defaultValue) << "NaN changes nothing";
    EXPECT_EQ(plugin->extension(plugin, "clap.no-such-thing"), nullptr);
    EXPECT_EQ(plugin->extension(plugin, nullptr), nullptr);

    // No output buffers, or too few: an error, not a crash.
    clapabi::Process empty{-1, 64, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr};
    EXPECT_EQ(plugin->process(plugin, &empty), clapabi::kProcessError);
    plugin->destroy(plugin);
}

TEST(ClapEdition, InstancesComeAndGoAndTwoPlayAtOnce)
{
    RawPlugin binary;
    for (int i = 0; i < 30; ++i) {
        const clapabi::Plugin* plugin = binary.create();
        ASSERT_NE(plugin, nullptr);
        if (i % 2) {
            ASSERT_TRUE(plugin->activate(plugin, kRate, 1, kBlock));
        }
        plugin->destroy(plugin);
    }
    harness::ClapHost a, b;
    load(a);
    load(b);
    b.setParameter(controls::kSoundSet, 1.0);
    const std::vector<std::pair<uint32_t, uint8_t>> keys = {{0, keys::kStrumDownKey}};
    const Audio acoustic = play(a, keys, {}, 8000, 512);
    const Audio electric = play(b, keys, {{0, controls::kSoundSet, 1.0}}, 8000, 512);
    EXPECT_GT(peak(acoustic), 0.01);
    EXPECT_FALSE(acoustic == electric);
}

// Qtractor loads a session's state on the main thread while its engine runs.
TEST(ClapEdition, StateLoadsWhileTheAudioThreadPlays)
{
    harness::ClapHost source, host;
    load(source);
    load(host);
    source.setParameter(controls::kPattern, 5.0);
    play(source, {}, {}, 64, 64);
    std::vector<uint8_t> state;
    ASSERT_TRUE(source.saveState(state));
    // The audio thread plays for as long as the loads go on.
    std::atomic<bool> loading{true};
    std::thread loader([&] {
        for (int i = 0; i < 100; ++i) EXPECT_TRUE(host.loadState(state, 7));
        loading = false;
    });
    RawBlock block;
    const clapabi::NoteEvent strum = note(clapabi::kNoteOn, 0, keys::kStrumDownKey, 0.8);
    block.events = {&strum.header};
    bool played = true;
    while (loading) {
        played = played && block.run(host.plugin(), 256) == clapabi::kProcessContinue &&
                 block.finiteAndBounded();
    }
    loader.join();
    EXPECT_TRUE(played);
    block.run(host.plugin(), 16);
    double pattern = 0.0;
    ASSERT_TRUE(host.parameterValue(controls::kPattern, pattern));
    EXPECT_EQ(pattern, 5.0);
}
