// The LV2 bundle as hosts meet it through lilv: its description, and its sound held sample
// for sample against the VST module rendering the same song with the same settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <lv2/port-groups/port-groups.h>
#include <lv2/port-props/port-props.h>
#include <lv2/ui/ui.h>

#include "tests/lv2/Lv2TestSupport.h"

using namespace lv2test;

namespace {

TEST_F(Lv2Test, TheBundleDescribesEveryPortWithNamesAndUnits)
{
    ASSERT_TRUE(host.plugin()) << host.error();
    const LilvPlugin* plugin = host.plugin();
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), uint32_t{kPortCount});
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ(lilv_node_as_string(name), "Lyrevane");
    lilv_node_free(name);

    std::vector<float> minimum(kPortCount), maximum(kPortCount), defaults(kPortCount);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    EXPECT_EQ(portString(kEvents, LV2_CORE__symbol), "events");
    EXPECT_EQ(portString(kLeft, LV2_CORE__symbol), "out_left");
    EXPECT_EQ(portString(kRight, LV2_CORE__symbol), "out_right");

    // Every string in the guitarist's numbers, -1 muted, 0 open, 1 to 18 the fret, grouped
    // by chord; the default chords as tablature (C major: x 3 2 0 1 0).
    const float cMajor[] = {-1, 3, 2, 0, 1, 0};
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        const uint32_t chord = (port - kFirstString) / 6, string = (port - kFirstString) % 6;
        EXPECT_EQ(portString(port, LV2_CORE__symbol),
                  "chord" + std::to_string(chord + 1) + "_string" + std::to_string(string + 1));
        EXPECT_EQ(minimum[port], -1.0f);
        EXPECT_EQ(maximum[port], 18.0f);
        EXPECT_TRUE(portHas(port, LV2_CORE__integer));
        EXPECT_TRUE(portHas(port, LV2_PORT_PROPS__causesArtifacts));
        EXPECT_FALSE(portHas(port, LV2_CORE__enumeration)) << "a spin box, not a list of 20";
        EXPECT_EQ(portString(port, LV2_PORT_GROUPS__group),
                  std::string(kPluginUri) + "#chord" + std::to_string(chord + 1));
        if (chord == 0) {
            EXPECT_EQ(defaults[port], cMajor[string]) << port;
        }
    }
    EXPECT_EQ(portString(kFirstString + 6 * 11 + 5, LV2_CORE__name),
              "Chord 12 (B) string 6 (high E)");
    const auto positions = scalePoints(kFirstString);
    ASSERT_EQ(positions.size(), 20u);
    EXPECT_EQ(positions[0], "-1=muted");
    EXPECT_EQ(positions[1], "0=open");
    EXPECT_EQ(positions[4], "3=fret 3");
    EXPECT_EQ(positions[19], "18=fret 18");

    EXPECT_EQ(portString(kSoundSet, LV2_CORE__name), "Sound set");
    EXPECT_TRUE(portHas(kSoundSet, LV2_CORE__enumeration));
    EXPECT_TRUE(portHas(kSoundSet, LV2_PORT_PROPS__causesArtifacts));
    EXPECT_EQ(scalePoints(kSoundSet), (std::vector<std::string>{"0=acoustic", "1=electric"}));
    EXPECT_TRUE(portHas(kReset, LV2_PORT_PROPS__trigger));
    EXPECT_EQ(portString(kPlayedChord, LV2_CORE__symbol), "chord");
    EXPECT_TRUE(portHas(kPlayedChord, LV2_CORE__enumeration));
    const auto chords = scalePoints(kPlayedChord);
    ASSERT_EQ(chords.size(), 12u);
    EXPECT_EQ(chords[4], "4=Chord 5 (E)");

    // The outputs a stereo pair, the plug-in's main output; every port explained.
    EXPECT_EQ(portString(kLeft, LV2_CORE__designation), LV2_PORT_GROUPS__left);
    EXPECT_EQ(portString(kRight, LV2_CORE__designation), LV2_PORT_GROUPS__right);
    const std::string out = portString(kLeft, LV2_PORT_GROUPS__group);
    EXPECT_EQ(portString(kRight, LV2_PORT_GROUPS__group), out);
    EXPECT_TRUE(ask(out, LILV_NS_RDF "type", LV2_PORT_GROUPS__StereoGroup));
    EXPECT_TRUE(ask(kPluginUri, LV2_PORT_GROUPS__mainOutput, out));
    for (uint32_t port = 0; port < kPortCount; ++port) {
        EXPECT_FALSE(portString(port, LILV_NS_RDFS "comment").empty()) << "port " << port;
    }
    // The panel is a fixed picture: hosts must not let the user stretch it into blank space.
    EXPECT_TRUE(ask(kUiUri, LV2_CORE__optionalFeature, LV2_UI__noUserResize));
}

