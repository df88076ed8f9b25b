// The built Lyrevane.vst3 loaded as a host loads it (tools/Vst3Host): its answers against the
// format's rules, its sound held sample for sample against the VST module playing the same
// song, its state, its chord sets, and hosts that misbehave.
#include "vst3/Vst3Edition.h"
#include "presets/ChordSets.h"
#include "presets/FactoryChordSets.h"
#include "tests/lv2/Lv2TestSupport.h"
#include "tests/vst3/FormatRules.h"
#include "tools/Vst3Host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using harness::Vst3Host;
using lv2test::firstDifference;
using lv2test::loadSong;
using lv2test::loudest;
using lv2test::Setting;
using lv2test::Song;
using lv2test::SongEvent;
using vst3edition::kChordSetParameter;
using vst3edition::kPitchBendParameter;

const std::string kBundle = LYREVANE_VST3_BUNDLE;

// The edition as a VST3 host plays the song: notes as note events, pitch bend through the
// parameter the plug-in maps it to, the transport in every block's process context. The left
// channel, checked equal to the right.
std::vector<float> renderEdition(Vst3Host& host, const Song& song, double rate, int32_t block)
{
    std::vector<float> out;
    std::vector<float> left(size_t(block), 0.0f);
    std::vector<float> right(size_t(block), 0.0f);
    size_t next = 0;
    vst3::ParamId bend = 0;
    EXPECT_EQ(host.query<vst3::MidiMapping>(host.component())
                  ->getMidiControllerAssignment(0, 0, vst3::MidiMapping::kPitchBend, bend),
              vst3::kResultTrue);
    host.sendContext = true;
    for (int64_t start = 0; start < song.frames; start += block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(block, song.frames - start));
        for (; next < song.events.size() && song.events[next].frame < start + frames; ++next) {
            const SongEvent& e = song.events[next];
            const auto offset = static_cast<int32_t>(e.frame - start);
            const int kind = e.status & 0xF0;
            if (kind == 0x90 && e.data2 > 0) {
                host.noteOn(offset, e.data1, e.data2 / 127.0f);
            } else if (kind == 0x80 || kind == 0x90) {
                host.noteOff(offset, e.data1, e.data2 / 127.0f);
            } else if (kind == 0xE0) {
                host.setParameter(bend, (e.data2 << 7 | e.data1) / 16383.0, offset);
            }
        }
        const double seconds = start / rate;
        host.context = {};
        host.context.state = vst3::ProcessContext::kPlaying | vst3::ProcessContext::kTempoValid |
                             vst3::ProcessContext::kProjectTimeMusicValid;
        host.context.sampleRate = rate;
        host.context.projectTimeSamples = start;
        host.context.tempo = song.tempo.beatsPerMinuteAtSeconds(seconds);
        host.context.projectTimeMusic = song.tempo.quartersAtSeconds(seconds);
        EXPECT_EQ(host.process(nullptr, left.data(), right.data(), frames), vst3::kResultOk);
        if (!std::equal(left.begin(), left.begin() + frames, right.begin())) {
            ADD_FAILURE() << "the channels differ in the block at " << start;
            return out;
        }
        out.insert(out.end(), left.begin(), left.begin() + frames);
    }
    return out;
}

class Vst3Edition : public testing::Test
{
protected:
    void load(double rate, int32_t block)
    {
        std::string error;
        ASSERT_TRUE(host.load(kBundle, rate, block, error)) << error;
    }
    double normalizedOf(vst3::ParamId id, const std::string& text)
    {
        vst3::String128 typed{};
        harness::copyUtf16(text, typed);
        double value = -1.0;
        EXPECT_EQ(host.controller()->getParamValueByString(id, typed, value), vst3::kResultOk)
            << text;
        return value;
    }
    Vst3Host host;
};

