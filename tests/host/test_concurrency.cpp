// Parameters hammered from one thread while another plays dense MIDI: run under
// ThreadSanitizer, any unsynchronised state shared between the two shows up as a report.
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "tests/host/PlektraFixture.h"

namespace plektratest {
namespace {

using ConcurrencyTest = PlektraTest;

TEST_F(ConcurrencyTest, ParametersFromAnotherThreadWhileBlocksPlay)
{
    std::atomic<bool> playing{true};
    AEffect* effect = host.effect();
    std::thread automation([&] {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        while (playing.load()) {
            for (int32_t index = -1; index <= 77; ++index) {
                effect->setParameter(effect, index, index == 75 ? std::round(value(random))
                                                                : value(random));
                effect->getParameter(effect, index);
            }
        }
    });

    std::mt19937 random(11);
    std::uniform_int_distribution<int> key(40, 80);
    std::uniform_int_distribution<int> offset(0, 255);
    std::uniform_int_distribution<int> byte(0, 127);
    bool finite = true;
    for (int block = 0; block < 300; ++block) {
        std::vector<harness::MidiEvent> events;
        for (int i = 0; i < 24; ++i) {
            events.push_back({offset(random), kNoteOn, static_cast<uint8_t>(key(random)),
                              static_cast<uint8_t>(byte(random) | 1)});
        }
        events.push_back({offset(random), kPitchBend, static_cast<uint8_t>(byte(random)),
                          static_cast<uint8_t>(byte(random))});
        host.sendMidi(events);
        const harness::Block out = host.render(256);
        for (float sample : out.left) finite = finite && std::isfinite(sample);
    }
    playing.store(false);
    automation.join();
    EXPECT_TRUE(finite);
}

}  // namespace
}  // namespace plektratest
