// The module as a host sees it: the entry, the record, the opcode table, the host calls,
// teardown, and one strum checked sample by sample.
#include <gtest/gtest.h>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "tools/Keys.h"
#include "tools/PluginHost.h"

using harness::Block;
using harness::PluginHost;
using namespace keys;

namespace {

constexpr int32_t kBlock = 512;
constexpr uint8_t kEMajorKey = kFirstChordKey + 4;

class ModuleTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error(); }

    AEffect* openAndStart(float rate = 44100.0f)
    {
        AEffect* effect = host.open();
        if (effect) host.startUp(rate, kBlock);
        return effect;
    }

    PluginHost host;
};

TEST_F(ModuleTest, EntryDeclinesAHostThatGivesNoVersion)
{
    host.versionAnswer = 0;
    EXPECT_EQ(host.open(), nullptr);
    const auto calls = host.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].withEffect);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].index, 0);
    EXPECT_EQ(calls[0].value, 0);
    EXPECT_EQ(calls[0].opt, 0.0f);
}

TEST_F(ModuleTest, ExportsOnlyTheEntryUnderBothNames)
{
    ASSERT_NE(host.symbol("VSTPluginMain"), nullptr);
    EXPECT_EQ(host.symbol("main"), host.symbol("VSTPluginMain"));

    FILE* pipe = popen("nm -D --defined-only '" LYREVANE_MODULE_PATH "'", "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char type[8], name[400];
        if (std::sscanf(line, "%*s %7s %399s", type, name) == 2) names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST_F(ModuleTest, RecordHoldsTheInstrumentsFields)
{
    AEffect* effect = host.open();
    ASSERT_NE(effect, nullptr);
    // Construction asks the host nothing beyond the entry's version query.
    EXPECT_EQ(host.calls().size(), 1u);

    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_NE(effect->dispatcher, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 77);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_EQ(effect->numOutputs, 2);
    // Editor, replacing and synth; never chunks or double precision.
    EXPECT_EQ(effect->flags, 0x111);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->object, nullptr);
    EXPECT_EQ(effect->uniqueID, 0x534D504C);
    EXPECT_EQ(effect->version, 1);
    const char zeros[sizeof effect->future] = {};
    EXPECT_EQ(std::memcmp(effect->future, zeros, sizeof zeros), 0);
}

struct OpcodeRow {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
    intptr_t result;
};

TEST_F(ModuleTest, DispatcherAnswersEveryOpcodeByTheTable)
{
    ASSERT_NE(openAndStart(), nullptr);
    const OpcodeRow rows[] = {
        {effOpen, 0, 0, 0, 0}, {effGetProgram, 0, 0, 0, 0}, {effSetProgramName, 0, 0, 0, 0},
        {effGetVu, 0, 0, 0, 0}, {effSetSampleRate, 0, 0, 44100, 0},
        {effSetBlockSize, 0, 512, 0, 0}, {effMainsChanged, 0, 0, 0, 0},
        {effMainsChanged, 0, 1, 0, 0},
        // The editor: no rectangle without a place to put it; without a parent window the
        // panel is built with no window of its own; keys while closed are not used.
        {effEditGetRect, 0, 0, 0, 0}, {effEditOpen, 0, 0, 0, 1}, {effEditIdle, 0, 0, 0, 0},
        {effEditClose, 0, 0, 0, 0}, {effEditDraw, 0, 0, 0, 0}, {effEditMouse, 0, 0, 0, 0},
        {effEditKey, 0, 0, 0, 0}, {effEditIdle, 0, 0, 0, 0}, {effEditTop, 0, 0, 0, 0},
        {effEditSleep, 0, 0, 0, 0}, {effEditKeyDown, 'a', 1, 2, 0},
        {effEditKeyUp, 'a', 1, 2, 0}, {effSetEditKnobMode, 0, 2, 0, 1},
        {effIdentify, 0, 0, 0, 0x4E764566}, {effGetChunk, 0, 0, 0, 0},
        {effSetChunk, 0, 0, 0, 0}, {effProcessEvents, 0, 0, 0, 1},
        {effCanBeAutomated, 0, 0, 0, 1}, {effCanBeAutomated, 500, 0, 0, 1},
        {effCanBeAutomated, -1, 0, 0, 1}, {effString2Parameter, 0, 0, 0, 0},
        {effGetProgramNameIndexed, 0, 0, 0, 0}, {effGetInputProperties, 0, 0, 0, 0},
        {effGetOutputProperties, 0, 0, 0, 0}, {effGetPlugCategory, 0, 0, 0, 2},
        {effOfflineNotify, 0, 0, 0, 0}, {effOfflinePrepare, 0, 0, 0, 0},
        {effOfflineRun, 0, 0, 0, 0}, {effProcessVarIo, 0, 0, 0, 0},
        {effSetSpeakerArrangement, 0, 0, 0, 0}, {effSetBypass, 0, 1, 0, 0},
        {effGetVendorVersion, 0, 0, 0, 64}, {effVendorSpecific, 1, 2, 3, 0},
        {effCanDo, 0, 0, 0, 0}, {effGetTailSize, 0, 0, 0, 0},
        {effGetParameterProperties, 0, 0, 0, 0}, {effGetVstVersion, 0, 0, 0, 2400},
        {effGetMidiProgramName, 0, 0, 0, 0}, {effGetCurrentMidiProgram, 0, 0, 0, -1},
        {effGetMidiProgramCategory, 0, 0, 0, 0}, {effHasMidiProgramsChanged, 0, 0, 0, 0},
        {effGetMidiKeyName, 0, 0, 0, 0}, {effBeginSetProgram, 0, 0, 0, 0},
        {effEndSetProgram, 0, 0, 0, 0}, {effShellGetNextPlugin, 0, 0, 0, 0},
        {effStartProcess, 0, 0, 0, 0}, {effStopProcess, 0, 0, 0, 0},
        {effSetTotalSampleToProcess, 0, 12345, 0, 12345}, {effSetPanLaw, 0, 0, 0.5f, 0},
        {effBeginLoadBank, 0, 0, 0, 0}, {effBeginLoadProgram, 0, 0, 0, 0},
        {effSetProcessPrecision, 0, 1, 0, 0}, {effGetNumMidiInputChannels, 0, 0, 0, 0},
        {effGetNumMidiOutputChannels, 0, 0, 0, 0},
        // Unused numbers and everything outside 0..79.
        {28, 0, 0, 0, 0}, {30, 0, 0, 0, 0}, {31, 0, 0, 0, 0}, {32, 0, 0, 0, 0},
        {36, 0, 0, 0, 0}, {37, 0, 0, 0, 0}, {43, 0, 0, 0, 0}, {46, 0, 0, 0, 0},
        {53, 0, 0, 0, 0}, {54, 0, 0, 0, 0}, {55, 0, 0, 0, 0}, {57, 0, 0, 0, 0},
        {-1, 0, 0, 0, 0}, {80, 0, 0, 0, 0}, {1000, 0, 0, 0, 0}, {INT32_MIN, 0, 0, 0, 0},
    };
    for (const OpcodeRow& row : rows) {
        EXPECT_EQ(host.dispatch(row.opcode, row.index, row.value, nullptr, row.opt), row.result)
            << "opcode " << row.opcode;
    }

    // Programs: one only, but the signed comparison lets negative numbers through.
    host.dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
    host.dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(host.dispatch(effGetProgram), -1);

    for (const char* capability : {"receiveVstMidiEvent", "receiveVstTimeInfo", ""}) {
        EXPECT_EQ(host.dispatch(effCanDo, 0, 0, const_cast<char*>(capability)), 0);
    }

    ERect* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 225);
    EXPECT_EQ(rect->right, 529);

    int marker = 0;
    void* input = &marker;
    void* output = &marker;
    EXPECT_EQ(host.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input),
                            &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST_F(ModuleTest, TextsFitHostBuffersOfTheirBound)
{
    ASSERT_NE(openAndStart(), nullptr);
    // Each buffer is exactly the bound plus one; a canary after the written text shows
    // that nothing beyond the text and its zero is touched.
    struct TextRow {
        int32_t opcode;
        size_t bound;
        std::string text;
        intptr_t result;
    };
    const TextRow rows[] = {
        {effGetEffectName, 32, "Lyrevane", 1},
        {effGetProductString, 64, "Lyrevane", 1},
        {effGetVendorString, 64, "Lyrevane Instruments", 1},
        {effGetProgramName, 32, "", 0},
        {effGetParamName, 32, "", 0},
        {effGetParamLabel, 32, "", 0},
        {effGetParamDisplay, 32, "", 0},
    };
    for (const TextRow& row : rows) {
        for (int32_t index : {0, 76, 500}) {
            std::string buffer(row.bound + 1, '#');
            EXPECT_EQ(host.dispatch(row.opcode, index, 0, buffer.data()), row.result);
            EXPECT_EQ(std::string(buffer.c_str()), row.text) << "opcode " << row.opcode;
            EXPECT_EQ(buffer.find_first_not_of('#', row.text.size() + 1), std::string::npos)
                << "opcode " << row.opcode << " wrote past its text";
        }
        // A host that passes no buffer gets the answer and nothing is written.
        EXPECT_EQ(host.dispatch(row.opcode, 0, 0, nullptr), row.result);
    }
}

TEST_F(ModuleTest, ResumeAsksForMidiOnceAndNeverAsksCapabilities)
{
    ASSERT_NE(host.open(), nullptr);
    host.clearCalls();
    host.dispatch(effMainsChanged, 0, 0);
    EXPECT_TRUE(host.calls().empty());
    host.dispatch(effMainsChanged, 0, 1);
    const auto calls = host.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].withEffect);
    EXPECT_EQ(calls[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(calls[0].value, 1);
    EXPECT_EQ(host.callCount(audioMasterCanDo), 0u);
}

TEST_F(ModuleTest, AccumulatingEntriesLeaveBuffersUntouched)
{
    AEffect* effect = openAndStart();
    ASSERT_NE(effect, nullptr);
    host.sendMidi({{0, kNoteOn, kStrumDownKey, 100}});
    float left[64], right[64];
    std::fill(std::begin(left), std::end(left), 0.25f);
    std::fill(std::begin(right), std::end(right), 0.25f);
    float* outputs[2] = {left, right};
    effect->process(effect, nullptr, outputs, 64);
    double leftDouble[64], rightDouble[64];
    std::fill(std::begin(leftDouble), std::end(leftDouble), 0.25);
    std::fill(std::begin(rightDouble), std::end(rightDouble), 0.25);
    double* doubleOutputs[2] = {leftDouble, rightDouble};
    effect->processDoubleReplacing(effect, nullptr, doubleOutputs, 64);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(left[i], 0.25f);
        ASSERT_EQ(right[i], 0.25f);
        ASSERT_EQ(leftDouble[i], 0.25);
        ASSERT_EQ(rightDouble[i], 0.25);
    }
}

