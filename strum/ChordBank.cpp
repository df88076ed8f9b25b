// The chord bank of the strum engine: the twelve default chords and the parameter
// encoding through which the host and the editor edit one string at a time.
#include "strum/CArpStrum.h"

namespace {

constexpr int32_t x = CArpStrum::kMuted;

// Stored notes of the default chords, selected by keys 48 (C major) to 59 (B major).
constexpr int32_t kDefaultChords[CArpStrum::kChordCount][CArpStrum::kStringCount] = {
    {x, 48, 52, 55, 60, 64},   // C
    {44, 49, 56, 61, 65, 68},  // C sharp
    {x, x, 50, 57, 62, 66},    // D
    {46, 51, 58, 63, 67, 70},  // D sharp
    {40, 47, 52, 56, 59, 64},  // E
    {41, 48, 53, 57, 60, 65},  // F
    {42, 49, 54, 58, 61, 66},  // F sharp
    {43, 47, 50, 55, 59, 67},  // G
    {44, 51, 56, 60, 63, 68},  // G sharp
    {40, 45, 52, 57, 61, 64},  // A
    {41, 46, 53, 58, 62, 65},  // A sharp
    {42, 47, 54, 59, 63, 66},  // B
};

}  // namespace

void CArpStrum::loadDefaultChords()
{
    for (int32_t chord = 0; chord < kChordCount; ++chord) {
        for (int32_t string = 0; string < kStringCount; ++string) {
            chordBank[chord][string].store(kDefaultChords[chord][string],
                                           std::memory_order_relaxed);
        }
    }
}

int32_t CArpStrum::defaultNote(int32_t chord, int32_t string)
{
    return kDefaultChords[chord][string];
}

void CArpStrum::setChordValue(uint32_t chord, uint32_t string, float value)
{
    // The negated test also ignores a value that is not a number.
    if (chord >= kChordCount || string >= kStringCount || !(value <= 1.0f)) {
        return;
    }
    int32_t fret = -1;
    // Negative values mute without reaching the conversion, which could overflow for them.
    if (value > 0.0f) {
        fret = -1 - static_cast<int32_t>(value * -19.0f);
    }
    chordBank[chord][string].store(fret < 0 ? kMuted : openNotes[string] + fret,
                                   std::memory_order_relaxed);
}

float CArpStrum::getChordValue(uint32_t chord, uint32_t string) const
{
    if (chord >= kChordCount || string >= kStringCount) {
        return -1.0f;
    }
    const int32_t note = chordBank[chord][string].load(std::memory_order_relaxed);
    if (note < 0) {
        return 0.0f;
    }
    return static_cast<float>(note - openNotes[string] + 1) * kPositionStep;
}
