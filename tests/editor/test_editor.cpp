// The panel through the loaded module, as a host meets it: real pointer events on its
// controls, the parameters and host calls they cause, and what the window shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>

#include "tests/support/EditChecks.h"
#include "tests/support/PanelSession.h"

using namespace paneltest;  // the session, its pictures and the places of the controls
using harness::HostCall;

namespace {

constexpr float kStringStep = 0.05263158f;

float stringValue(int position)
{
    return static_cast<float>(position) * kStringStep;
}

enum class Handle { cross, nothing, ball };

const char* nameOf(Handle handle)
{
    return handle == Handle::cross ? "cross" : handle == Handle::ball ? "ball" : "nothing";
}

class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        session.start();
        if (!session.skipReason.empty()) GTEST_SKIP() << session.skipReason;
        panel.width = paneltest::kPanelWidth;
        panel.height = paneltest::kPanelHeight;
        panel.pixels.assign(static_cast<size_t>(panel.width) * panel.height, 0);
        panel = panel.with(artwork("background.png"), 0, 0);
    }

    // Which of the three handle images the window shows at position k of a string.
    Handle handleAt(const Picture& screen, int string, int position) const
    {
        const int x = stringCellLeft(position);
        const int y = stringTop(string);
        const long cross = screen.distance(panel.with(artwork("muted-string.png"), x, y), x, y,
                                           24, 16);
        const long nothing = screen.distance(panel, x, y, 24, 16);
        const long ball = screen.distance(panel.with(artwork("fret-marker.png"), x, y), x, y,
                                          24, 16);
        if (cross < nothing && cross < ball) return Handle::cross;
        return ball < nothing ? Handle::ball : Handle::nothing;
    }

    // The chord button under the glow.
    int chordShown(const Picture& screen) const
    {
        int best = -1;
        long bestDistance = 0;
        for (int chord = 0; chord < 12; ++chord) {
            const int x = 48 + 24 * chord;
            const long d =
                screen.distance(panel.with(artwork("chord-handle.png"), x, 0), x, 0, 24, 16);
            if (best < 0 || d < bestDistance) {
                best = chord;
                bestDistance = d;
            }
        }
        return best;
    }

    // The glow over the chord and each of its strings' handles where the instrument's
    // parameters put them.
    void expectShowsChord(int chord)
    {
        const Picture screen = session.capture();
        EXPECT_EQ(chordShown(screen), chord);
        for (int string = 0; string < 6; ++string) {
            const float value = session.host.getParameter(6 * chord + string);
            const int position = static_cast<int>(std::lround(value * 19.0f));
            const Handle expected = value == 0.0f             ? Handle::cross
                                    : value == kStringStep ? Handle::nothing
                                                           : Handle::ball;
            EXPECT_EQ(nameOf(handleAt(screen, string, position)), nameOf(expected))
                << "chord " << chord << " string " << string << " position " << position;
        }
    }

    // Whether the two-state image at (x, y) shows its lower (on) half.
    bool showsLowerHalf(const char* image, int x, int y, int width, int height)
    {
        const Picture screen = session.capture();
        const long upper = screen.distance(panel.with(artwork(image), x, y, 0), x, y, width,
                                           height);
        const long lower = screen.distance(panel.with(artwork(image), x, y, height), x, y,
                                           width, height);
        return lower < upper;
    }

    std::vector<HostCall> automations() const
    {
        std::vector<HostCall> found;
        for (const HostCall& call : session.host.calls()) {
            if (call.opcode == audioMasterAutomate) found.push_back(call);
        }
        return found;
    }

    // The last parameter write reached the host as index = value.
    void expectLastWrite(int32_t index, float value)
    {
        const std::vector<HostCall> written = automations();
        ASSERT_FALSE(written.empty()) << "nothing written, expected " << index;
        EXPECT_EQ(written.back().index, index);
        EXPECT_EQ(written.back().opt, value) << "parameter " << index;
        // Parameter 76 reads back the chord played, not what was written.
        if (index != 76) {
            EXPECT_EQ(session.host.getParameter(index), value);
        }
    }

    void expectBracketed(int32_t parameter)
    {
        editcheck::expectBracketed(session.host.calls(), parameter);
    }

    // Controls that write no parameter touch none either.
    void expectNoEdits()
    {
        for (int32_t opcode : {audioMasterBeginEdit, audioMasterEndEdit, audioMasterAutomate}) {
            EXPECT_EQ(session.host.callCount(opcode), 0u) << "host call " << opcode;
        }
    }

    PanelSession session;
    // The background alone, as the frame shows it where no control draws.
    Picture panel;
};

