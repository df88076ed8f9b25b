// A VST3 view in a window of our own, driven by our run loop; see Vst3ViewHost.h.
#include "tools/Vst3ViewHost.h"

#include <poll.h>

#include <algorithm>
#include <chrono>

namespace harness {

namespace {

int64_t nowMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Vst3ViewHost::~Vst3ViewHost() { close(); }

vst3::Result Vst3ViewHost::queryInterface(const char* iid, void** object)
{
    if (vst3::Unknown::iid.matches(iid) || vst3::PlugFrame::iid.matches(iid)) {
        *object = static_cast<vst3::PlugFrame*>(this);
        return vst3::kResultOk;
    }
    if (vst3::RunLoop::iid.matches(iid)) {
        *object = static_cast<vst3::RunLoop*>(this);
        return vst3::kResultOk;
    }
    *object = nullptr;
    return vst3::kNoInterface;
}

bool Vst3ViewHost::open(vst3::EditController& controller, std::string& error)
{
    close();
    plugView = controller.createView("editor");
    if (plugView == nullptr) {
        error = "the controller made no editor view";
        return false;
    }
    if (plugView->isPlatformTypeSupported(vst3::kPlatformX11) != vst3::kResultTrue) {
        error = "the view does not embed in an X11 window";
        close();
        return false;
    }
    // Ardour's order: the frame first, then the parent, then the size.
    plugView->setFrame(this);
    vst3::ViewRect size{};
    plugView->getSize(&size);
    const int width = std::max(1, size.right - size.left);
    const int height = std::max(1, size.bottom - size.top);
    hostWindow = std::make_unique<HostWindow>(0, 0, width, height);
    if (!hostWindow->ok()) {
        error = hostWindow->error();
        close();
        return false;
    }
    if (plugView->attached(hostWindow->parent(), vst3::kPlatformX11) != vst3::kResultOk) {
        error = "the view refused to attach to the window";
        close();
        return false;
    }
    hostWindow->sync();
    return true;
}

void Vst3ViewHost::run(int milliseconds)
{
    const int64_t end = nowMilliseconds() + milliseconds;
    for (int64_t now = nowMilliseconds(); now < end; now = nowMilliseconds()) {
        int64_t wake = end;
        for (const Timer& timer : timers)
            wake = std::min(wake, timer.due);
        std::vector<pollfd> watched;
        for (const Handler& each : handlers)
            watched.push_back({each.descriptor, POLLIN, 0});
        const int ready = poll(watched.data(), watched.size(),
                               static_cast<int>(std::max<int64_t>(0, wake - now)));
        // A handler may unregister itself or others while called: look each one up again.
        for (size_t i = 0; ready > 0 && i < watched.size(); ++i) {
            if ((watched[i].revents & POLLIN) == 0) continue;
            for (const Handler& each : handlers) {
                if (each.descriptor == watched[i].fd) {
                    ++descriptorCalls;
                    each.handler->onFDIsSet(each.descriptor);
                    break;
                }
            }
        }
        now = nowMilliseconds();
        for (size_t i = 0; i < timers.size(); ++i) {
            if (timers[i].due > now) continue;
            timers[i].due = now + timers[i].period;
            ++timerCalls;
            timers[i].handler->onTimer();
        }
    }
}

void Vst3ViewHost::close()
{
    if (plugView != nullptr) {
        if (hostWindow != nullptr && hostWindow->ok()) plugView->removed();
        plugView->setFrame(nullptr);
        plugView->release();
        plugView = nullptr;
    }
    hostWindow.reset();
}

vst3::Result Vst3ViewHost::resizeView(vst3::PlugView* view, vst3::ViewRect* size)
{
    if (view == nullptr || size == nullptr) return vst3::kInvalidArgument;
    resizes.push_back(*size);
    if (hostWindow != nullptr) {
        hostWindow->resize(size->right - size->left, size->bottom - size->top);
    }
    return view->onSize(size);
}

vst3::Result Vst3ViewHost::registerEventHandler(vst3::EventHandler* handler, int descriptor)
{
    if (handler == nullptr || descriptor < 0) return vst3::kInvalidArgument;
    // As Ardour: one handler a descriptor.
    for (const Handler& each : handlers) {
        if (each.descriptor == descriptor) return vst3::kResultFalse;
    }
    handlers.push_back({handler, descriptor});
    return vst3::kResultOk;
}

vst3::Result Vst3ViewHost::unregisterEventHandler(vst3::EventHandler* handler)
{
    const auto removed = std::remove_if(handlers.begin(), handlers.end(),
                                        [handler](auto& each) { return each.handler == handler; });
    const bool found = removed != handlers.end();
    handlers.erase(removed, handlers.end());
    return found ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::Result Vst3ViewHost::registerTimer(vst3::TimerHandler* handler, uint64_t milliseconds)
{
    if (handler == nullptr || milliseconds == 0) return vst3::kInvalidArgument;
    const auto period = static_cast<int64_t>(std::min<uint64_t>(milliseconds, 60000));
    timers.push_back({handler, period, nowMilliseconds() + period});
    return vst3::kResultOk;
}

vst3::Result Vst3ViewHost::unregisterTimer(vst3::TimerHandler* handler)
{
    const auto removed = std::remove_if(timers.begin(), timers.end(),
                                        [handler](auto& each) { return each.handler == handler; });
    const bool found = removed != timers.end();
    timers.erase(removed, timers.end());
    return found ? vst3::kResultOk : vst3::kInvalidArgument;
}

}  // namespace harness
