// The LV2 panel as a host meets it: the UI binary found through lilv and loaded with dlopen,
// embedded in a parent window of ours, driven by its idle interface, fed port events, and
// played with real pointer events whose port writes and touches are recorded.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include "lv2/Lv2Ports.h"
#include "tests/support/PanelSession.h"
#include "tests/support/Lv2Host.h"

// Last: Xlib's macros (Bool among them) would reach into the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace lv2ports;
using paneltest::Picture;

namespace {

constexpr int kWidth = paneltest::kPanelWidth;
constexpr int kHeight = paneltest::kPanelHeight;
// Where the string sliders and the sound-set switch sit on the panel.
using paneltest::kResetX;
using paneltest::kResetY;
using paneltest::kSoundSetX;
using paneltest::kSoundSetY;
using paneltest::stringPressX;
int stringY(int string) { return paneltest::stringTop(string) + 8; }

struct PortWrite {
    uint32_t port;
    uint32_t protocol;
    std::vector<uint8_t> bytes;

    float value() const
    {
        float number = NAN;
        if (protocol == 0 && bytes.size() == sizeof number) {
            std::memcpy(&number, bytes.data(), sizeof number);
        }
        return number;
    }
};

struct Touch {
    uint32_t port;
    bool grabbed;
};

class Lv2UiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        ASSERT_TRUE(lv2.plugin()) << lv2.error();
        window = std::make_unique<harness::HostWindow>(620, 480, kWidth, kHeight);
        ASSERT_TRUE(window->ok()) << window->error();
        display = window->display();
        int unused = 0;
        if (!XTestQueryExtension(display, &unused, &unused, &unused, &unused)) {
            GTEST_SKIP() << "no XTest";
        }
        for (unsigned int button = 1; button <= 3; ++button) {
            XTestFakeButtonEvent(display, button, False, CurrentTime);
        }
        loadUi();
    }

    void TearDown() override
    {
        if (ui && descriptor) descriptor->cleanup(ui);
        if (library) dlclose(library);
    }

    // The UI the plug-in names, from the binary its bundle names, as a host finds them.
    void loadUi()
    {
        LilvUIs* uis = lilv_plugin_get_uis(lv2.plugin());
        const LilvUI* found = nullptr;
        LILV_FOREACH (uis, i, uis) {
            const LilvUI* candidate = lilv_uis_get(uis, i);
            if (std::string(lilv_node_as_uri(lilv_ui_get_uri(candidate))) == kUiUri) found = candidate;
        }
        ASSERT_NE(found, nullptr) << "the plug-in names no UI " << kUiUri;
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(found)), nullptr);
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        lilv_free(path);
        lilv_uis_free(uis);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
            dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        ASSERT_EQ(entry(1), nullptr);
        const auto* idleInterface = static_cast<const LV2UI_Idle_Interface*>(
            descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idleInterface, nullptr);
        idleFunction = idleInterface->idle;
    }

    // An option of the host's: ui:scaleFactor as a float, or another key.
    LV2_Options_Option option(const char* key, const float& value)
    {
        return {LV2_OPTIONS_INSTANCE, 0, lv2.urids().map(key), sizeof value,
                lv2.urids().map(LV2_ATOM__Float), &value};
    }

    // With scale, the host's options (ui:scaleFactor) come too.
    void instantiate(bool withTouch = true, float scale = 0.0f)
    {
        // The same URID map as the plug-in's, as a host gives both.
        LV2_Feature map{LV2_URID__map, lv2.urids().feature()};
        LV2_Feature parent{LV2_UI__parent, window->parent()};
        LV2_Feature touch{LV2_UI__touch, &touchFeature};
        LV2_Feature resize{LV2_UI__resize, &resizeFeature};
        const LV2_Options_Option options[] = {option(LV2_UI__scaleFactor, scale), {}};
        LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        std::vector<const LV2_Feature*> features = {&parent, &resize, &map};
        if (withTouch) features.push_back(&touch);
        if (scale != 0.0f) features.push_back(&optionsFeature);
        features.push_back(nullptr);
        ui = descriptor->instantiate(descriptor, kPluginUri, "", &Lv2UiTest::write, this,
                                     &widget, features.data());
        ASSERT_NE(ui, nullptr);
        // A host reports every control port right away.
        std::vector<float> defaults(kPortCount);
        lilv_plugin_get_port_ranges_float(lv2.plugin(), nullptr, nullptr, defaults.data());
        for (uint32_t port = kFirstString; port < kPortCount; ++port) portEvent(port, defaults[port]);
        idle(200);
    }

    void portEvent(uint32_t port, float value)
    {
        descriptor->port_event(ui, port, sizeof(float), 0, &value);
    }

    // The host's idle timer for a while.
    void idle(int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            XSync(display, False);
            ASSERT_EQ(idleFunction(ui), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    void moveTo(int x, int y)
    {
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(display, window->id(), DefaultRootWindow(display), x, y, &rootX,
                              &rootY, &child);
        XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
        idle(40);
    }

    void button(bool down)
    {
        XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
        idle(40);
    }

    Picture capture()
    {
        Picture picture;
        for (int attempt = 0; attempt < 50; ++attempt) {
            idle(40);
            Picture now;
            now.pixels = harness::readPixels(display, window->id(), 0, 0, kWidth, kHeight);
            now.width = kWidth;
            now.height = kHeight;
            if (!now.pixels.empty() && now.pixels == picture.pixels) break;
            picture = std::move(now);
        }
        return picture;
    }

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer)
    {
        auto* self = static_cast<Lv2UiTest*>(controller);
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        self->writes.push_back({port, protocol, std::vector<uint8_t>(bytes, bytes + size)});
    }

    static void touched(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed)
    {
        static_cast<Lv2UiTest*>(handle)->touches.push_back({port, grabbed});
    }

    // As a host does, the window takes the size the panel asks for.
    static int resized(LV2UI_Feature_Handle handle, int width, int height)
    {
        auto* self = static_cast<Lv2UiTest*>(handle);
        self->sizeAsked = {width, height};
        self->window->resize(width, height);
        return 0;
    }

    std::pair<int, int> widgetSize()
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, reinterpret_cast<Window>(widget), &attributes);
        return {attributes.width, attributes.height};
    }

    lv2host::Lv2Host lv2{LYREVANE_LV2_PATH, kPluginUri};
    std::unique_ptr<harness::HostWindow> window;
    Display* display = nullptr;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    int (*idleFunction)(LV2UI_Handle) = nullptr;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    LV2UI_Touch touchFeature{this, &Lv2UiTest::touched};
    LV2UI_Resize resizeFeature{this, &Lv2UiTest::resized};
    std::vector<PortWrite> writes;
    std::vector<Touch> touches;
    std::pair<int, int> sizeAsked{0, 0};
};

