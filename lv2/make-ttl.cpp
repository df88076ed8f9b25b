// Writes the bundle's manifest.ttl, lyrevane.ttl and presets.ttl from the port table, the key
// map, the instrument's own defaults and the factory chord sets, so the description can never
// disagree with the code or the table.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "lv2/Lv2Ports.h"
#include "strum/CArpStrum.h"
#include "lv2/Midnam.h"
#include "presets/FactoryChordSets.h"

using namespace lv2ports;

namespace {

// LV2 reads an odd minor or micro version, and minor version 0, as a development build that
// hosts hide; the project's major version is the plug-in's URI, which never changes.
constexpr int kMinorVersion = LYREVANE_VERSION_MINOR;
constexpr int kMicroVersion = LYREVANE_VERSION_PATCH;
static_assert(kMinorVersion > 0 && kMinorVersion % 2 == 0 && kMicroVersion % 2 == 0,
              "the project's version must be a release: an even minor (not 0) and patch");

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// A resource of the plug-in's own, such as a port group.
std::string ownUri(const std::string& fragment)
{
    return std::string("<") + kPluginUri + "#" + fragment + ">";
}

// The factory chord sets, each an LV2 preset under a URI of its own.
const std::vector<presets::ChordSet>& chordSets()
{
    std::string error;
    const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
    if (sets.empty()) std::cerr << "lyrevane-lv2-ttl: presets/chord-sets.txt, " << error << "\n";
    return sets;
}

std::string presetUri(const presets::ChordSet& set)
{
    return "<urn:lyrevane:lv2:preset:" + presets::fileNameOf(set) + ">";
}

std::string version()
{
    return "  lv2:minorVersion " + std::to_string(kMinorVersion) + " ;\n  lv2:microVersion " +
           std::to_string(kMicroVersion) + " ;\n";
}

std::string scalePoint(const std::string& label, int32_t value)
{
    return "[ rdfs:label " + quoted(label) + " ; rdf:value " + std::to_string(value) + " ]";
}

// Every value of an enumeration with its name, from the control table.
std::string valuePoints(uint32_t id)
{
    const controls::Range range = controls::range(id);
    std::string points;
    for (auto value = static_cast<int32_t>(range.minimum); value <= range.maximum; ++value) {
        points += (value > range.minimum ? " ,\n      " : "") +
                  scalePoint(controls::valueText(id, static_cast<float>(value)), value);
    }
    return points;
}

// "60" or "67, 69, 71, 72, 74 and 76": the keys the instrument binds to one action.
std::string keysFor(KeyAction action)
{
    std::vector<int> keys;
    for (int key = 0; key < static_cast<int>(CArpStrum::keyMap.size()); ++key) {
        if (CArpStrum::keyMap[key].action == action) keys.push_back(key);
    }
    std::string text;
    for (size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ") + std::to_string(keys[i]);
    }
    return text;
}

// Hosts show this as the plug-in's description: how to play it.
std::string playingText()
{
    int firstChordKey = -1;
    int lastChordKey = -1;
    for (int key = 0; key < static_cast<int>(CArpStrum::keyMap.size()); ++key) {
        if (CArpStrum::keyMap[key].action != SelectChord) continue;
        if (firstChordKey < 0) firstChordKey = key;
        lastChordKey = key;
    }
    return "A guitar strummer. Keys " + std::to_string(firstChordKey) + " to " +
           std::to_string(lastChordKey) + " (the octave below middle C) select chords 1 to " +
           std::to_string(ChordValues::kChordCount) + "; " + keysFor(StrumDown) +
           " strums the chord down and " + keysFor(StrumUp) + " up, the strings ringing; " +
           keysFor(ShortStrumDown) + " and " + keysFor(ShortStrumUp) +
           " strum it short, down and up; " + keysFor(PickString) +
           " pick strings 1 to 6 (low E to high E); every other key silences everything. "
           "Velocity sets the loudness and the spread of a strum, which also tightens as the "
           "tempo rises above 120 bpm; pitch bend bends by up to two semitones.";
}

// An integer control port with its range from the port table; the caller adds its scale
// points and properties and closes it.
void controlPort(std::ostream& out, uint32_t port, const std::string& properties)
{
    const uint32_t id = controlOf(port);
    const controls::Range range = controls::range(id);
    out << " , [\n    a lv2:" << (port == kPlayedChord ? "Output" : "Input")
        << "Port , lv2:ControlPort ;\n"
        << "    lv2:index " << port << " ;\n    lv2:symbol " << quoted(portSymbol(port)) << " ;\n"
        << "    lv2:name " << quoted(controls::name(id)) << " ;\n    rdfs:comment "
        << quoted(controls::comment(id)) << " ;\n"
        << "    lv2:default " << static_cast<int32_t>(range.defaultValue) << " ;\n    lv2:minimum "
        << static_cast<int32_t>(range.minimum) << " ;\n    lv2:maximum "
        << static_cast<int32_t>(range.maximum) << " ;\n    lv2:portProperty lv2:integer"
        << properties;
}

std::string number(float value)
{
    std::ostringstream text;
    text << value;
    const std::string written = text.str();
    // Turtle reads a number without a point as an integer, which a float port should not be.
    return written.find_first_of(".e") == std::string::npos ? written + ".0" : written;
}

// A playing aid's port, from the control table, in a group of the ports.
void aidPort(std::ostream& out, uint32_t id, const std::string& group)
{
    const controls::Range range = controls::range(id);
    out << " , [\n    a lv2:InputPort , lv2:ControlPort ;\n"
        << "    lv2:index " << portOf(id) << " ;\n    lv2:symbol " << quoted(controls::symbol(id))
        << " ;\n    lv2:name " << quoted(controls::name(id)) << " ;\n    rdfs:comment "
        << quoted(controls::comment(id)) << " ;\n    pg:group " << ownUri(group) << " ;\n";
    if (controls::flags(id) & controls::kInteger) {
        out << "    lv2:default " << range.defaultValue << " ;\n    lv2:minimum "
            << range.minimum << " ;\n    lv2:maximum " << range.maximum
            << " ;\n    lv2:portProperty lv2:integer";
    } else {
        out << "    lv2:default " << number(range.defaultValue) << " ;\n    lv2:minimum "
            << number(range.minimum) << " ;\n    lv2:maximum " << number(range.maximum);
    }
    if (*controls::unit(id)) out << " ;\n    units:unit units:" << controls::unit(id);
    if (controls::flags(id) & controls::kEnumeration) {
        out << " , lv2:enumeration ;\n    lv2:scalePoint " << valuePoints(id);
    }
    out << "\n  ]";
}

// The playing aids, from their table; their defaults leave the instrument as the module.
void aidPorts(std::ostream& out)
{
    for (uint32_t id = controls::kChordInput; id < controls::kRecognisedChord; ++id) {
        aidPort(out, id, "playing");
    }
    controlPort(out, kRecognisedChord,
                " , lv2:enumeration ;\n    lv2:scalePoint " + valuePoints(controls::kRecognisedChord));
    out << "\n  ]";
    for (uint32_t id = controls::kRecognisedChord + 1; id < controls::kCount; ++id) {
        aidPort(out, id, "guitar");
    }
}

std::string chordGroup(int32_t chord)
{
    return "chord" + std::to_string(chord + 1);
}

std::string pluginDescription()
{
    std::ostringstream out;
    out << kPrefixes << "<" << kPluginUri << ">\n"
        << "  a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
        << "  doap:name \"Lyrevane\" ;\n"
        << "  doap:maintainer [ foaf:name \"Lyrevane Instruments\" ] ;\n"
        << "  rdfs:comment " << quoted(playingText()) << " ;\n"
        << version() << "  lv2:requiredFeature urid:map ;\n"
        << "  lv2:optionalFeature lv2:hardRTCapable , <" LYREVANE_MIDNAM_UPDATE "> ;\n"
        << "  lv2:extensionData <" LYREVANE_MIDNAM_INTERFACE "> ;\n"
        << "  pg:mainOutput " << ownUri("out") << " ;\n"
        << "  ui:ui <" << kUiUri << "> ;\n"
        << "  lv2:port [\n    a lv2:InputPort , atom:AtomPort ;\n"
        << "    atom:bufferType atom:Sequence ;\n"
        << "    atom:supports midi:MidiEvent , time:Position , <" << kResetMessageUri << "> ;\n"
        << "    lv2:designation lv2:control ;\n"
        << "    lv2:index " << kEvents << " ;\n    lv2:symbol \"events\" ;\n"
        << "    lv2:name \"MIDI in\" ;\n"
        << "    rdfs:comment \"The keys that play the instrument, and the host's tempo and "
           "transport, which set the spread of a strum.\"\n  ]";
    const char* sides[] = {"left", "right"};
    for (uint32_t port : {kLeft, kRight}) {
        const std::string side = sides[port - kLeft];
        out << " , [\n    a lv2:OutputPort , lv2:AudioPort ;\n"
            << "    lv2:index " << port << " ;\n    lv2:symbol \"out_" << side << "\" ;\n"
            << "    lv2:name \"Output " << side << "\" ;\n"
            << "    rdfs:comment \"Both outputs carry the same mono signal.\" ;\n"
            << "    pg:group " << ownUri("out") << " ;\n"
            << "    lv2:designation pg:" << side << "\n  ]";
    }

    const std::string fretPoints = valuePoints(controls::kFirstString);
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        const int32_t chord = parameterOfPort(port) / ChordValues::kStringCount;
        controlPort(out, port,
                    " , pprops:causesArtifacts ;\n    pg:group " + ownUri(chordGroup(chord)) +
                        " ;\n    lv2:scalePoint " + fretPoints);
        out << "\n  ]";
    }

