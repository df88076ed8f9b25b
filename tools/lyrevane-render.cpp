// lyrevane-render: a command-line host that plays a Standard MIDI File through a VST 2.4
// instrument module (or Lyrevane's LV2 bundle) into a WAV file, or photographs the module's
// editor.
#include "platform/LoadableModule.h"
#include "presets/FactoryChordSets.h"
#include "presets/ProgramFile.h"
#include "tools/Keys.h"
#include "tools/MidiFile.h"
#include "tools/PluginHost.h"
#include "tools/Snapshot.h"
#if LYREVANE_RENDER_LV2
#include "lv2/Lv2Ports.h"
#include "tools/Lv2BundleHost.h"
#endif
#if LYREVANE_RENDER_CLAP
#include "tools/ClapRender.h"
#endif

#include <sndfile.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: lyrevane-render [--plugin PATH] [--rate HZ] [--block N] [--preset FILE.fxp]\n"
    "                       [--chord-set NAME] [--param INDEX=VALUE]... [--tail SECONDS]\n"
    "                       [--float] IN.mid OUT.wav\n"
    "       lyrevane-render [--plugin PATH] [--preset FILE.fxp] [--chord-set NAME]\n"
    "                       [--param INDEX=VALUE]... [--chord N] [--scale S]\n"
    "                       --snapshot FILE.png\n"
    "       lyrevane-render --lv2 [--plugin BUNDLE] [--rate HZ] [--block N] [--chord-set NAME]\n"
    "                       [--port NAME=VALUE]... [--tempo BPM] [--tail SECONDS] [--float]\n"
    "                       IN.mid OUT.wav\n"
    "       lyrevane-render --clap [--plugin FILE.clap] [--rate HZ] [--block N]\n"
    "                       [--chord-set NAME] [--port NAME=VALUE]... [--tempo BPM]\n"
    "                       [--tail SECONDS] [--float] IN.mid OUT.wav\n"
    "--preset applies a VST program file, --chord-set a factory chord set by name (its\n"
    "name in any case: 'G major', 'blues in e'); --param values are set after either.\n"
    "--scale shows the panel at S device pixels per pixel (1 to 4), as a host asks.\n"
    "--lv2 renders through the LV2 bundle (by default the one built or installed with the\n"
    "tool, else the first Lyrevane.lv2 in LV2_PATH, ~/.lv2, /usr/local/lib/lv2 or\n"
    "/usr/lib/lv2), the song's tempo as the host's rolling transport; --port sets a port by\n"
    "its symbol (pattern=3, chord_input=1, humanise_time=12). --tempo plays the song at one\n"
    "tempo.\n"
    "--clap renders through the CLAP edition (by default the Lyrevane.clap built or\n"
    "installed with the tool, else the first in CLAP_PATH, ~/.clap, /usr/local/lib/clap or\n"
    "/usr/lib/clap) as a CLAP host plays it; --port sets a control by its name or symbol.\n";

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr double kLongestRenderSeconds = 3600.0;
// Anything quieter than one step of a 16-bit file is silence to a listener and to the file.
constexpr float kSilenceThreshold = 1.0f / 32768.0f;

// Full scale maps to 32767, as 16-bit WAV writers do; beyond it the sample clips. Rounds
// half away from zero with a truncating conversion, which the compiler vectorises.
int16_t toPcm16(float sample)
{
    // In this order of the arguments a NaN clamps to -32768, so no sample makes the
    // conversion undefined.
    const float scaled = std::min(32767.0f, std::max(-32768.0f, sample * 32767.0f));
    return static_cast<int16_t>(static_cast<int32_t>(scaled + std::copysign(0.5f, scaled)));
}

// The magnitude of a float as its bit pattern: for magnitudes these order like the values,
// and every infinity or NaN lies at or above kNotFiniteBits. Signed maxima of these
// non-negative values vectorise with the oldest vector instructions.
constexpr int32_t kNotFiniteBits = 0x7F800000;
int32_t magnitudeBits(float sample)
{
    int32_t bits;
    std::memcpy(&bits, &sample, sizeof bits);
    return bits & 0x7FFFFFFF;
}

