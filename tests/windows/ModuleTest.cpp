// The Windows test host: the shared host harness loads Lyrevane.dll with LoadLibrary as a
// host does; the test checks the exports and the effect record byte by byte at the
// interface's offsets for this word size, the host calls, and a strum on both channels; then
// the editor in a window of the test's own, driven by posted mouse messages, and photographed.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/VstInterface.h"
#include "tests/support/EditChecks.h"
#include "tests/windows/PanelPicture.h"
#include "tools/PluginHost.h"

namespace {

template <typename T>
T fieldAt(const AEffect* effect, size_t offset32, size_t offset64)
{
    T value;
    const size_t offset = sizeof(void*) == 4 ? offset32 : offset64;
    std::memcpy(&value, reinterpret_cast<const char*>(effect) + offset, sizeof value);
    return value;
}

class ModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(host.load(LYREVANE_DLL)) << host.error();
        effect = host.open();
        loadMilliseconds = std::chrono::duration<double, std::milli>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        ASSERT_NE(effect, nullptr) << host.error();
    }

    harness::PluginHost host;
    AEffect* effect = nullptr;
    double loadMilliseconds = 0.0;
};

TEST_F(ModuleTest, ExportsBothEntryNamesAtOneAddressAndAsksForTheVersionFirst)
{
    ASSERT_NE(host.symbol("VSTPluginMain"), nullptr);
    EXPECT_EQ(host.symbol("main"), host.symbol("VSTPluginMain"));
    std::printf("instance load time (LoadLibrary to effect record): %.1f ms\n", loadMilliseconds);
    const std::vector<harness::HostCall> calls = host.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterVersion);
    EXPECT_FALSE(calls.front().withEffect);
}

TEST_F(ModuleTest, RecordHoldsItsFieldsAtTheInterfacesOffsets)
{
    EXPECT_EQ(fieldAt<int32_t>(effect, 0, 0), kEffectMagic);
    EXPECT_EQ(fieldAt<void*>(effect, 4, 8), reinterpret_cast<void*>(effect->dispatcher));
    EXPECT_EQ(fieldAt<int32_t>(effect, 20, 40), 1);   // numPrograms
    EXPECT_EQ(fieldAt<int32_t>(effect, 24, 44), 77);  // numParams
    EXPECT_EQ(fieldAt<int32_t>(effect, 28, 48), 0);   // numInputs
    EXPECT_EQ(fieldAt<int32_t>(effect, 32, 52), 2);   // numOutputs
    EXPECT_EQ(fieldAt<int32_t>(effect, 36, 56),
              effFlagsHasEditor | effFlagsCanReplacing | effFlagsIsSynth);
    EXPECT_EQ(fieldAt<float>(effect, 60, 92), 1.0f);  // ioRatio
    EXPECT_EQ(fieldAt<void*>(effect, 80, 120), reinterpret_cast<void*>(effect->processReplacing));
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), 2);
    char name[65] = {};
    EXPECT_EQ(host.dispatch(effGetEffectName, 0, 0, name), 1);
    EXPECT_STREQ(name, "Lyrevane");
}

TEST_F(ModuleTest, AnswersTheHostAndPlaysAStrumOnBothChannels)
{
    host.dispatch(effOpen);
    host.clearCalls();
    host.startUp();
    EXPECT_EQ(host.callCount(audioMasterWantMidi), 1u);
    EXPECT_EQ(host.callCount(audioMasterCanDo), 0u);

    host.clearCalls();
    host.sendMidi({{0, 0x90, 52, 100}, {1, 0x90, 60, 100}});  // chord 4 (E major), strum down
    float peak = 0.0f;
    constexpr int kBlocks = 20;
    for (int block = 0; block < kBlocks; ++block) {
        const harness::Block out = host.render(512);
        ASSERT_EQ(out.left, out.right);
        for (float sample : out.left) peak = std::max(peak, std::fabs(sample));
    }
    EXPECT_EQ(host.callCount(audioMasterGetTime), 2u * kBlocks);
    EXPECT_GT(peak, 0.05f);
    EXPECT_LT(peak, 8.0f);

    host.clearCalls();
    host.setParameter(75, 1.0f);
    EXPECT_EQ(host.getParameter(75), 1.0f);
    EXPECT_EQ(host.callCount(audioMasterAutomate), 0u);  // the host's own change is not echoed
}

