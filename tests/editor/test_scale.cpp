// The panel at a scale, through the loaded module on an X server of the test's own: its
// pictures at 1x and 2x against the references, edges as sharp as the artwork's, gestures
// that act in panel pixels, and the scale as the host, the desktop and the user give it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "tests/support/PanelSession.h"
#include "tests/support/PrivateDisplay.h"

using namespace paneltest;  // the session, its pictures and the places of the controls
using harness::HostCall;

namespace {

constexpr int32_t kScaleIndex = fourCharCode('P', 'r', 'e', 'S');
constexpr int32_t kScaleValue = fourCharCode('A', 'e', 'C', 's');

// The middle of string s's row.
int stringY(int string) { return stringTop(string) + 8; }

intptr_t sendScale(harness::PluginHost& host, float scale)
{
    return host.dispatch(effVendorSpecific, kScaleIndex, kScaleValue, nullptr, scale);
}

std::pair<int, int> editorRect(harness::PluginHost& host)
{
    ERect* rect = nullptr;
    if (host.dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return {0, 0};
    return {rect->right - rect->left, rect->bottom - rect->top};
}

// The size a new instance's editor answers, as a host asks before opening it.
std::pair<int, int> newInstanceRect(harness::PluginHost& host)
{
    host.open();
    host.startUp();
    return editorRect(host);
}

double luminance(uint32_t pixel)
{
    return 0.299 * (pixel >> 16 & 0xFF) + 0.587 * (pixel >> 8 & 0xFF) + 0.114 * (pixel & 0xFF);
}

// Device pixels of the bright fret wires along a row of the fretboard between two strings:
// in the 16 panel pixels around each of the 18 frets, those lifted above the wood beside
// the fret by a quarter of the wire's crown or more. A blurred (enlarged) drawing spreads
// each wire over more pixels than the artwork's own.
int fretWirePixels(const Picture& screen, double scale)
{
    constexpr int kRow = 80;  // between the A and the low E string, clear of inlays
    const int y = static_cast<int>(std::floor((kRow + 0.5) * scale));
    int pixels = 0;
    for (int fret = 1; fret <= 18; ++fret) {
        const int wire = 24 + 24 * (fret + 2);
        const int from = static_cast<int>(std::floor((wire - 8) * scale));
        const int to = static_cast<int>(std::floor((wire + 8) * scale));
        const double wood = (luminance(screen.at(from, y)) + luminance(screen.at(to, y))) / 2;
        double crown = wood;
        for (int x = from; x <= to; ++x) crown = std::max(crown, luminance(screen.at(x, y)));
        for (int x = from; x <= to; ++x) {
            pixels += luminance(screen.at(x, y)) > wood + (crown - wood) / 4;
        }
    }
    return pixels;
}

class ScaledPanel : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The scale comes only from where each test puts it.
        unsetenv("LYREVANE_SCALE");
        unsetenv("GDK_SCALE");
        display = std::make_unique<PrivateDisplay>();
        if (!display->ok()) GTEST_SKIP() << display->error();
        session.start();
        if (!session.skipReason.empty()) GTEST_SKIP() << session.skipReason;
    }

    void TearDown() override
    {
        unsetenv("LYREVANE_SCALE");
        unsetenv("GDK_SCALE");
    }

    // Sends the host's scale (none for 1) and opens the editor at it.
    void openAt(PanelSession& on, double scale)
    {
        on.scale = scale;
        if (scale != 1.0) {
            ASSERT_EQ(sendScale(on.host, static_cast<float>(scale)), 1);
        }
        ASSERT_EQ(on.openEditor(), 1);
    }

    static Picture reference2x()
    {
        return Picture::load(paneltest::referencePath("default-panel@2x.png"));
    }