TEST_F(PanelTest, DraggingAStringWritesTheSnappedPositionAndShowsItsHandle)
{
    ASSERT_EQ(session.openEditor(), 1);
    expectShowsChord(0);
    session.host.clearCalls();

    const int y = stringTop(2) + 8;
    // A press a little right of position 7 snaps onto it.
    session.moveTo(stringPressX(7) + 5, y);
    session.press();
    expectLastWrite(2, stringValue(7));
    EXPECT_EQ(handleAt(session.capture(), 2, 7), Handle::ball);

    session.moveTo(20, y);  // beyond the left end: muted
    expectLastWrite(2, 0.0f);
    EXPECT_EQ(handleAt(session.capture(), 2, 0), Handle::cross);

    session.moveTo(stringPressX(1), y);  // one position right: open
    expectLastWrite(2, kStringStep);
    Picture screen = session.capture();
    EXPECT_EQ(handleAt(screen, 2, 0), Handle::nothing);
    EXPECT_EQ(handleAt(screen, 2, 1), Handle::nothing);

    session.moveTo(525, y);  // beyond the right end: fret 18
    expectLastWrite(2, 1.0f);
    session.release();
    EXPECT_EQ(handleAt(session.capture(), 2, 19), Handle::ball);
    expectBracketed(2);

    // Another button pressed during a drag ends the drag's edit before its own begins.
    session.host.clearCalls();
    session.moveTo(stringPressX(4), y);
    session.press();
    session.press(3, true);
    session.release(3);
    session.release();
    expectLastWrite(2, stringValue(4));
    expectBracketed(2);
}

TEST_F(PanelTest, ControlClickWheelAndArrowKeysMoveAStringByWholePositions)
{
    ASSERT_EQ(session.openEditor(), 1);
    session.host.clearCalls();
    const int y = stringTop(4) + 8;

    // The default value 0.5 snaps to position 10: fret 9.
    session.click(stringPressX(3), y, true);
    expectLastWrite(4, stringValue(10));
    EXPECT_EQ(handleAt(session.capture(), 4, 10), Handle::ball);
    expectBracketed(4);

    session.host.clearCalls();
    session.wheel(stringPressX(3), y, 1);
    expectLastWrite(4, stringValue(12));
    session.wheel(stringPressX(3), y, -2);
    expectLastWrite(4, stringValue(8));
    EXPECT_EQ(handleAt(session.capture(), 4, 8), Handle::ball);
    // A fine notch is undone by the snapping.
    session.wheel(stringPressX(3), y, 1, true);
    EXPECT_EQ(session.host.getParameter(4), stringValue(8));
    // Scrolling right raises the value as scrolling up does.
    session.wheel(stringPressX(3), y, 1, false, true);
    expectLastWrite(4, stringValue(10));
    session.wheel(stringPressX(3), y, -2, false, true);
    expectLastWrite(4, stringValue(6));
    expectBracketed(4);
    // A wheel turn that moves a control stays with it.
    const PanelSession::HostInput input = session.hostInput();
    for (int presses : input.wheelPresses) EXPECT_EQ(presses, 0);

    // The host's arrow keys reach the slider used last.
    const intptr_t kKeyRight = 13;
    session.host.clearCalls();
    EXPECT_EQ(session.host.dispatch(effEditKeyDown, 0, kKeyRight), 1);
    expectLastWrite(4, stringValue(8));
    expectBracketed(4);
    session.closeEditor();
    EXPECT_EQ(session.host.dispatch(effEditKeyDown, 0, kKeyRight), 0);
    EXPECT_EQ(session.host.getParameter(4), stringValue(8));
}

TEST_F(PanelTest, KeysAndUnusedWheelTurnsReachTheHost)
{
    ASSERT_EQ(session.openEditor(), 1);
    session.hostInput();
    // Over the background, over a slider and over a button alike.
    const int places[][2] = {{5, 215}, {stringPressX(6), stringTop(1) + 8}, {kResetX, kResetY}};
    for (const auto& place : places) {
        session.moveTo(place[0], place[1]);
        session.typeKey("a");
        session.typeKey("space");
        session.typeKey("Right");
        EXPECT_EQ(session.hostInput().keyPresses, 3) << "pointer at " << place[0];
    }

    // Nothing on the background uses the wheel: each axis both ways goes on to the host.
    session.host.clearCalls();
    session.wheel(5, 215, 1);
    session.wheel(5, 215, -1);
    session.wheel(5, 215, -1, false, true);
    session.wheel(5, 215, 2, false, true);
    const PanelSession::HostInput input = session.hostInput();
    EXPECT_EQ(input.wheelPresses[0], 1) << "up";
    EXPECT_EQ(input.wheelPresses[1], 1) << "down";
    EXPECT_EQ(input.wheelPresses[2], 1) << "left";
    EXPECT_EQ(input.wheelPresses[3], 2) << "right";
    expectNoEdits();
}

