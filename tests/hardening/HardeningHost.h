// Helpers shared by the hardening tests: a block render that checks everything a host relies
// on whatever it sent, and a scripted performance that plays one block at a time so that
// several instances can be interleaved.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/Keys.h"
#include "tools/PluginHost.h"

namespace hardening {

using harness::MidiEvent;
using harness::PluginHost;

using namespace keys;

// 32 voices at full velocity and envelope reading full-scale samples, mixed at 1/4.
constexpr float kOutputBound = 8.0f;

// Renders one block into channels followed by a guard zone. Every sample of the block must
// be written (the NaN it starts as must be gone), finite, within the bound and the same on
// both channels; the guard must be untouched. Returns the left channel.
inline std::vector<float> renderChecked(PluginHost& host, int32_t frames)
{
    constexpr size_t kGuard = 64;
    constexpr float kGuardValue = -777.0f;
    const size_t length = frames > 0 ? static_cast<size_t>(frames) : 0;
    std::vector<float> left(length + kGuard, kGuardValue);
    std::vector<float> right(length + kGuard, kGuardValue);
    std::fill_n(left.begin(), length, std::nanf(""));
    std::fill_n(right.begin(), length, std::nanf(""));
    float* outputs[2] = {left.data(), right.data()};
    AEffect* effect = host.effect();
    effect->processReplacing(effect, nullptr, outputs, frames);

    size_t bad = 0;
    for (size_t i = 0; i < length; ++i) {
        const bool good = std::isfinite(left[i]) && std::fabs(left[i]) <= kOutputBound &&
                          std::memcmp(&left[i], &right[i], sizeof(float)) == 0;
        bad += good ? 0 : 1;
    }
    EXPECT_EQ(bad, 0u) << "unwritten, non-finite, out-of-bound or unequal samples";
    for (size_t i = length; i < length + kGuard; ++i) {
        EXPECT_EQ(left[i], kGuardValue) << "written past the block at " << i;
        EXPECT_EQ(right[i], kGuardValue) << "written past the block at " << i;
    }
    left.resize(length);
    return left;
}

inline float peak(const std::vector<float>& samples)
{
    float loudest = 0.0f;
    for (float sample : samples)
        loudest = std::max(loudest, std::fabs(sample));
    return loudest;
}

struct ParameterChange
{
    int32_t position;  // sample at which the host sends it, before that sample's block
    int32_t index;
    float value;
};

// What one instance plays: its host's settings, MIDI and automation, all at absolute
// sample positions.
struct Performance
{
    float sampleRate = 44100.0f;
    int32_t blockSize = 512;
    double tempo = 120.0;
    int32_t length = 44100;
    std::vector<MidiEvent> events;
    std::vector<ParameterChange> changes;
};

// Plays a performance through a host one block at a time.
class Player
{
public:
    explicit Player(const Performance& performance) : performance(performance) {}

    bool open(const char* modulePath)
    {
        if (!host.load(modulePath) || !host.open()) return false;
        host.startUp(performance.sampleRate, performance.blockSize);
        host.timeInfo.tempo = performance.tempo;
        output.reserve(static_cast<size_t>(performance.length));
        return true;
    }

    bool finished() const { return position >= performance.length; }

    void playBlock()
    {
        const int32_t frames = std::min(performance.blockSize, performance.length - position);
        for (const ParameterChange& change : performance.changes) {
            if (change.position >= position && change.position < position + frames) {
                host.setParameter(change.index, change.value);
            }
        }
        std::vector<MidiEvent> due;
        for (const MidiEvent& event : performance.events) {
            if (event.deltaFrames >= position && event.deltaFrames < position + frames) {
                due.push_back(
                    {event.deltaFrames - position, event.status, event.data1, event.data2});
            }
        }
        if (!due.empty()) host.sendMidi(due);
        const std::vector<float> block = renderChecked(host, frames);
        output.insert(output.end(), block.begin(), block.end());
        position += frames;
        host.timeInfo.samplePos = position;
        host.timeInfo.ppqPos = position / host.timeInfo.sampleRate * performance.tempo / 60.0;
    }

    std::vector<float> playAll()
    {
        while (!finished())
            playBlock();
        return output;
    }

    PluginHost host;
    std::vector<float> output;

private:
    const Performance& performance;
    int32_t position = 0;
};

}  // namespace hardening
