// The committed example MIDI files: the generator remakes them byte for byte, and each one
// plays what its README entry promises.
#include "tools/MidiFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string kExamples = LYREVANE_EXAMPLES_DIR;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

smf::MidiFile loadExample(const std::string& name)
{
    std::string error;
    std::optional<smf::MidiFile> midi = smf::MidiFile::load(kExamples + "/" + name, error);
    EXPECT_TRUE(midi) << error;
    return midi.value_or(smf::MidiFile());
}

std::set<int> pressedKeys(const smf::MidiFile& midi)
{
    std::set<int> keys;
    for (const smf::ChannelEvent& event : midi.events()) {
        if ((event.status & 0xF0) == 0x90 && event.data2 > 0) {
            keys.insert(event.data1);
        }
    }
    return keys;
}

double lastEventSeconds(const smf::MidiFile& midi)
{
    return midi.tempoMap().secondsAtTick(midi.events().back().tick);
}

}  // namespace

TEST(Examples, GeneratorRemakesTheCommittedFilesByteForByte)
{
    char directory[] = "/tmp/lyrevane-examples-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    const std::string command = std::string(LYREVANE_MAKE_EXAMPLES) + " " + directory;
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"song.mid", "dense-strum.mid", "worked-strum.mid", "patterns.mid"}) {
        const std::string made = std::string(directory) + "/" + name;
        const std::string committed = readFile(kExamples + "/" + name);
        EXPECT_FALSE(committed.empty()) << name;
        EXPECT_EQ(readFile(made), committed)
            << name << " differs: rebuild the 'examples' target and commit the result";
        std::remove(made.c_str());
    }
    rmdir(directory);
}

TEST(Examples, EachFilePlaysWhatItsDescriptionPromises)
{
    const smf::MidiFile song = loadExample("song.mid");
    ASSERT_FALSE(song.events().empty());
    const std::set<int> songKeys = pressedKeys(song);
    for (int key : {60, 62, 64, 65, 61}) {
        EXPECT_TRUE(songKeys.count(key)) << "song.mid never presses key " << key;
    }
    EXPECT_TRUE(std::any_of(songKeys.begin(), songKeys.end(),
                            [](int k) { return k >= 48 && k <= 59; }));
    EXPECT_TRUE(std::any_of(songKeys.begin(), songKeys.end(),
                            [](int k) { return k == 67 || k == 69 || k == 71 || k == 72 ||
                                               k == 74 || k == 76; }));
    EXPECT_TRUE(std::any_of(song.events().begin(), song.events().end(),
                            [](const smf::ChannelEvent& e) { return (e.status & 0xF0) == 0xE0; }));
    EXPECT_GE(lastEventSeconds(song), 20.0);
    EXPECT_LE(lastEventSeconds(song), 40.0);

    const smf::MidiFile dense = loadExample("dense-strum.mid");
    ASSERT_FALSE(dense.events().empty());
    const std::set<int> denseKeys = pressedKeys(dense);
    for (int chordKey = 48; chordKey <= 59; ++chordKey) {
        EXPECT_TRUE(denseKeys.count(chordKey)) << "dense-strum.mid never selects " << chordKey;
    }
    EXPECT_NEAR(lastEventSeconds(dense), 60.0, 0.5);
    EXPECT_DOUBLE_EQ(dense.tempoMap().beatsPerMinuteAtSeconds(30.0), 120.0);

    const smf::MidiFile worked = loadExample("worked-strum.mid");
    ASSERT_GE(worked.events().size(), 2u);
    EXPECT_EQ(worked.events()[0].data1, 52);
    EXPECT_EQ(worked.events()[1].data1, 60);
    EXPECT_EQ(worked.events()[1].data2, 100);
    EXPECT_EQ(worked.events()[1].tick, 0);
    EXPECT_DOUBLE_EQ(worked.tempoMap().beatsPerMinuteAtSeconds(0.0), 120.0);

    // Only the chord zone's keys, a chord a bar for eight bars at 100 bpm.
    const smf::MidiFile patterns = loadExample("patterns.mid");
    const std::set<int> held = pressedKeys(patterns);
    ASSERT_FALSE(held.empty());
    EXPECT_LT(*held.rbegin(), 48);
    EXPECT_DOUBLE_EQ(patterns.tempoMap().beatsPerMinuteAtSeconds(0.0), 100.0);
    EXPECT_NEAR(lastEventSeconds(patterns), 8 * 2.4, 0.1);
}