// The block as 16-bit frames, and its largest magnitude as bits (see magnitudeBits), in one
// pass. Linux builds pick the variant for the processor's widest vectors when the tool loads.
#if defined(__linux__)
__attribute__((target_clones("avx2", "default")))
#endif
int32_t interleavePcm16(const float* left, const float* right, int frames, int16_t* to)
{
    int32_t loudest = 0;
    for (int i = 0; i < frames; ++i) {
        loudest = std::max(loudest, std::max(magnitudeBits(left[i]), magnitudeBits(right[i])));
        to[2 * i] = toPcm16(left[i]);
        to[2 * i + 1] = toPcm16(right[i]);
    }
    return loudest;
}

// Frames collected before each write to the file.
constexpr int kFramesPerWrite = 16384;
constexpr int kChordCount = 12;
constexpr double kChordSelectionSeconds = 0.1;

struct Options {
    std::string plugin;
    double rate = 44100.0;
    int block = 512;
    double tail = 3.0;
    bool floatOutput = false;
    std::vector<std::pair<int, float>> parameters;
    std::string preset;    // a program file to apply
    std::string chordSet;  // or a factory set's name
    int chord = -1;  // -1: leave the selection alone
    double scale = 0.0;  // 0: the scale the module chooses itself
    std::string snapshot;
    std::vector<std::string> files;
    bool lv2 = false;
    bool clap = false;
    std::vector<std::pair<std::string, float>> ports;  // LV2 port symbol and value
    double tempo = 0.0;                                 // beats per minute; 0: the song's
};

struct TimedEvent {
    int64_t sample;
    uint8_t bytes[3];
};

using harness::PluginHost;

int fail(const std::string& message)
{
    std::fprintf(stderr, "lyrevane-render: %s\n", message.c_str());
    return kExitFailure;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "lyrevane-render: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

bool parseNumber(const std::string& text, double minimum, double maximum, double& out)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < minimum ||
        value > maximum) {
        return false;
    }
    out = value;
    return true;
}

bool parseInteger(const std::string& text, long minimum, long maximum, int& out)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < minimum || value > maximum) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool parseParameter(const std::string& text, std::pair<int, float>& out)
{
    const size_t equals = text.find('=');
    double value = 0.0;
    if (equals == std::string::npos ||
        !parseInteger(text.substr(0, equals), 0, INT_MAX, out.first) ||
        !parseNumber(text.substr(equals + 1), -1e30, 1e30, value)) {
        return false;
    }
    out.second = static_cast<float>(value);
    return true;
}

