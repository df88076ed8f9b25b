// A host's side of the panel for GUI tests: the loaded module, a top-level X window that the
// editor opens in, real pointer and key events through XTest, and the window's pixels read
// back and compared with the artwork.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/HostWindow.h"
#include "tools/PluginHost.h"

namespace paneltest {

constexpr int kPanelWidth = 529;
constexpr int kPanelHeight = 225;

// Where things sit on the panel, in panel pixels.
inline int stringTop(int string) { return 144 - 16 * string; }
inline int stringCellLeft(int position) { return 24 + 24 * position; }
// A press centres the handle under the pointer, so pressing here puts it at position k.
inline int stringPressX(int position) { return 35 + 24 * position; }
inline int chordPressX(int chord) { return 59 + 24 * chord; }
constexpr int kShowChordX = 492;
constexpr int kShowChordY = 8;
constexpr int kResetX = 492;
constexpr int kResetY = 24;
constexpr int kSoundSetX = 135;
constexpr int kSoundSetY = 196;

// Opaque pixels, 0x00RRGGBB, top row first.
struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Empty when the file cannot be read.
    static Picture load(const std::string& path);
    bool save(const std::string& path) const;
    // This picture with image drawn over it at (x, y), source rows from sourceTop on.
    Picture with(const std::string& imagePath, int x, int y, int sourceTop = 0) const;
    // Sum of absolute channel differences over the rectangle.
    long distance(const Picture& other, int left, int top, int width, int height) const;
};

// A panel picture against a committed reference: the mean difference per channel, and the
// pixels with a channel more than 16 levels off. Empty reference pictures match nothing.
struct ReferenceMatch
{
    bool sameSize = false;
    double meanDifference = 0.0;
    long farOff = 0;
    long differingPixels = 0;
};
ReferenceMatch compareWithReference(const Picture& screen, const Picture& reference);
// The path of the reference picture of this name, under tests/editor/reference.
std::string referencePath(const std::string& name);
// That reference picture; with LYREVANE_UPDATE_REFERENCE set, screen is written there first
// (and the test should say so).
Picture referencePicture(const std::string& name, const Picture& screen, bool& rewritten);
// What the reference checks of the panel allow: another compiler's or library's rounding.
void expectMatchesReference(const Picture& screen, const Picture& reference);

// One of the committed images under resources/images.
std::string artwork(const std::string& name);

class PanelSession
{
public:
    // Leaves a reason in skipReason when the display or XTest is missing; fails on anything
    // else that goes wrong.
    void start();
    ~PanelSession();

    std::string skipReason;
    harness::PluginHost host;
    // Device pixels per panel pixel of the panel under test: pointer actions at panel
    // coordinates land on the device pixel at their centre.
    double scale = 1.0;
    // Whether the host's window takes the size the editor asks for while open.
    bool acceptResize = true;

    // effEditOpen in the session's window, sized first to what effEditGetRect answers as a
    // host does, then idles until the panel has painted.
    intptr_t openEditor();
    void closeEditor();
    // effEditIdle for a while, as a host's timer would.
    void idle(int milliseconds = 60);

    // Pointer actions at panel coordinates; each lets the editor handle them. A press waits
    // out the double-click time after the previous one, unless soon asks for it right away,
    // as the second press of a double click comes.
    void moveTo(int x, int y);
    void press(int button = 1, bool soon = false);
    void release(int button = 1);
    void click(int x, int y, bool withControl = false, bool soon = false);
    // Wheel notches: positive turns up (button 4), negative down (button 5); horizontal:
    // positive right (button 7), negative left (button 6).
    void wheel(int x, int y, int notches, bool withShift = false, bool horizontal = false);
    // Presses and releases the key of this keysym name wherever the pointer is.
    void typeKey(const char* name);

    // What reached the host's window itself since the last call: key presses, and presses
    // of the wheel buttons 4 to 7.
    struct HostInput
    {
        int keyPresses = 0;
        int wheelPresses[4] = {};  // buttons 4, 5, 6, 7
    };
    HostInput hostInput();

    // What the window shows once its painting has settled.
    Picture capture();
    // The host's window, an X11 window id, and its size.
    unsigned long window() const { return hostWindow ? hostWindow->id() : 0; }
    int windowWidth() const { return hostWindow ? hostWindow->width() : 0; }
    int windowHeight() const { return hostWindow ? hostWindow->height() : 0; }
    // The size of the editor's own window inside it, 0 x 0 without one.
    std::pair<int, int> editorWindowSize();

    // The chord that the instrument plays, selected by its key.
    void playChord(int chord);

private:
    void key(const char* name, bool down);
    Picture grab();

    std::unique_ptr<harness::HostWindow> hostWindow;
    _XDisplay* display = nullptr;
    std::chrono::steady_clock::time_point lastPress;
};

}  // namespace paneltest