    controlPort(out, kSoundSet,
                " , lv2:enumeration , pprops:causesArtifacts ;\n    lv2:scalePoint " +
                    valuePoints(controls::kSoundSet));
    out << "\n  ]";
    controlPort(out, kReset, " , lv2:toggled , pprops:trigger");
    out << "\n  ]";
    controlPort(out, kPlayedChord,
                " , lv2:enumeration ;\n    lv2:scalePoint " + valuePoints(controls::kPlayedChord));
    out << "\n  ]";
    aidPorts(out);
    out << " .\n\n";

    out << "<" << kResetMessageUri << ">\n  a rdfs:Class ;\n  rdfs:subClassOf atom:Object ;\n"
        << "  rdfs:label \"Reset\" ;\n"
        << "  rdfs:comment \"Stops every string, as the reset port does; the panel sends one "
           "for each press of its button.\" .\n\n";
    out << ownUri("playing") << "\n  a pg:Group ;\n  lv2:symbol \"playing\" ;\n"
        << "  rdfs:label \"Held chords and patterns\" .\n\n";
    out << ownUri("guitar") << "\n  a pg:Group ;\n  lv2:symbol \"guitar\" ;\n"
        << "  rdfs:label " << quoted(controls::group(controls::kCapo)) << " .\n\n";
    out << ownUri("out") << "\n  a pg:StereoGroup , pg:OutputGroup ;\n"
        << "  lv2:symbol \"out\" ;\n  rdfs:label \"Output\" .\n";
    for (int32_t chord = 0; chord < ChordValues::kChordCount; ++chord) {
        out << "\n" << ownUri(chordGroup(chord)) << "\n  a pg:Group ;\n"
            << "  lv2:symbol " << quoted(chordGroup(chord)) << " ;\n"
            << "  rdfs:label " << quoted(controls::chordLabel(chord)) << " .\n";
    }

