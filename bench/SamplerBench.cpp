// Cost of the sound engine alone: one output sample, and segments of frames, with all 32
// voices sounding the embedded acoustic recordings.
#include <benchmark/benchmark.h>

#include <vector>

#include "sound/SampleBank.h"

namespace {

// Voices are restarted once a second of output so they play the body of their recordings,
// as strummed strings do, rather than sitting in the two-sample loop at the end.
constexpr int32_t kRestartFrames = 44100;

class SoundingSampler
{
public:
    explicit SoundingSampler(bool varied = false)
    {
        loadSoundSets(reader, acoustic, electric);
        selectAcousticSet(sampler, acoustic);
        sampler.setVariation(varied, 1);
        restart();
    }

    // Counts rendered frames and restarts all 32 voices when a second has passed.
    void played(int32_t frames)
    {
        sinceRestart += frames;
        if (sinceRestart >= kRestartFrames) restart();
    }

    CSampler sampler;

private:
    void restart()
    {
        sampler.reset();
        for (int32_t voice = 0; voice < CSampler::kVoiceCount; ++voice) {
            sampler.noteOn(0, 40 + voice, 40 + 2 * voice);
        }
        sinceRestart = 0;
    }

    CRiffReader reader;
    CWaveData acoustic[kAcousticCount];
    CWaveData electric[kElectricCount];
    int32_t sinceRestart = 0;
};

void samplerOneSample(benchmark::State& state)
{
    SoundingSampler sounding;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sounding.sampler.renderSample());
        sounding.sampler.advance();
        sounding.played(1);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(samplerOneSample);

void samplerSegment(benchmark::State& state, bool varied)
{
    SoundingSampler sounding(varied);
    const auto frames = static_cast<int32_t>(state.range(0));
    std::vector<float> out(frames);
    for (auto _ : state) {
        sounding.sampler.render(out.data(), frames);
        benchmark::DoNotOptimize(out.data());
        sounding.played(frames);
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
// As played today, and with every stroke varied: each voice's tone filter then runs.
BENCHMARK_CAPTURE(samplerSegment, plain, false)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_CAPTURE(samplerSegment, varied, true)->Arg(64)->Arg(512)->Arg(4096);

}  // namespace
