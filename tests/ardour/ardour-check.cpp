// The host test's helper: writes the plan (MIDI file, Lua tables, render-tool options) and
// checks the audio and parameters that came back from the host against it.
//   lyrevane-ardour-check plan DIR
//   lyrevane-ardour-check verify HOST.wav REOPENED.wav REFERENCE.wav PARAMS_SET PARAMS_REOPENED
//   lyrevane-ardour-check lv2-controls          (the plan's edits as LV2 "symbol=value" lines)
//   lyrevane-ardour-check verify-live LIVE.wav REFERENCE.wav
//   lyrevane-ardour-check verify-preset HOST.wav REFERENCE.wav PARAMS PROGRAM.fxp
//   lyrevane-ardour-check pattern-plan DIR SONG.mid PATTERN
//   lyrevane-ardour-check verify-pattern HOST.wav REOPENED.wav REFERENCE.wav PORTS_SET PORTS_REOPENED
//   lyrevane-ardour-check verify-live-song LIVE.wav REFERENCE.wav
#include "lv2/Lv2Ports.h"
#include "presets/ProgramFile.h"
#include "tests/support/AudioChecks.h"
#include "tests/support/HostTestPlan.h"
#include "tools/MidiFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace ardourtest;

namespace {

// Two renders of one instrument state are the same arithmetic on the same samples; only the
// order in which voices are summed may differ, which moves the last bits of a float.
constexpr float kSameAudio = 1e-5f;
// The strum rounds its spacing to whole samples at the host rate (500 where 500.7 is exact),
// which adds up to 3.4 samples by the sixth string.
constexpr double kOnsetTolerance = 4.0;
constexpr double kPitchToleranceCents = 5.0;
constexpr double kLevelToleranceDb = 0.5;

int failures = 0;

void report(bool ok, const std::string& what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) {
        ++failures;
    }
}

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// Lines "PARAM index value" (or another tag) as the session scripts print them.
std::map<int, double> readParameters(const std::string& path, const std::string& wanted = "PARAM")
{
    std::map<int, double> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string tag;
        int index = 0;
        double value = 0.0;
        if (fields >> tag >> index >> value && tag == wanted) {
            values[index] = value;
        }
    }
    return values;
}

void checkSignal(const StereoAudio& audio, const std::string& name)
{
    report(audio.sampleRate == kHostRate,
           name + format(": sample rate %.0f Hz", audio.sampleRate));
    report(static_cast<int64_t>(audio.left.size()) >= plannedLength(),
           name + format(": %.0f frames (plan %.0f)", audio.left.size(), plannedLength()));
    report(countNonFinite(audio.left) + countNonFinite(audio.right) == 0,
           name + ": every sample finite");
    const float peak = peakLevel(audio.left, 0, plannedLength());
    report(peak > 1e-3f, name + format(": not silent (peak %.4f)", peak));
    const float sides = largestDifference(audio.left, audio.right, plannedLength());
    report(sides <= 1e-7f, name + format(": left equals right (largest difference %g)", sides));
}

// Where each string of the strum with the given number of strings enters, in samples after the
// strum key: strum n and strum n - 1 differ by string n - 1 alone, so where they part is where
// it enters.
std::vector<int64_t> strumOnsets(const StereoAudio& audio)
{
    std::map<int, int64_t> keyOfStrings;
    for (const Strum& strum : plannedStrums()) {
        keyOfStrings[strum.strings] = strum.keySample;
    }
    const int64_t window = static_cast<int64_t>(kStrings * kStrumSpacing);
    std::vector<int64_t> onsets;
    for (int strings = 1; strings <= kStrings; ++strings) {
        const int64_t previous = strings == 1 ? -1 : keyOfStrings[strings - 1];
        onsets.push_back(firstDivergence(audio.left, keyOfStrings[strings], audio.left, previous,
                                         window, kSameAudio));
    }
    return onsets;
}

void checkStrumOnsets(const StereoAudio& host, const StereoAudio& reference)
{
    // A recording may open with a few near-silent samples, so the first string is held against
    // the render tool's, which plays every event at its exact sample; the others against it.
    const std::vector<int64_t> onsets = strumOnsets(host);
    const int64_t referenceFirst = strumOnsets(reference).front();
    report(onsets[0] >= 0 && referenceFirst >= 0 &&
               std::llabs(onsets[0] - referenceFirst) <= kOnsetTolerance,
           format("string 0 shows %.0f samples after the strum key (render tool: %.0f)",
                  onsets[0], referenceFirst));
    for (int string = 1; string < kStrings; ++string) {
        const double fromFirst = static_cast<double>(onsets[string] - onsets[0]);
        const double expected = string * kStrumSpacing;
        report(onsets[string] >= 0 && std::fabs(fromFirst - expected) <= kOnsetTolerance,
               format("string %.0f starts %.0f samples after string 0 (expected %.1f)", string,
                      fromFirst, expected));
    }
}

