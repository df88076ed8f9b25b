// The Qtractor host test's helper: writes the song's MIDI file, makes and compares the
// CLAP edition's state as Qtractor's session keeps it (zlib-compressed after a 4-byte
// big-endian length; the script does the base64), and checks Qtractor's recording against
// the render tool's.
//   lyrevane-qtractor-check plan DIR
//   lyrevane-qtractor-check state PLUGIN.clap CHORD-SET OUT.bin
//   lyrevane-qtractor-check same-state PLUGIN.clap A.bin B.bin
//   lyrevane-qtractor-check verify RECORDING.wav REFERENCE.wav
#include <sndfile.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/PlektraParameters.h"
#include "instrument/Controls.h"
#include "presets/FactoryChordSets.h"
#include "tests/support/AudioChecks.h"
#include "tests/support/HostRecording.h"
#include "tests/support/HostTestPlan.h"
#include "tools/ClapHost.h"
#include "tools/Keys.h"

using namespace ardourtest;

namespace {

constexpr int kRate = 48000;
constexpr int kDivision = 480;  // at 120 beats per minute a tick is 50 samples
constexpr int kSamplesPerTick = 50;
constexpr uint8_t kVelocity = 100;
constexpr int kKeyTicks = kDivision / 2;
// E major chosen, its highest string picked alone, then the chord strummed down to ring on.
constexpr uint8_t kEMajorKey = keys::kFirstChordKey + 4;
struct Key
{
    int tick;
    uint8_t key;
};
constexpr Key kKeys[] = {{kDivision, kEMajorKey},
                         {2 * kDivision, keys::kPickKeys[5]},
                         {6 * kDivision, keys::kStrumDownKey}};
constexpr int kSongTicks = 11 * kDivision;
// jack_capture starts within a couple of periods of Qtractor's frame 0, before or after it;
// the recording gets this much silence in front, and the first sounds are lined up within
// twice that. The song's first sound comes two seconds in.
constexpr int64_t kLead = 4 * 1024;
constexpr int64_t kLargestOffset = 2 * kLead;
// In the chord set the session's state chooses, the E key's chord has G on its top string.
constexpr int kPickedOfChordSet = 67;

int fail(const std::string& message)
{
    std::fprintf(stderr, "lyrevane-qtractor-check: %s\n", message.c_str());
    return 2;
}

int plan(const std::string& folder)
{
    std::vector<TickedMessage> messages;
    for (const Key& key : kKeys) {
        messages.push_back({key.tick, keys::kNoteOn, key.key, kVelocity});
        messages.push_back({key.tick + kKeyTicks, 0x80, key.key, 0});
    }
    std::string error;
    if (!writeMidiTrack(folder + "/song.mid", kDivision, messages, error)) return fail(error);
    return 0;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in) || in.eof();
}

bool startPlugin(harness::ClapHost& host, const std::string& plugin, std::string& error)
{
    return host.load(plugin, "", kRate, 1024, error);
}

// The plug-in's state with a factory chord set, as Qtractor stores it.
int makeState(const std::string& plugin, const std::string& setName, const std::string& out)
{
    std::string error;
    harness::ClapHost host;
    if (!startPlugin(host, plugin, error)) return fail(error);
    const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
    const presets::ChordSet* set = presets::findChordSet(sets, setName);
    if (set == nullptr) return fail("no chord set " + setName);
    const presets::ParameterValues values = presets::parameterValuesOf(*set);
    // As the render tool's --chord-set sets them: each string in frets, and the sound set.
    for (int32_t index = 0; index < kChordParameterCount; ++index) {
        host.setParameter(controls::kFirstString + static_cast<uint32_t>(index),
                          controls::fretOfParameter(values[index]));
    }
    host.setParameter(controls::kSoundSet, values[kSoundSetParameter] != 0.0f ? 1.0 : 0.0);
    float left[16], right[16];
    host.run(nullptr, {}, 16, nullptr, left, right);
    std::vector<uint8_t> state;
    if (!host.saveState(state)) return fail("the plug-in saved no state");
    uLongf packedSize = compressBound(state.size());
    std::vector<uint8_t> packed(4 + packedSize);
    const auto size = static_cast<uint32_t>(state.size());
    packed[0] = uint8_t(size >> 24);
    packed[1] = uint8_t(size >> 16);
    packed[2] = uint8_t(size >> 8);
    packed[3] = uint8_t(size);
    if (compress(packed.data() + 4, &packedSize, state.data(), state.size()) != Z_OK) {
        return fail("zlib could not compress the state");
    }
    packed.resize(4 + packedSize);
    std::ofstream file(out, std::ios::binary);
    file.write(reinterpret_cast<const char*>(packed.data()), std::streamsize(packed.size()));
    return file ? 0 : fail("cannot write " + out);
}