#if defined(__SSE__)
// Denormals are flushed inside a block only: the host's floating-point mode, whatever it
// is, comes back unchanged after every block.
TEST_F(ModuleTest, BlocksLeaveTheHostsFloatingPointModeAsTheyFoundIt)
{
    AEffect* effect = openAndStart();
    ASSERT_NE(effect, nullptr);
    const unsigned int original = _mm_getcsr();
    const unsigned int flushBits = 0x8040;  // flush-to-zero and denormals-are-zero
    for (const unsigned int hostMode : {original & ~flushBits, original | flushBits}) {
        _mm_setcsr(hostMode);
        host.sendMidi({{0, kNoteOn, kStrumDownKey, 100}});
        host.render(kBlock);
        EXPECT_EQ(_mm_getcsr(), hostMode);
    }
    _mm_setcsr(original);
}
#endif

TEST_F(ModuleTest, CloseDestroysTheInstrument)
{
    // AddressSanitizer's leak check at exit sees anything the teardown forgets.
    AEffect* effect = openAndStart();
    ASSERT_NE(effect, nullptr);
    host.sendMidi({{0, kNoteOn, kEMajorKey, 100}, {0, kNoteOn, kStrumDownKey, 100}});
    host.render(kBlock);
    EXPECT_EQ(host.close(), 1);
}

