// A real host's recording of a short song held against our render tool's render of the same
// keys: E major chosen, its high E string picked, then the chord strummed down to ring on.
// The MusE and LMMS host tests share it; each prints its checks as "ok" or "FAIL" lines.
#pragma once

#include <cstdint>
#include <string>

namespace ardourtest {

struct KeyedSong {
    int rate;
    int64_t length;       // frames compared, from the song's start
    int64_t pickSample;   // where the picked string's key falls
    int pickedNote;       // the MIDI note the picked string sounds
    int64_t strumSample;  // where the strum key falls
    // How far the recording's first sound may lie after the render tool's: a host whose
    // transport starts the recording leaves a few blocks before the song.
    int64_t largestOffset;
};

// Compares RECORDING with REFERENCE sample for sample after lining up their first sounds,
// checks that the strum rings on and the picked string's pitch; with PICK_ONLY (the render
// tool's render of the song without the strum key) also that the strum enters the recording
// at the strum key's sample. Returns the number of failed checks, or -1 when a file cannot
// be read.
int compareRecording(const std::string& recordingPath, const std::string& referencePath,
                     const KeyedSong& song, const std::string& pickOnlyPath = "");

}  // namespace ardourtest