void checkPickedPitch(const StereoAudio& audio)
{
    // Skip the attack; half a second of the ringing string resolves far below one cent.
    const double expected = 440.0 * std::pow(2.0, (kPickedNote - 69) / 12.0);
    const double measured = dominantFrequency(audio.left, audio.sampleRate,
                                              pickSample() + kHostRate / 10, kHostRate / 2,
                                              expected * 0.8, expected * 1.25);
    const double cents = measured > 0.0 ? centsBetween(measured, expected) : 1e9;
    report(std::fabs(cents) <= kPitchToleranceCents,
           format("picked string: %.3f Hz for %.3f Hz, %+.2f cents", measured, expected, cents));
}

void checkAgainstReference(const StereoAudio& host, const StereoAudio& reference)
{
    const double hostLevel = rmsDecibels(host.left, 0, plannedLength());
    const double referenceLevel = rmsDecibels(reference.left, 0, plannedLength());
    report(std::fabs(hostLevel - referenceLevel) <= kLevelToleranceDb,
           format("level %.2f dBFS, render tool %.2f dBFS (%+.3f dB)", hostLevel, referenceLevel,
                  hostLevel - referenceLevel));
    std::printf("info largest sample difference from the render tool: %g\n",
                largestDifference(host.left, reference.left, plannedLength()));
}

void checkReopened(const StereoAudio& host, const StereoAudio& reopened,
                   const std::string& setPath, const std::string& reopenedPath)
{
    const std::map<int, double> before = readParameters(setPath);
    const std::map<int, double> after = readParameters(reopenedPath);
    report(before.size() == 77 && after.size() == 77,
           format("77 parameters read before saving (%.0f) and after reopening (%.0f)",
                  before.size(), after.size()));
    for (const PlannedParameter& planned : plannedParameters()) {
        const auto found = before.find(planned.index);
        if (found == before.end() || std::fabs(found->second - planned.value) > 1e-7) {
            report(false, format("parameter %.0f reads %g after setting %g", planned.index,
                                 found == before.end() ? NAN : found->second, planned.value));
        }
    }
    int changed = 0;
    for (const auto& [index, value] : before) {
        // 74 and 76 report the selected chord, which a new instance starts again at 0.
        const auto found = after.find(index);
        if (index != 74 && index != 76 && (found == after.end() || found->second != value)) {
            std::printf("info parameter %d: %g before saving, %g after reopening\n", index, value,
                        found == after.end() ? NAN : found->second);
            ++changed;
        }
    }
    report(changed == 0, format("chords and sound set survive save and reopen (%.0f differ)",
                                changed));
    const auto soundSet = after.find(75);
    report(soundSet != after.end() && soundSet->second == 1.0,
           "the reopened session reads the electric sound set from parameter 75");
    for (int index : {74, 76}) {
        const auto found = after.find(index);
        if (found != after.end()) {
            std::printf("info parameter %d after reopening: %g\n", index, found->second);
        }
    }
    checkSignal(reopened, "reopened render");
    const float difference = largestDifference(host.left, reopened.left, plannedLength());
    report(difference <= kSameAudio,
           format("the reopened session plays the same audio (largest difference %g)",
                  difference));
}

bool load(const std::string& path, StereoAudio& audio)
{
    std::string error;
    if (!readStereo(path, audio, error)) {
        std::fprintf(stderr, "lyrevane-ardour-check: %s\n", error.c_str());
        return false;
    }
    return true;
}

int plan(const std::string& folder)
{
    std::string error;
    if (!writeMidiFile(folder + "/plan.mid", error) ||
        !writeLuaTables(folder + "/plan.lua", error) ||
        !writeRenderArguments(folder + "/render-args.txt", error)) {
        std::fprintf(stderr, "lyrevane-ardour-check: %s\n", error.c_str());
        return 2;
    }
    return 0;
}

