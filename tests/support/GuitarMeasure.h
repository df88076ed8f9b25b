// The measures that tell a real plucked guitar note from a synthetic one, taken alike from
// our recordings and from real recorded notes (the raw samples of a General MIDI soundfont),
// so the two can be set side by side.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/recording-table.h"

namespace recordings {

struct Note {
    std::vector<float> samples;  // full scale 1.0
    double rate = 44100;
    double rootHz = 0;           // where the fundamental sits
};

struct GuitarMeasures {
    double betweenPartialsDb;   // energy between the partials, 0.3-0.67 s, against the partials
    double lowBandDb;           // share of 80-250 Hz in the first second
    double beatingDb;           // RMS scatter of partials 1-4 around a straight decay
    double beatingFirstSecondDb;  // the same over the first second, where beats show most
    double decayRatio;          // early (0.1-0.6 s) over late broadband decay rate
    double pickDb;              // share above 4 kHz in the first 10 ms after the onset
    double pickFlatness;        // spectral flatness 1-10 kHz in the first 10 ms (noise: ~0.5)
    double t60Band[3];          // seconds, octave bands at 1, 2 and 4 kHz
    double fundamentalT60;      // seconds
    double inharmonicity;       // B of f_k = k f0 sqrt(1 + B k^2)
    double centroidHz[4];       // at 20, 100, 500 and 1000 ms after the onset
    double harmonics100;        // the centroid at 100 ms in multiples of the fundamental
};

GuitarMeasures measureGuitar(const Note& note);

// One of our recordings as a note at its root.
Note asNote(const std::vector<int16_t>& samples, const Recording& recording);

// A real note from a soundfont: the raw sample that the preset plays for key at velocity
// 100, with its root. Empty samples when the file or the key cannot be read.
Note soundfontNote(const std::vector<uint8_t>& soundfont, int preset, int key);

}  // namespace recordings