TEST_F(PanelTest, ChordSelectorFollowsThePlayedChordOnlyWhileShowChordIsOn)
{
    ASSERT_EQ(session.openEditor(), 1);
    session.playChord(3);
    session.idle();
    expectShowsChord(3);

    // Picking another chord writes nothing, and the panel goes back to the played chord.
    session.host.clearCalls();
    session.click(chordPressX(5), 8);
    expectShowsChord(3);
    expectNoEdits();

    // Off: the pick stays, whatever the instrument plays.
    session.click(kShowChordX, kShowChordY);
    EXPECT_FALSE(showsLowerHalf("push-button.png", 480, 0, 24, 16));
    session.click(chordPressX(7), 8);
    expectShowsChord(7);
    session.playChord(2);
    session.idle();
    expectShowsChord(7);
    expectNoEdits();

    // A string edit goes to the chord shown, not to the chord played.
    session.click(stringPressX(3), stringTop(3) + 8);
    expectLastWrite(6 * 7 + 3, stringValue(3));
    expectBracketed(6 * 7 + 3);
    // Control-click: the default value 0.5 is chord 6.
    session.click(chordPressX(1), 8, true);
    expectShowsChord(6);

    session.click(kShowChordX, kShowChordY);
    EXPECT_TRUE(showsLowerHalf("push-button.png", 480, 0, 24, 16));
    session.idle();
    expectShowsChord(2);
}

TEST_F(PanelTest, ResetPushesOnceAndTheSoundSetSwitchAlternates)
{
    ASSERT_EQ(session.openEditor(), 1);
    session.host.clearCalls();
    session.click(kResetX, kResetY);
    expectLastWrite(76, 1.0f);
    expectBracketed(76);
    session.idle();
    EXPECT_FALSE(showsLowerHalf("push-button.png", 480, 16, 24, 16));

    session.host.clearCalls();
    for (const float expected : {1.0f, 0.0f, 1.0f}) {
        session.click(kSoundSetX, kSoundSetY);
        expectLastWrite(75, expected);
        EXPECT_EQ(showsLowerHalf("sound-set-switch.png", 36, 184, 199, 24), expected == 1.0f);
    }
    expectBracketed(75);

    // Reopened, the switch shows the set in force.
    session.closeEditor();
    ASSERT_EQ(session.openEditor(), 1);
    EXPECT_TRUE(showsLowerHalf("sound-set-switch.png", 36, 184, 199, 24));
}

TEST_F(PanelTest, ReopeningRebuildsThePanelFromTheInstrument)
{
    constexpr int kCycles = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_EQ(session.host.dispatch(effEditOpen, 0, 0,
                                        reinterpret_cast<void*>(session.window())),
                  1);
        session.host.dispatch(effEditIdle);
        session.closeEditor();
    }
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count() /
        kCycles;
    RecordProperty("open_idle_close_ms", std::to_string(milliseconds));
    std::printf("open, idle and close: %.2f ms\n", milliseconds);

    // Edits made while closed show at the next open; show-chord is on again.
    session.playChord(4);
    session.host.setParameter(6 * 4 + 1, 0.0f);
    ASSERT_EQ(session.openEditor(), 1);
    session.click(kShowChordX, kShowChordY);
    session.closeEditor();
    ASSERT_EQ(session.openEditor(), 1);
    EXPECT_TRUE(showsLowerHalf("push-button.png", 480, 0, 24, 16));
    expectShowsChord(4);
    EXPECT_EQ(handleAt(session.capture(), 1, 0), Handle::cross);
}

