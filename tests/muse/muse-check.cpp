// The MusE host test's helper: writes the song (a MusE song file and the same keys as a MIDI
// file for our render tool) and checks MusE's recording against the render tool's.
//   lyrevane-muse-check plan DIR
//   lyrevane-muse-check verify RECORDING.wav REFERENCE.wav
#include "tests/support/HostRecording.h"
#include "tests/support/HostTestPlan.h"
#include "tools/Keys.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace ardourtest;

namespace {

constexpr int kRate = 44100;
// MusE's ticks per quarter note. At 120 beats per minute a tick is 57.421875 samples, so keys
// on multiples of 64 ticks (3675 samples) fall on whole samples in MusE and in the render tool.
constexpr int kDivision = 384;
constexpr double kSamplesPerTick = kRate * 0.5 / kDivision;

constexpr uint8_t kNoteOn = keys::kNoteOn;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kVelocity = 100;
constexpr int kKeyTicks = kDivision / 2;  // each key is held for an eighth note

// E major is chosen, its highest string picked alone (open high E), then the whole chord
// strummed down, which rings to the end of the song.
constexpr uint8_t kEMajorKey = keys::kFirstChordKey + 4;
constexpr uint8_t kPickHighestKey = keys::kPickKeys[5];
constexpr uint8_t kStrumDownKey = keys::kStrumDownKey;
constexpr int kPickedNote = 64;
struct Key {
    int tick;
    uint8_t key;
};
constexpr Key kKeys[] = {{kDivision, kEMajorKey},
                         {2 * kDivision, kPickHighestKey},
                         {6 * kDivision, kStrumDownKey}};
// What the checks compare; MusE's song runs a quarter note longer, and its transport stops
// at the song's end, which ends the recording.
constexpr int kSongTicks = 11 * kDivision;

// Where MusE's first sound may lie in the recording: its transport starts the recording, so
// the offset is a few blocks at most.
constexpr int64_t kLargestOffset = 8 * 512;

int64_t sampleOf(int tick)
{
    return std::llround(tick * kSamplesPerTick);
}

// A song with a synth track holding the module (found by its label on MusE's LinuxVST path),
// its panel open, and a MIDI track playing the keys into it. The volume controller (id 0) at 1 and the pan (id 1) at 0 pass the audio unchanged.
bool writeSong(const std::string& path)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, R"(<?xml version="1.0"?>
<muse version="3.3">
  <song>
    <cpos>0</cpos>
    <master>1</master>
    <loop>0</loop>
    <click>0</click>
    <len>%d</len>
    <follow>0</follow>
    <midiDivision>%d</midiDivision>
    <sampleRate>%d</sampleRate>
    <AudioOutput>
      <name>Out 1</name>
      <height>24</height>
      <channels>2</channels>
      <gain>1</gain>
      <controller id="0" cur="1"></controller>
      <controller id="1" cur="0"></controller>
    </AudioOutput>
    <SynthI>
      <name>Lyrevane</name>
      <height>24</height>
      <channels>2</channels>
      <gain>1</gain>
      <controller id="0" cur="1"></controller>
      <controller id="1" cur="0"></controller>
      <synthType>VST (synths)</synthType>
      <class>Lyrevane</class>
      <label>Lyrevane</label>
      <port>0</port>
      <nativeGuiVisible>1</nativeGuiVisible>
    </SynthI>
    <miditrack>
      <name>Strum</name>
      <height>24</height>
      <device>0</device>
      <channel>0</channel>
      <part>
        <name>Strum</name>
        <poslen tick="0" len="%d"/>
)",
                 kSongTicks + kDivision, kDivision, kRate, kSongTicks);
    for (const Key& key : kKeys) {
        std::fprintf(out, "        <event tick=\"%d\" len=\"%d\" a=\"%d\" b=\"%d\"/>\n", key.tick,
                     kKeyTicks, key.key, kVelocity);
    }
    std::fprintf(out, R"(      </part>
    </miditrack>
    <Route>
      <source track="1"/>
      <dest track="0"/>
    </Route>
    <tempolist fix="500000">
      <tempo at="21474837">
        <tick>0</tick>
        <val>500000</val>
      </tempo>
    </tempolist>
    <siglist>
      <sig at="21474836">
        <tick>0</tick>
        <nom>4</nom>
        <denom>4</denom>
      </sig>
    </siglist>
  </song>
</muse>
)");
    return std::fclose(out) == 0;
}

int plan(const std::string& folder)
{
    std::vector<TickedMessage> messages;
    for (const Key& key : kKeys) {
        messages.push_back({key.tick, kNoteOn, key.key, kVelocity});
        messages.push_back({key.tick + kKeyTicks, kNoteOff, key.key, 0});
    }
    std::string error;
    if (!writeMidiTrack(folder + "/song.mid", kDivision, messages, error)) {
        std::fprintf(stderr, "lyrevane-muse-check: %s\n", error.c_str());
        return 2;
    }
    if (!writeSong(folder + "/song.med")) {
        std::fprintf(stderr, "lyrevane-muse-check: cannot write %s/song.med\n", folder.c_str());
        return 2;
    }
    return 0;
}

int verify(const std::string& recordingPath, const std::string& referencePath)
{
    const KeyedSong song{kRate, sampleOf(kSongTicks), sampleOf(kKeys[1].tick), kPickedNote,
                         sampleOf(kKeys[2].tick), kLargestOffset};
    const int failures = compareRecording(recordingPath, referencePath, song);
    if (failures < 0) return 2;
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "plan" && argc == 3) return plan(argv[2]);
    if (command == "verify" && argc == 4) return verify(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: %s plan DIR\n"
                 "       %s verify RECORDING.wav REFERENCE.wav\n",
                 argv[0], argv[0]);
    return 64;
}