// An empty error means success; "help" asks for the usage text.
std::string parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return "help";
        }
        if (arg == "--float") {
            options.floatOutput = true;
            continue;
        }
        if (arg == "--lv2") {
            options.lv2 = true;
            continue;
        }
        if (arg == "--clap") {
            options.clap = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            options.files.push_back(arg);
            continue;
        }
        if (i + 1 >= argc) {
            return "option " + arg + " needs a value";
        }
        const std::string value = argv[++i];
        bool valid = true;
        if (arg == "--plugin") {
            options.plugin = value;
        } else if (arg == "--rate") {
            valid = parseNumber(value, 8000.0, 384000.0, options.rate) &&
                    options.rate == std::floor(options.rate);
        } else if (arg == "--block") {
            valid = parseInteger(value, 1, 65536, options.block);
        } else if (arg == "--tail") {
            valid = parseNumber(value, 0.0, 600.0, options.tail);
        } else if (arg == "--param") {
            options.parameters.emplace_back();
            valid = parseParameter(value, options.parameters.back());
        } else if (arg == "--preset") {
            options.preset = value;
        } else if (arg == "--chord-set") {
            options.chordSet = value;
        } else if (arg == "--chord") {
            valid = parseInteger(value, 0, kChordCount - 1, options.chord);
        } else if (arg == "--scale") {
            valid = parseNumber(value, 1.0, 4.0, options.scale);
        } else if (arg == "--snapshot") {
            options.snapshot = value;
        } else if (arg == "--port") {
            const size_t equals = value.find('=');
            double number = 0.0;
            valid = equals != std::string::npos && equals > 0 &&
                    parseNumber(value.substr(equals + 1), -1e30, 1e30, number);
            options.ports.emplace_back(value.substr(0, equals), static_cast<float>(number));
        } else if (arg == "--tempo") {
            valid = parseNumber(value, 1.0, 1000.0, options.tempo);
        } else {
            return "unknown option " + arg;
        }
        if (!valid) {
            return "invalid value '" + value + "' for " + arg;
        }
    }
    if (!options.preset.empty() && !options.chordSet.empty()) {
        return "--preset and --chord-set both choose the chords; give one of them";
    }
    if (options.lv2 && options.clap) {
        return "--lv2 and --clap both choose the plug-in; give one of them";
    }
    if (options.clap && (!options.parameters.empty() || !options.preset.empty() ||
                         !options.snapshot.empty())) {
        return "--clap takes --chord-set and --port NAME=VALUE, not --param, --preset or "
               "--snapshot";
    }
    if (options.lv2 && !options.parameters.empty()) {
        return "--param sets the VST module's parameters; with --lv2 use --port NAME=VALUE";
    }
    if (options.lv2 && !options.preset.empty()) {
        return "--preset loads a VST program file; with --lv2 use --chord-set NAME";
    }
    if (options.lv2 && !options.snapshot.empty()) {
        return "--snapshot photographs the VST module's panel; it takes no --lv2";
    }
    if (!options.lv2 && !options.clap && !options.ports.empty()) {
        return "--port sets an LV2 port or a CLAP control; give --lv2 or --clap too";
    }
    const size_t expectedFiles = options.snapshot.empty() ? 2 : 0;
    if (options.files.size() != expectedFiles) {
        return options.snapshot.empty() ? "expected IN.mid and OUT.wav"
                                        : "--snapshot takes no MIDI or WAV file";
    }
    return "";
}

// The module beside the tool (in a build, or the Windows folders), else the one installed
// with it (the install puts the module elsewhere, at a path it gives relative to the tool).
std::string defaultPluginPath()
{
    const std::string executable = platform::executablePath();
    const size_t folderEnd = executable.find_last_of("/\\");
    if (folderEnd == std::string::npos) {
        return platform::kModuleFileName;
    }
    const std::string folder = executable.substr(0, folderEnd + 1);
    std::string beside = folder + platform::kModuleFileName;
#ifdef LYREVANE_INSTALLED_MODULE
    std::error_code error;
    if (!std::filesystem::exists(beside, error)) {
        return folder + LYREVANE_INSTALLED_MODULE;
    }
#endif
    return beside;
}

bool stderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

std::vector<TimedEvent> eventsAtSamples(const smf::MidiFile& file, const smf::TempoMap& tempoMap,
                                        double rate)
{
    std::vector<TimedEvent> events;
    events.reserve(file.events().size());
    for (const smf::ChannelEvent& event : file.events()) {
        const double seconds = tempoMap.secondsAtTick(event.tick);
        events.push_back({std::llround(seconds * rate), {event.status, event.data1, event.data2}});
    }
    return events;
}

VstTimeInfo timeAt(const smf::TempoMap& tempoMap, int64_t sample, double rate, bool first)
{
    VstTimeInfo time{};
    const double seconds = sample / rate;
    time.samplePos = static_cast<double>(sample);
    time.sampleRate = rate;
    time.ppqPos = tempoMap.quartersAtSeconds(seconds);
    time.tempo = tempoMap.beatsPerMinuteAtSeconds(seconds);
    time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid |
                 (first ? kVstTransportChanged : 0);
    return time;
}

class Progress
{
public:
    explicit Progress(int64_t total) : total_(total), enabled_(stderrIsTerminal()) {}

    void update(int64_t done)
    {
        const int percent = static_cast<int>(done * 100 / std::max<int64_t>(total_, 1));
        if (enabled_ && percent != shown_) {
            shown_ = percent;
            std::fprintf(stderr, "\rrendering %3d%%", percent);
            if (done >= total_) {
                std::fprintf(stderr, "\r              \r");
            }
        }
    }

private:
    int64_t total_;
    bool enabled_;
    int shown_ = -1;
};