TEST_F(Vst3Edition, ItsAnswersKeepTheFormatsRules)
{
    load(44100.0, 512);
    std::vector<std::string> faults;
    vst3test::checkFormatRules(host, faults);
    for (const std::string& each : faults)
        ADD_FAILURE() << each;

    EXPECT_STREQ(host.classInfo().name, "Lyrevane");
    EXPECT_STREQ(host.classInfo().subCategories, "Instrument|Synth");
    EXPECT_TRUE(host.controllerIsComponent());
    ASSERT_EQ(host.buses(vst3::kEvent, vst3::kInput).size(), 1u);
    EXPECT_EQ(host.buses(vst3::kAudio, vst3::kInput).size(), 0u);
    ASSERT_EQ(host.buses(vst3::kAudio, vst3::kOutput).size(), 1u);
    EXPECT_EQ(host.buses(vst3::kAudio, vst3::kOutput)[0].channelCount, 2);
    // Stereo out alone.
    vst3::SpeakerArrangement stereo = vst3::kStereo, mono = vst3::kSpeakerLeft;
    EXPECT_EQ(host.processor()->setBusArrangements(nullptr, 0, &mono, 1), vst3::kResultFalse);
    EXPECT_EQ(host.processor()->setBusArrangements(&stereo, 1, &stereo, 1), vst3::kResultFalse);

    // Hosts that create the controller from its own class get one that answers as well.
    uint8_t controllerClass[16] = {};
    ASSERT_EQ(host.component()->getControllerClassId(controllerClass), vst3::kResultOk);
    void* object = nullptr;
    ASSERT_EQ(host.pluginFactory()->createInstance(reinterpret_cast<const char*>(controllerClass),
                                                   vst3::EditController::iid.data(), &object),
              vst3::kResultOk);
    auto* controller = static_cast<vst3::EditController*>(object);
    EXPECT_EQ(controller->initialize(nullptr), vst3::kResultOk);
    EXPECT_EQ(controller->getParameterCount(), host.controller()->getParameterCount());
    EXPECT_EQ(controller->terminate(), vst3::kResultOk);
    controller->release();

    // Every string's steps read as a guitarist writes them.
    const vst3::ParamId string3 = 7 * 6 + 2;
    vst3::String128 text{};
    ASSERT_EQ(host.controller()->getParamStringByValue(string3, 0.0, text), vst3::kResultOk);
    EXPECT_EQ(harness::utf8Of(text), "muted");
    EXPECT_NEAR(normalizedOf(string3, "open"), 1.0 / 19.0, 1e-9);
    EXPECT_NEAR(normalizedOf(string3, "fret 5"), 6.0 / 19.0, 1e-9);
}

struct Case
{
    const char* name;
    double rate;
    int32_t block;
};

class Vst3SameSound : public Vst3Edition, public testing::WithParamInterface<Case>
{
};

TEST_P(Vst3SameSound, EqualsTheVstModuleSampleForSampleAtTheDefaults)
{
    const Case& c = GetParam();
    const Song song = loadSong(c.rate);
    load(c.rate, c.block);
    const std::vector<float> edition = renderEdition(host, song, c.rate, c.block);
    const std::vector<float> module = lv2test::renderVst(song, c.rate, c.block, {});
    EXPECT_EQ(firstDifference(edition, module), -1);
    EXPECT_GT(loudest(edition), 0.1f);
}

INSTANTIATE_TEST_SUITE_P(Vst3, Vst3SameSound,
                         testing::Values(Case{"Defaults", 44100.0, 512},
                                         Case{"ShortBlocks", 48000.0, 100},
                                         Case{"LongBlocks", 22050.0, 4096}),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Vst3Edition, ItsStatePlaysTheSameInAnotherInstanceAndADamagedOneChangesNothing)
{
    constexpr double kRate = 44100.0;
    constexpr int32_t kBlock = 512;
    load(kRate, kBlock);
    // Chord 8 (G), string 3 at fret 7, and the electric sound.
    const vst3::ParamId string3 = 7 * 6 + 2;
    host.controller()->setParamNormalized(string3, normalizedOf(string3, "fret 7"));
    host.controller()->setParamNormalized(controls::kSoundSet, 1.0);
    std::vector<uint8_t> state;
    ASSERT_TRUE(host.componentState(state));

    Vst3Host other;
    std::string error;
    ASSERT_TRUE(other.load(kBundle, kRate, kBlock, error)) << error;
    std::vector<uint8_t> damaged = state;
    damaged[damaged.size() / 2] ^= 0x40;
    EXPECT_FALSE(other.setComponentState(damaged));
    EXPECT_EQ(other.controller()->getParamNormalized(controls::kSoundSet), 0.0);
    // A host's stream that moves one byte at a time.
    harness::Vst3MemoryStream trickle(state);
    trickle.mostPerCall = 1;
    ASSERT_EQ(other.component()->setState(&trickle), vst3::kResultOk);
    EXPECT_EQ(other.controller()->getParamNormalized(controls::kSoundSet), 1.0);

    const Song song = loadSong(kRate);
    const std::vector<float> edition = renderEdition(other, song, kRate, kBlock);
    const std::vector<float> module =
        lv2test::renderVst(song, kRate, kBlock,
                           {{lv2ports::portOf(string3), 7.0f, 8 * ChordValues::kPositionStep},
                            {lv2ports::portOf(controls::kSoundSet), 1.0f, 1.0f}});
    EXPECT_EQ(firstDifference(edition, module), -1);
}