// The host's side of an open editor: a top-level window of the panel's size, its message
// loop, and the window's pixels read back.
class EditorWindow
{
public:
    EditorWindow(int32_t width, int32_t height)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"LyrevaneTestHost";
        RegisterClassW(&windowClass);
        RECT frame = {0, 0, width, height};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        window = CreateWindowW(L"LyrevaneTestHost", L"Lyrevane", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               0, 0, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~EditorWindow() { DestroyWindow(window); }

    HWND window = nullptr;

    // What a host's message loop and editor timer do between a user's actions.
    void settle(harness::PluginHost& host)
    {
        for (int round = 0; round < 6; ++round) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            host.dispatch(effEditIdle);
            Sleep(10);
        }
    }

    static wintest::RgbaPicture capture(HWND child, int32_t width, int32_t height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC memory = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        HDC screen = GetDC(child);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ReleaseDC(child, screen);
        GdiFlush();
        wintest::RgbaPicture picture;
        picture.width = uint32_t(width);
        picture.height = uint32_t(height);
        picture.bytes.resize(size_t(width) * height * 4);
        const auto* source = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < picture.bytes.size(); i += 4) {
            picture.bytes[i] = source[i + 2];
            picture.bytes[i + 1] = source[i + 1];
            picture.bytes[i + 2] = source[i];
            picture.bytes[i + 3] = 255;
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        return picture;
    }
};

// The same places and values as the Linux panel's tests.
constexpr float kStringStep = 0.05263158f;
int stringTop(int string) { return 144 - 16 * string; }
int stringPressX(int position) { return 35 + 24 * position; }
constexpr int kSoundSetX = 135;
constexpr int kSoundSetY = 196;
constexpr int kResetX = 492;
constexpr int kResetY = 24;

// The last parameter write reached the host as index = value.
void expectWritten(harness::PluginHost& host, int32_t index, float value)
{
    harness::HostCall last{};
    last.index = -1;
    for (const harness::HostCall& call : host.calls()) {
        if (call.opcode == audioMasterAutomate) last = call;
    }
    EXPECT_EQ(last.index, index);
    EXPECT_EQ(last.opt, value) << "parameter " << index;
    // Parameter 76 reads back the chord played, not what was written.
    if (index != 76) {
        EXPECT_EQ(host.getParameter(index), value) << "parameter " << index;
    }
}

TEST_F(ModuleTest, EditorTakesAClickAndADragAndLooksLikeTheLinuxPanel)
{
    host.dispatch(effOpen);
    host.startUp();
    ERect* size = nullptr;
    ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &size), 1);
    ASSERT_NE(size, nullptr);
    const int32_t width = size->right - size->left;
    const int32_t height = size->bottom - size->top;
    EXPECT_EQ(width, 529);
    EXPECT_EQ(height, 225);
    EditorWindow hostWindow(width, height);
    ASSERT_NE(hostWindow.window, nullptr);
    ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, hostWindow.window), 1);
    hostWindow.settle(host);

    HWND child = FindWindowExW(hostWindow.window, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    EXPECT_EQ(std::wstring(className).rfind(L"Plugin", 0), 0u);

    // The panel as first shown, against the Linux panel's reference picture.
    const wintest::RgbaPicture shown = EditorWindow::capture(child, width, height);
    const std::string capturePath = LYREVANE_RENDERS_DIR "/editor-windows.png";
    ASSERT_TRUE(wintest::writePng(capturePath, shown));
    const wintest::RgbaPicture reference = wintest::readPng(LYREVANE_PANEL_REFERENCE);
    ASSERT_EQ(reference.width, uint32_t(width));
    ASSERT_EQ(reference.height, uint32_t(height));
    const wintest::PictureMatch match =
        wintest::compare(wintest::readPng(capturePath), reference);
    std::printf("editor window: %.2f%% of pixels within 8 levels of the Linux reference, "
                "%.2f%% identical, largest %d\n",
                100.0 * match.withinEight, 100.0 * match.identical, match.largest);
    EXPECT_GE(match.withinEight, 0.95);

    const auto post = [&](UINT message, WPARAM keys, int x, int y) {
        ASSERT_TRUE(PostMessageW(child, message, keys, MAKELPARAM(x, y)));
        hostWindow.settle(host);
    };

    // A drag along string 2: pressed a little right of position 7, then past the left end,
    // one position in, and past the right end.
    host.clearCalls();
    const int y = stringTop(2) + 8;
    post(WM_LBUTTONDOWN, MK_LBUTTON, stringPressX(7) + 5, y);
    expectWritten(host, 2, 7 * kStringStep);
    post(WM_MOUSEMOVE, MK_LBUTTON, 20, y);
    expectWritten(host, 2, 0.0f);
    post(WM_MOUSEMOVE, MK_LBUTTON, stringPressX(1), y);
    expectWritten(host, 2, kStringStep);
    post(WM_MOUSEMOVE, MK_LBUTTON, 525, y);
    expectWritten(host, 2, 1.0f);
    post(WM_LBUTTONUP, 0, 525, y);
    EXPECT_EQ(host.callCount(audioMasterBeginEdit), 1u);
    EXPECT_EQ(host.callCount(audioMasterEndEdit), 1u);

    // A click on the sound-set switch flips it, and the window shows the other half.
    host.clearCalls();
    post(WM_LBUTTONDOWN, MK_LBUTTON, kSoundSetX, kSoundSetY);
    post(WM_LBUTTONUP, 0, kSoundSetX, kSoundSetY);
    expectWritten(host, 75, 1.0f);
    const wintest::RgbaPicture switched = EditorWindow::capture(child, width, height);
    const auto switchArea = [&](const wintest::RgbaPicture& picture) {
        std::vector<uint8_t> area;
        for (int row = 184; row < 208; ++row) {
            const auto first = picture.bytes.begin() + (size_t(row) * width + 36) * 4;
            area.insert(area.end(), first, first + 199 * 4);
        }
        return area;
    };
    EXPECT_NE(switchArea(switched), switchArea(shown));

    host.dispatch(effEditClose);
    hostWindow.settle(host);
    EXPECT_FALSE(IsWindow(child));
}

