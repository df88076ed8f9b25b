// Equal-tempered frequency of a MIDI note (69 = 440 Hz), in double precision. Notes may be
// fractional: 69.02 is two cents sharp. The sampler rounds it to float once, on both sides of
// a ratio, so that a note played on a recording of the same root has ratio 1.0; the recording
// generator tunes each take to it.
#pragma once

#include <cmath>

inline double noteFrequency(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}