TEST_F(PanelTest, OddCallOrdersAreHarmless)
{
    void* parent = reinterpret_cast<void*>(session.window());
    // Before any open.
    EXPECT_EQ(session.host.dispatch(effEditIdle), 0);
    EXPECT_EQ(session.host.dispatch(effEditClose), 0);
    EXPECT_EQ(session.host.dispatch(effEditKeyDown, 0, 13), 0);
    EXPECT_EQ(session.host.dispatch(effEditKeyUp, 0, 13), 0);
    EXPECT_EQ(session.host.dispatch(effEditDraw), 0);
    EXPECT_EQ(session.host.dispatch(effSetEditKnobMode, 0, 1), 1);

    // Opened twice: the second panel replaces the first and works.
    ASSERT_EQ(session.host.dispatch(effEditOpen, 0, 0, parent), 1);
    ASSERT_EQ(session.openEditor(), 1);
    session.host.clearCalls();
    session.click(stringPressX(5), stringTop(3) + 8);
    expectLastWrite(3, stringValue(5));
    EXPECT_EQ(handleAt(session.capture(), 3, 5), Handle::ball);

    // Closed twice, then every editor call again.
    session.closeEditor();
    session.closeEditor();
    for (int32_t opcode : {effEditIdle, effEditKeyDown, effEditKeyUp, effEditDraw, effEditTop}) {
        EXPECT_EQ(session.host.dispatch(opcode, 0, 13), 0) << "opcode " << opcode;
    }
    // A parent window that no longer exists.
    EXPECT_EQ(session.host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x7FFFFFF)), 1);
    session.idle(20);
    // The instrument goes away with its editor open.
    EXPECT_EQ(session.host.close(), 1);
}

// A host may close the editor from any callback that a click or a drag makes; the click
// still unwinds through the panel's controls. Run under AddressSanitizer this proves that
// nothing freed is touched. Every begin of an edit that reached the host gets its end, even
// when no mouse-up can follow, and a click the user completed still writes its parameter.
TEST_F(PanelTest, HostClosingTheEditorInsideAClickIsSafe)
{
    struct Trial
    {
        int32_t closeOn;
        int x, y;
        bool withControl;
        bool held;  // pressed and not released: a drag
        int32_t parameter;
        float value;
    };
    const int y2 = stringTop(2) + 8;
    const Trial trials[] = {
        // A button idles the host before it tells the instrument.
        {audioMasterIdle, kResetX, kResetY, false, false, 76, 1.0f},
        {audioMasterBeginEdit, stringPressX(4), y2, false, false, 2, stringValue(4)},
        {audioMasterAutomate, kSoundSetX, kSoundSetY, false, false, 75, 1.0f},
        {audioMasterEndEdit, stringPressX(5), y2, false, false, 2, stringValue(5)},
        // A control-click nests the reset's edit inside the click's.
        {audioMasterAutomate, stringPressX(3), stringTop(4) + 8, true, false, 4, stringValue(10)},
        {audioMasterAutomate, stringPressX(6), stringTop(1) + 8, false, true, 1, stringValue(6)},
    };
    harness::PluginHost& host = session.host;
    for (const Trial& trial : trials) {
        SCOPED_TRACE(testing::Message() << "closed on " << trial.closeOn << ", parameter "
                                        << trial.parameter);
        ASSERT_EQ(session.openEditor(), 1);
        host.clearCalls();
        size_t closedAt = 0;
        host.reaction = [&](int32_t opcode) {
            if (opcode != trial.closeOn || closedAt) return;
            closedAt = host.calls().size();
            host.dispatch(effEditClose);
        };
        if (trial.held) {
            session.moveTo(trial.x, trial.y);
            session.press();
            session.idle();
            session.release();
        } else {
            session.click(trial.x, trial.y, trial.withControl);
        }
        session.idle();
        host.reaction = nullptr;
        ASSERT_NE(closedAt, 0u) << "the click never made that call";

        expectBracketed(trial.parameter);
        expectLastWrite(trial.parameter, trial.value);
        // Closed means closed: the host is not idled from the panel any more.
        const std::vector<HostCall> calls = host.calls();
        for (size_t i = closedAt; i < calls.size(); ++i) {
            EXPECT_NE(calls[i].opcode, audioMasterIdle);
        }
        EXPECT_EQ(host.dispatch(effEditKeyDown, 0, 13), 0);
    }

    // Closed between two events of a drag, the drag's edit ends with the panel.
    ASSERT_EQ(session.openEditor(), 1);
    host.clearCalls();
    session.moveTo(stringPressX(2), stringTop(3) + 8);
    session.press();
    session.closeEditor();
    session.release();
    expectBracketed(3);
    expectLastWrite(3, stringValue(2));

    // The panel opens again and works.
    ASSERT_EQ(session.openEditor(), 1);
    host.clearCalls();
    session.click(stringPressX(9), stringTop(5) + 8);
    expectLastWrite(5, stringValue(9));
    EXPECT_EQ(handleAt(session.capture(), 5, 9), Handle::ball);
}