TEST_F(Vst3Edition, AFactoryChordSetChosenAsAProgramPlaysAsTheModuleLoadingItsProgram)
{
    constexpr double kRate = 44100.0;
    constexpr int32_t kBlock = 512;
    load(kRate, kBlock);
    auto* units = host.query<vst3::UnitInformation>(host.component());
    ASSERT_NE(units, nullptr);
    ASSERT_EQ(units->getProgramListCount(), 1);
    vst3::ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), vst3::kResultOk);
    EXPECT_EQ(list.programCount, 26);
    int32_t blues = -1;
    for (int32_t program = 0; program < list.programCount; ++program) {
        vst3::String128 name{};
        ASSERT_EQ(units->getProgramName(list.id, program, name), vst3::kResultOk);
        if (harness::utf8Of(name) == "Blues in E") blues = program;
    }
    ASSERT_GE(blues, 0);
    host.setParameter(kChordSetParameter, blues / double(list.programCount - 1));

    std::string error;
    const presets::ChordSet* set =
        presets::findChordSet(presets::factoryChordSets(error), "Blues in E");
    ASSERT_NE(set, nullptr) << error;
    const presets::ParameterValues values = presets::parameterValuesOf(*set);
    std::vector<Setting> settings;
    for (uint32_t port = lv2ports::portOf(controls::kFirstString);
         port <= lv2ports::portOf(controls::kSoundSet); ++port) {
        settings.push_back({port, 0.0f, values[size_t(lv2ports::parameterOfPort(port))]});
    }
    const Song song = loadSong(kRate);
    const std::vector<float> edition = renderEdition(host, song, kRate, kBlock);
    EXPECT_EQ(firstDifference(edition, lv2test::renderVst(song, kRate, kBlock, settings)), -1);

    // The keys named with the set's chords (key 52 selects chord 5).
    ASSERT_EQ(units->hasProgramPitchNames(list.id, blues), vst3::kResultTrue);
    vst3::String128 name{};
    ASSERT_EQ(units->getProgramPitchName(list.id, blues, 52, name), vst3::kResultOk);
    EXPECT_NE(harness::utf8Of(name).find(set->chords[4].name), std::string::npos)
        << harness::utf8Of(name);
}

