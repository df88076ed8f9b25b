// The instrument's parameters, the resets they trigger, and the editor opcodes' routing.
#include <cmath>

#include "tests/host/PlektraFixture.h"
#include "host/AEffEditor.h"

namespace plektratest {
namespace {

constexpr float kChord5 = 0.45454547f;  // chord 5 read back as 5/11

TEST_F(PlektraTest, ParameterTableReadsBack)
{
    EXPECT_EQ(host.getParameter(74), 0.0f);
    EXPECT_EQ(host.getParameter(0), 0.0f);  // chord 0 string 0 is muted
    EXPECT_EQ(host.getParameter(1), fretValue(3));
    EXPECT_EQ(host.getParameter(71), fretValue(2));  // chord 11 string 5
    EXPECT_EQ(host.getParameter(72), -1.0f);
    EXPECT_EQ(host.getParameter(73), -1.0f);
    EXPECT_EQ(host.getParameter(77), 0.0f);
    EXPECT_EQ(host.getParameter(-1), 0.0f);
    EXPECT_EQ(host.getParameter(INT32_MIN), 0.0f);

    std::vector<float> before;
    for (int32_t i = 0; i < 77; ++i) before.push_back(host.getParameter(i));
    for (int32_t index : {72, 73, 74, 77, -1, 1000, INT32_MAX}) host.setParameter(index, 0.5f);
    host.setParameter(74, 1.0f);
    host.render(kBlock);
    for (int32_t i = 0; i < 77; ++i) EXPECT_EQ(host.getParameter(i), before[i]) << i;

    // A chord selected by its key is reported on 74 and 76; 75 keeps reporting the set.
    host.sendMidi({{0, kNoteOn, kFirstChordKey + 5, 100}});
    host.render(kBlock);
    EXPECT_EQ(host.getParameter(74), kChord5);
    EXPECT_EQ(host.getParameter(76), kChord5);
    EXPECT_EQ(host.getParameter(75), 0.0f);

    // Chord values round-trip, and out-of-range or NaN values leave a string alone.
    host.setParameter(9, fretValue(7));
    EXPECT_EQ(host.getParameter(9), fretValue(7));
    host.setParameter(9, 1.5f);
    host.setParameter(9, std::nanf(""));
    EXPECT_EQ(host.getParameter(9), fretValue(7));
    host.setParameter(9, -0.3f);
    EXPECT_EQ(host.getParameter(9), 0.0f);
}

TEST_F(PlektraTest, SoundSetParameterReportsTheSetInForce)
{
    const CSampler& engine = plektra->soundEngine();
    ASSERT_NE(engine.mapEntry(40, 100), nullptr);
    const float acousticRoot = engine.mapEntry(40, 100)->rootFrequency();
    EXPECT_NEAR(acousticRoot, 97.999f, 0.01f);

    host.setParameter(75, 1.0f);
    // Reported at once, carried out by the audio thread before its next block.
    EXPECT_EQ(host.getParameter(75), 1.0f);
    host.render(0);
    EXPECT_NEAR(engine.mapEntry(40, 100)->rootFrequency(), 82.407f, 0.01f);
    EXPECT_NEAR(engine.mapEntry(127, 0)->rootFrequency(), 1108.73f, 0.1f);

    host.setParameter(75, -0.0f);
    EXPECT_EQ(host.getParameter(75), 0.0f);
    host.render(0);
    EXPECT_EQ(engine.mapEntry(40, 100)->rootFrequency(), acousticRoot);

    host.setParameter(75, std::nanf(""));
    EXPECT_EQ(host.getParameter(75), 1.0f);
}

TEST_F(PlektraTest, SavingAndRestoringAllParametersKeepsChordsAndSoundSet)
{
    for (int32_t i = 0; i < 72; ++i) host.setParameter(i, fretValue((i * 7) % 20 - 1));
    host.setParameter(75, 1.0f);
    host.sendMidi({{0, kNoteOn, kFirstChordKey + 5, 100}});
    host.render(kBlock);
    std::vector<float> saved;
    for (int32_t i = 0; i < 77; ++i) saved.push_back(host.getParameter(i));

    restart();
    for (int32_t i = 0; i < 77; ++i) host.setParameter(i, saved[i]);
    host.render(kBlock);
    for (int32_t i = 0; i < 76; ++i) {
        if (i == 74) continue;  // the selected chord is played, not stored
        EXPECT_EQ(host.getParameter(i), saved[i]) << i;
    }
    EXPECT_NEAR(plektra->soundEngine().mapEntry(40, 1)->rootFrequency(), 82.407f, 0.01f);
}

TEST_F(PlektraTest, EditsOfTheSelectedChordAndResetsSilenceEverything)
{
    // Chord 0 strummed down: strings 1..5 at 0, 460, 920, 1380, 1840.
    auto strumChord0 = [&] {
        host.sendMidi({{0, kNoteOn, kStrumDownKey, 100}});
        host.render(kBlock);
        ASSERT_EQ(heldCount(), 2);
    };
    auto renderRest = [&] {
        for (int i = 0; i < 4; ++i) host.render(kBlock);
    };

    strumChord0();
    host.setParameter(9, fretValue(3));  // chord 1: not selected, nothing stops
    host.setParameter(74, 0.7f);
    renderRest();
    EXPECT_EQ(heldCount(), 5);

    host.setParameter(76, 0.0f);
    host.render(kBlock);
    EXPECT_EQ(heldCount(), 0);

    strumChord0();
    host.setParameter(3, fretValue(1));  // chord 0, string 3: voices and schedule go
    renderRest();
    EXPECT_EQ(heldCount(), 0);
    EXPECT_EQ(host.getParameter(3), fretValue(1));

    strumChord0();
    host.setParameter(5, 1.5f);  // ignored value, still a reset
    renderRest();
    EXPECT_EQ(heldCount(), 0);
    EXPECT_EQ(host.getParameter(5), fretValue(0));

    strumChord0();
    host.setParameter(75, 0.0f);  // same set again, still a reset
    renderRest();
    EXPECT_EQ(heldCount(), 0);
}

TEST_F(PlektraTest, NamesAndVersion)
{
    char name[33];
    char vendor[65];
    EXPECT_TRUE(plektra->getEffectName(name));
    EXPECT_STREQ(name, "Lyrevane");
    EXPECT_TRUE(plektra->getProductString(vendor));
    EXPECT_STREQ(vendor, "Lyrevane");
    EXPECT_TRUE(plektra->getVendorString(vendor));
    EXPECT_STREQ(vendor, "Lyrevane Instruments");
    EXPECT_EQ(plektra->getVendorVersion(), 64);

    // Longer texts are cut to fit their bound, zero included.
    char bounded[8];
    std::fill(std::begin(bounded), std::end(bounded), '#');
    copyHostString(bounded, "Lyrevane Instruments", 4);
    EXPECT_STREQ(bounded, "Lyr");
    EXPECT_EQ(bounded[4], '#');
}

class RecordingEditor : public AEffEditor
{
public:
    using AEffEditor::AEffEditor;
    bool getRect(ERect** rect) override
    {
        *rect = &frame;
        return true;
    }
    bool open(void* parent) override
    {
        parentWindow = parent;
        return true;
    }
    void close() override { ++closes; }
    void idle() override { ++idles; }
    bool onKeyDown(VstKeyCode& key) override
    {
        lastKey = key;
        return true;
    }
    bool onKeyUp(VstKeyCode& key) override
    {
        lastKey = key;
        return false;
    }
    bool setKnobMode(int mode) override
    {
        knobMode = mode;
        return true;
    }

