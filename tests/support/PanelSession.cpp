// The GUI tests' host window, pointer and key events, and pixel pictures.
#include "tests/support/PanelSession.h"

// Before Xlib, whose macros would otherwise reach into it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <thread>

namespace paneltest {

namespace {

// Away from the screen's corner, where other programs' test windows open.
constexpr int kWindowLeft = 600;
constexpr int kWindowTop = 500;

cairo_surface_t* surfaceOf(const Picture& picture)
{
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < picture.width; ++x) row[x] = picture.at(x, y);
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// Opaque pixels of an RGB24 or ARGB32 surface; transparent parts read as over black.
Picture pictureOf(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    Picture picture;
    picture.width = cairo_image_surface_get_width(surface);
    picture.height = cairo_image_surface_get_height(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < picture.width; ++x) picture.pixels.push_back(row[x] & 0xFFFFFFu);
    }
    return picture;
}

}  // namespace

Picture Picture::load(const std::string& path)
{
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    Picture picture;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) picture = pictureOf(surface);
    cairo_surface_destroy(surface);
    return picture;
}

bool Picture::save(const std::string& path) const
{
    cairo_surface_t* surface = surfaceOf(*this);
    const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return written;
}

Picture Picture::with(const std::string& imagePath, int x, int y, int sourceTop) const
{
    cairo_surface_t* surface = surfaceOf(*this);
    cairo_surface_t* image = cairo_image_surface_create_from_png(imagePath.c_str());
    EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << imagePath;
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, x, y, cairo_image_surface_get_width(image),
                    cairo_image_surface_get_height(image) - sourceTop);
    cairo_clip(cr);
    cairo_set_source_surface(cr, image, x, y - sourceTop);
    cairo_paint(cr);
    cairo_destroy(cr);
    Picture result = pictureOf(surface);
    cairo_surface_destroy(image);
    cairo_surface_destroy(surface);
    return result;
}

long Picture::distance(const Picture& other, int left, int top, int w, int h) const
{
    long sum = 0;
    for (int y = top; y < top + h; ++y) {
        for (int x = left; x < left + w; ++x) {
            const uint32_t a = at(x, y);
            const uint32_t b = other.at(x, y);
            for (int shift = 0; shift < 24; shift += 8) {
                sum += std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                static_cast<int>((b >> shift) & 0xFF));
            }
        }
    }
    return sum;
}

ReferenceMatch compareWithReference(const Picture& screen, const Picture& reference)
{
    ReferenceMatch match;
    match.sameSize = screen.width == reference.width && screen.height == reference.height &&
                     screen.width > 0 && screen.height > 0;
    if (!match.sameSize) return match;
    long total = 0;
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            const long d = screen.distance(reference, x, y, 1, 1);
            total += d;
            match.differingPixels += d > 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const int a = (screen.at(x, y) >> shift) & 0xFF;
                const int b = (reference.at(x, y) >> shift) & 0xFF;
                if (std::abs(a - b) > 16) {
                    ++match.farOff;
                    break;
                }
            }
        }
    }
    match.meanDifference = total / (static_cast<double>(screen.width) * screen.height * 3);
    return match;
}

std::string referencePath(const std::string& name)
{
    return std::string(LYREVANE_SOURCE_DIR) + "/tests/editor/reference/" + name;
}

Picture referencePicture(const std::string& name, const Picture& screen, bool& rewritten)
{
    const std::string path = referencePath(name);
    rewritten = std::getenv("LYREVANE_UPDATE_REFERENCE") != nullptr;
    if (rewritten) {
        EXPECT_TRUE(screen.save(path)) << path;
    }
    return Picture::load(path);
}

void expectMatchesReference(const Picture& screen, const Picture& reference)
{
    const ReferenceMatch match = compareWithReference(screen, reference);
    ASSERT_TRUE(match.sameSize) << "reference " << reference.width << " x " << reference.height
                                << ", screen " << screen.width << " x " << screen.height;
    const double pixels = static_cast<double>(screen.width) * screen.height;
    EXPECT_LT(match.meanDifference, 2.0) << "mean difference per channel";
    EXPECT_LE(match.farOff, pixels / 100) << "pixels differing by more than 16";
}

std::string artwork(const std::string& name)
{
    return std::string(LYREVANE_SOURCE_DIR) + "/resources/images/" + name;
}

