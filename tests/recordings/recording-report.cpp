// Prints the measured properties of every recording in a folder as one table.
#include "tests/recordings/RecordingMeasure.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: recording-report RECORDINGS_DIR\n");
        return 2;
    }
    using namespace recordings;
    std::printf("%-5s %-4s %4s %7s %9s %7s %6s %5s %5s %5s %6s %6s %5s %6s %6s %5s %6s\n", "id",
                "set", "root", "cents", "dc", "peakdB", "pk ms", "first", "zeros", "rise",
                "T60", "target", "T60@2k", "cen50", "cen1s", "step", "rms");
    int failures = 0;
    for (const Recording& rec : kRecordings) {
        const std::string path =
            std::string(argv[1]) + "/" + std::to_string(rec.resourceId) + ".wav";
        const WaveFile wave = parseWave(readFileBytes(path));
        if (!wave.valid) {
            std::printf("%-5d %s: %s\n", rec.resourceId, path.c_str(), wave.error.c_str());
            ++failures;
            continue;
        }
        const Measurements m = measure(wave.samples, rec);
        std::printf("%-5d %-4s %4d %+7.3f %9.2e %7.3f %6.1f %5d %5d %5.2f %6.2f %6.2f %5.2f "
                    "%6.0f %6.0f %5.2f %6.1f\n",
                    rec.resourceId, rec.set == SoundSet::acoustic ? "ac" : "el", rec.rootNote,
                    m.pitchErrorCents, m.dcOffset, m.peakDb, m.peakTimeMs, m.firstSample,
                    m.trailingZeros, m.maxLevelRiseDb, m.fundamentalT60, m.targetT60,
                    m.t60Near2k, m.centroidEarlyHz, m.centroidLateHz, m.worstStepRatio,
                    m.loudnessDb);
    }
    return failures == 0 ? 0 : 1;
}