// A host may close the editor from inside a callback that a click or a drag makes, while the
// click is still running in the panel: the panel's window stays, hidden, until the click has
// unwound, and goes with the panel then. Every begin of an edit that reached the host gets
// its end, though no mouse-up can follow, and the click the user completed writes.
TEST_F(ModuleTest, HostClosingTheEditorInsideAClickIsSafe)
{
    host.dispatch(effOpen);
    host.startUp();
    EditorWindow hostWindow(529, 225);
    ASSERT_NE(hostWindow.window, nullptr);
    struct Trial
    {
        int32_t closeOn;
        int x, y;
        WPARAM keys;
        int dragToX;  // 0 for a click; else the press drags here and the move closes
        int32_t parameter;
        float value;
    };
    const Trial trials[] = {
        // The reset button idles the host before it tells the instrument.
        {audioMasterIdle, kResetX, kResetY, 0, 0, 76, 1.0f},
        // A control-click resets the string, the reset's edit nested in the click's.
        {audioMasterAutomate, stringPressX(3), stringTop(4) + 8, MK_CONTROL, 0, 4,
         10 * kStringStep},
        {audioMasterAutomate, stringPressX(6), stringTop(1) + 8, 0, stringPressX(9), 1,
         9 * kStringStep},
    };
    for (const Trial& trial : trials) {
        SCOPED_TRACE(testing::Message() << "closed on " << trial.closeOn << ", parameter "
                                        << trial.parameter);
        ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, hostWindow.window), 1);
        hostWindow.settle(host);
        HWND child = FindWindowExW(hostWindow.window, nullptr, nullptr, nullptr);
        ASSERT_NE(child, nullptr);
        const auto post = [&](UINT message, WPARAM keys, int x, int y) {
            // Once the panel is closed its window is gone, and the user's release with it.
            PostMessageW(child, message, keys, MAKELPARAM(x, y));
            hostWindow.settle(host);
        };
        host.clearCalls();
        size_t closedAt = 0;
        bool keptHidden = false;
        const auto closeNow = [&](int32_t opcode) {
            if (opcode != trial.closeOn || closedAt) return;
            closedAt = host.calls().size();
            host.dispatch(effEditClose);
            keptHidden = IsWindow(child) && !IsWindowVisible(child);
        };
        const WPARAM held = MK_LBUTTON | trial.keys;
        if (trial.dragToX) {
            post(WM_LBUTTONDOWN, held, trial.x, trial.y);
            host.reaction = closeNow;
            post(WM_MOUSEMOVE, held, trial.dragToX, trial.y);
            post(WM_LBUTTONUP, trial.keys, trial.dragToX, trial.y);
        } else {
            host.reaction = closeNow;
            post(WM_LBUTTONDOWN, held, trial.x, trial.y);
            post(WM_LBUTTONUP, trial.keys, trial.x, trial.y);
        }
        host.reaction = nullptr;
        ASSERT_NE(closedAt, 0u) << "the click never made that call";
        EXPECT_TRUE(keptHidden) << "the panel went while the click was running in it";
        EXPECT_FALSE(IsWindow(child));

        editcheck::expectBracketed(host.calls(), trial.parameter);
        expectWritten(host, trial.parameter, trial.value);
        // Closed means closed: the host is not idled from the panel any more.
        const std::vector<harness::HostCall> calls = host.calls();
        for (size_t i = closedAt; i < calls.size(); ++i) {
            EXPECT_NE(calls[i].opcode, audioMasterIdle);
        }
        // Nor does it take the keys: 13 is the right arrow, which a slider takes when open.
        EXPECT_EQ(host.dispatch(effEditKeyDown, 0, 13), 0);
    }
}

