// One recording in memory: its samples, their root frequency and the loop the voices fall
// into once they have played past the end.
#pragma once

#include <cstdint>
#include <memory>

class CWaveData
{
public:
    // Full scale of 16-bit PCM: -32768 plays as exactly -1.0, and every 16-bit value over
    // 32768 is exact in single precision.
    static constexpr float kPcmScale = 3.0517578125e-05f;

    // Starts as one silent cycle: 20 zero samples at 2205 Hz, looping over all of them, so a
    // record that never loads plays silence rather than nothing valid.
    CWaveData();
    CWaveData(const CWaveData&) = delete;
    CWaveData& operator=(const CWaveData&) = delete;

    // Replaces the content with a private copy of float samples; ignored (content kept)
    // unless samples is non-null, count >= 3, rootFrequency is finite and >= 1 Hz and
    // 0 <= loopStart < loopEnd <= count - 1.
    void setData(float rootFrequency, const float* samples, int32_t count, int32_t loopStart,
                 int32_t loopEnd);
    // The same rules for count 16-bit little-endian samples at pcm, which are played where
    // they lie, converted as they are read. The bytes are the module's resources, which stay
    // mapped for as long as the module is loaded, so every instance shares one copy; whoever
    // passes other bytes keeps them alive while the record plays. Any alignment will do.
    void setPcm(float rootFrequency, const uint8_t* pcm, int32_t count, int32_t loopStart,
                int32_t loopEnd);

    // Sample index (0 <= index < length()) as the voices play it.
    float sample(int32_t index) const
    {
        if (pcmBytes != nullptr) {
            const uint8_t* at = pcmBytes + 2 * static_cast<size_t>(index);
            const auto bits = static_cast<uint16_t>(at[0] | at[1] << 8);
            return static_cast<float>(static_cast<int16_t>(bits)) * kPcmScale;
        }
        return floats[index];
    }
    // Exactly one of the two is non-null: the 16-bit samples or the float ones.
    const uint8_t* pcm() const { return pcmBytes; }
    const float* floatSamples() const { return floats.get(); }
    int32_t length() const { return count; }
    float rootFrequency() const { return root; }
    int32_t loopStart() const { return firstLooped; }
    int32_t loopEnd() const { return lastLooped; }

private:
    static bool isValid(const void* samples, float rootFrequency, int32_t count,
                        int32_t loopStart, int32_t loopEnd);

    std::unique_ptr<float[]> floats;
    const uint8_t* pcmBytes;
    int32_t count;
    float root;
    int32_t firstLooped;
    int32_t lastLooped;  // inclusive
};