TEST_F(Lv2Test, TheDescriptionTellsHowToPlayAndNamesAReleaseVersionInBothFiles)
{
    ASSERT_TRUE(host.plugin()) << host.error();
    // Before the plug-in's own file is read, the manifest alone must carry the version: hosts
    // choose between two installed copies by it.
    EXPECT_EQ(values(kPluginUri, LV2_CORE__minorVersion), std::vector<int>{LYREVANE_VERSION_MINOR});
    EXPECT_EQ(values(kPluginUri, LV2_CORE__microVersion), std::vector<int>{LYREVANE_VERSION_PATCH});
    LilvNode* predicate = lilv_new_uri(host.world(), LILV_NS_RDFS "comment");
    LilvNodes* comments = lilv_plugin_get_value(host.plugin(), predicate);
    lilv_node_free(predicate);
    ASSERT_EQ(comments ? lilv_nodes_size(comments) : 0u, 1u);
    const std::string text = lilv_node_as_string(lilv_nodes_get_first(comments));
    lilv_nodes_free(comments);
    for (const char* part : {"48 to 59", "60 strums the chord down and 62 up", "64 and 65",
                             "67, 69, 71, 72, 74 and 76"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << " in: " << text;
    }
    // Reading the plug-in's file adds no second, different version.
    EXPECT_EQ(values(kPluginUri, LV2_CORE__minorVersion), std::vector<int>{LYREVANE_VERSION_MINOR});
    EXPECT_EQ(LYREVANE_VERSION_MINOR % 2, 0);
    EXPECT_GT(LYREVANE_VERSION_MINOR, 0);
}

TEST_F(Lv2Test, DeclinesAHostWithoutTheUridMap)
{
    EXPECT_FALSE(host.instantiate(44100.0, 512, false));
}

// Rate, block size and settings; each renders examples/song.mid (100 then 140 bpm) both ways.
struct Case {
    const char* name;
    double rate;
    int32_t block;
    std::vector<Setting> settings;
};

class Lv2SameSound : public Lv2Test, public ::testing::WithParamInterface<Case>
{
};

TEST_P(Lv2SameSound, EqualsTheVstModuleSampleForSample)
{
    const Case& c = GetParam();
    const Song song = loadSong(c.rate);
    ASSERT_TRUE(host.instantiate(c.rate, c.block)) << host.error();
    const std::vector<float> lv2 = renderLv2(host, song, c.rate, c.block, c.settings);
    const std::vector<float> vst = renderVst(song, c.rate, c.block, c.settings);
    ASSERT_EQ(lv2.size(), vst.size());
    EXPECT_EQ(firstDifference(lv2, vst), -1);
    EXPECT_GT(loudest(lv2), 0.1f);
}

const uint32_t kChord8String3 = kFirstString + 7 * 6 + 2;
INSTANTIATE_TEST_SUITE_P(
    Lv2, Lv2SameSound,
    ::testing::Values(
        Case{"Defaults", 44100.0, 512, {}},
        Case{"Electric", 48000.0, 64, {{kSoundSet, 1.0f, 1.0f}}},
        // Strings of chord 8 (G) moved, one held down from above the range, one up from
        // below; fret 7 is the eighth of the parameter's 19 steps above muted. The sound set
        // from a value past the last entry.
        Case{"HeldToRange", 96000.0, 1000,
             {{kChord8String3, 25.0f, 1.0f},
              {kChord8String3 + 1, -4.0f, 0.0f},
              {kChord8String3 + 2, 7.0f, 8 * ChordValues::kPositionStep},
              {kChord8String3 + 3, 0.0f, ChordValues::kPositionStep},
              {kSoundSet, 3.0f, 1.0f}}},
        Case{"LongBlocks", 22050.0, 4096,
             {{kFirstString + 1, 12.0f, 13 * ChordValues::kPositionStep}}}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(Lv2Test, TheStrumSpreadFollowsTheHostTempo)
{
    // Without time:Position the plug-in plays at 120 bpm throughout; the song's second
    // half at 140 bpm strums tighter, so the two must differ from that point on only.
    const Song song = loadSong(44100.0);
    ASSERT_TRUE(host.instantiate(44100.0, 512)) << host.error();
    const std::vector<float> withTempo = renderLv2(host, song, 44100.0, 512, {});
    Lv2Host other(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(other.instantiate(44100.0, 512));
    const std::vector<float> without = renderLv2(other, song, 44100.0, 512, {}, false);
    const double change = song.tempo.secondsAtTick(8 * 4 * song.tempo.ticksPerQuarter());
    EXPECT_GT(firstDifference(withTempo, without), static_cast<int64_t>(change * 44100.0));
}

// A chord strummed in one block, to ring on: chord 5 (E), strum down.
const std::vector<lv2host::Midi> kStrum = {{0, {0x90, 52, 100}}, {0, {0x90, 60, 100}}};

TEST_F(Lv2Test, APositionEveryBlockPlaysOnAndOnlyAJumpReleases)
{
    // Some hosts send time:Position with every block while rolling. A position that follows
    // on must sound exactly like silence from the host; one that jumps releases the strings,
    // whether the host spells it as Ardour and jalv do or with time:beat.
    constexpr double kRate = 48000.0;
    constexpr int32_t kBlock = 256;
    constexpr double kQuartersPerBlock = kBlock / kRate * 2.0;  // 120 bpm
    constexpr int kJump = 30;
    for (const bool withBeat : {false, true}) {
        SCOPED_TRACE(withBeat ? "time:beat" : "time:frame, time:bar and time:barBeat");
        // The playhead at block, moved on by jump seconds.
        const auto at = [&](int block, double jump) {
            const int64_t frame = block * kBlock + std::llround(jump * kRate);
            const double beat = block * kQuartersPerBlock + jump * 2.0;
            return lv2host::Position{0, 120.0, 1.0, beat, withBeat ? -1 : frame, withBeat};
        };
        Lv2Host quiet(LYREVANE_LV2_PATH, kPluginUri);
        Lv2Host chatty(LYREVANE_LV2_PATH, kPluginUri);
        Lv2Host jumping(LYREVANE_LV2_PATH, kPluginUri);
        ASSERT_TRUE(quiet.instantiate(kRate, kBlock) && chatty.instantiate(kRate, kBlock) &&
                    jumping.instantiate(kRate, kBlock));
        for (int block = 0; block < 2 * kJump; ++block) {
            const std::vector<lv2host::Midi> keys = block == 0 ? kStrum : std::vector<lv2host::Midi>{};
            quiet.run(kBlock, keys, block == 0 ? std::vector<lv2host::Position>{at(0, 0.0)}
                                               : std::vector<lv2host::Position>{});
            chatty.run(kBlock, keys, {at(block, 0.0)});
            // Four seconds ahead, as a click on the ruler moves the playhead.
            jumping.run(kBlock, keys,
                        block == kJump ? std::vector<lv2host::Position>{at(block, 4.0)}
                        : block == 0   ? std::vector<lv2host::Position>{at(0, 0.0)}
                                       : std::vector<lv2host::Position>{});
            ASSERT_EQ(firstDifference(quiet.left(), chatty.left()), -1) << "block " << block;
            if (block < kJump) {
                ASSERT_EQ(firstDifference(quiet.left(), jumping.left()), -1) << "block " << block;
            }
        }
        EXPECT_GT(loudest(quiet.left()), 1e-2f);
        EXPECT_EQ(loudest(jumping.left()), 0.0f);
    }
}

TEST_F(Lv2Test, EveryResetFromAHostsControlActs)
{
    ASSERT_TRUE(host.instantiate(44100.0, 256));
    host.run(256, kStrum);
    for (int i = 0; i < 40; ++i) host.run(256);
    EXPECT_EQ(host.control(kPlayedChord), 4.0f);
    EXPECT_GT(loudest(host.left()), 1e-2f);

    // Generic controls in jalv and Ardour latch: a click raises the trigger and leaves it up,
    // the next click lowers it. Each click is a reset; in between the strings ring.
    const auto rings = [&](bool strum) {
        host.run(256, strum ? kStrum : std::vector<lv2host::Midi>{});
        for (int i = 0; i < 40; ++i) host.run(256);
        return loudest(host.left()) > 1e-2f;
    };
    host.control(kReset) = 1.0f;
    EXPECT_FALSE(rings(false)) << "the first click";
    EXPECT_TRUE(rings(true)) << "a strum while the trigger stays up";
    host.control(kReset) = 0.0f;
    EXPECT_FALSE(rings(false)) << "the second click";
    EXPECT_TRUE(rings(true));
    host.control(kReset) = 1.0f;
    EXPECT_FALSE(rings(false)) << "the third click";

    // A host that lowers the trigger after one run, as the trigger property asks, resets
    // once: a strum in that run rings on.
    host.control(kReset) = 0.0f;
    host.run(256);
    host.control(kReset) = 1.0f;
    host.run(256, kStrum);
    host.control(kReset) = 0.0f;
    EXPECT_TRUE(rings(false));
}

TEST_F(Lv2Test, ReactivationStopsEveryStringAndTheStrumUnderWay)
{
    // A soft strum spreads its strings over about 3,300 samples; the instance is deactivated
    // after its first string and activated again. Nothing of it may sound once the release
    // of what was ringing (441 samples) is over.
    ASSERT_TRUE(host.instantiate(44100.0, 256));
    host.run(256, {{0, {0x90, 52, 100}}, {0, {0x90, 60, 1}}});
    EXPECT_GT(loudest(host.left()), 1e-3f);
    host.reactivate();
    host.run(256);
    host.run(256);
    for (int block = 0; block < 40; ++block) {
        host.run(256);
        ASSERT_EQ(loudest(host.left()), 0.0f) << "block " << block << " after re-activation";
    }
    // A new strum plays as on a new instance.
    Lv2Host fresh(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(fresh.instantiate(44100.0, 256));
    host.run(256, kStrum);
    fresh.run(256, kStrum);
    for (int block = 0; block < 20; ++block) {
        ASSERT_EQ(firstDifference(host.left(), fresh.left()), -1) << "block " << block;
        host.run(256);
        fresh.run(256);
    }
}

TEST_F(Lv2Test, AHostsPresetRestoresEveryString)
{
    // As jalv's "Save Preset" and its preset menu: strings over the whole range, muted among
    // them, and the sound set, saved by lilv and applied to a new instance.
    ASSERT_TRUE(host.instantiate(44100.0, 512));
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        host.control(port) = static_cast<float>(port * 7 % 20 + controls::kMuted);
    }
    host.control(kSoundSet) = 1.0f;
    std::string folder = ::testing::TempDir() + "lyrevane-preset-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    ASSERT_TRUE(host.savePreset(folder, "Every fret"));
    Lv2Host other(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(other.instantiate(44100.0, 512));
    ASSERT_TRUE(other.loadPreset(folder));
    for (uint32_t port = kFirstString; port <= kSoundSet; ++port) {
        EXPECT_EQ(other.control(port), host.control(port)) << portSymbol(port);
    }
    std::filesystem::remove_all(folder);
}

TEST_F(Lv2Test, MalformedEventsChangeNothing)
{
    // Empty and one-byte MIDI, system exclusive, a frame past the block: none may crash,
    // and the one strum among them must sound exactly as it does alone.
    Lv2Host clean(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(clean.instantiate(44100.0, 512));
    ASSERT_TRUE(host.instantiate(44100.0, 512));
    clean.run(512, {{10, {0x90, 60, 90}}});
    host.run(512, {{0, {}}, {1, {0x90}}, {2, {0xF0, 0x90, 60, 127, 0xF7}}, {10, {0x90, 60, 90}},
                   {900, {0xB0, 123, 0}}});
    for (int block = 0; block < 20; ++block) {
        ASSERT_EQ(firstDifference(host.left(), clean.left()), -1) << "block " << block;
        clean.run(512);
        host.run(512);
    }
    EXPECT_GT(loudest(host.left()), 1e-2f);
}

}  // namespace
