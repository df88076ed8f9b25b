// lyrevane-render end to end: it is run as a separate process on the example files, with the
// module built beside it, and its WAV files are read back.
#include "presets/FactoryChordSets.h"
#include "presets/ProgramFile.h"
#include "tools/MidiFile.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kRender = LYREVANE_RENDER;
const std::string kExamples = LYREVANE_EXAMPLES_DIR;
const std::string kEchoModule = LYREVANE_ECHO_MODULE;
const std::string kGoldenReference = LYREVANE_GOLDEN_REFERENCE;
const fs::path kPrograms = LYREVANE_PROGRAMS;

struct Wave {
    int rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
};

Wave readWave(const fs::path& path)
{
    Wave wave;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return wave;
    }
    wave.rate = info.samplerate;
    wave.channels = info.channels;
    wave.samples.resize(static_cast<size_t>(info.frames) * info.channels);
    sf_readf_float(file, wave.samples.data(), info.frames);
    sf_close(file);
    return wave;
}

class RenderTool : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "lyrevane-render-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        directory_ = pattern;
    }

    void TearDown() override { fs::remove_all(directory_); }

    static bool moduleBuilt()
    {
        return fs::exists(fs::path(kRender).parent_path() / "Lyrevane.so");
    }

    fs::path path(const std::string& name) const { return directory_ / name; }

    // Runs the tool, after the shell commands in setUp if any; returns its exit code and
    // keeps what it wrote on stderr in errors_.
    int run(const std::string& arguments, const std::string& setUp = "")
    {
        const fs::path errors = path("stderr.txt");
        const std::string command =
            setUp + kRender + " " + arguments + " > /dev/null 2> " + errors.string();
        const int status = std::system(command.c_str());
        std::ifstream in(errors);
        errors_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void writeBytes(const fs::path& file, const std::vector<uint8_t>& bytes)
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    fs::path directory_;
    std::string errors_;
};

#define REQUIRE_MODULE()                                                     \
    if (!moduleBuilt()) {                                                    \
        GTEST_SKIP() << "Lyrevane.so is not built beside lyrevane-render"; \
    }

}  // namespace

// The echo module clicks at every note-on it receives and logs its calls, so the audio shows
// where each event landed and the log shows the host's calls and time records.
TEST_F(RenderTool, FeedsEveryEventAtItsExactSampleWithTheSongsTime)
{
    const std::string song = kExamples + "/song.mid";
    std::string error;
    const std::optional<smf::MidiFile> midi = smf::MidiFile::load(song, error);
    ASSERT_TRUE(midi) << error;
    const smf::TempoMap& tempo = midi->tempoMap();
    std::vector<size_t> noteOnFrames;
    for (const smf::ChannelEvent& event : midi->events()) {
        if ((event.status & 0xF0) == 0x90 && event.data2 > 0) {
            noteOnFrames.push_back(std::llround(tempo.secondsAtTick(event.tick) * 44100.0));
        }
    }
    noteOnFrames.erase(std::unique(noteOnFrames.begin(), noteOnFrames.end()), noteOnFrames.end());

    for (const int block : {64, 512, 4096}) {
        const fs::path out = path("echo.wav");
        const fs::path log = path("echo.log");
        setenv("LYREVANE_ECHO_LOG", log.c_str(), 1);
        ASSERT_EQ(run("--plugin " + kEchoModule + " --float --tail 0.1 --param 2=0.25 --block " +
                      std::to_string(block) + " " + song + " " + out.string()),
                  0)
            << errors_;
        unsetenv("LYREVANE_ECHO_LOG");

        const Wave wave = readWave(out);
        std::vector<size_t> clickFrames;
        for (size_t frame = 0; frame < wave.samples.size() / 2; ++frame) {
            if (wave.samples[2 * frame] != 0.0f) {
                clickFrames.push_back(frame);
            }
        }
        EXPECT_EQ(clickFrames, noteOnFrames) << "block " << block;

        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        ASSERT_GT(lines.size(), 7u);
        EXPECT_EQ(lines[0], "open");
        EXPECT_EQ(lines[1], "rate 44100");
        EXPECT_EQ(lines[2], "block-size " + std::to_string(block));
        EXPECT_EQ(lines[3], "mains 1");
        EXPECT_EQ(lines[4], "param 2 0.25");
        EXPECT_EQ(lines[lines.size() - 2], "mains 0");
        EXPECT_EQ(lines.back(), "close");
        const size_t frames = wave.samples.size() / 2;
        EXPECT_EQ(lines.size() - 7, (frames + block - 1) / block);
        for (size_t i = 5; i + 2 < lines.size(); ++i) {
            std::istringstream fields(lines[i]);
            std::string word;
            int count = 0;
            double position = 0.0, ppq = 0.0, bpm = 0.0;
            int changed = -1;
            fields >> word >> count >> word >> position >> word >> ppq >> word >> bpm >> word >>
                changed;
            const size_t start = (i - 5) * block;
            ASSERT_EQ(position, static_cast<double>(start)) << lines[i];
            EXPECT_EQ(count, static_cast<int>(std::min<size_t>(block, frames - start)));
            EXPECT_EQ(changed, i == 5 ? 1 : 0) << lines[i];
            EXPECT_NEAR(bpm, tempo.beatsPerMinuteAtSeconds(start / 44100.0), 1e-3);
            EXPECT_NEAR(ppq, tempo.quartersAtSeconds(start / 44100.0), 1e-5);
        }
    }
}

