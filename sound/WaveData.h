// One recording in memory: float samples, their root frequency and the loop the voices fall
// into once they have played past the end.
#pragma once

#include <cstdint>
#include <memory>

class CWaveData
{
public:
    // Starts as one silent cycle: 20 zero samples at 2205 Hz, looping over all of them, so a
    // record that never loads plays silence rather than nothing valid.
    CWaveData();
    CWaveData(const CWaveData&) = delete;
    CWaveData& operator=(const CWaveData&) = delete;

    // Replaces the content with a private copy of samples; ignored (content kept) unless
    // samples is non-null, count >= 3, rootFrequency is finite and >= 1 Hz and
    // 0 <= loopStart < loopEnd <= count - 1.
    void setData(float rootFrequency, const float* samples, int32_t count, int32_t loopStart,
                 int32_t loopEnd);
    // The same, taking over a buffer the caller made for this record instead of copying it
    // (loading converts straight into it). A refused buffer is freed.
    void adoptData(float rootFrequency, std::unique_ptr<float[]> samples, int32_t count,
                   int32_t loopStart, int32_t loopEnd);

    const float* data() const { return samples.get(); }
    int32_t length() const { return count; }
    float rootFrequency() const { return root; }
    int32_t loopStart() const { return firstLooped; }
    int32_t loopEnd() const { return lastLooped; }

private:
    static bool isValid(const float* samples, float rootFrequency, int32_t count,
                        int32_t loopStart, int32_t loopEnd);

    std::unique_ptr<float[]> samples;
    int32_t count;
    float root;
    int32_t firstLooped;
    int32_t lastLooped;  // inclusive
};