    ERect frame{0, 0, 225, 529};
    int closes = 0;
    int idles = 0;
    VstKeyCode lastKey{};
    int knobMode = -1;
    void* parent() const { return parentWindow; }
};

TEST_F(PlektraTest, EditorOpcodesReachTheEditor)
{
    // The instrument comes with the editor its factory made; a recording one replaces it to
    // watch the routing.
    ASSERT_NE(plektra->getEditor(), nullptr);
    EXPECT_EQ(host.effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    delete plektra->getEditor();
    auto* editor = new RecordingEditor(plektra);
    plektra->setEditor(editor);  // owned by the instrument from here on

    ERect* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->frame);
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, nullptr), 0);
    int window = 0;
    EXPECT_EQ(host.dispatch(effEditOpen, 0, 0, &window), 1);
    EXPECT_EQ(editor->parent(), &window);
    EXPECT_EQ(host.dispatch(effEditIdle), 0);
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(host.dispatch(effEditClose), 0);
    EXPECT_EQ(editor->closes, 1);

    EXPECT_EQ(host.dispatch(effEditKeyDown, 'q', 0x1234, nullptr, 3.7f), 1);
    EXPECT_EQ(editor->lastKey.character, 'q');
    EXPECT_EQ(editor->lastKey.virt, 0x34);
    EXPECT_EQ(editor->lastKey.modifier, 3);
    EXPECT_EQ(host.dispatch(effEditKeyUp, 'r', 1, nullptr, std::nanf("")), 0);
    EXPECT_EQ(editor->lastKey.character, 'r');
    EXPECT_EQ(editor->lastKey.modifier, 0);
    EXPECT_EQ(host.dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knobMode, 2);
    for (int32_t opcode : {effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep}) {
        EXPECT_EQ(host.dispatch(opcode), 0);
    }
}

}  // namespace
}  // namespace plektratest
