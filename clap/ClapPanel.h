// The CLAP edition's gui extension: the instrument's panel embedded in the host's window,
// driven on the host's main thread by its timer (a CLAP host sends no idle calls), and the
// panel's edits carried to the host as parameter events from the next process or flush.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "clap/ClapAbi.h"
#include "instrumentpanel/InstrumentPanel.h"

namespace clapedition {

class ClapPanel final : private PanelEdits
{
public:
    ClapPanel(const clapabi::Host* host, Instrument& instrument);
    ~ClapPanel();
    ClapPanel(const ClapPanel&) = delete;
    ClapPanel& operator=(const ClapPanel&) = delete;

    // The gui extension's calls, on the main thread.
    static bool isApiSupported(const char* api, bool floating);
    bool create(const char* api, bool floating);
    void destroy();
    bool setScale(double scale);
    bool size(uint32_t& width, uint32_t& height);
    bool setParent(const clapabi::Window& window);
    void onTimer(clapabi::Id timer);

    // Audio thread in process, or whichever thread flushes: the panel's edits since the last
    // call as parameter events to the host. Allocates nothing.
    void sendEdits(const clapabi::OutputEvents* out);

private:
    void controlEdited(uint32_t id, float value) override;
    void editGesture(uint32_t id, bool begins) override;
    void queue(uint16_t type, uint32_t id, float value);

    const clapabi::Host* host;
    Instrument& instrument;
    const clapabi::HostTimerSupport* timers = nullptr;
    const clapabi::HostParams* params = nullptr;
    std::unique_ptr<InstrumentPanel> panel;
    clapabi::Id timer = clapabi::kInvalidId;

    // The panel's edits on their way to the host: the main thread writes, one audio or
    // flushing thread reads. Single writer and single reader, so each index is an atomic
    // that its owner stores with release order and the other side loads with acquire. A
    // full queue drops the edit's notice (the instrument has the value already).
    struct Edit
    {
        uint16_t type;  // value, gesture begin or end
        uint32_t id;
        float value;
    };
    static constexpr uint32_t kQueueSize = 512;
    std::array<Edit, kQueueSize> edits{};
    std::atomic<uint32_t> written{0};
    std::atomic<uint32_t> read{0};
};

}  // namespace clapedition
