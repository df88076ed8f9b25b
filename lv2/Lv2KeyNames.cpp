// Writing the MIDNAM document of the key names.
#include "lv2/Lv2KeyNames.h"

namespace lv2keynames {

namespace {

constexpr int kChannels = 16;

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

}  // namespace

std::string document(const std::string& model, const keynames::Names& names)
{
    std::string channels;
    std::string assignments;
    for (int channel = 1; channel <= kChannels; ++channel) {
        const std::string number = std::to_string(channel);
        assignments += "        <ChannelNameSetAssign Channel=\"" + number +
                       "\" NameSet=\"Lyrevane\"/>\n";
        channels += "        <AvailableChannel Channel=\"" + number + "\" Available=\"true\"/>\n";
    }
    std::string notes;
    for (int key = 0; key < keynames::kKeyCount; ++key) {
        notes += "      <Note Number=\"" + std::to_string(key) + "\" Name=\"" +
                 escaped(names[key]) + "\"/>\n";
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