// Plays one block through the plug-in: the block's first sample in the song, its length,
// its events at their offsets, and where its audio goes.
using PlayBlock = std::function<void(int64_t start, int frames,
                                     const std::vector<harness::MidiEvent>& events, float* left,
                                     float* right)>;

// The VST module, answering its time requests with the song's position.
PlayBlock playingModule(PluginHost& host, const smf::TempoMap& tempoMap, double rate)
{
    return [&host, &tempoMap, rate](int64_t start, int frames,
                                    const std::vector<harness::MidiEvent>& events, float* left,
                                    float* right) {
        // The time record answers the module's time requests during this block.
        host.timeInfo = timeAt(tempoMap, start, rate, start == 0);
        if (!events.empty()) {
            host.sendMidi(events);
        }
        host.process(left, right, frames);
    };
}

// Plays the events through the plug-in in blocks, each event at its exact sample. The sink
// receives every block and may stop the render by returning false.
bool renderEvents(const PlayBlock& play, const std::vector<TimedEvent>& events,
                  int64_t totalFrames, int blockSize,
                  const std::function<bool(const float*, const float*, int)>& sink)
{
    std::vector<float> left(blockSize);
    std::vector<float> right(blockSize);
    std::vector<harness::MidiEvent> blockEvents;
    Progress progress(totalFrames);
    size_t next = 0;
    for (int64_t start = 0; start < totalFrames; start += blockSize) {
        const int frames = static_cast<int>(std::min<int64_t>(blockSize, totalFrames - start));
        blockEvents.clear();
        for (; next < events.size() && events[next].sample < start + frames; ++next) {
            const uint8_t* bytes = events[next].bytes;
            blockEvents.push_back({static_cast<int32_t>(events[next].sample - start), bytes[0],
                                   bytes[1], bytes[2]});
        }
        play(start, frames, blockEvents, left.data(), right.data());
        if (!sink(left.data(), right.data(), frames)) {
            return false;
        }
        progress.update(start + frames);
    }
    return true;
}

// A program file far larger than any instrument's parameters is not read into memory.
constexpr std::streamoff kLargestProgramFile = 1 << 20;

// The program that --preset or --chord-set asks for, or none. On a fault error is set.
std::optional<presets::Program> chosenProgram(const Options& options, std::string& error)
{
    if (!options.chordSet.empty()) {
        const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
        const presets::ChordSet* set = presets::findChordSet(sets, options.chordSet);
        if (set == nullptr) {
            error = "no chord set is named '" + options.chordSet + "'; the sets are:";
            for (const presets::ChordSet& each : sets) {
                error += "\n  " + each.name;
            }
            return std::nullopt;
        }
        const presets::ParameterValues values = presets::parameterValuesOf(*set);
        return presets::Program{presets::kInstrumentUniqueId, presets::kInstrumentVersion,
                                set->name, {values.begin(), values.end()}};
    }
    if (options.preset.empty()) {
        return std::nullopt;
    }
    std::ifstream file(options.preset, std::ios::binary | std::ios::ate);
    if (!file) {
        error = "cannot read " + options.preset;
        return std::nullopt;
    }
    if (file.tellg() > kLargestProgramFile) {
        error = options.preset + ": far too large for a program file";
        return std::nullopt;
    }
    file.seekg(0);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    std::optional<presets::Program> program = presets::decodeProgram(bytes, error);
    if (!program) {
        error = options.preset + ": " + error;
    }
    return program;
}

