// A plug-in's VST3 view inside a host window of our own on X11, as Ardour shows it: the view
// is created by the controller, given a frame that offers the host's run loop, attached to
// our window and then driven only by that loop (the descriptors and timers the view
// registers); no idle calls are made. For the tests and the render tool's snapshots.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/HostWindow.h"
#include "vst3/Vst3Interfaces.h"

namespace harness {

class Vst3ViewHost final : public vst3::PlugFrame, public vst3::RunLoop
{
public:
    Vst3ViewHost() = default;
    ~Vst3ViewHost();  // closes the view if open
    Vst3ViewHost(const Vst3ViewHost&) = delete;
    Vst3ViewHost& operator=(const Vst3ViewHost&) = delete;

    // Creates the controller's "editor" view and attaches it to a new window of the size it
    // asks for; false with the reason in error.
    bool open(vst3::EditController& controller, std::string& error);
    // Serves the registered descriptors and timers for this long.
    void run(int milliseconds);
    // Detaches and releases the view, then closes the window.
    void close();

    vst3::PlugView* view() const { return plugView; }
    HostWindow* window() const { return hostWindow.get(); }
    // How often the view's handlers were called, and what it registered and left registered.
    int descriptorCalls = 0;
    int timerCalls = 0;
    size_t registeredHandlers() const { return handlers.size(); }
    size_t registeredTimers() const { return timers.size(); }
    // The sizes the view asked for through resizeView.
    std::vector<vst3::ViewRect> resizes;

    vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t LYREVANE_VST3_CALL addRef() override { return 1; }
    uint32_t LYREVANE_VST3_CALL release() override { return 1; }
    vst3::Result LYREVANE_VST3_CALL resizeView(vst3::PlugView* view, vst3::ViewRect* size) override;
    vst3::Result LYREVANE_VST3_CALL registerEventHandler(vst3::EventHandler* handler,
                                                         int descriptor) override;
    vst3::Result LYREVANE_VST3_CALL unregisterEventHandler(vst3::EventHandler* handler) override;
    vst3::Result LYREVANE_VST3_CALL registerTimer(vst3::TimerHandler* handler,
                                                  uint64_t milliseconds) override;
    vst3::Result LYREVANE_VST3_CALL unregisterTimer(vst3::TimerHandler* handler) override;

private:
    struct Handler
    {
        vst3::EventHandler* handler;
        int descriptor;
    };
    struct Timer
    {
        vst3::TimerHandler* handler;
        int64_t period;  // milliseconds
        int64_t due;     // on the monotonic clock, in milliseconds
    };

    vst3::PlugView* plugView = nullptr;
    std::unique_ptr<HostWindow> hostWindow;
    std::vector<Handler> handlers;
    std::vector<Timer> timers;
};

}  // namespace harness