// The panel at the density of the screen (set for the whole wine prefix with its LogPixels
// value: CTest runs this again with 192, for 2x), in a host that is made for high densities
// as today's hosts are, so that Windows leaves its windows' pixels alone.
TEST_F(ModuleTest, EditorOpensAtTheDensityOfTheHostsWindow)
{
    SetProcessDPIAware();
    host.dispatch(effOpen);
    host.startUp();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dpi == 96 || dpi == 192) << "a density of " << dpi << " has no reference";
    const int32_t scale = dpi / 96;
    ERect* size = nullptr;
    ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &size), 1);
    const int32_t width = size->right - size->left;
    const int32_t height = size->bottom - size->top;
    EXPECT_EQ(width, 529 * scale);
    EXPECT_EQ(height, 225 * scale);
    EditorWindow hostWindow(width, height);
    ASSERT_EQ(host.dispatch(effEditOpen, 0, 0, hostWindow.window), 1);
    hostWindow.settle(host);
    HWND child = FindWindowExW(hostWindow.window, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);

    const std::string capturePath =
        LYREVANE_RENDERS_DIR "/editor-windows-" + std::to_string(dpi) + "dpi.png";
    ASSERT_TRUE(wintest::writePng(capturePath, EditorWindow::capture(child, width, height)));
    const wintest::RgbaPicture reference =
        wintest::readPng(scale == 2 ? LYREVANE_PANEL_REFERENCE_2X : LYREVANE_PANEL_REFERENCE);
    ASSERT_EQ(reference.width, uint32_t(width));
    const wintest::PictureMatch match =
        wintest::compare(wintest::readPng(capturePath), reference);
    std::printf("editor window at %d dpi: %.2f%% of pixels within 8 levels of the Linux "
                "reference, %.2f%% identical, largest %d\n",
                dpi, 100.0 * match.withinEight, 100.0 * match.identical, match.largest);
    EXPECT_GE(match.withinEight, 0.95);

    // A click lands where it shows: the sound-set switch at its place times the scale.
    host.clearCalls();
    const LPARAM place = MAKELPARAM(kSoundSetX * scale, kSoundSetY * scale);
    ASSERT_TRUE(PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, place));
    ASSERT_TRUE(PostMessageW(child, WM_LBUTTONUP, 0, place));
    hostWindow.settle(host);
    EXPECT_EQ(host.getParameter(75), 1.0f);

    // Moved to a screen of 1.5 times the base density: the host is asked for the size there,
    // and the panel takes it when the host does.
    host.sizeWindow = [&](int32_t newWidth, int32_t newHeight) {
        return SetWindowPos(hostWindow.window, nullptr, 0, 0, newWidth, newHeight,
                            SWP_NOMOVE | SWP_NOZORDER) != 0;
    };
    host.clearCalls();
    SendMessageW(child, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), 0);
    hostWindow.settle(host);
    ASSERT_EQ(host.callCount(audioMasterSizeWindow), 1u);
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 793);
    EXPECT_EQ(client.bottom, 337);
    host.dispatch(effEditClose);
    hostWindow.settle(host);
}

}  // namespace