// Chord 4 (E major) selected by key 52, then key 60 at velocity 100, both at offset 0 of
// the first block; chord 4's string mutedString is muted first when it is 0..5.
std::vector<float> strumEMajor(PluginHost& host, float rate, int mutedString)
{
    host.open();
    host.startUp(rate, kBlock);
    if (mutedString >= 0) host.setParameter(4 * 6 + mutedString, 0.0f);
    return host.renderSong(7 * kBlock, kBlock,
                           {{0, kNoteOn, kEMajorKey, 100}, {0, kNoteOn, kStrumDownKey, 100}});
}

// The first string starts at its offset: up to and including that sample the song without
// the string is identical, and within a few samples after it the two differ.
void expectStringStartsAt(const std::vector<float>& full, const std::vector<float>& without,
                          int string, int32_t earliest, int32_t latest)
{
    for (int32_t i = 0; i <= earliest; ++i) {
        ASSERT_EQ(full[i], without[i]) << "string " << string << " sounded at " << i;
    }
    bool differs = false;
    for (int32_t i = earliest + 1; i <= latest + 64 && !differs; ++i) {
        differs = full[i] != without[i];
    }
    EXPECT_TRUE(differs) << "string " << string << " silent after " << latest;
}

TEST_F(ModuleTest, OneStrumFromKeyToSound)
{
    PluginHost reference;
    ASSERT_TRUE(reference.load(LYREVANE_MODULE_PATH));
    const std::vector<float> full = strumEMajor(reference, 44100.0f, -1);
    for (int string = 0; string < 6; ++string) {
        PluginHost other;
        ASSERT_TRUE(other.load(LYREVANE_MODULE_PATH));
        const int32_t offset = 460 * string;
        expectStringStartsAt(full, strumEMajor(other, 44100.0f, string), string, offset,
                             offset);
    }
}