// While the panel follows the played chord, a chord played in the middle of a drag does not
// carry the drag over to the new chord's string: the drag goes on editing the chord it began
// on, which the panel keeps showing until the drag ends, and then shows the chord played.
TEST_F(PanelTest, ADragKeepsEditingTheChordItBeganOn)
{
    ASSERT_EQ(session.openEditor(), 1);
    expectShowsChord(0);
    const float otherChordString = session.host.getParameter(6 * 3);
    session.host.clearCalls();

    const int y = stringTop(0) + 8;
    session.moveTo(stringPressX(3), y);
    session.press();
    session.playChord(3);
    session.idle();
    EXPECT_EQ(chordShown(session.capture()), 0);
    session.moveTo(stringPressX(5), y);
    EXPECT_EQ(handleAt(session.capture(), 0, 5), Handle::ball);
    session.release();

    expectLastWrite(0, stringValue(5));
    expectBracketed(0);
    EXPECT_EQ(session.host.getParameter(6 * 3), otherChordString);
    session.idle();
    expectShowsChord(3);
}

// A second press is a double click only near the first as well as soon after it. A
// control-click is a reset; a control double click is not, and moves the handle under the
// pointer as a plain press does.
TEST_F(PanelTest, OnlyASecondPressNearTheFirstIsADoubleClick)
{
    ASSERT_EQ(session.openEditor(), 1);
    using Clock = std::chrono::steady_clock;
    // The presses must fall within the double-click time; a machine too busy for that tries
    // again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        session.host.setParameter(0, stringValue(1));
        session.host.setParameter(5, stringValue(1));
        session.idle(450);

        const Clock::time_point start = Clock::now();
        session.click(stringPressX(1), stringTop(0) + 8, true);
        const Clock::time_point secondStart = Clock::now();
        // 288 pixels right and 80 up.
        session.click(stringPressX(13), stringTop(5) + 8, true, true);
        const Clock::time_point secondEnd = Clock::now();
        const float afterFarClick = session.host.getParameter(5);
        // 2 pixels right and 2 up of the press before.
        session.click(stringPressX(13) + 2, stringTop(5) + 6, true, true);
        const Clock::time_point end = Clock::now();
        if (secondEnd - start > std::chrono::milliseconds(380) ||
            end - secondStart > std::chrono::milliseconds(380)) {
            continue;
        }

        EXPECT_EQ(session.host.getParameter(0), stringValue(10));
        EXPECT_EQ(afterFarClick, stringValue(10)) << "a press far from the last was no reset";
        EXPECT_EQ(session.host.getParameter(5), stringValue(13))
            << "a press near the last was no double click";
        return;
    }
    GTEST_SKIP() << "the display took too long to deliver presses within a double click";
}

TEST_F(PanelTest, DefaultPanelMatchesTheReferencePicture)
{
    ASSERT_EQ(session.openEditor(), 1);
    const Picture screen = session.capture();
    bool rewritten = false;
    const Picture expected = paneltest::referencePicture("default-panel.png", screen, rewritten);
    if (rewritten) GTEST_SKIP() << "rewrote the reference";
    paneltest::expectMatchesReference(screen, expected);
}

// No display needed: a host that gives no parent window, or one that is not a window,
// still drives the editor in any order without harm.
TEST(EditorCalls, AnyOrderWithoutAWindowIsHarmless)
{
    harness::PluginHost host;
    ASSERT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
    ASSERT_NE(host.open(), nullptr);
    host.startUp();
    const int32_t sequence[] = {effEditIdle,   effEditClose,  effEditOpen,    effEditOpen,
                                effEditIdle,   effEditKeyDown, effEditKeyUp, effEditClose,
                                effEditClose,  effEditKeyDown, effEditIdle,   effEditOpen};
    for (void* parent : {static_cast<void*>(nullptr), reinterpret_cast<void*>(0x7FFFFFF)}) {
        for (int32_t opcode : sequence) {
            host.dispatch(opcode, 0, 13, parent);
        }
        ERect* rect = nullptr;
        EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
        host.dispatch(effEditClose);
    }
    // Closing the instrument with its editor open releases everything.
    host.dispatch(effEditOpen);
    EXPECT_EQ(host.close(), 1);
}

}  // namespace