TEST_F(RenderTool, WorkedStrumGivesTwoIdenticalAudibleChannels)
{
    REQUIRE_MODULE();
    const fs::path out = path("worked.wav");
    ASSERT_EQ(run(kExamples + "/worked-strum.mid " + out.string()), 0) << errors_;
    const Wave wave = readWave(out);
    ASSERT_EQ(wave.channels, 2);
    EXPECT_EQ(wave.rate, 44100);
    // The last key is let go half a second in; three seconds of tail follow it.
    EXPECT_EQ(wave.samples.size() / 2, 22050u + 1 + 3 * 44100);
    float peak = 0.0f;
    for (size_t i = 0; i + 1 < wave.samples.size(); i += 2) {
        ASSERT_EQ(wave.samples[i], wave.samples[i + 1]) << "frame " << i / 2;
        peak = std::max(peak, std::fabs(wave.samples[i]));
    }
    EXPECT_GT(peak, 0.01f);
    // The first string starts with the key, at the very first block.
    EXPECT_TRUE(std::any_of(wave.samples.begin(), wave.samples.begin() + 2 * 460,
                            [](float x) { return x != 0.0f; }));
}

// The strum's strings fall mid-block and across many block boundaries at 64 frames. Chord and
// mute keys release ringing strings at the start of their block, so a file using them while
// strings ring would differ between block sizes by design; this one does not.
TEST_F(RenderTool, BlockSizeDoesNotChangeTheAudio)
{
    REQUIRE_MODULE();
    const std::string song = kExamples + "/worked-strum.mid";
    ASSERT_EQ(run("--float --tail 0.5 " + song + " " + path("512.wav").string()), 0) << errors_;
    const Wave reference = readWave(path("512.wav"));
    ASSERT_FALSE(reference.samples.empty());
    for (const char* block : {"64", "4096"}) {
        const fs::path out = path(std::string(block) + ".wav");
        ASSERT_EQ(run("--float --tail 0.5 --block " + std::string(block) + " " + song + " " +
                      out.string()),
                  0)
            << errors_;
        const Wave wave = readWave(out);
        ASSERT_EQ(wave.samples.size(), reference.samples.size()) << "block " << block;
        const auto mismatch =
            std::mismatch(wave.samples.begin(), wave.samples.end(), reference.samples.begin());
        EXPECT_TRUE(mismatch.first == wave.samples.end())
            << "block " << block << " differs first at frame "
            << (mismatch.first - wave.samples.begin()) / 2;
    }
}

