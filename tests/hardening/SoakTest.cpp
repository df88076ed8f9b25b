// A soak: random MIDI in blocks of random size at changing host rates and tempi on the audio
// thread, every parameter set to anything from a second thread, and (with a display) the
// editor opened, idled and closed over and over on a third. Every sample must stay finite
// and bounded, and the memory in use must stay flat. LYREVANE_SOAK_SECONDS sets the length.
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <random>
#include <thread>

#include "tests/hardening/HardeningHost.h"
#include "tools/HostWindow.h"

namespace hardening {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultSeconds = 30;

double soakSeconds()
{
    const char* text = std::getenv("LYREVANE_SOAK_SECONDS");
    const double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : kDefaultSeconds;
}

// Bytes the allocator has handed out and not had back.
size_t bytesInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The sanitizers keep freed memory in quarantine and have their own leak check; the
// allocator's count only means something without them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMemoryIsMeasurable = false;
#else
constexpr bool kMemoryIsMeasurable = true;
#endif

// Values a parameter may be set to: mostly the ordinary range, sometimes anything.
float anyValue(std::mt19937& random)
{
    static const float odd[] = {std::numeric_limits<float>::quiet_NaN(),
                                std::numeric_limits<float>::infinity(),
                                -1.0f,
                                2.0f,
                                std::numeric_limits<float>::denorm_min(),
                                1e30f};
    std::uniform_int_distribution<int> pick(0, 15);
    const int choice = pick(random);
    if (choice < static_cast<int>(std::size(odd))) return odd[choice];
    return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
}

struct AudioFigures
{
    long blocks = 0;
    long frames = 0;
    long events = 0;
    float loudest = 0.0f;
};

// The host's audio thread: a block of 1 to 4096 frames with up to 24 random events, now and
// then a new tempo, a transport jump or a rate change (suspended around it, as hosts do).
void playAudio(PluginHost& host, Clock::time_point end, AudioFigures& figures)
{
    static const float rates[] = {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f};
    static const uint8_t statuses[] = {0x90, 0x90, 0x90, 0x80, 0xE0, 0xB0, 0xC0, 0xD0, 0xA0};
    std::mt19937 random(1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> byte(0, 127);
    while (Clock::now() < end) {
        // Small blocks are as likely as large ones: the size is drawn on a log scale.
        const int32_t frames = static_cast<int32_t>(
            std::exp2(std::uniform_real_distribution<double>(0.0, 12.0)(random)));
        if (percent(random) == 0) {
            host.dispatch(effMainsChanged, 0, 0);
            const float rate = rates[random() % std::size(rates)];
            host.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            host.dispatch(effMainsChanged, 0, 1);
        }
        if (percent(random) < 5) host.timeInfo.tempo = 30.0 + random() % 270;
        host.timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid;
        if (percent(random) == 0) host.timeInfo.flags |= kVstTransportChanged;

        std::vector<MidiEvent> events(static_cast<size_t>(random() % 25));
        for (MidiEvent& event : events) {
            event = {static_cast<int32_t>(random() % frames), statuses[random() % 9],
                     static_cast<uint8_t>(byte(random)), static_cast<uint8_t>(byte(random))};
        }
        if (!events.empty()) host.sendMidi(events);
        figures.loudest = std::max(figures.loudest, peak(renderChecked(host, frames)));
        figures.blocks += 1;
        figures.frames += frames;
        figures.events += static_cast<long>(events.size());
        host.clearCalls();  // the test host's record of calls would grow with every block
        host.timeInfo.ppqPos += frames / 44100.0 * host.timeInfo.tempo / 60.0;
    }
}

// The host's automation: bursts over every index from -1 to 77 in random order, any value, a
// thousand bursts a second, so that resets land in the middle of strums and voices.
long automate(AEffect* effect, const std::atomic<bool>& running)
{
    std::mt19937 random(2);
    std::uniform_int_distribution<int32_t> index(-1, 77);
    long changes = 0;
    while (running.load()) {
        for (int i = 0; i < 77; ++i) {
            const int32_t parameter = index(random);
            effect->setParameter(effect, parameter, anyValue(random));
            effect->getParameter(effect, index(random));
        }
        changes += 77;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return changes;
}

// The host's user-interface thread: open the editor in a window, idle it a few times at a
// host's timer rate, close it, and again. It holds panelOpen while the editor is open, so
// that memory is sampled with the panel closed: its images come and go with it.
long cycleEditor(PluginHost& host, const std::atomic<bool>& running, std::mutex& panelOpen)
{
    const harness::HostWindow window(0, 0, 529, 225);
    if (!window.ok()) return 0;
    long cycles = 0;
    std::mt19937 random(3);
    while (running.load()) {
        const std::lock_guard<std::mutex> open(panelOpen);
        host.dispatch(effEditOpen, 0, 0, window.parent());
        for (int i = static_cast<int>(random() % 8); i >= 0; --i) {
            host.dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        host.dispatch(effEditClose);
        ++cycles;
    }
    return cycles;
}

TEST(Soak, RandomPlayAutomationAndEditorStayFiniteAndFlat)
{
    PluginHost host;
    ASSERT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
    ASSERT_NE(host.open(), nullptr);
    host.startUp();
    const bool withEditor = std::getenv("DISPLAY") != nullptr;

    const double seconds = soakSeconds();
    const Clock::time_point start = Clock::now();
    const auto at = [&](double fraction) {
        return start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(seconds * fraction));
    };
    std::atomic<bool> running{true};
    long changes = 0;
    long cycles = 0;
    std::thread automation([&] { changes = automate(host.effect(), running); });
    std::mutex panelOpen;
    std::thread editor([&] { cycles = withEditor ? cycleEditor(host, running, panelOpen) : 0; });
    const auto closedPanelBytes = [&] {
        const std::lock_guard<std::mutex> closed(panelOpen);
        return bytesInUse();
    };

    // The first fifth warms up every path; memory is compared from there to the end.
    AudioFigures figures;
    playAudio(host, at(0.2), figures);
    const size_t warm = closedPanelBytes();
    playAudio(host, at(1.0), figures);
    const size_t final = closedPanelBytes();
    running.store(false);
    automation.join();
    editor.join();

    std::printf("soak %.0f s: %ld blocks, %ld frames, %ld events, %ld parameter changes, "
                "%ld editor cycles, loudest %.3f, in use %zu -> %zu bytes\n",
                seconds, figures.blocks, figures.frames, figures.events, changes, cycles,
                figures.loudest, warm, final);
    RecordProperty("blocks", std::to_string(figures.blocks));
    RecordProperty("editor_cycles", std::to_string(cycles));
    EXPECT_GT(figures.loudest, 0.0f);
    EXPECT_LE(figures.loudest, kOutputBound);
    if (withEditor) {
        EXPECT_GT(cycles, 0);
    }
    if (kMemoryIsMeasurable) {
        // A slow leak shows over the run: 64 KB is a few hundred bytes a block at most.
        EXPECT_LE(static_cast<double>(final), static_cast<double>(warm) + 65536.0)
            << "memory in use grew while playing";
    }
}

}  // namespace
}  // namespace hardening
