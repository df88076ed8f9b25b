// Writing the MIDNAM document of the key names.
#include "lv2/Lv2KeyNames.h"

#include "lv2/Lv2Ports.h"
#include "strum/CArpStrum.h"
#include "strum/KeySpelling.h"

namespace lv2keynames {

namespace {

constexpr int kChannels = 16;
constexpr const char* kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                        "F#", "G",  "G#", "A",  "A#", "B"};

// Key 60, middle C, is C4.
std::string keyLabel(int key)
{
    return kNoteNames[key % 12] + std::to_string(key / 12 - 1);
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string keyNameWith(int key, const std::array<chords::ChordName, 12>& names,
                        int32_t zoneChord)
{
    if (zoneChord != kNoZone && ChordZone::holds(static_cast<uint32_t>(key))) {
        return zoneChord == lv2ports::kNoChord
                   ? "Held chord"
                   : "Held chord: " + lv2ports::recognisedChordLabel(zoneChord);
    }
    const KeyBinding binding = CArpStrum::keyMap[key];
    switch (binding.action) {
    case SelectChord: return keyLabel(key) + " chord: " + names[binding.argument].c_str();
    case StrumDown: return "Strum down";
    case StrumUp: return "Strum up";
    case ShortStrumDown: return "Short strum down";
    case ShortStrumUp: return "Short strum up";
    case PickString:
        return "Pick string " + std::to_string(binding.argument + 1) + " (" +
               lv2ports::kStringNames[binding.argument] + ")";
    case MuteAll: break;
    }
    return "Silence";
}

std::array<chords::ChordName, 12> namesOf(const Bank& chords)
{
    std::array<chords::ChordName, 12> names;
    chords::nameChords(chords.data(), static_cast<int>(chords.size()), names.data());
    return names;
}

}  // namespace

std::string document(const std::string& model, const Bank& chords, int32_t zoneChord)
{
    const std::array<chords::ChordName, 12> names = namesOf(chords);
    std::string channels;
    std::string assignments;
    for (int channel = 1; channel <= kChannels; ++channel) {
        const std::string number = std::to_string(channel);
        assignments += "        <ChannelNameSetAssign Channel=\"" + number +
                       "\" NameSet=\"Lyrevane\"/>\n";
        channels += "        <AvailableChannel Channel=\"" + number + "\" Available=\"true\"/>\n";
    }
    std::string notes;
    for (int key = 0; key < static_cast<int>(CArpStrum::keyMap.size()); ++key) {
        notes += "      <Note Number=\"" + std::to_string(key) + "\" Name=\"" +
                 escaped(keyNameWith(key, names, zoneChord)) + "\"/>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD "
           "MIDINameDocument 1.0//EN\" \"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n"
           "<MIDINameDocument>\n"
           "  <Author>Lyrevane</Author>\n"
           "  <MasterDeviceNames>\n"
           "    <Manufacturer>Lyrevane</Manufacturer>\n"
           "    <Model>" + escaped(model) + "</Model>\n"
           "    <CustomDeviceMode Name=\"Default\">\n"
           "      <ChannelNameSetAssignments>\n" + assignments +
           "      </ChannelNameSetAssignments>\n"
           "    </CustomDeviceMode>\n"
           "    <ChannelNameSet Name=\"Lyrevane\">\n"
           "      <AvailableForChannels>\n" + channels +
           "      </AvailableForChannels>\n"
           "      <UsesNoteNameList Name=\"Keys\"/>\n"
           "      <PatchBank Name=\"Chords\">\n"
           "        <PatchNameList>\n"
           "          <Patch Number=\"0\" Name=\"Chords\" ProgramChange=\"0\">\n"
           "            <UsesNoteNameList Name=\"Keys\"/>\n"
           "          </Patch>\n"
           "        </PatchNameList>\n"
           "      </PatchBank>\n"
           "    </ChannelNameSet>\n"
           "    <NoteNameList Name=\"Keys\">\n" + notes +
           "    </NoteNameList>\n"
           "  </MasterDeviceNames>\n"
           "</MIDINameDocument>\n";
}

}  // namespace lv2keynames