int verify(char** paths)
{
    StereoAudio host, reopened, reference;
    if (!load(paths[0], host) || !load(paths[1], reopened) || !load(paths[2], reference)) {
        return 2;
    }
    checkSignal(host, "host render");
    checkStrumOnsets(host, reference);
    checkPickedPitch(host);
    checkAgainstReference(host, reference);
    checkReopened(host, reopened, paths[3], paths[4]);
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

// The plan's parameter edits as the LV2 plug-in's control values.
int lv2Controls()
{
    for (const PlannedParameter& parameter : plannedParameters()) {
        const uint32_t port = parameter.index == kSoundSetParameter
                                  ? lv2ports::kSoundSet
                                  : lv2ports::kFirstString + static_cast<uint32_t>(parameter.index);
        const int32_t value = lv2ports::isStringPort(port)
                                  ? controls::fretOfParameter(parameter.value)
                                  : static_cast<int32_t>(parameter.value);
        std::printf("%s=%d\n", lv2ports::portSymbol(port).c_str(), value);
    }
    return 0;
}

// A recording made live through a real-time host starts when the first key was sent (or the
// transport started); the instrument answers a round trip later, which is measured here and
// taken off before the recording is held against the reference.
bool takeOffRoundTrip(StereoAudio& live, const StereoAudio& reference, const char* from)
{
    const int64_t length = std::min<int64_t>(live.left.size(), reference.left.size());
    const int64_t liveStart = firstDivergence(live.left, 0, live.left, -1, length, 1e-6f);
    const int64_t referenceStart =
        firstDivergence(reference.left, 0, reference.left, -1, length, 1e-6f);
    const int64_t roundTrip = liveStart - referenceStart;
    report(liveStart >= 0 && referenceStart >= 0 && roundTrip >= 0,
           std::string("round trip, ") + from +
               format(" to sound out: %.0f samples", static_cast<double>(roundTrip)));
    if (roundTrip < 0 || liveStart < 0) return false;
    live.left.erase(live.left.begin(), live.left.begin() + roundTrip);
    live.right.erase(live.right.begin(), live.right.begin() + roundTrip);
    return true;
}

int verifyLive(char** paths)
{
    StereoAudio live, reference;
    if (!load(paths[0], live) || !load(paths[1], reference)) return 2;
    if (!takeOffRoundTrip(live, reference, "keys in")) return 1;
    checkSignal(live, "live recording");
    checkStrumOnsets(live, reference);
    checkPickedPitch(live);
    checkAgainstReference(live, reference);
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

// A preset chosen in the host against the module with the same set's program file: the
// parameters the host reads hold the program's values, and the audio is the same to the bit.
int verifyPreset(char** paths)
{
    StereoAudio host, reference;
    if (!load(paths[0], host) || !load(paths[1], reference)) return 2;
    std::ifstream file(paths[3], std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    std::string error;
    const std::optional<presets::Program> program = presets::decodeProgram(bytes, error);
    if (!program) {
        std::fprintf(stderr, "lyrevane-ardour-check: %s: %s\n", paths[3], error.c_str());
        return 2;
    }
    const std::map<int, double> read = readParameters(paths[2]);
    int differing = 0;
    for (int index = 0; index < 76; ++index) {
        // 72 to 74 hold no setting; a string and the sound set read back what the program set.
        if (index >= 72 && index != 75) continue;
        const auto found = read.find(index);
        if (found == read.end() || std::fabs(found->second - program->values[index]) > 1e-7) {
            std::printf("info parameter %d reads %g, the program holds %g\n", index,
                        found == read.end() ? NAN : found->second, program->values[index]);
            ++differing;
        }
    }
    report(differing == 0, "the host's preset \"" + program->name +
                               "\" sets every string and the sound set as its program file");
    checkSignal(host, "host render with the preset");
    const float difference = largestDifference(host.left, reference.left, plannedLength());
    report(difference == 0.0f,
           format("the render tool with the program file plays the same samples (largest "
                  "difference %g)",
                  difference));
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

// The held chords of SONG.mid (keys in the chord zone, its own tempo) played with a strum
// pattern: the keys as Lua tables for the feed at 48 kHz, the session's tempo, the LV2
// controls by the host's numbers (control ports counted from the first string), and the
// render tool's options for the same through the bundle.
int patternPlan(const std::string& folder, const std::string& songPath, int pattern)
{
    std::string error;
    const std::optional<smf::MidiFile> song = smf::MidiFile::load(songPath, error);
    if (!song || song->events().empty()) {
        std::fprintf(stderr, "lyrevane-ardour-check: %s\n", error.c_str());
        return 2;
    }
    const smf::TempoMap& tempo = song->tempoMap();
    const int64_t length =
        std::llround((tempo.secondsAtTick(song->events().back().tick) + 1.0) * kHostRate);
    FILE* lua = std::fopen((folder + "/plan.lua").c_str(), "w");
    if (!lua) return 2;
    std::fprintf(lua, "PLAN_LENGTH = %lld\nPLAN_TEMPO = %.9g\nPLAN_EVENTS = {\n",
                 static_cast<long long>(length), tempo.beatsPerMinuteAtSeconds(0.0));
    for (const smf::ChannelEvent& event : song->events()) {
        std::fprintf(lua, "  { %lld, %d, %d, %d },\n",
                     static_cast<long long>(std::llround(tempo.secondsAtTick(event.tick) * kHostRate)),
                     event.status, event.data1, event.data2);
    }
    const auto control = [](uint32_t port) { return static_cast<int>(port - lv2ports::kFirstString); };
    std::fprintf(lua, "}\nPLAN_PARAMS = {}\nPLAN_PORTS = { { %d, 1 }, { %d, %d } }\n",
                 control(lv2ports::kChordInput), control(lv2ports::kPattern), pattern);
    const bool written = std::fclose(lua) == 0;
    std::ofstream args(folder + "/render-args.txt");
    args << "--lv2\n--port\nchord_input=1\n--port\npattern=" << pattern << "\n";
    return written && args ? 0 : 2;
}

// Ardour's render of the pattern against the render tool's through the bundle, which plays
// every stroke on its sample of the beat grid; and the session reopened with its controls.
int verifyPattern(char** paths)
{
    StereoAudio host, reopened, reference;
    if (!load(paths[0], host) || !load(paths[1], reopened) || !load(paths[2], reference)) {
        return 2;
    }
    const int64_t length =
        std::min<int64_t>({static_cast<int64_t>(host.left.size()),
                           static_cast<int64_t>(reference.left.size()),
                           static_cast<int64_t>(reopened.left.size())});
    const float peak = peakLevel(host.left, 0, length);
    report(peak > 1e-2f, format("the pattern sounds in Ardour (peak %.3f)", peak));
    // Where Ardour's render first parts from the render tool's: the strokes fall on the same
    // samples when it never does.
    const int64_t parted = firstDivergence(host.left, 0, reference.left, 0, length, kSameAudio);
    report(parted < 0, format("every stroke on the render tool's beat grid (first difference at "
                              "sample %.0f of %.0f)", parted, length));
    std::printf("info largest sample difference from the render tool: %g\n",
                largestDifference(host.left, reference.left, length));
    report(largestDifference(host.left, reopened.left, length) <= kSameAudio,
           "the reopened session plays the same");
    const std::map<int, double> set = readParameters(paths[3], "PORT");
    const std::map<int, double> kept = readParameters(paths[4], "PORT");
    report(set.size() == 2 && set == kept,
           format("the pattern's controls kept through saving and reopening (%.0f of %.0f)",
                  kept.size(), set.size()));
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

// A song recorded live from the transport's start against the render tool's render of it:
// the same samples once the round trip is taken off.
int verifyLiveSong(char** paths)
{
    StereoAudio live, reference;
    if (!load(paths[0], live) || !load(paths[1], reference)) return 2;
    if (!takeOffRoundTrip(live, reference, "transport start")) return 1;
    const int64_t compared = std::min<int64_t>(live.left.size(), reference.left.size());
    report(peakLevel(live.left, 0, compared) > 1e-2f, "the live recording sounds");
    const int64_t parted = firstDivergence(live.left, 0, reference.left, 0, compared, kSameAudio);
    report(parted < 0, format("every stroke where the render tool plays it (first difference at "
                              "sample %.0f of %.0f)", parted, compared));
    std::printf("info largest sample difference from the render tool: %g\n",
                largestDifference(live.left, reference.left, compared));
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "plan" && argc == 3) {
        return plan(argv[2]);
    }
    if (command == "verify" && argc == 7) {
        return verify(argv + 2);
    }
    if (command == "lv2-controls" && argc == 2) {
        return lv2Controls();
    }
    if (command == "verify-live" && argc == 4) {
        return verifyLive(argv + 2);
    }
    if (command == "verify-preset" && argc == 6) {
        return verifyPreset(argv + 2);
    }
    if (command == "pattern-plan" && argc == 5) {
        return patternPlan(argv[2], argv[3], std::atoi(argv[4]));
    }
    if (command == "verify-pattern" && argc == 7) {
        return verifyPattern(argv + 2);
    }
    if (command == "verify-live-song" && argc == 4) {
        return verifyLiveSong(argv + 2);
    }
    std::fprintf(stderr,
                 "usage: lyrevane-ardour-check plan DIR\n"
                 "       lyrevane-ardour-check verify HOST.wav REOPENED.wav REFERENCE.wav "
                 "PARAMS_SET PARAMS_REOPENED\n"
                 "       lyrevane-ardour-check lv2-controls\n"
                 "       lyrevane-ardour-check verify-live LIVE.wav REFERENCE.wav\n"
                 "       lyrevane-ardour-check verify-preset HOST.wav REFERENCE.wav PARAMS "
                 "PROGRAM.fxp\n");
    return 2;
}
