// Reads a recording's RIFF/WAVE bytes and measures what a listener would notice: pitch,
// level, decay, brightness over time and clicks. Shared by the tests and the report tool.
#pragma once

#include "resources/recording-table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace recordings {

struct Chunk {
    std::string id;
    uint32_t size;
    size_t dataOffset;  // first byte after the 8-byte header
};

// A strict RIFF reader: honours pad bytes and rejects anything that runs past the end.
struct WaveFile {
    bool valid = false;
    std::string error;
    std::vector<Chunk> chunks;          // top level, after the "WAVE" form type
    std::vector<Chunk> infoTexts;       // inside a "LIST" of form "INFO"
    bool endsWithPadByte = false;       // the file's last byte pads an odd-sized chunk
    uint16_t formatTag = 0, channels = 0, bitsPerSample = 0;
    uint32_t sampleRate = 0;
    std::vector<int16_t> samples;
};

WaveFile parseWave(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFileBytes(const std::string& path);

struct Measurements {
    double pitchErrorCents;
    double trackedPitchCents;  // the same by a time-domain tracker that weighs upper partials
    double dcOffset;           // mean, as a fraction of full scale
    double peakDb;             // dBFS
    int peakSampleMagnitude;
    double peakTimeMs;
    int firstSample;
    int trailingZeros;
    double maxLevelRiseDb;     // short-time level above its lowest point since the maximum
    double fundamentalT60;     // seconds
    double t60Near2k;          // seconds, band of partials around 2 kHz
    double centroidEarlyHz;    // at 50 ms
    double centroidLateHz;     // at 1 s
    double worstStepRatio;     // largest sample step after 50 ms over the local 10 ms RMS
    double loudnessDb;         // RMS of the first 500 ms, dBFS
};

Measurements measure(const std::vector<int16_t>& samples, const Recording& recording);

}  // namespace recordings
