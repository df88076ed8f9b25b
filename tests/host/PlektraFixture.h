// A Plektra built straight from the engine libraries and driven through its effect record
// by the test host, with helpers to look at its voices.
#pragma once

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "host/AEffEditor.h"
#include "host/Plektra.h"
#include "tools/Keys.h"
#include "tools/PluginHost.h"

namespace plektratest {

constexpr int32_t kBlock = 512;
using namespace keys;
constexpr uint8_t kPickLowestKey = kPickKeys[0];
constexpr uint8_t kPickHighestKey = kPickKeys[5];

// The engine alone links no panel; a plain editor stands in for it, so that the instrument
// is built as the module builds it, with an editor.
inline AEffEditor* makeStandInEditor(AudioEffect* effect)
{
    return new AEffEditor(effect);
}

inline AEffect* makePlektra(audioMasterCallback audioMaster)
{
    return (new Plektra(audioMaster, makeStandInEditor))->getAeffect();
}

// The parameter value of a fret (0 = open string), as the host reads it back.
inline float fretValue(int fret)
{
    return static_cast<float>(fret + 1) * 0.05263158f;
}

class PlektraTest : public ::testing::Test
{
protected:
    void SetUp() override { restart(); }

    void restart(float rate = 44100.0f)
    {
        ASSERT_NE(host.open(makePlektra), nullptr);
        host.startUp(rate, kBlock);
        plektra = static_cast<Plektra*>(static_cast<AudioEffect*>(host.effect()->object));
    }

    // Retunes the highest string of chord 0 (the chord selected at start) to note 69,
    // whose recording sounds at its root: a voice playing it steps exactly one recording
    // sample per output sample, so its position counts the samples since its start.
    void tuneHighestStringTo69()
    {
        host.setParameter(5, fretValue(5));
        host.render(0);
    }

    const CSamplerVoice* heldVoice(int note) const
    {
        for (int i = 0; i < CSampler::kVoiceCount; ++i) {
            const CSamplerVoice& voice = plektra->soundEngine().voice(i);
            if (voice.note == note && voice.envelope.state < CEnvelope::kRelease) return &voice;
        }
        return nullptr;
    }

    int heldCount() const
    {
        int count = 0;
        for (int i = 0; i < CSampler::kVoiceCount; ++i) {
            count += plektra->soundEngine().voice(i).envelope.state < CEnvelope::kRelease;
        }
        return count;
    }

    // Renders total frames one frame per block and notes at which sample each voice
    // starts, as (sample, note) pairs in order. events are placed at absolute samples.
    std::vector<std::pair<int32_t, int>> onsets(int32_t total,
                                                const std::vector<harness::MidiEvent>& events)
    {
        std::vector<std::pair<int32_t, int>> started;
        for (int32_t sample = 0; sample < total; ++sample) {
            std::vector<harness::MidiEvent> due;
            for (const auto& event : events) {
                if (event.deltaFrames == sample) {
                    due.push_back({0, event.status, event.data1, event.data2});
                }
            }
            int32_t before[CSampler::kVoiceCount];
            for (int i = 0; i < CSampler::kVoiceCount; ++i) {
                before[i] = plektra->soundEngine().voice(i).envelope.state;
            }
            if (!due.empty()) host.sendMidi(due);
            host.render(1);
            for (int i = 0; i < CSampler::kVoiceCount; ++i) {
                const CSamplerVoice& voice = plektra->soundEngine().voice(i);
                if (voice.envelope.state == CEnvelope::kAttack &&
                    before[i] != CEnvelope::kAttack) {
                    started.emplace_back(sample, voice.note);
                }
            }
        }
        return started;
    }

    harness::PluginHost host;
    Plektra* plektra = nullptr;
};

}  // namespace plektratest