TEST_F(Lv2UiTest, OpensInTheParentWindowAndShowsThePanel)
{
    instantiate();
    EXPECT_EQ(sizeAsked, std::make_pair(kWidth, kHeight));
    // The widget is the panel's own window, a child of the host's.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    ASSERT_TRUE(XQueryTree(display, reinterpret_cast<Window>(widget), &root, &parent, &children,
                           &count));
    if (children) XFree(children);
    EXPECT_EQ(parent, window->id());

    const Picture screen = capture();
    const Picture expected =
        Picture::load(LYREVANE_SOURCE_DIR "/tests/editor/reference/default-panel.png");
    ASSERT_EQ(expected.width, screen.width);
    ASSERT_EQ(expected.height, screen.height);
    const double pixels = static_cast<double>(kWidth) * kHeight;
    EXPECT_LT(screen.distance(expected, 0, 0, kWidth, kHeight) / (pixels * 3), 2.0)
        << "mean difference per channel from the VST panel's reference";
    if (const char* out = std::getenv("LYREVANE_LV2_PANEL_PICTURE")) screen.save(out);
    EXPECT_TRUE(writes.empty()) << "opening writes no port";
}

TEST_F(Lv2UiTest, DraggingAStringAndTheSoundSetSwitchWritePortsInsideTouches)
{
    instantiate();
    const uint32_t string3 = kFirstString + 2;  // chord 1, string 3
    moveTo(stringPressX(7), stringY(2));
    button(true);
    moveTo(525, stringY(2));  // beyond the right end: fret 18
    button(false);
    ASSERT_FALSE(writes.empty());
    // Written as the port counts, the fret itself.
    EXPECT_EQ(writes.front().port, string3);
    EXPECT_EQ(writes.front().value(), 6.0f);
    EXPECT_EQ(writes.back().port, string3);
    EXPECT_EQ(writes.back().value(), 18.0f);
    ASSERT_EQ(touches.size(), 2u);
    EXPECT_EQ(touches[0].port, string3);
    EXPECT_TRUE(touches[0].grabbed);
    EXPECT_EQ(touches[1].port, string3);
    EXPECT_FALSE(touches[1].grabbed);

    writes.clear();
    moveTo(kSoundSetX, kSoundSetY);
    button(true);
    button(false);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].port, uint32_t{kSoundSet});
    EXPECT_EQ(writes[0].value(), 1.0f);

    // The reset button sends one message to the events port for each press, and leaves the
    // reset port, a host's control, alone.
    writes.clear();
    moveTo(kResetX, kResetY);
    button(true);
    button(false);
    idle(100);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].port, uint32_t{kEvents});
    EXPECT_EQ(writes[0].protocol, lv2.urids().map(LV2_ATOM__eventTransfer));
}

