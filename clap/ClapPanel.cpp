// The CLAP panel: the instrument's panel in the host's window, and its edits for the host.
#include "clap/ClapPanel.h"

#include <cstring>

namespace clapedition {

using namespace clapabi;

namespace {

// The panel's repaint and event rate, as the VST hosts' editor idle calls come.
constexpr uint32_t kTimerPeriodMs = 20;

#ifdef _WIN32
constexpr const char* kWindowApi = kWindowApiWin32;
#else
constexpr const char* kWindowApi = kWindowApiX11;
#endif

}  // namespace

ClapPanel::ClapPanel(const Host* host, Instrument& instrument) : host(host), instrument(instrument)
{
    if (host->extension != nullptr) {
        timers =
            static_cast<const HostTimerSupport*>(host->extension(host, kTimerSupportExtension));
        params = static_cast<const HostParams*>(host->extension(host, kParamsExtension));
    }
}

ClapPanel::~ClapPanel() { destroy(); }

bool ClapPanel::isApiSupported(const char* api, bool floating)
{
    // Embedded only: the panel is a child of the host's window, as in every other host.
    return api != nullptr && std::strcmp(api, kWindowApi) == 0 && !floating;
}

bool ClapPanel::create(const char* api, bool floating)
{
    // Without the host's timer nothing would ever draw the panel or take its clicks.
    if (!isApiSupported(api, floating) || panel || timers == nullptr) return false;
    panel = std::make_unique<InstrumentPanel>(instrument, static_cast<PanelEdits&>(*this));
    return true;
}

void ClapPanel::destroy()
{
    if (timer != kInvalidId) {
        timers->unregisterTimer(host, timer);
        timer = kInvalidId;
    }
    panel.reset();
}

bool ClapPanel::setScale(double scale)
{
    return panel && !panel->isOpen() && panel->setScale(scale);
}

bool ClapPanel::size(uint32_t& width, uint32_t& height)
{
    if (!panel) return false;
    width = panel->width();
    height = panel->height();
    return true;
}

bool ClapPanel::setParent(const Window& window)
{
    if (!panel || panel->isOpen() || window.api == nullptr ||
        std::strcmp(window.api, kWindowApi) != 0) {
        return false;
    }
#ifdef _WIN32
    const auto parent = reinterpret_cast<uintptr_t>(window.win32);
#else
    const auto parent = static_cast<uintptr_t>(window.x11);
#endif
    if (!panel->open(parent)) return false;
    if (!timers->registerTimer(host, kTimerPeriodMs, &timer)) {
        timer = kInvalidId;
        panel->close();
        return false;
    }
    return true;
}

void ClapPanel::onTimer(Id firing)
{
    // Some hosts share one timer among their registrations: any of ours drives the panel.
    (void)firing;
    if (panel) panel->idle();
}

void ClapPanel::controlEdited(uint32_t id, float value) { queue(kParamValue, id, value); }

void ClapPanel::editGesture(uint32_t id, bool begins)
{
    queue(begins ? kParamGestureBegin : kParamGestureEnd, id, 0.0f);
}

void ClapPanel::queue(uint16_t type, uint32_t id, float value)
{
    const uint32_t at = written.load(std::memory_order_relaxed);
    if (at - read.load(std::memory_order_acquire) >= kQueueSize) return;
    edits[at % kQueueSize] = {type, id, value};
    written.store(at + 1, std::memory_order_release);
    if (params != nullptr) params->requestFlush(host);
}

void ClapPanel::sendEdits(const OutputEvents* out)
{
    const uint32_t end = written.load(std::memory_order_acquire);
    uint32_t at = read.load(std::memory_order_relaxed);
    for (; at != end; ++at) {
        const Edit& edit = edits[at % kQueueSize];
        if (out == nullptr || out->tryPush == nullptr) continue;
        if (edit.type == kParamValue) {
            const ParamValueEvent event{
                {sizeof(ParamValueEvent), 0, kCoreEventSpace, kParamValue, 0},
                edit.id,
                nullptr,
                -1,
                -1,
                -1,
                -1,
                edit.value};
            out->tryPush(out, &event.header);
        } else {
            const ParamGestureEvent event{
                {sizeof(ParamGestureEvent), 0, kCoreEventSpace, edit.type, 0}, edit.id};
            out->tryPush(out, &event.header);
        }
    }
    read.store(at, std::memory_order_release);
}

}  // namespace clapedition
