// The factory chord sets as LV2 presets, played against the VST module loading the same sets'
// program files, and the key names the plug-in offers through the MIDNAM extension.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <lv2/presets/presets.h>

#include "lv2/Lv2Ports.h"
#include "lv2/Midnam.h"
#include "presets/FactoryChordSets.h"
#include "presets/ProgramFile.h"
#include "tests/lv2/AllocationCounter.h"
#include "tests/support/Lv2Host.h"
#include "tools/Keys.h"
#include "tools/PluginHost.h"

using lv2host::Lv2Host;
using namespace lv2ports;

namespace {

const std::vector<presets::ChordSet>& chordSets()
{
    std::string error;
    const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
    EXPECT_FALSE(sets.empty()) << error;
    return sets;
}

std::string presetUri(const presets::ChordSet& set)
{
    return "urn:lyrevane:lv2:preset:" + presets::fileNameOf(set);
}

// Every chord selected in turn and strummed down, up and short, and its top string picked.
std::vector<lv2host::Midi> everyChordPlayed()
{
    std::vector<lv2host::Midi> keys;
    for (uint8_t chord = 0; chord < 12; ++chord) {
        const int64_t at = chord * 33075;  // three quarters of a second at 44100 Hz
        keys.push_back({at, {keys::kNoteOn, uint8_t(keys::kFirstChordKey + chord), 100}});
        keys.push_back({at + 100, {keys::kNoteOn, keys::kStrumDownKey, 110}});
        keys.push_back({at + 11025, {keys::kNoteOn, keys::kStrumUpKey, 70}});
        keys.push_back({at + 22050, {keys::kNoteOn, keys::kShortStrumDownKey, 90}});
        keys.push_back({at + 27563, {keys::kNoteOn, keys::kPickKeys[5], 100}});
    }
    return keys;
}

std::vector<uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The host side of the key-names update: counts the calls and the thread they come from.
struct KeyNamesHost {
    int updates = 0;
    std::thread::id caller;
    LyrevaneMidnamUpdate feature{this, [](void* handle) {
                                     auto* host = static_cast<KeyNamesHost*>(handle);
                                     ++host->updates;
                                     host->caller = std::this_thread::get_id();
                                 }};
    LV2_Feature lv2Feature{LYREVANE_MIDNAM_UPDATE, &feature};
};

// The document of an instance through the extension, as the host reads it.
std::string keyNamesOf(const Lv2Host& host, std::string* model = nullptr)
{
    const auto* names =
        static_cast<const LyrevaneMidnamInterface*>(host.extensionData(LYREVANE_MIDNAM_INTERFACE));
    if (!names) return "";
    char* document = names->midnam(host.handle());
    char* modelName = names->model(host.handle());
    std::string text = document ? document : "";
    if (model) *model = modelName ? modelName : "";
    names->release(document);
    names->release(modelName);
    return text;
}

// What xmllint says of the document: nothing when it is well-formed.
std::string xmllintComplaints(const std::string& document)
{
    const std::string path = ::testing::TempDir() + "lyrevane-keynames.midnam";
    std::ofstream(path) << document;
    const std::string command = "xmllint --noout --nonet " + path + " 2>&1";
    std::string complaints;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, pipe)) complaints += line;
        if (pclose(pipe) != 0 && complaints.empty()) complaints = "xmllint failed";
    } else {
        complaints = "xmllint did not run";
    }
    std::remove(path.c_str());
    return complaints;
}

std::string note(int key, const std::string& name)
{
    return "<Note Number=\"" + std::to_string(key) + "\" Name=\"" + name + "\"/>";
}

}  // namespace