void PanelSession::start()
{
    if (!std::getenv("DISPLAY")) {
        skipReason = "no X display";
        return;
    }
    hostWindow = std::make_unique<harness::HostWindow>(kWindowLeft, kWindowTop, kPanelWidth,
                                                       kPanelHeight);
    if (!hostWindow->ok()) {
        skipReason = hostWindow->error();
        return;
    }
    display = hostWindow->display();
    int unused = 0;
    if (!XTestQueryExtension(display, &unused, &unused, &unused, &unused)) {
        skipReason = "no XTest";
        return;
    }
    // A test that died inside a click leaves the display's button down; start from none.
    for (unsigned int button = 1; button <= 3; ++button) {
        XTestFakeButtonEvent(display, button, False, CurrentTime);
    }
    XSync(display, False);
    ASSERT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
    ASSERT_NE(host.open(), nullptr);
    host.startUp();
    host.sizeWindow = [this](int32_t width, int32_t height) {
        if (!acceptResize) return false;
        hostWindow->resize(width, height);
        return true;
    };
    // Like a host's window, it takes the keys and wheel turns that reach it.
    XSelectInput(display, hostWindow->id(), KeyPressMask | ButtonPressMask);
    XSync(display, False);
}

PanelSession::~PanelSession()
{
    host.close();
}

intptr_t PanelSession::openEditor()
{
    ERect* size = nullptr;
    if (host.dispatch(effEditGetRect, 0, 0, &size) == 1 && size) {
        const int width = size->right - size->left;
        const int height = size->bottom - size->top;
        if (width != hostWindow->width() || height != hostWindow->height()) {
            hostWindow->resize(width, height);
        }
    }
    const intptr_t result = host.dispatch(effEditOpen, 0, 0, hostWindow->parent());
    idle(150);
    return result;
}

void PanelSession::closeEditor()
{
    host.dispatch(effEditClose);
}

void PanelSession::idle(int milliseconds)
{
    XSync(display, False);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        host.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

void PanelSession::moveTo(int x, int y)
{
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    // The device pixel whose centre lies in the middle of panel pixel (x, y).
    const int deviceX = static_cast<int>(std::floor((x + 0.5) * scale));
    const int deviceY = static_cast<int>(std::floor((y + 0.5) * scale));
    XTranslateCoordinates(display, hostWindow->id(), DefaultRootWindow(display), deviceX,
                          deviceY, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    idle(30);
}

void PanelSession::press(int button, bool soon)
{
    // Two presses within the double-click time would make a double click.
    if (button <= 3) {
        if (!soon) std::this_thread::sleep_until(lastPress + std::chrono::milliseconds(450));
        lastPress = std::chrono::steady_clock::now();
    }
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    idle(30);
}

void PanelSession::release(int button)
{
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    idle(30);
}

void PanelSession::key(const char* name, bool down)
{
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XStringToKeysym(name)), down,
                      CurrentTime);
    XSync(display, False);
}

void PanelSession::click(int x, int y, bool withControl, bool soon)
{
    moveTo(x, y);
    if (withControl) key("Control_L", true);
    press(1, soon);
    release();
    if (withControl) key("Control_L", false);
}

void PanelSession::wheel(int x, int y, int notches, bool withShift, bool horizontal)
{
    moveTo(x, y);
    if (withShift) key("Shift_L", true);
    const int button = horizontal ? (notches > 0 ? 7 : 6) : (notches > 0 ? 4 : 5);
    for (int i = 0; i < std::abs(notches); ++i) {
        press(button);
        release(button);
    }
    if (withShift) key("Shift_L", false);
}

void PanelSession::typeKey(const char* name)
{
    key(name, true);
    key(name, false);
    idle(30);
}

PanelSession::HostInput PanelSession::hostInput()
{
    XSync(display, False);
    HostInput input;
    XEvent event;
    while (XCheckWindowEvent(display, hostWindow->id(), KeyPressMask | ButtonPressMask, &event)) {
        if (event.type == KeyPress) ++input.keyPresses;
        if (event.type == ButtonPress && event.xbutton.button >= 4 && event.xbutton.button <= 7) {
            ++input.wheelPresses[event.xbutton.button - 4];
        }
    }
    return input;
}

// Under a loaded machine a repaint can lag the event that caused it: idle until two
// captures in a row agree, so a check never reads a half-finished paint.
Picture PanelSession::capture()
{
    Picture previous = grab();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
        idle(40);
        Picture current = grab();
        if (current.pixels == previous.pixels) return current;
        previous = std::move(current);
    }
    return previous;
}

Picture PanelSession::grab()
{
    Picture picture;
    picture.pixels = harness::readPixels(display, hostWindow->id(), 0, 0, hostWindow->width(),
                                         hostWindow->height());
    if (!picture.pixels.empty()) {
        picture.width = hostWindow->width();
        picture.height = hostWindow->height();
    }
    return picture;
}

std::pair<int, int> PanelSession::editorWindowSize()
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::pair<int, int> size{0, 0};
    if (!XQueryTree(display, hostWindow->id(), &root, &parent, &children, &count)) return size;
    if (count > 0) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[count - 1], &attributes)) {
            size = {attributes.width, attributes.height};
        }
    }
    if (children) XFree(children);
    return size;
}

void PanelSession::playChord(int chord)
{
    host.sendMidi({{0, 0x90, static_cast<uint8_t>(48 + chord), 100}});
    host.render(512);
}

}  // namespace paneltest