    // Parameter writes that the same gestures in panel pixels make at scale, in a session of
    // their own: drags, wheel turns on both axes, a fine wheel notch, control-clicks, and
    // clicks on the chord row and the buttons.
    std::vector<std::pair<int32_t, float>> gestureWrites(double scale)
    {
        PanelSession at;
        at.start();
        if (!at.skipReason.empty()) {
            ADD_FAILURE() << at.skipReason;
            return {};
        }
        openAt(at, scale);
        at.host.clearCalls();
        at.moveTo(stringPressX(7) + 5, stringY(2));
        at.press();
        for (int x : {20, stringPressX(1), stringPressX(4) + 11, 525}) at.moveTo(x, stringY(2));
        at.release();
        at.wheel(stringPressX(3), stringY(4), 1);
        at.wheel(stringPressX(3), stringY(4), -2);
        at.wheel(stringPressX(3), stringY(4), 1, true);
        at.wheel(stringPressX(3), stringY(4), 1, false, true);
        at.click(stringPressX(12) - 11, stringY(4), true);
        at.click(kShowChordX, 8);
        at.click(chordPressX(7) + 11, 8);
        at.click(stringPressX(3), stringY(3));
        at.click(stringPressX(19) + 12, stringY(5));
        at.click(kSoundSetX, kSoundSetY);
        at.click(kResetX, kResetY);
        std::vector<std::pair<int32_t, float>> writes;
        for (const HostCall& call : at.host.calls()) {
            if (call.opcode == audioMasterAutomate) writes.emplace_back(call.index, call.opt);
        }
        return writes;
    }

    // First: it outlives the session, whose panel is a client of it.
    std::unique_ptr<PrivateDisplay> display;
    PanelSession session;
};

TEST_F(ScaledPanel, AtScaleOneThePictureIsTheReferenceBitForBit)
{
    EXPECT_EQ(editorRect(session.host), std::make_pair(529, 225));
    openAt(session, 1.0);
    const Picture screen = session.capture();
    const Picture reference = Picture::load(paneltest::referencePath("default-panel.png"));
    const paneltest::ReferenceMatch match = paneltest::compareWithReference(screen, reference);
    ASSERT_TRUE(match.sameSize);
    EXPECT_EQ(match.differingPixels, 0);
}

TEST_F(ScaledPanel, AtTwoThePictureMatchesTheReferenceAndFretWiresStayAsSharp)
{
    openAt(session, 1.0);
    const Picture single = session.capture();
    session.closeEditor();

    ASSERT_EQ(sendScale(session.host, 2.0f), 1);
    EXPECT_EQ(editorRect(session.host), std::make_pair(1058, 450));
    openAt(session, 2.0);
    EXPECT_EQ(session.editorWindowSize(), std::make_pair(1058, 450));
    const Picture twice = session.capture();
    bool rewritten = false;
    const Picture reference =
        paneltest::referencePicture("default-panel@2x.png", twice, rewritten);
    if (rewritten) GTEST_SKIP() << "rewrote the 2x reference";
    paneltest::expectMatchesReference(twice, reference);

    const int wires = fretWirePixels(single, 1.0);
    EXPECT_GT(wires, 18);
    EXPECT_LE(fretWirePixels(twice, 2.0), 2 * wires);
    session.closeEditor();

    // Three times: the 3x drawing itself, pixel for pixel, where no control covers it (the
    // fret numbers), within the rounding of premultiplied pixels; the grain of its texture
    // would show any other drawing enlarged.
    ASSERT_EQ(sendScale(session.host, 3.0f), 1);
    openAt(session, 3.0);
    EXPECT_EQ(session.editorWindowSize(), std::make_pair(1587, 675));
    const Picture thrice = session.capture();
    const Picture artwork = Picture::load(paneltest::artwork("background@3x.png"));
    ASSERT_EQ(artwork.width, 1587);
    constexpr int kTop = 36 * 3;
    constexpr int kRows = 28 * 3;
    EXPECT_LT(thrice.distance(artwork, 0, kTop, 1587, kRows) / (1587.0 * kRows * 3), 1.0);
}

TEST_F(ScaledPanel, GesturesAtOneAndAHalfAndTwoWriteWhatTheyWriteAtOne)
{
    session.host.close();  // each scale plays on a session and an instance of its own
    const std::vector<std::pair<int32_t, float>> atOne = gestureWrites(1.0);
    ASSERT_GE(atOne.size(), 10u);
    EXPECT_EQ(gestureWrites(1.5), atOne) << "at 1.5";
    EXPECT_EQ(gestureWrites(2.0), atOne) << "at 2";
}