TEST_F(ModuleTest, StrumKeepsItsDurationAtAnotherRate)
{
    // At 48000 Hz the 460-sample spacing of 44100 Hz becomes about 500.7 host samples.
    PluginHost reference;
    ASSERT_TRUE(reference.load(LYREVANE_MODULE_PATH));
    const std::vector<float> full = strumEMajor(reference, 48000.0f, -1);
    for (int string = 1; string < 6; ++string) {
        PluginHost other;
        ASSERT_TRUE(other.load(LYREVANE_MODULE_PATH));
        const double exact = 460.0 * 48000.0 / 44100.0 * string;
        expectStringStartsAt(full, strumEMajor(other, 48000.0f, string), string,
                             static_cast<int32_t>(exact) - string - 1,
                             static_cast<int32_t>(exact) + 1);
    }
}

// E major strummed at sample 0 (its strings start by sample 2300) and its highest string
// picked again at 3000, over 16 blocks; the host's hook runs before each block.
std::vector<float> strumAndPick(PluginHost& host, std::function<void(int32_t block)> hook)
{
    host.open();
    host.startUp(44100.0f, kBlock);
    host.beforeBlock = [&](int32_t firstSample) { hook(firstSample / kBlock); };
    return host.renderSong(16 * kBlock, kBlock,
                           {{0, kNoteOn, kEMajorKey, 100},
                            {0, kNoteOn, kStrumDownKey, 100},
                            {3000, kNoteOn, kPickKeys[5], 100}});
}

std::vector<float> blockOf(const std::vector<float>& song, int32_t block)
{
    return {song.begin() + block * kBlock, song.begin() + (block + 1) * kBlock};
}

TEST_F(ModuleTest, TransportBitOnEveryBlockLeavesTheStringsRinging)
{
    PluginHost plain;
    ASSERT_TRUE(plain.load(LYREVANE_MODULE_PATH));
    const std::vector<float> reference = strumAndPick(plain, [](int32_t) {});
    ASSERT_NE(blockOf(reference, 15), std::vector<float>(kBlock, 0.0f));

    struct Case {
        const char* host;
        std::function<void(VstTimeInfo&)> time;
    };
    const Case cases[] = {
        {"rolling, sample position given", [](VstTimeInfo&) {}},
        // Only the musical position runs on; the tempo changes at a block boundary.
        {"rolling, musical position only",
         [](VstTimeInfo& time) {
             time.samplePos = 0.0;
             time.tempo = time.ppqPos < 0.2 ? 120.0 : 90.0;
         }},
        {"stopped, standing still",
         [](VstTimeInfo& time) {
             time.flags &= ~kVstTransportPlaying;
             time.samplePos = 4410.0;
         }},
    };
    for (const Case& c : cases) {
        PluginHost flagging;
        ASSERT_TRUE(flagging.load(LYREVANE_MODULE_PATH));
        const std::vector<float> song = strumAndPick(flagging, [&](int32_t) {
            flagging.timeInfo.flags |= kVstTransportChanged;
            c.time(flagging.timeInfo);
        });
        EXPECT_EQ(song, reference) << c.host;
    }
}