TEST_F(Lv2UiTest, TheHostsScaleFactorSizesThePanelAndLaterOptionsRescaleIt)
{
    instantiate(true, 2.0f);
    EXPECT_EQ(sizeAsked, std::make_pair(1058, 450));
    EXPECT_EQ(widgetSize(), std::make_pair(1058, 450));

    const auto* options = static_cast<const LV2_Options_Interface*>(
        descriptor->extension_data(LV2_OPTIONS__interface));
    ASSERT_NE(options, nullptr);
    const auto set = [&](const char* key, float value) {
        const LV2_Options_Option list[] = {option(key, value), {}};
        const uint32_t status = options->set(ui, list);
        idle(100);
        return status;
    };
    EXPECT_EQ(set(LV2_UI__scaleFactor, 1.5f), uint32_t{LV2_OPTIONS_SUCCESS});
    EXPECT_EQ(sizeAsked, std::make_pair(793, 337));
    EXPECT_EQ(widgetSize(), std::make_pair(793, 337));
    // An unusable scale, or an option that is not the panel's, changes nothing.
    EXPECT_EQ(set(LV2_UI__scaleFactor, 0.5f), uint32_t{LV2_OPTIONS_ERR_BAD_VALUE});
    EXPECT_EQ(set(LV2_UI__updateRate, 30.0f), uint32_t{LV2_OPTIONS_ERR_BAD_KEY});
    EXPECT_EQ(widgetSize(), std::make_pair(793, 337));

    // The sound-set switch, clicked at its centre on the screen, in panel pixels divided out.
    moveTo(static_cast<int>(kSoundSetX * 1.5), static_cast<int>(kSoundSetY * 1.5));
    button(true);
    button(false);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].port, uint32_t{kSoundSet});
    EXPECT_EQ(writes[0].value(), 1.0f);
}

TEST_F(Lv2UiTest, PortEventsFromTheHostShowOnThePanel)
{
    instantiate(false);
    const Picture before = capture();
    // The host moves chord 1's third string to fret 10 and switches the sound set.
    portEvent(kFirstString + 2, 10.0f);
    portEvent(kSoundSet, 1.0f);
    const Picture after = capture();
    EXPECT_GT(after.distance(before, 24, stringY(2) - 8, 480, 16), 0) << "string row";
    EXPECT_GT(after.distance(before, 36, 184, 199, 24), 0) << "sound-set switch";
    EXPECT_EQ(after.distance(before, 24, stringY(0) - 8, 480, 16), 0) << "another string";
    EXPECT_TRUE(writes.empty()) << "a host's change is not written back";
}

TEST_F(Lv2UiTest, TheResetButtonStopsTheStringsHoweverTheHostsBlocksFall)
{
    // A host hands the plug-in, at its next block, all the panel wrote since the last one.
    // With long blocks (8192 frames, 186 ms) a press and all the panel writes after it
    // arrive in one block; so do both presses of a double click.
    constexpr int32_t kBlock = 8192;
    const std::vector<lv2host::Midi> strum = {{0, {0x90, 52, 100}}, {0, {0x90, 60, 100}}};
    ASSERT_TRUE(lv2.instantiate(44100.0, kBlock)) << lv2.error();
    instantiate();
    const auto loudest = [&] {
        float peak = 0.0f;
        for (float sample : lv2.left()) peak = std::max(peak, std::fabs(sample));
        return peak;
    };
    for (const int presses : {1, 2}) {
        lv2.run(kBlock, strum);
        lv2.run(kBlock);
        ASSERT_GT(loudest(), 1e-2f);
        writes.clear();
        for (int press = 0; press < presses; ++press) {
            moveTo(kResetX, kResetY);
            button(true);
            button(false);
        }
        idle(100);
        ASSERT_FALSE(writes.empty());
        for (const PortWrite& w : writes) {
            lv2.uiWrite(w.port, static_cast<uint32_t>(w.bytes.size()), w.protocol, w.bytes.data());
        }
        lv2.run(kBlock);  // the strings' release, 441 samples
        lv2.run(kBlock);
        EXPECT_EQ(loudest(), 0.0f) << presses << " press(es) of the reset button";
    }
}

}  // namespace