std::unique_ptr<PluginHost> startModule(const Options& options, std::string& error)
{
    const std::optional<presets::Program> program = chosenProgram(options, error);
    if (!program && !error.empty()) {
        return nullptr;
    }
    const std::string path = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    auto host = std::make_unique<PluginHost>();
    host->recordCalls = false;
    if (!host->load(path) || !host->open()) {
        error = host->error();
        return nullptr;
    }
    host->startUp(static_cast<float>(options.rate), options.block);
    if (program) {
        const AEffect* effect = host->effect();
        if (program->uniqueId != effect->uniqueID) {
            error = options.preset + ": a program for another plug-in (unique id '" +
                    presets::fourCharacters(program->uniqueId) + "', this one is '" +
                    presets::fourCharacters(effect->uniqueID) + "')";
            return nullptr;
        }
        if (program->values.size() != size_t(host->parameterCount())) {
            error = options.preset + ": " + std::to_string(program->values.size()) +
                    " parameter values, but the module has " +
                    std::to_string(host->parameterCount());
            return nullptr;
        }
        // As a host loads a program: every parameter in order.
        for (size_t index = 0; index < program->values.size(); ++index) {
            host->setParameter(static_cast<int32_t>(index), program->values[index]);
        }
    }
    for (const auto& [index, value] : options.parameters) {
        if (index >= host->parameterCount()) {
            error = "parameter " + std::to_string(index) + " does not exist (the module has " +
                    std::to_string(host->parameterCount()) + ")";
            return nullptr;
        }
        host->setParameter(index, value);
    }
    return host;
}

#if LYREVANE_RENDER_LV2
// The bundle beside the tool in a build, or where the install put it, else the first
// installed where LV2 hosts look.
std::string defaultBundlePath()
{
    namespace fs = std::filesystem;
    std::vector<fs::path> places;
    const std::string executable = platform::executablePath();
    if (!executable.empty()) {
        const fs::path folder = fs::path(executable).parent_path();
        places.push_back(folder.parent_path() / "bundles");
#ifdef LYREVANE_INSTALLED_BUNDLE
        places.push_back((folder / LYREVANE_INSTALLED_BUNDLE).parent_path());
#endif
    }
    if (const char* lv2Path = std::getenv("LV2_PATH")) {
        const std::string folders = lv2Path;
        for (size_t from = 0; from <= folders.size();) {
            const size_t colon = std::min(folders.find(':', from), folders.size());
            if (colon > from) places.emplace_back(folders.substr(from, colon - from));
            from = colon + 1;
        }
    }
    if (const char* home = std::getenv("HOME")) {
        places.push_back(fs::path(home) / ".lv2");
    }
    places.emplace_back("/usr/local/lib/lv2");
    places.emplace_back("/usr/lib/lv2");
    for (const fs::path& place : places) {
        const fs::path bundle = place / "Lyrevane.lv2";
        std::error_code ignored;
        if (fs::exists(bundle / lv2ports::kDspBinary, ignored)) {
            return bundle.string();
        }
    }
    return "";
}

std::unique_ptr<harness::Lv2BundleHost> startBundle(const Options& options, std::string& error)
{
    const std::optional<presets::Program> program = chosenProgram(options, error);
    if (!program && !error.empty()) {
        return nullptr;
    }
    const std::string path = options.plugin.empty() ? defaultBundlePath() : options.plugin;
    if (path.empty()) {
        error = "no Lyrevane.lv2 bundle found; name one with --plugin BUNDLE";
        return nullptr;
    }
    auto bundle = std::make_unique<harness::Lv2BundleHost>();
    if (!bundle->load(path, options.rate, options.block, error)) {
        return nullptr;
    }
    if (program) {
        // A chord set as the LV2 ports hold it: each string in frets, and the sound set.
        for (int32_t index = 0; index < kChordParameterCount; ++index) {
            bundle->setPort(lv2ports::kFirstString + static_cast<uint32_t>(index),
                            static_cast<float>(controls::fretOfParameter(program->values[index])));
        }
        bundle->setPort(lv2ports::kSoundSet,
                        program->values[kSoundSetParameter] != 0.0f ? 1.0f : 0.0f);
    }
    for (const auto& [symbol, value] : options.ports) {
        if (!bundle->setPort(symbol, value)) {
            error = "the LV2 plug-in has no input port '" + symbol + "'";
            return nullptr;
        }
    }
    return bundle;
}