TEST_F(RenderTool, BadInputEndsWithAMessageAndNoFile)
{
    const fs::path out = path("out.wav");
    const std::string song = kExamples + "/worked-strum.mid";
    writeBytes(path("garbage.mid"), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                                     'M', 'T', 'r', 'k', 0, 0, 0, 9, 0, 0x90});

    const struct {
        const char* what;
        std::string arguments;
        int exitCode;
        const char* message;
    } cases[] = {
        {"missing file", path("absent.mid").string() + " " + out.string(), 1, "absent.mid"},
        {"malformed file", path("garbage.mid").string() + " " + out.string(), 1, "garbage.mid"},
        {"unknown option", "--loud " + song + " " + out.string(), 2, "--loud"},
        {"bad block size", "--block 0 " + song + " " + out.string(), 2, "--block"},
        {"bad parameter", "--param 3 " + song + " " + out.string(), 2, "--param"},
        {"missing output", song, 2, "OUT.wav"},
        {"missing module", "--plugin " + path("none.so").string() + " " + song + " " +
                               out.string(), 1, "none.so"},
        {"not a module", "--plugin " + std::string("libm.so.6 ") + song + " " + out.string(), 1,
         "VSTPluginMain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.arguments), c.exitCode) << c.what << ": " << errors_;
        EXPECT_NE(errors_.find(c.message), std::string::npos) << c.what << ": " << errors_;
        EXPECT_FALSE(fs::exists(out)) << c.what;
    }

    REQUIRE_MODULE();
    const fs::path unwritable = path("no-such-folder") / "out.wav";
    EXPECT_EQ(run(song + " " + unwritable.string()), 1);
    EXPECT_NE(errors_.find("cannot write"), std::string::npos) << errors_;
    EXPECT_EQ(run("--param 77=0.5 " + song + " " + out.string()), 1);
    EXPECT_NE(errors_.find("parameter 77"), std::string::npos) << errors_;
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(RenderTool, AFileSystemFillingUpMidRenderIsAnErrorAndLeavesNoFile)
{
    REQUIRE_MODULE();
    // A file size limit of 100 KB makes a write fail part way, as a full disk would; with
    // the signal ignored the write reports the failure instead of ending the process.
    const std::string song = std::string(kExamples) + "/song.mid";
    const fs::path out = path("out.wav");
    for (const std::string format : {"", "--float "}) {
        EXPECT_EQ(run(format + song + " " + out.string(), "trap '' XFSZ; ulimit -f 200; "), 1)
            << format;
        EXPECT_NE(errors_.find("cannot write"), std::string::npos) << format << errors_;
        EXPECT_FALSE(fs::exists(out)) << format;
    }
}

TEST_F(RenderTool, SilentRenderIsAnErrorAndLeavesNoFile)
{
    REQUIRE_MODULE();
    // Selects a chord and presses the mute key: nothing ever sounds.
    const fs::path quiet = path("quiet.mid");
    writeBytes(quiet, {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                       'M', 'T', 'r', 'k', 0, 0, 0, 11,
                       0x00, 0x90, 52, 100, 0x30, 61, 100, 0x00, 0xFF, 0x2F, 0x00});
    const fs::path out = path("quiet.wav");
    EXPECT_EQ(run(quiet.string() + " " + out.string()), 1);
    EXPECT_NE(errors_.find("silent"), std::string::npos) << errors_;
    EXPECT_FALSE(fs::exists(out));

    // A muted chord: every string of chord 0 set to muted, then strummed.
    std::string mutedChord;
    for (int string = 0; string < 6; ++string) {
        mutedChord += "--param " + std::to_string(string) + "=0 ";
    }
    const fs::path strum = path("strum.mid");
    writeBytes(strum, {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
                       'M', 'T', 'r', 'k', 0, 0, 0, 7, 0x00, 0x90, 48, 100, 0x00, 60, 100});
    EXPECT_EQ(run(mutedChord + strum.string() + " " + out.string()), 1) << errors_;
    EXPECT_FALSE(fs::exists(out));
}

// A chord set by name, its program file and its 77 values given one by one play the same:
// the tool applies programs as a host does.
TEST_F(RenderTool, ChordSetsAndProgramFilesChooseTheChords)
{
    REQUIRE_MODULE();
    const std::string song = kExamples + "/worked-strum.mid ";
    ASSERT_EQ(run("--float --tail 0.5 " + song + path("default.wav").string()), 0) << errors_;
    const Wave defaults = readWave(path("default.wav"));
    std::string error;
    const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
    for (const char* name : {"Blues in E", "Jazz ii-V-I in C", "Rock in E"}) {
        const presets::ChordSet* set = presets::findChordSet(sets, name);
        ASSERT_NE(set, nullptr) << name << error;
        std::string values;
        const presets::ParameterValues parameters = presets::parameterValuesOf(*set);
        for (size_t i = 0; i < parameters.size(); ++i) {
            char value[32];
            std::snprintf(value, sizeof value, "%.9g", parameters[i]);
            values += "--param " + std::to_string(i) + "=" + value + " ";
        }
        const std::string program = (kPrograms / (presets::fileNameOf(*set) + ".fxp")).string();
        const std::string ways[] = {"--chord-set '" + std::string(name) + "' ",
                                    "--preset " + program + " ", values};
        std::vector<Wave> waves;
        for (const std::string& way : ways) {
            const fs::path out = path("set.wav");
            ASSERT_EQ(run("--float --tail 0.5 " + way + song + out.string()), 0) << errors_;
            waves.push_back(readWave(out));
        }
        ASSERT_FALSE(waves[0].samples.empty());
        EXPECT_TRUE(waves[0].samples == waves[1].samples) << name << ": --preset";
        EXPECT_TRUE(waves[0].samples == waves[2].samples) << name << ": --param";
        EXPECT_FALSE(waves[0].samples == defaults.samples) << name;
    }
}

TEST_F(RenderTool, Lv2RendersThroughTheBundleAsTheModuleAndPlaysItsPatterns)
{
    REQUIRE_MODULE();
    // At their defaults the bundle's ports play the song exactly as the module does.
    const std::string song = kExamples + "/song.mid ";
    ASSERT_EQ(run("--float " + song + path("module.wav").string()), 0) << errors_;
    ASSERT_EQ(run("--float --lv2 " + song + path("bundle.wav").string()), 0) << errors_;
    const Wave module = readWave(path("module.wav"));
    ASSERT_FALSE(module.samples.empty());
    EXPECT_TRUE(readWave(path("bundle.wav")).samples == module.samples);

    // Held chords with a pattern: audible, repeatable, and each pattern and seed its own.
    const std::string held = "--float --lv2 --port chord_input=1 " + kExamples + "/patterns.mid ";
    auto render = [&](const std::string& ports, const std::string& name) {
        const fs::path out = path(name);
        EXPECT_EQ(run(held + ports + " " + out.string()), 0) << ports << ": " << errors_;
        return readWave(out).samples;
    };
    const auto folk = render("--port pattern=3", "folk.wav");
    ASSERT_FALSE(folk.empty());
    EXPECT_GT(*std::max_element(folk.begin(), folk.end()), 0.05f);
    EXPECT_TRUE(render("--port pattern=3", "again.wav") == folk);
    EXPECT_FALSE(render("--port pattern=5", "country.wav") == folk);
    const auto seeded = render("--port pattern=3 --port humanise_time=20 --port seed=3", "s3.wav");
    EXPECT_FALSE(seeded == folk);
    EXPECT_TRUE(render("--port pattern=3 --port humanise_time=20 --port seed=3", "s3b.wav") == seeded);
    EXPECT_FALSE(render("--port pattern=3 --port humanise_time=20 --port seed=4", "s4.wav") == seeded);
    EXPECT_FALSE(render("--port pattern=3 --tempo 140", "faster.wav") == folk);

    // Without the chord zone the held keys silence the instrument: nothing to write.
    EXPECT_EQ(run("--lv2 " + kExamples + "/patterns.mid " + path("silent.wav").string()), 1);
    EXPECT_FALSE(fs::exists(path("silent.wav")));
    const std::string out = path("bad.wav").string();
    EXPECT_EQ(run("--lv2 --port nosuch=1 " + song + out), 1);
    EXPECT_NE(errors_.find("no input port 'nosuch'"), std::string::npos) << errors_;
    EXPECT_EQ(run("--lv2 --port chord=3 " + song + out), 1) << "an output is no input";
    EXPECT_EQ(run("--port pattern=1 " + song + out), 2);
    EXPECT_EQ(run("--lv2 --param 0=0.5 " + song + out), 2);
    EXPECT_EQ(run("--lv2 --tempo 0 " + song + out), 2);
    EXPECT_EQ(run("--lv2 --plugin " + path("nowhere.lv2").string() + " " + song + out), 1);
    EXPECT_NE(errors_.find("cannot load"), std::string::npos) << errors_;
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(RenderTool, AMalformedOrForeignProgramFileIsRefusedAndNothingRendered)
{
    REQUIRE_MODULE();
    presets::Program good;
    good.name = "Test";
    good.values.assign(77, 0.5f);
    const std::vector<uint8_t> bytes = presets::encodeProgram(good);
    auto changed = [&](size_t offset, const std::string& text) {
        std::vector<uint8_t> copy = bytes;
        std::copy(text.begin(), text.end(), copy.begin() + offset);
        return copy;
    };
    presets::Program foreign = good;
    foreign.uniqueId = 0x41424344;
    presets::Program short76 = good;
    short76.values.pop_back();
    presets::Program loud = good;
    loud.values[75] = 1.5f;
    presets::Program undefined = good;
    undefined.values[3] = std::nanf("");

    const struct {
        const char* what;
        std::vector<uint8_t> file;
        const char* message;
    } cases[] = {
        {"wrong magic", changed(0, "CcnX"), "does not begin with 'CcnK'"},
        {"empty", {}, "does not begin with 'CcnK'"},
        {"other unique id", presets::encodeProgram(foreign), "another plug-in (unique id 'ABCD'"},
        {"wrong count", presets::encodeProgram(short76), "76 parameter values, but the module has 77"},
        {"count and size disagree", changed(27, "\x4e"), "announces 78 parameters but holds 77"},
        {"truncated", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100), "truncated"},
        {"a bank", changed(8, "FxBk"), "a bank of programs"},
        {"a chunk", changed(8, "FPCh"), "as a chunk"},
        {"another version", changed(15, "\x02"), "format version 2"},
        {"value above 1", presets::encodeProgram(loud), "parameter 75 has the value 1.5"},
        {"value not a number", presets::encodeProgram(undefined), "parameter 3"},
    };
    const fs::path out = path("out.wav");
    const std::string song = " " + kExamples + "/worked-strum.mid " + out.string();
    for (const auto& c : cases) {
        writeBytes(path("program.fxp"), c.file);
        EXPECT_EQ(run("--preset " + path("program.fxp").string() + song), 1) << c.what;
        EXPECT_NE(errors_.find(c.message), std::string::npos) << c.what << ": " << errors_;
        EXPECT_FALSE(fs::exists(out)) << c.what;
    }
    EXPECT_EQ(run("--preset " + path("absent.fxp").string() + song), 1);
    EXPECT_NE(errors_.find("cannot read"), std::string::npos) << errors_;
    EXPECT_EQ(run("--chord-set 'No such set'" + song), 1);
    EXPECT_NE(errors_.find("no chord set is named 'No such set'; the sets are:\n  Twelve major "
                           "chords\n"),
              std::string::npos)
        << errors_;
    EXPECT_EQ(run("--chord-set 'C major' --preset " + path("program.fxp").string() + song), 2);
    EXPECT_NE(errors_.find("give one of them"), std::string::npos) << errors_;
    EXPECT_FALSE(fs::exists(out));
}

// The editor arrives after the engine: until then the tool must say so instead of writing
// an empty picture.
TEST_F(RenderTool, SnapshotWritesThePanel)
{
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "no X display";
    }
    REQUIRE_MODULE();
    const fs::path png = path("panel.png");
    ASSERT_EQ(run("--chord 4 --snapshot " + png.string()), 0) << errors_;
    cairo_surface_t* image = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(image), 529);
    EXPECT_EQ(cairo_image_surface_get_height(image), 225);
    // A drawn panel is not one flat colour.
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    const auto* first = reinterpret_cast<const uint32_t*>(data);
    bool varied = false;
    for (int y = 0; y < 225 && !varied; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        varied = std::any_of(row, row + 529, [first](uint32_t p) { return p != *first; });
    }
    EXPECT_TRUE(varied);
    cairo_surface_destroy(image);
}

