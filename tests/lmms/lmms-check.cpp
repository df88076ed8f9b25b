// The LMMS host test's helper: writes the project (an LMMS project with the 32-bit Windows
// module on an instrument track, and the same keys as MIDI files for our render tool: the
// song, and the song without its strum) and checks LMMS's render against the render tool's.
//   lyrevane-lmms-check plan DIR MODULE.dll
//   lyrevane-lmms-check verify RECORDING.wav REFERENCE.wav PICK_ONLY.wav
#include "tests/support/HostRecording.h"
#include "tests/support/HostTestPlan.h"
#include "tools/Keys.h"

#include <cmath>
#include <cstdio>
#include <string>

using namespace ardourtest;

namespace {

constexpr int kRate = 44100;
// LMMS counts 48 ticks a quarter note. At 120 beats per minute a tick is 459.375 samples, so
// keys on multiples of 8 ticks (3675 samples) fall on whole samples in LMMS and in the tool.
constexpr int kDivision = 48;
constexpr double kSamplesPerTick = kRate * 0.5 / kDivision;
// A note's volume in LMMS runs from 0 to 200; its default, 100, reaches the module as
// velocity 63.
constexpr int kNoteVolume = 100;
constexpr uint8_t kVelocity = 63;
constexpr int kKeyTicks = kDivision / 2;

constexpr uint8_t kEMajorKey = keys::kFirstChordKey + 4;
constexpr int kPickedNote = 64;  // the open high E
struct Key {
    int tick;
    uint8_t key;
};
constexpr Key kKeys[] = {{kDivision, kEMajorKey},
                         {2 * kDivision, keys::kPickKeys[5]},
                         {6 * kDivision, keys::kStrumDownKey}};
// The pattern's three bars; LMMS renders a bar past the last key's bar and ends a little
// before that bar's end, so the checks compare the first eleven quarter notes, in which the
// strum rings for two and a half seconds.
constexpr int kPatternTicks = 12 * kDivision;
constexpr int kSongTicks = 11 * kDivision;

int64_t sampleOf(int tick)
{
    return std::llround(tick * kSamplesPerTick);
}

// An LMMS 1.2 song at 120 beats per minute: one instrument track with the module in LMMS's
// VST instrument ("vestige"), at full volume and centred, playing the keys from one pattern.
bool writeProject(const std::string& path, const std::string& module)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out) return false;
    std::fprintf(out, R"(<?xml version="1.0"?>
<!DOCTYPE lmms-project>
<lmms-project version="1.0" creator="LMMS" creatorversion="1.2.2" type="song">
  <head timesig_numerator="4" timesig_denominator="4" bpm="120" mastervol="100" masterpitch="0"/>
  <song>
    <trackcontainer type="song">
      <track type="0" name="Lyrevane" muted="0" solo="0">
        <instrumenttrack vol="100" pan="0" pitch="0" pitchrange="1" basenote="57" fxch="0">
          <instrument name="vestige">
            <vestige plugin="%s"/>
          </instrument>
          <fxchain numofeffects="0" enabled="0"/>
        </instrumenttrack>
        <pattern type="1" name="Strum" pos="0" len="%d" steps="16" muted="0">
)",
                 module.c_str(), kPatternTicks);
    for (const Key& key : kKeys) {
        std::fprintf(out, "          <note key=\"%d\" vol=\"%d\" pan=\"0\" pos=\"%d\" len=\"%d\"/>\n",
                     key.key, kNoteVolume, key.tick, kKeyTicks);
    }
    std::fprintf(out, R"(        </pattern>
      </track>
    </trackcontainer>
  </song>
</lmms-project>
)");
    return std::fclose(out) == 0;
}

// The keys as LMMS sends them: each note-on, and its note-off at the note's end.
bool writeMidi(const std::string& path, bool withStrum, std::string& error)
{
    std::vector<TickedMessage> messages;
    for (const Key& key : kKeys) {
        if (key.key == keys::kStrumDownKey && !withStrum) continue;
        messages.push_back({key.tick, keys::kNoteOn, key.key, kVelocity});
        messages.push_back({key.tick + kKeyTicks, 0x80, key.key, 0});
    }
    return writeMidiTrack(path, kDivision, messages, error);
}

int plan(const std::string& folder, const std::string& module)
{
    std::string error;
    if (!writeMidi(folder + "/song.mid", true, error) ||
        !writeMidi(folder + "/pick-only.mid", false, error)) {
        std::fprintf(stderr, "lyrevane-lmms-check: %s\n", error.c_str());
        return 2;
    }
    if (!writeProject(folder + "/song.mmp", module)) {
        std::fprintf(stderr, "lyrevane-lmms-check: cannot write %s/song.mmp\n", folder.c_str());
        return 2;
    }
    return 0;
}

int verify(const std::string& recording, const std::string& reference,
           const std::string& pickOnly)
{
    // LMMS hands the plug-in its keys two blocks late and takes its sound two blocks late,
    // so its render starts with the song: no offset is allowed.
    const KeyedSong song{kRate, sampleOf(kSongTicks), sampleOf(kKeys[1].tick), kPickedNote,
                         sampleOf(kKeys[2].tick), 0};
    const int failures = compareRecording(recording, reference, song, pickOnly);
    if (failures < 0) return 2;
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "plan" && argc == 4) return plan(argv[2], argv[3]);
    if (command == "verify" && argc == 5) return verify(argv[2], argv[3], argv[4]);
    std::fprintf(stderr,
                 "usage: %s plan DIR MODULE.dll\n"
                 "       %s verify RECORDING.wav REFERENCE.wav PICK_ONLY.wav\n",
                 argv[0], argv[0]);
    return 64;
}