TEST_F(ModuleTest, RealTransportJumpsStillReleaseTheStrings)
{
    PluginHost plain;
    ASSERT_TRUE(plain.load(LYREVANE_MODULE_PATH));
    const std::vector<float> reference = strumAndPick(plain, [](int32_t) {});

    // Each host raises the bit on every block and jumps at block 10. One host stands
    // stopped before it, its position counting on all the same.
    struct Case {
        const char* jump;
        bool samplesGiven;
        bool stoppedBefore;
        std::function<void(PluginHost&)> atJump;
    };
    const Case cases[] = {
        {"position forward", true, false,
         [](PluginHost& h) { h.timeInfo.samplePos += 44100.0; }},
        {"position back", true, false,
         [](PluginHost& h) { h.timeInfo.samplePos -= 2 * kBlock; }},
        {"transport stopped", true, false,
         [](PluginHost& h) { h.timeInfo.flags &= ~kVstTransportPlaying; }},
        {"transport started", true, true,
         [](PluginHost& h) { h.timeInfo.flags |= kVstTransportPlaying; }},
        {"musical position forward", false, false,
         [](PluginHost& h) { h.timeInfo.ppqPos += 4.0; }},
        {"suspend and resume in place", true, false,
         [](PluginHost& h) {
             h.dispatch(effMainsChanged, 0, 0);
             h.dispatch(effMainsChanged, 0, 1);
         }},
    };
    constexpr int32_t kJump = 10;
    for (const Case& c : cases) {
        PluginHost jumping;
        ASSERT_TRUE(jumping.load(LYREVANE_MODULE_PATH));
        const std::vector<float> song = strumAndPick(jumping, [&](int32_t block) {
            jumping.timeInfo.flags |= kVstTransportChanged;
            if (!c.samplesGiven) jumping.timeInfo.samplePos = 0.0;
            if (c.stoppedBefore && block < kJump) {
                jumping.timeInfo.flags &= ~kVstTransportPlaying;
            }
            if (block == kJump) c.atJump(jumping);
        });
        for (int32_t block = 0; block < kJump; ++block) {
            ASSERT_EQ(blockOf(song, block), blockOf(reference, block)) << c.jump;
        }
        // The release takes 441 samples, after which nothing sounds.
        for (int32_t block = kJump + 1; block < 16; ++block) {
            EXPECT_EQ(blockOf(song, block), std::vector<float>(kBlock, 0.0f))
                << c.jump << ", block " << block;
        }
    }
}

TEST_F(ModuleTest, ChordKeyAfterARateChangeNeverRepeatsAnOldStrum)
{
    ASSERT_NE(openAndStart(44100.0f), nullptr);
    const std::vector<float> strum = host.renderSong(44100, kBlock, {{0, 0x90, 60, 100}});
    EXPECT_GT(*std::max_element(strum.begin(), strum.end()), 0.1f) << "the strum rings";

    // The host raises its rate, a longer window in host samples, then plays a chord key in
    // the first block: a second after the strum it only selects, silencing the strings.
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    host.dispatch(effMainsChanged, 0, 1);
    host.timeInfo.sampleRate = 48000.0;
    const std::vector<float> after = host.renderSong(48000, kBlock, {{0, 0x90, 49, 100}});
    float loudest = 0.0f;
    for (size_t i = 4800; i < after.size(); ++i) loudest = std::max(loudest, std::fabs(after[i]));
    EXPECT_LT(loudest, 0.001f) << "the old strum came back on the new chord";
}

TEST_F(ModuleTest, TwoChordKeysInOneBlockStillReleaseTheStrum)
{
    // A strum rings; two chord keys land together in a later block (a second apart from the
    // strum, so neither repeats it). The strings stop as they would for the last key alone.
    const auto render = [](const std::vector<harness::MidiEvent>& keys) {
        PluginHost h;
        EXPECT_TRUE(h.load(LYREVANE_MODULE_PATH)) << h.error();
        EXPECT_NE(h.open(), nullptr);
        h.startUp(44100.0f, kBlock);
        return h.renderSong(88200, kBlock, keys);
    };
    const int32_t change = 44100 + 100;
    const std::vector<float> one = render({{0, kNoteOn, kStrumDownKey, 100},
                                           {change, kNoteOn, kFirstChordKey + 9, 100}});
    const std::vector<float> two = render({{0, kNoteOn, kStrumDownKey, 100},
                                           {change, kNoteOn, kFirstChordKey + 2, 100},
                                           {change, kNoteOn, kFirstChordKey + 9, 100}});
    EXPECT_EQ(two, one);
    float loudest = 0.0f;
    for (size_t i = change + 4410; i < two.size(); ++i) loudest = std::max(loudest, std::fabs(two[i]));
    EXPECT_EQ(loudest, 0.0f) << "strings of the first chord ring on";
}

}  // namespace