namespace {

// A render reduced to what is worth committing: the exact samples as a hash, and per tenth of
// a second the level and the number of swings through zero, which locate and size a change.
struct GoldenChannel {
    uint64_t hash = 0;
    std::vector<long> rms;       // in 16-bit steps, rounded
    std::vector<long> crossings;
};
struct GoldenRender {
    long frames = 0;
    GoldenChannel channels[2];
};
using GoldenRenders = std::map<int, GoldenRender>;  // by sample rate

constexpr const char* kChannelNames[2] = {"left", "right"};
// Crossings count only swings larger than this, so that a rounding step near silence cannot
// add any.
constexpr int kCrossingThreshold = 64;

GoldenRender reduce(const std::vector<int16_t>& interleaved, int rate)
{
    GoldenRender render;
    render.frames = static_cast<long>(interleaved.size() / 2);
    const long window = rate / 10;
    for (int c = 0; c < 2; ++c) {
        GoldenChannel& channel = render.channels[c];
        uint64_t hash = 14695981039346656037ull;  // FNV-1a over the little-endian samples
        int side = 0;
        for (long start = 0; start < render.frames; start += window) {
            const long end = std::min(render.frames, start + window);
            double energy = 0.0;
            long crossings = 0;
            for (long frame = start; frame < end; ++frame) {
                const int sample = interleaved[2 * frame + c];
                const auto bits = static_cast<uint16_t>(sample);
                for (const uint8_t byte : {uint8_t(bits & 0xFF), uint8_t(bits >> 8)}) {
                    hash = (hash ^ byte) * 1099511628211ull;
                }
                energy += double(sample) * sample;
                const int now = sample > kCrossingThreshold    ? 1
                                : sample < -kCrossingThreshold ? -1
                                                               : side;
                crossings += side != 0 && now != side;
                side = now;
            }
            channel.rms.push_back(std::lround(std::sqrt(energy / double(end - start))));
            channel.crossings.push_back(crossings);
        }
        channel.hash = hash;
    }
    return render;
}

void writeGolden(const GoldenRenders& renders, const std::string& path)
{
    std::ofstream out(path);
    out << "# examples/song.mid through Lyrevane.so by lyrevane-render (16-bit, blocks of 512).\n"
           "# Per channel: FNV-1a hash of the samples, then per 0.1 s the RMS in 16-bit steps\n"
           "# and the swings through zero larger than "
        << kCrossingThreshold
        << " steps. Rewrite: LYREVANE_UPDATE_REFERENCE=1 ctest -R GoldenRender\n";
    for (const auto& [rate, render] : renders) {
        out << "rate " << rate << " frames " << render.frames << "\n";
        for (int c = 0; c < 2; ++c) {
            const GoldenChannel& channel = render.channels[c];
            out << kChannelNames[c] << " hash " << std::hex << channel.hash << std::dec << "\n";
            using Row = std::pair<const char*, const std::vector<long>*>;
            for (const auto& [name, values] :
                 {Row{"rms", &channel.rms}, Row{"crossings", &channel.crossings}}) {
                out << kChannelNames[c] << " " << name;
                for (const long value : *values) out << " " << value;
                out << "\n";
            }
        }
    }
}

GoldenRenders readGolden(const std::string& path)
{
    GoldenRenders renders;
    std::ifstream in(path);
    GoldenRender* render = nullptr;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string first, second;
        fields >> first >> second;
        if (first == "rate") {
            render = &renders[std::stoi(second)];
            fields >> second >> render->frames;
            continue;
        }
        const int c = first == "left" ? 0 : first == "right" ? 1 : -1;
        if (render == nullptr || c < 0) continue;
        GoldenChannel& channel = render->channels[c];
        if (second == "hash") fields >> std::hex >> channel.hash;
        std::vector<long>* values = second == "rms"         ? &channel.rms
                                    : second == "crossings" ? &channel.crossings
                                                            : nullptr;
        for (long value; values != nullptr && fields >> value;) values->push_back(value);
    }
    return renders;
}

}  // namespace