// Every control of the plug-in after loading a stored state into it.
bool controlsOf(const std::string& plugin, const std::string& path, std::vector<double>& values,
                std::string& error)
{
    std::vector<uint8_t> packed;
    if (!readFile(path, packed) || packed.size() < 4) {
        error = path + " holds no stored state";
        return false;
    }
    uLongf size = (uLongf(packed[0]) << 24) | (packed[1] << 16) | (packed[2] << 8) | packed[3];
    std::vector<uint8_t> state(size);
    if (uncompress(state.data(), &size, packed.data() + 4, packed.size() - 4) != Z_OK) {
        error = path + ": not zlib data";
        return false;
    }
    harness::ClapHost host;
    if (!startPlugin(host, plugin, error)) return false;
    if (!host.loadState(state)) {
        error = path + ": the plug-in refused the state";
        return false;
    }
    float left[16], right[16];
    host.run(nullptr, {}, 16, nullptr, left, right);
    for (const harness::ClapParameter& parameter : host.parameters()) {
        double value = 0.0;
        host.parameterValue(parameter.id, value);
        if (!(parameter.flags & clapabi::kParamIsReadOnly)) values.push_back(value);
    }
    return true;
}

int sameState(const std::string& plugin, const std::string& a, const std::string& b)
{
    std::vector<double> first, second;
    std::string error;
    if (!controlsOf(plugin, a, first, error) || !controlsOf(plugin, b, second, error)) {
        return fail(error);
    }
    if (first != second) {
        std::printf("FAIL the state Qtractor saved differs from the one it loaded\n");
        return 1;
    }
    std::printf("ok   the state survives Qtractor's save (%zu controls)\n", first.size());
    return 0;
}

int verify(const std::string& recordingPath, const std::string& referencePath)
{
    StereoAudio recording;
    std::string error;
    if (!readStereo(recordingPath, recording, error)) return fail(error);
    const std::string leadPath = recordingPath + ".lead.wav";
    SF_INFO info{};
    info.samplerate = recording.sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* out = sf_open(leadPath.c_str(), SFM_WRITE, &info);
    if (out == nullptr) return fail("cannot write " + leadPath);
    std::vector<float> frames(2 * (kLead + recording.left.size()), 0.0f);
    for (size_t i = 0; i < recording.left.size(); ++i) {
        frames[2 * (kLead + i)] = recording.left[i];
        frames[2 * (kLead + i) + 1] = recording.right[i];
    }
    sf_writef_float(out, frames.data(), sf_count_t(frames.size() / 2));
    sf_close(out);
    const KeyedSong song{kRate,
                         int64_t(kSongTicks) * kSamplesPerTick,
                         int64_t(kKeys[1].tick) * kSamplesPerTick,
                         kPickedOfChordSet,
                         int64_t(kKeys[2].tick) * kSamplesPerTick,
                         kLargestOffset};
    const int failures = compareRecording(leadPath, referencePath, song);
    if (failures < 0) return 2;
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && args[0] == "plan") return plan(args[1]);
    if (args.size() == 4 && args[0] == "state") return makeState(args[1], args[2], args[3]);
    if (args.size() == 4 && args[0] == "same-state") return sameState(args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == "verify") return verify(args[1], args[2]);
    std::fprintf(stderr, "usage: lyrevane-qtractor-check plan DIR\n"
                         "       lyrevane-qtractor-check state PLUGIN.clap CHORD-SET OUT.bin\n"
                         "       lyrevane-qtractor-check same-state PLUGIN.clap A.bin B.bin\n"
                         "       lyrevane-qtractor-check verify RECORDING.wav REFERENCE.wav\n");
    return 64;
}
