// The editor adapter between an instrument and a frame: registration, forwarding to the
// host, the knob mode and the pacing of runIdleNow.
#include <gtest/gtest.h>

#include <vector>

#include "host/AudioEffect.h"
#include "vstgui/AEffGUIEditor.h"

using namespace VSTGUI;

namespace {

std::vector<int32_t> hostCalls;

intptr_t recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float)
{
    if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit) {
        hostCalls.push_back(opcode * 1000 + index);
    } else if (opcode == audioMasterIdle) {
        hostCalls.push_back(opcode);
    }
    return 0;
}

class CountingEditor : public AEffGUIEditor
{
public:
    using AEffGUIEditor::AEffGUIEditor;
    void idle() override
    {
        ++idles;
        AEffGUIEditor::idle();
    }
    void openHeadless()
    {
        frame = new CFrame(CRect(0, 0, 529, 225), nullptr, this);
    }
    int idles = 0;
};

}  // namespace

TEST(EditorAdapter, RegistersWithTheEffectAndForwardsEditsAndKeys)
{
    hostCalls.clear();
    AudioEffect effect(recordingHost, 1, 77);
    auto* editor = new CountingEditor(&effect);
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_TRUE(effect.getAeffect()->flags & effFlagsHasEditor);

    ERect* rect = nullptr;
    EXPECT_TRUE(editor->getRect(&rect));
    EXPECT_NE(rect, nullptr);

    EXPECT_TRUE(editor->setKnobMode(2));
    EXPECT_EQ(editor->getKnobMode(), 2);
    editor->setKnobMode(0);

    VstKeyCode tab{0, 2, 0};
    EXPECT_FALSE(editor->onKeyDown(tab));
    editor->draw();
    editor->openHeadless();
    editor->getFrame()->beginEdit(5);
    editor->getFrame()->endEdit(5);
    EXPECT_EQ(hostCalls, (std::vector<int32_t>{audioMasterBeginEdit * 1000 + 5,
                                               audioMasterEndEdit * 1000 + 5}));
    // Nothing takes the focus, so tab is not used.
    EXPECT_FALSE(editor->onKeyDown(tab));
    ERect backwards{20, 30, 0, 0};
    editor->draw(&backwards);
    // The effect deletes its editor, which takes an open frame with it.
}

TEST(EditorAdapter, RunIdleNowIdlesAtMostEveryHundredMilliseconds)
{
    hostCalls.clear();
    AudioEffect effect(recordingHost, 1, 77);
    auto* editor = new CountingEditor(&effect);
    editor->openHeadless();

    editor->runIdleNow();
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(hostCalls, (std::vector<int32_t>{audioMasterIdle}));
    // Within the next 100 ms the call only waits a little and returns.
    editor->runIdleNow();
    EXPECT_EQ(editor->idles, 1);
    EXPECT_EQ(hostCalls.size(), 1u);
}

TEST(EditorAdapter, WithoutAnEffectEditsAndIdlesReachTheInstrumentLink)
{
    struct RecordingInstrument : InstrumentLink
    {
        float getParameter(int32_t) override { return 0.0f; }
        void setParameterAutomated(int32_t, float) override {}
        void beginEdit(int32_t index) override { calls.push_back(1000 + index); }
        void endEdit(int32_t index) override { calls.push_back(2000 + index); }
        void masterIdle() override { calls.push_back(0); }
        std::vector<int32_t> calls;
    } instrument;
    CountingEditor editor(instrument);
    EXPECT_EQ(editor.getEffect(), nullptr);
    // Closed: no gesture reaches the instrument.
    editor.beginEdit(3);
    editor.openHeadless();
    editor.beginEdit(3);
    editor.endEdit(3);
    editor.runIdleNow();
    EXPECT_EQ(instrument.calls, (std::vector<int32_t>{1003, 2003, 0}));
}