// The LV2 plug-in, told the song's position as hosts tell it: at the start and whenever the
// tempo changes, the transport rolling throughout.
PlayBlock playingBundle(harness::Lv2BundleHost& bundle, const smf::TempoMap& tempoMap,
                        double rate)
{
    double stated = -1.0;
    return [&bundle, &tempoMap, rate, stated](int64_t start, int frames,
                                              const std::vector<harness::MidiEvent>& events,
                                              float* left, float* right) mutable {
        const double seconds = start / rate;
        const harness::SongPosition position{start, tempoMap.quartersAtSeconds(seconds),
                                             tempoMap.beatsPerMinuteAtSeconds(seconds), true};
        const bool changed = position.beatsPerMinute != stated;
        stated = position.beatsPerMinute;
        bundle.run(changed ? &position : nullptr, events, frames, left, right);
    };
}
#endif

int renderToWave(const Options& options)
{
    const std::string& midiPath = options.files[0];
    const std::string& wavePath = options.files[1];
    std::string error;
    const std::optional<smf::MidiFile> song = smf::MidiFile::load(midiPath, error);
    if (!song) {
        return fail(error);
    }
    // --tempo plays the whole song at one tempo, its keys and its transport alike.
    const smf::TempoMap tempoMap =
        options.tempo > 0.0
            ? smf::TempoMap(song->tempoMap().ticksPerQuarter(),
                            {{0, static_cast<uint32_t>(std::llround(60e6 / options.tempo))}})
            : song->tempoMap();
    const std::vector<TimedEvent> events = eventsAtSamples(*song, tempoMap, options.rate);
    const double lastEvent = events.empty() ? 0.0 : events.back().sample / options.rate;
    if (lastEvent + options.tail > kLongestRenderSeconds) {
        return fail(midiPath + " plays for more than an hour; refusing to render it");
    }
    const int64_t totalFrames = (events.empty() ? 0 : events.back().sample + 1) +
                                std::llround(options.tail * options.rate);

    std::unique_ptr<PluginHost> host;
    PlayBlock play;
#if !LYREVANE_RENDER_LV2
    if (options.lv2) {
        return fail("this build of the tool renders through VST modules only");
    }
#else
    std::unique_ptr<harness::Lv2BundleHost> bundle;
    if (options.lv2) {
        bundle = startBundle(options, error);
        if (!bundle) {
            return fail(error);
        }
        play = playingBundle(*bundle, tempoMap, options.rate);
    }
#endif
#if LYREVANE_RENDER_CLAP
    std::unique_ptr<harness::ClapHost> clapHost;
    if (options.clap) {
        const std::optional<presets::Program> program = chosenProgram(options, error);
        const std::string path =
            options.plugin.empty() ? harness::defaultClapPath() : options.plugin;
        if (!program && !error.empty()) return fail(error);
        if (path.empty()) return fail("no Lyrevane.clap found; name one with --plugin FILE.clap");
        clapHost = harness::startClap(path, options.rate, options.block, program, options.ports,
                                      error);
        if (!clapHost) return fail(error);
        play = harness::playingClap(*clapHost, tempoMap, options.rate);
    }
#else
    if (options.clap) return fail("this build of the tool has no CLAP host");
#endif
    if (!play) {
        host = startModule(options, error);
        if (!host) {
            return fail(error);
        }
        play = playingModule(*host, tempoMap, options.rate);
    }

    SF_INFO info{};
    info.samplerate = static_cast<int>(options.rate);
    info.channels = 2;
    info.format = SF_FORMAT_WAV | (options.floatOutput ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
    SNDFILE* wave = sf_open(wavePath.c_str(), SFM_WRITE, &info);
    if (wave == nullptr) {
        return fail("cannot write " + wavePath + ": " + sf_strerror(nullptr));
    }
    // Samples are converted here rather than by the library: a plain loop the compiler
    // vectorises is several times faster, and rendering is meant to be far faster than
    // real time. 16-bit output clips loud peaks instead of wrapping, as the library would.
    // The library hands every call straight to the file system, so blocks are collected
    // into writes of about 64 KB: one system call per block cost more than the rendering.
    const int bufferFrames = std::max(kFramesPerWrite, options.block);
    std::vector<float> interleavedFloat(options.floatOutput ? 2 * size_t(bufferFrames) : 0);
    std::vector<int16_t> interleavedPcm(options.floatOutput ? 0 : 2 * size_t(bufferFrames));
    int pending = 0;
    auto writePending = [&] {
        const sf_count_t written =
            options.floatOutput ? sf_writef_float(wave, interleavedFloat.data(), pending)
                                : sf_writef_short(wave, interleavedPcm.data(), pending);
        if (written != pending) {
            error = "cannot write " + wavePath + ": " + sf_strerror(wave);
            return false;
        }
        pending = 0;
        return true;
    };
    float peak = 0.0f;
    bool rendered = renderEvents(
        play, events, totalFrames, options.block,
        [&](const float* left, const float* right, int frames) {
            if (pending + frames > bufferFrames && !writePending()) {
                return false;
            }
            int32_t loudest;
            if (options.floatOutput) {
                loudest = 0;
                float* to = interleavedFloat.data() + 2 * pending;
                for (int i = 0; i < frames; ++i) {
                    loudest = std::max(loudest, std::max(magnitudeBits(left[i]),
                                                         magnitudeBits(right[i])));
                    to[2 * i] = left[i];
                    to[2 * i + 1] = right[i];
                }
            } else {
                loudest = interleavePcm16(left, right, frames,
                                          interleavedPcm.data() + 2 * pending);
            }
            if (loudest >= kNotFiniteBits) {
                error = "the module produced samples that are not finite numbers";
                return false;
            }
            float blockPeak;
            std::memcpy(&blockPeak, &loudest, sizeof blockPeak);
            peak = std::max(peak, blockPeak);
            pending += frames;
            return true;
        });
    rendered = rendered && writePending();
    const bool closed = sf_close(wave) == 0;
    if (rendered && closed && peak < kSilenceThreshold) {
        error = "the render of " + midiPath + " is silent; no file written";
    } else if (rendered && !closed) {
        error = "cannot finish " + wavePath;
    }
    if (!rendered || !closed || peak < kSilenceThreshold) {
        std::remove(wavePath.c_str());
        return fail(error);
    }
    std::printf("wrote %s: %.1f s at %.0f Hz, %s, peak %.1f dBFS\n", wavePath.c_str(),
                totalFrames / options.rate, options.rate,
                options.floatOutput ? "32-bit float" : "16-bit", 20.0 * std::log10(peak));
    return 0;
}

int snapshotEditor(const Options& options)
{
    std::string error;
    std::unique_ptr<PluginHost> host = startModule(options, error);
    if (!host) {
        return fail(error);
    }
    if (options.chord >= 0) {
        // The panel follows the chord being played, so play the chord's key briefly.
        const auto key = static_cast<uint8_t>(keys::kFirstChordKey + options.chord);
        const std::vector<TimedEvent> press = {{0, {0x90, key, 100}}};
        const auto frames = static_cast<int64_t>(kChordSelectionSeconds * options.rate);
        const smf::TempoMap tempoMap;
        renderEvents(playingModule(*host, tempoMap, options.rate), press, frames, options.block,
                     [](const float*, const float*, int) { return true; });
    }
    if (options.scale != 0.0) {
        // As a host gives the panel's scale: the vendor-specific call, before the editor opens.
        host->dispatch(effVendorSpecific, fourCharCode('P', 'r', 'e', 'S'),
                       fourCharCode('A', 'e', 'C', 's'), nullptr,
                       static_cast<float>(options.scale));
    }
    if (!writeEditorSnapshot(*host, options.snapshot, error)) {
        return fail(error);
    }
    std::printf("wrote %s\n", options.snapshot.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const std::string problem = parseOptions(argc, argv, options);
    if (problem == "help") {
        std::printf("%s", kUsage);
        return 0;
    }
    if (!problem.empty()) {
        return usageError(problem);
    }
    return options.snapshot.empty() ? renderToWave(options) : snapshotEditor(options);
}