TEST_F(Vst3Edition, AMisbehavingHostGetsSensibleAnswersAndFiniteSound)
{
    constexpr int32_t kBlock = 256;
    load(48000.0, kBlock);
    std::vector<float> left(kBlock), right(kBlock);
    auto finite = [&] {
        for (int32_t i = 0; i < kBlock; ++i) {
            if (!std::isfinite(left[size_t(i)]) || !std::isfinite(right[size_t(i)])) return false;
        }
        return true;
    };
    // Events out of order, past the block and before it; unknown and read-only parameters,
    // NaN and values far out of range; an absurd transport.
    host.noteOn(200, 52, 0.8f);
    host.noteOn(10, 60, 0.8f);
    host.noteOn(100000, 62, 0.8f);
    host.noteOn(-5, 64, 2.0f);
    host.noteOff(0, 300, 0.0f);
    host.setParameter(0xDEADBEEF, 0.5, 3);
    host.setParameter(controls::kPlayedChord, 1.0, 4);
    host.setParameter(5, std::numeric_limits<double>::quiet_NaN(), 5);
    host.setParameter(6, 1e300, 1000000);
    host.setParameter(kPitchBendParameter, -7.0, 7);
    host.sendContext = true;
    host.context = {};
    host.context.state = ~0u;
    host.context.tempo = 0.0;
    host.context.projectTimeMusic = -1e300;
    host.context.barPositionMusic = std::numeric_limits<double>::infinity();
    host.context.timeSigNumerator = -3;
    EXPECT_EQ(host.process(nullptr, left.data(), right.data(), kBlock), vst3::kResultOk);
    EXPECT_TRUE(finite());
    host.context.tempo = std::numeric_limits<double>::quiet_NaN();
    host.context.projectTimeMusic = 1e300;
    EXPECT_EQ(host.process(nullptr, left.data(), right.data(), kBlock), vst3::kResultOk);
    EXPECT_TRUE(finite());

    // Unknown ids get refusals, not crashes.
    vst3::String128 text{};
    EXPECT_NE(host.controller()->getParamStringByValue(0xDEADBEEF, 0.5, text), vst3::kResultOk);
    EXPECT_NE(host.controller()->setParamNormalized(0xDEADBEEF, 0.5), vst3::kResultOk);
    EXPECT_NE(host.controller()->setParamNormalized(3, std::nan("")), vst3::kResultOk);

    // Processing while inactive gives silence; setupProcessing while active is refused.
    ASSERT_EQ(host.component()->setActive(0), vst3::kResultOk);
    host.noteOn(0, 52, 1.0f);
    host.noteOn(0, 60, 1.0f);
    std::fill(left.begin(), left.end(), 1.0f);
    EXPECT_EQ(host.process(nullptr, left.data(), right.data(), kBlock), vst3::kResultOk);
    EXPECT_EQ(loudest(left), 0.0f);
    ASSERT_EQ(host.component()->setActive(1), vst3::kResultOk);
    vst3::ProcessSetup setup{vst3::kRealtime, vst3::kSample32, kBlock, 44100.0};
    EXPECT_EQ(host.processor()->setupProcessing(setup), vst3::kResultFalse);
}

TEST_F(Vst3Edition, WithThePlayerControlsSetPlaysAsTheLv2Edition)
{
    // A pattern on the song's beats, swung and humanised, with held chords: the transport
    // from the process context of every block against time:Position at each tempo change.
    constexpr double kRate = 48000.0;
    constexpr int32_t kBlock = 300;
    load(kRate, kBlock);
    const std::vector<std::pair<uint32_t, float>> players = {{controls::kChordInput, 1.0f},
                                                             {controls::kPattern, 3.0f},
                                                             {controls::kSwing, 0.25f},
                                                             {controls::kHumaniseTime, 12.0f},
                                                             {controls::kHumaniseVelocity, 10.0f},
                                                             {controls::kSeed, 7.0f}};
    std::vector<Setting> ports;
    for (const auto& [control, value] : players) {
        host.setParameter(control, host.controller()->plainParamToNormalized(control, value));
        ports.push_back({lv2ports::portOf(control), value, 0.0f});
    }
    const Song song = loadSong(kRate);
    const std::vector<float> edition = renderEdition(host, song, kRate, kBlock);
    lv2test::Lv2Host lv2(LYREVANE_LV2_PATH, lv2ports::kPluginUri);
    ASSERT_TRUE(lv2.instantiate(kRate, kBlock)) << lv2.error();
    const std::vector<float> reference = lv2test::renderLv2(lv2, song, kRate, kBlock, ports);
    EXPECT_EQ(firstDifference(edition, reference), -1);
    EXPECT_NE(firstDifference(edition, lv2test::renderVst(song, kRate, kBlock, {})), -1)
        << "the player controls changed nothing";
}

TEST(Vst3EditionLifetime, CreateAndTerminateLoopsAndTwoInstancesAtOnce)
{
    for (int round = 0; round < 20; ++round) {
        Vst3Host first, second;
        std::string error;
        ASSERT_TRUE(first.load(kBundle, 44100.0, 64, error)) << error;
        ASSERT_TRUE(second.load(kBundle, 44100.0, 64, error)) << error;
    }
}

}  // namespace