TEST_F(ScaledPanel, TheHostsScaleSizesTheEditorBeforeItOpensAndResizesItAfter)
{
    ASSERT_EQ(sendScale(session.host, 2.0f), 1);
    EXPECT_EQ(editorRect(session.host), std::make_pair(1058, 450));
    // Unusable scales, and other vendor calls, change nothing.
    for (float bad : {std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(), 0.0f, 0.5f, 0.999f, 4.01f, -2.0f}) {
        EXPECT_EQ(sendScale(session.host, bad), 0) << bad;
    }
    EXPECT_EQ(session.host.dispatch(effVendorSpecific, kScaleIndex, 0, nullptr, 1.5f), 0);
    EXPECT_EQ(editorRect(session.host), std::make_pair(1058, 450));

    ASSERT_EQ(sendScale(session.host, 1.0f), 1);
    openAt(session, 1.0);
    EXPECT_EQ(session.editorWindowSize(), std::make_pair(529, 225));

    // Open: the host is asked for the new size, and the panel is drawn at it.
    session.host.clearCalls();
    ASSERT_EQ(sendScale(session.host, 2.0f), 1);
    ASSERT_EQ(session.host.callCount(audioMasterSizeWindow), 1u);
    EXPECT_EQ(session.host.calls().back().index, 1058);
    EXPECT_EQ(session.host.calls().back().value, 450);
    session.scale = 2.0;
    session.idle();
    EXPECT_EQ(session.editorWindowSize(), std::make_pair(1058, 450));
    EXPECT_EQ(editorRect(session.host), std::make_pair(1058, 450));
    paneltest::expectMatchesReference(session.capture(), reference2x());

    // A host that refuses keeps the panel whole at the scale it has.
    session.acceptResize = false;
    session.host.clearCalls();
    EXPECT_EQ(sendScale(session.host, 1.5f), 1);
    ASSERT_EQ(session.host.callCount(audioMasterSizeWindow), 1u);
    EXPECT_EQ(session.host.calls().back().index, 793);
    EXPECT_EQ(session.host.calls().back().value, 337);
    session.idle();
    EXPECT_EQ(session.editorWindowSize(), std::make_pair(1058, 450));
    EXPECT_EQ(editorRect(session.host), std::make_pair(1058, 450));
    paneltest::expectMatchesReference(session.capture(), reference2x());
    session.host.clearCalls();
    session.click(kSoundSetX, kSoundSetY);
    ASSERT_EQ(session.host.callCount(audioMasterAutomate), 1u);
    EXPECT_EQ(session.host.calls().back().index, 75);
}

TEST_F(ScaledPanel, TheDesktopsDpiScalesThePanelAndTheUsersScaleOverridesIt)
{
    session.host.close();
    display->setResources("Xft.dpi:\t192\n");
    EXPECT_EQ(newInstanceRect(session.host), std::make_pair(1058, 450));
    openAt(session, 1.0);  // no host scale: the desktop's
    session.scale = 2.0;
    EXPECT_EQ(session.editorWindowSize(), std::make_pair(1058, 450));
    paneltest::expectMatchesReference(session.capture(), reference2x());
    session.closeEditor();

    setenv("LYREVANE_SCALE", "1.5", 1);
    EXPECT_EQ(newInstanceRect(session.host), std::make_pair(793, 337));
    // What is not a usable scale leaves the desktop's.
    for (const char* bad : {"0.5", "5", "nan", "1.5x", "", "-1"}) {
        setenv("LYREVANE_SCALE", bad, 1);
        EXPECT_EQ(newInstanceRect(session.host), std::make_pair(1058, 450)) << bad;
    }
    // The host's scale wins over both.
    setenv("LYREVANE_SCALE", "1.5", 1);
    ASSERT_EQ(sendScale(session.host, 1.25f), 1);
    EXPECT_EQ(editorRect(session.host), std::make_pair(661, 281));

    // Without Xft.dpi, GDK_SCALE, a whole number, speaks for the desktop.
    unsetenv("LYREVANE_SCALE");
    display->setResources("");
    setenv("GDK_SCALE", "3", 1);
    EXPECT_EQ(newInstanceRect(session.host), std::make_pair(1587, 675));
    setenv("GDK_SCALE", "1.5", 1);
    EXPECT_EQ(newInstanceRect(session.host), std::make_pair(529, 225));
}

}  // namespace
