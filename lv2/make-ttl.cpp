// Writes the bundle's manifest.ttl, lyrevane.ttl and presets.ttl from the port table, the key
// map, the instrument's own defaults and the factory chord sets, so the description can never
// disagree with the code or the table.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "host/Plektra.h"
#include "lv2/Lv2Ports.h"
#include "lv2/Midnam.h"
#include "presets/FactoryChordSets.h"
#include "strum/PatternTable.h"

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

std::string scalePoints(const std::vector<std::string>& labels, int32_t first)
{
    std::string points;
    for (size_t i = 0; i < labels.size(); ++i) {
        points += (i ? " ,\n      " : "") + scalePoint(labels[i], first + static_cast<int32_t>(i));
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
void controlPort(std::ostream& out, uint32_t port, const std::string& name,
                 const std::string& comment, int32_t defaultValue, const std::string& properties)
{
    const Range range = rangeOf(port);
    out << " , [\n    a lv2:" << (port == kPlayedChord ? "Output" : "Input")
        << "Port , lv2:ControlPort ;\n"
        << "    lv2:index " << port << " ;\n    lv2:symbol " << quoted(portSymbol(port)) << " ;\n"
        << "    lv2:name " << quoted(name) << " ;\n    rdfs:comment " << quoted(comment) << " ;\n"
        << "    lv2:default " << defaultValue << " ;\n    lv2:minimum " << range.minimum
        << " ;\n    lv2:maximum " << range.maximum << " ;\n    lv2:portProperty lv2:integer"
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

// The playing aids, from their table; their defaults leave the instrument as the module.
void aidPorts(std::ostream& out)
{
    std::vector<std::string> patterns = {"off"};
    for (const StrumPattern& pattern : strumpatterns::kPatterns) patterns.push_back(pattern.name);
    for (const AidPort& aid : kAidPorts) {
        const float maximum = aid.port == kPattern ? static_cast<float>(patternCount()) : aid.maximum;
        out << " , [\n    a lv2:InputPort , lv2:ControlPort ;\n"
            << "    lv2:index " << aid.port << " ;\n    lv2:symbol " << quoted(aid.symbol) << " ;\n"
            << "    lv2:name " << quoted(aid.name) << " ;\n    rdfs:comment " << quoted(aid.comment)
            << " ;\n    pg:group " << ownUri("playing") << " ;\n";
        if (aid.integer) {
            out << "    lv2:default " << aid.defaultValue << " ;\n    lv2:minimum " << aid.minimum
                << " ;\n    lv2:maximum " << maximum << " ;\n    lv2:portProperty lv2:integer";
        } else {
            out << "    lv2:default " << number(aid.defaultValue) << " ;\n    lv2:minimum "
                << number(aid.minimum) << " ;\n    lv2:maximum " << number(maximum);
        }
        if (*aid.unit) out << " ;\n    units:unit units:" << aid.unit;
        if (aid.port == kChordInput) {
            out << " , lv2:enumeration ;\n    lv2:scalePoint "
                << scalePoints({kChordInputNames[0], kChordInputNames[1]}, 0);
        } else if (aid.port == kPattern) {
            out << " , lv2:enumeration ;\n    lv2:scalePoint " << scalePoints(patterns, 0);
        }
        out << "\n  ]";
    }
    std::vector<std::string> chords;
    for (int32_t chord = kNoChord; chord <= rangeOf(kRecognisedChord).maximum; ++chord) {
        chords.push_back(recognisedChordLabel(chord));
    }
    controlPort(out, kRecognisedChord, "Recognised chord",
                "The chord last read from the notes held below the chord keys, -1 before any: "
                "its root (0 C to 11 B) times " + std::to_string(chords::kQualityCount) +
                    ", plus its quality (0 major, 1 minor, 2 seventh, in the order of the "
                    "scale points).",
                kNoChord, " , lv2:enumeration ;\n    lv2:scalePoint " + scalePoints(chords, kNoChord));
    out << "\n  ]";
}

std::string chordGroup(int32_t chord)
{
    return "chord" + std::to_string(chord + 1);
}

std::string pluginDescription()
{
    Plektra instrument(nullptr);
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

    std::vector<std::string> frets;
    for (int32_t fret = kMuted; fret <= kHighestFret; ++fret) frets.push_back(fretLabel(fret));
    const std::string fretPoints = scalePoints(frets, kMuted);
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        const int32_t parameter = parameterOfPort(port);
        const int32_t chord = parameter / ChordValues::kStringCount;
        const int32_t string = parameter % ChordValues::kStringCount;
        // Any chord may be the one being played, whose strings stop when it is edited.
        controlPort(out, port, stringPortName(chord, string),
                    "Where the string is held: -1 muted, 0 open, 1 to 18 the fret. An edit of "
                    "the chord being played stops its strings.",
                    fretOfParameter(instrument.getParameter(parameter)),
                    " , pprops:causesArtifacts ;\n    pg:group " + ownUri(chordGroup(chord)) +
                        " ;\n    lv2:scalePoint " + fretPoints);
        out << "\n  ]";
    }

    controlPort(out, kSoundSet, "Sound set",
                "The recorded guitar the strings play. A change stops every string.", 0,
                " , lv2:enumeration , pprops:causesArtifacts ;\n    lv2:scalePoint " +
                    scalePoints({kSoundSetNames[0], kSoundSetNames[1]}, 0));
    out << "\n  ]";
    controlPort(out, kReset, "Reset", "Stops every string.", 0, " , lv2:toggled , pprops:trigger");
    out << "\n  ]";
    std::vector<std::string> chords;
    for (int32_t chord = 0; chord < ChordValues::kChordCount; ++chord) {
        chords.push_back(chordLabel(chord));
    }
    controlPort(out, kPlayedChord, "Chord being played",
                "The chord the last chord key selected.", 0,
                " , lv2:enumeration ;\n    lv2:scalePoint " + scalePoints(chords, 0));
    out << "\n  ]";
    aidPorts(out);
    out << " .\n\n";

    out << "<" << kResetMessageUri << ">\n  a rdfs:Class ;\n  rdfs:subClassOf atom:Object ;\n"
        << "  rdfs:label \"Reset\" ;\n"
        << "  rdfs:comment \"Stops every string, as the reset port does; the panel sends one "
           "for each press of its button.\" .\n\n";
    out << ownUri("playing") << "\n  a pg:Group ;\n  lv2:symbol \"playing\" ;\n"
        << "  rdfs:label \"Held chords and patterns\" .\n\n";
    out << ownUri("out") << "\n  a pg:StereoGroup , pg:OutputGroup ;\n"
        << "  lv2:symbol \"out\" ;\n  rdfs:label \"Output\" .\n";
    for (int32_t chord = 0; chord < ChordValues::kChordCount; ++chord) {
        out << "\n" << ownUri(chordGroup(chord)) << "\n  a pg:Group ;\n"
            << "  lv2:symbol " << quoted(chordGroup(chord)) << " ;\n"
            << "  rdfs:label " << quoted(chordLabel(chord)) << " .\n";
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