// The song rendered at both usual rates must sound as committed. Identical samples pass at
// once. Otherwise, so that a rounding difference of another compiler or processor does not
// fail the build, every tenth of a second must keep its level within 1 % + 1 step and its
// swings through zero within 2 % + 1; anything audible breaks one of these.
TEST_F(RenderTool, GoldenRenderOfTheSongMatchesTheReference)
{
    REQUIRE_MODULE();
    GoldenRenders renders;
    for (const int rate : {44100, 48000}) {
        const fs::path out = path("song.wav");
        ASSERT_EQ(run("--rate " + std::to_string(rate) + " " + kExamples + "/song.mid " +
                      out.string()),
                  0)
            << errors_;
        SF_INFO info{};
        SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(info.channels, 2);
        std::vector<int16_t> samples(static_cast<size_t>(info.frames) * 2);
        ASSERT_EQ(sf_readf_short(file, samples.data(), info.frames), info.frames);
        sf_close(file);
        renders[rate] = reduce(samples, rate);
    }
    if (std::getenv("LYREVANE_UPDATE_REFERENCE")) {
        writeGolden(renders, kGoldenReference);
        GTEST_SKIP() << "rewrote " << kGoldenReference;
    }

    const GoldenRenders expected = readGolden(kGoldenReference);
    ASSERT_EQ(expected.size(), renders.size()) << "missing or unreadable: " << kGoldenReference;
    for (const auto& [rate, render] : renders) {
        const GoldenRender& reference = expected.at(rate);
        ASSERT_EQ(render.frames, reference.frames) << rate << " Hz";
        for (int c = 0; c < 2; ++c) {
            const GoldenChannel& got = render.channels[c];
            const GoldenChannel& want = reference.channels[c];
            if (got.hash == want.hash) continue;
            std::cout << rate << " Hz " << kChannelNames[c]
                      << ": samples differ from the reference; comparing the envelope\n";
            ASSERT_EQ(got.rms.size(), want.rms.size());
            ASSERT_EQ(got.crossings.size(), want.crossings.size());
            for (size_t w = 0; w < got.rms.size(); ++w) {
                ASSERT_LE(std::abs(got.rms[w] - want.rms[w]), want.rms[w] / 100 + 1)
                    << rate << " Hz " << kChannelNames[c] << ", level at " << w / 10.0 << " s";
                ASSERT_LE(std::abs(got.crossings[w] - want.crossings[w]),
                          want.crossings[w] / 50 + 1)
                    << rate << " Hz " << kChannelNames[c] << ", pitch at " << w / 10.0 << " s";
            }
        }
    }
}