    // The key-names extension is not among lv2-dev's schemas; what its two URIs are is said
    // here, for the validators.
    out << "\n<" LYREVANE_MIDNAM_INTERFACE ">\n  a lv2:ExtensionData .\n"
        << "\n<" LYREVANE_MIDNAM_UPDATE ">\n  a lv2:Feature .\n";

    out << "\n<" << kUiUri << ">\n  a ui:X11UI ;\n"
        << "  lv2:requiredFeature ui:parent , ui:idleInterface , urid:map ;\n"
        // A fixed picture: a host that let the user stretch it would show blank space. The
        // panel sizes itself by the scale the host's options give.
        << "  lv2:optionalFeature ui:touch , ui:noUserResize , opts:options ;\n"
        << "  lv2:extensionData ui:idleInterface , opts:interface ;\n"
        << "  opts:supportedOption ui:scaleFactor ;\n"
        << "  ui:portNotification [\n    ui:plugin <" << kPluginUri << "> ;\n"
        << "    lv2:symbol " << quoted(portSymbol(kPlayedChord)) << " ;\n"
        << "    ui:protocol ui:floatProtocol\n  ] .\n";
    return out.str();
}

std::string manifest()
{
    std::string text = std::string(kPrefixes) + "<" + kPluginUri + ">\n  a lv2:Plugin ;\n" +
                       "  lv2:binary <" + kDspBinary + "> ;\n" + version() +
                       "  rdfs:seeAlso <lyrevane.ttl> .\n\n" + "<" + kUiUri +
                       ">\n  a ui:X11UI ;\n" + "  lv2:binary <" + kUiBinary +
                       "> ;\n  rdfs:seeAlso <lyrevane.ttl> .\n";
    for (const presets::ChordSet& set : chordSets()) {
        text += "\n" + presetUri(set) + "\n  a pset:Preset ;\n  lv2:appliesTo <" + kPluginUri +
                "> ;\n  rdfs:seeAlso <presets.ttl> .\n";
    }
    return text;
}

// A decimal, so that hosts read it as the float their control ports hold.
std::string portValue(const std::string& symbol, int32_t value)
{
    return "[ lv2:symbol " + quoted(symbol) + " ; pset:value " + std::to_string(value) + ".0 ]";
}

// Every set as a preset: its name, and every control input in the ports' own units.
std::string presetDescriptions()
{
    std::string text = kPrefixes;
    for (const presets::ChordSet& set : chordSets()) {
        text += presetUri(set) + "\n  a pset:Preset ;\n  lv2:appliesTo <" + kPluginUri +
                "> ;\n  rdfs:label " + quoted(set.name) + " ;\n  lv2:port";
        for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
            const int32_t parameter = parameterOfPort(port);
            const int32_t fret = set.chords[parameter / ChordValues::kStringCount]
                                     .fingering[parameter % ChordValues::kStringCount];
            text += (port == kFirstString ? " " : " ,\n    ") + portValue(portSymbol(port), fret);
        }
        text += " ,\n    " + portValue(portSymbol(kSoundSet), set.electric ? 1 : 0) + " ,\n    " +
                portValue(portSymbol(kReset), 0) + " .\n\n";
    }
    return text;
}

bool write(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) std::cerr << "lyrevane-lv2-ttl: cannot write " << path << "\n";
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: lyrevane-lv2-ttl BUNDLE_FOLDER\n";
        return 2;
    }
    const std::string folder = argv[1];
    if (chordSets().empty()) return 1;
    const bool written = write(folder + "/manifest.ttl", manifest()) &&
                         write(folder + "/lyrevane.ttl", pluginDescription()) &&
                         write(folder + "/presets.ttl", presetDescriptions());
    return written ? 0 : 1;
}