TEST(Lv2Presets, EverySetIsAPresetOfEveryControl)
{
    Lv2Host host(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(host.instantiate(44100.0, 512)) << host.error();
    LilvNode* presetClass = lilv_new_uri(host.world(), LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(host.world(), LILV_NS_RDFS "label");
    LilvNodes* listed = lilv_plugin_get_related(host.plugin(), presetClass);
    EXPECT_EQ(lilv_nodes_size(listed), chordSets().size());
    for (const presets::ChordSet& set : chordSets()) {
        LilvNode* uri = lilv_new_uri(host.world(), presetUri(set).c_str());
        EXPECT_TRUE(lilv_nodes_contains(listed, uri)) << set.name;
        lilv_world_load_resource(host.world(), uri);
        LilvNode* name = lilv_world_get(host.world(), uri, label, nullptr);
        EXPECT_STREQ(name ? lilv_node_as_string(name) : "", set.name.c_str());
        lilv_node_free(name);
        lilv_node_free(uri);

        ASSERT_TRUE(host.applyPreset(presetUri(set))) << set.name;
        for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
            const int32_t parameter = parameterOfPort(port);
            EXPECT_EQ(host.control(port), set.chords[parameter / 6].fingering[parameter % 6])
                << set.name << ", " << portSymbol(port);
        }
        EXPECT_EQ(host.control(kSoundSet), set.electric ? 1.0f : 0.0f) << set.name;
    }
    lilv_nodes_free(listed);
    lilv_node_free(label);
    lilv_node_free(presetClass);
}

// The figure the issue asks for: three sets played with every chord, through the plug-in with
// its preset and through the module with its program file.
TEST(Lv2Presets, APresetPlaysAsTheModuleWithTheSetsProgramFile)
{
    const std::vector<lv2host::Midi> keys = everyChordPlayed();
    std::vector<harness::MidiEvent> vstKeys;
    for (const lv2host::Midi& key : keys) {
        vstKeys.push_back({int32_t(key.frame), key.bytes[0], key.bytes[1], key.bytes[2]});
    }
    const int32_t total = 12 * 33075 + 44100;
    for (const char* name : {"Blues in E", "Open-string drones in D", "Bb major"}) {
        const presets::ChordSet* set = presets::findChordSet(chordSets(), name);
        ASSERT_NE(set, nullptr);
        Lv2Host lv2(LYREVANE_LV2_PATH, kPluginUri);
        ASSERT_TRUE(lv2.instantiate(44100.0, 512)) << lv2.error();
        ASSERT_TRUE(lv2.applyPreset(presetUri(*set)));
        const std::vector<float> lv2Render = lv2.renderSong(total, 512, keys, 120.0);

        std::string error;
        const auto program = presets::decodeProgram(
            readFile(std::filesystem::path(LYREVANE_PROGRAMS) / (presets::fileNameOf(*set) + ".fxp")),
            error);
        ASSERT_TRUE(program) << error;
        harness::PluginHost vst;
        ASSERT_TRUE(vst.load(LYREVANE_MODULE_PATH)) << vst.error();
        ASSERT_NE(vst.open(), nullptr);
        vst.startUp(44100.0f, 512);
        for (size_t index = 0; index < program->values.size(); ++index) {
            vst.setParameter(int32_t(index), program->values[index]);
        }
        vst.timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid;
        vst.timeInfo.tempo = 120.0;
        const std::vector<float> vstRender = vst.renderSong(total, 512, vstKeys);

        ASSERT_EQ(lv2Render.size(), vstRender.size());
        float largest = 0.0f;
        float loudest = 0.0f;
        for (size_t i = 0; i < vstRender.size(); ++i) {
            largest = std::max(largest, std::fabs(lv2Render[i] - vstRender[i]));
            loudest = std::max(loudest, std::fabs(vstRender[i]));
        }
        std::printf("%s: %zu samples, largest difference %g (peak %.3f)\n", name,
                    vstRender.size(), largest, loudest);
        EXPECT_EQ(largest, 0.0f) << name;
        EXPECT_GT(loudest, 0.05f) << name;
    }
}

TEST(Lv2KeyNames, TheDocumentNamesEveryKeyAndFollowsTheChords)
{
    KeyNamesHost keyNamesHost;
    Lv2Host host(LYREVANE_LV2_PATH, kPluginUri);
    host.extraFeatures.push_back(&keyNamesHost.lv2Feature);
    ASSERT_TRUE(host.instantiate(44100.0, 512)) << host.error();
    std::string model;
    std::string document = keyNamesOf(host, &model);
    ASSERT_FALSE(document.empty()) << "no key names through " LYREVANE_MIDNAM_INTERFACE;
    EXPECT_EQ(xmllintComplaints(document), "");
    EXPECT_NE(document.find("<Model>" + model + "</Model>"), std::string::npos) << model;
    for (const std::string& name :
         {note(0, "Silence"), note(48, "C3 chord: C"), note(49, "C#3 chord: C#/G#"),
          note(59, "B3 chord: B/F#"), note(60, "Strum down"), note(61, "Silence"),
          note(62, "Strum up"), note(64, "Short strum down"), note(65, "Short strum up"),
          note(67, "Pick string 1 (low E)"), note(76, "Pick string 6 (high E)"),
          note(127, "Silence")}) {
        EXPECT_NE(document.find(name), std::string::npos) << name;
    }
    size_t notes = 0;
    for (size_t at = document.find("<Note "); at != std::string::npos;
         at = document.find("<Note ", at + 1)) {
        ++notes;
    }
    EXPECT_EQ(notes, 128u);
    Lv2Host other(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(other.instantiate(44100.0, 512));
    std::string otherModel;
    keyNamesOf(other, &otherModel);
    EXPECT_NE(otherModel, model) << "each instance names its own model";

    // A block without a chord edit asks nothing of the host.
    host.run(512);
    EXPECT_EQ(keyNamesHost.updates, 0);
    // The second chord edited to A minor: the block that takes the edit tells the host, from
    // the audio thread, without allocating, and the document then names the new chord.
    const float aMinor[6] = {-1, 0, 2, 2, 1, 0};
    for (uint32_t string = 0; string < 6; ++string) {
        host.control(kFirstString + 6 + string) = aMinor[string];
    }
    EXPECT_EQ(allocations::countDuring([&] { host.run(512); }), 0)
        << "run() allocated while the chords changed";
    EXPECT_EQ(keyNamesHost.updates, 1);
    EXPECT_EQ(keyNamesHost.caller, std::this_thread::get_id());
    document = keyNamesOf(host);
    EXPECT_NE(document.find(note(49, "C#3 chord: Am")), std::string::npos);
    host.run(512);
    EXPECT_EQ(keyNamesHost.updates, 1);

    // A preset changes every chord; the names follow, spelled in the set's key.
    ASSERT_TRUE(host.applyPreset("urn:lyrevane:lv2:preset:f-major"));
    host.run(512);
    EXPECT_EQ(keyNamesHost.updates, 2);
    document = keyNamesOf(host);
    EXPECT_EQ(xmllintComplaints(document), "");
    for (const std::string& name : {note(48, "C3 chord: F"), note(51, "D#3 chord: Bb"),
                                    note(56, "G#3 chord: Eb"), note(57, "A3 chord: Bbm"),
                                    note(59, "B3 chord: Fmaj7")}) {
        EXPECT_NE(document.find(name), std::string::npos) << name;
    }
}

TEST(Lv2KeyNames, TheChordZoneIsNamedWithTheChordItHolds)
{
    KeyNamesHost keyNamesHost;
    Lv2Host host(LYREVANE_LV2_PATH, kPluginUri);
    host.extraFeatures.push_back(&keyNamesHost.lv2Feature);
    ASSERT_TRUE(host.instantiate(44100.0, 512)) << host.error();
    host.control(kChordInput) = 1.0f;
    host.run(512);
    EXPECT_EQ(keyNamesHost.updates, 1);
    std::string document = keyNamesOf(host);
    EXPECT_NE(document.find(note(0, "Held chord")), std::string::npos);
    // A minor seventh held with its fifth in the bass: E G A C.
    const std::vector<lv2host::Midi> held = {{0, {0x90, 28, 90}}, {0, {0x90, 31, 90}},
                                             {0, {0x90, 33, 90}}, {0, {0x90, 36, 90}}};
    EXPECT_EQ(allocations::countDuring([&] { host.run(512, held); }), 0)
        << "run() allocated while the held chord changed";
    EXPECT_EQ(keyNamesHost.updates, 2);
    document = keyNamesOf(host);
    EXPECT_EQ(xmllintComplaints(document), "");
    for (const std::string& name : {note(0, "Held chord: Am7"), note(47, "Held chord: Am7"),
                                    note(48, "C3 chord: C"), note(60, "Strum down")}) {
        EXPECT_NE(document.find(name), std::string::npos) << name;
    }
    // Back to the chord keys, the keys below them silence again.
    host.control(kChordInput) = 0.0f;
    host.run(512);
    EXPECT_EQ(keyNamesHost.updates, 3);
    EXPECT_NE(keyNamesOf(host).find(note(0, "Silence")), std::string::npos);
}

TEST(Lv2KeyNames, AHostWithoutTheUpdateFeatureStillReadsTheNames)
{
    Lv2Host host(LYREVANE_LV2_PATH, kPluginUri);
    ASSERT_TRUE(host.instantiate(44100.0, 512));
    host.control(kFirstString) = 3;  // chord 1's low string at fret 3: C/G
    host.run(512);
    EXPECT_NE(keyNamesOf(host).find(note(48, "C3 chord: C/G")), std::string::npos);
}
