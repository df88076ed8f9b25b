// Writes the bundle's manifest.ttl and lyrevane.ttl from the port table and the
// instrument's own defaults, so the description can never disagree with the code.
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/Plektra.h"
#include "lv2/Lv2Ports.h"

using namespace lv2ports;

namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string scalePoint(const std::string& label, int32_t value)
{
    return "[ rdfs:label \"" + label + "\" ; rdf:value " + std::to_string(value) + " ]";
}

// An integer control port; the caller adds its scale points and properties.
void controlPort(std::ostream& out, uint32_t index, bool input, const std::string& symbol,
                 const std::string& name, int32_t defaultValue, int32_t maximum,
                 const std::string& properties)
{
    out << " , [\n    a lv2:" << (input ? "Input" : "Output") << "Port , lv2:ControlPort ;\n"
        << "    lv2:index " << index << " ;\n    lv2:symbol \"" << symbol << "\" ;\n"
        << "    lv2:name \"" << name << "\" ;\n"
        << "    lv2:default " << defaultValue << " ;\n    lv2:minimum 0 ;\n"
        << "    lv2:maximum " << maximum << " ;\n    lv2:portProperty lv2:integer" << properties;
}

std::string pluginDescription()
{
    Plektra instrument(nullptr);
    std::ostringstream out;
    out << kPrefixes << "<" << kPluginUri << ">\n"
        << "  a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
        << "  doap:name \"Lyrevane\" ;\n"
        << "  doap:maintainer [ foaf:name \"Lyrevane Instruments\" ] ;\n"
        << "  lv2:minorVersion 0 ;\n  lv2:microVersion 0 ;\n"
        << "  lv2:requiredFeature urid:map ;\n"
        << "  lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "  ui:ui <" << kUiUri << "> ;\n"
        << "  lv2:port [\n    a lv2:InputPort , atom:AtomPort ;\n"
        << "    atom:bufferType atom:Sequence ;\n"
        << "    atom:supports midi:MidiEvent , time:Position ;\n"
        << "    lv2:designation lv2:control ;\n"
        << "    lv2:index " << kEvents << " ;\n    lv2:symbol \"events\" ;\n"
        << "    lv2:name \"MIDI in\"\n  ]";
    const char* sides[] = {"left", "right"};
    for (uint32_t port : {kLeft, kRight}) {
        const std::string side = sides[port - kLeft];
        out << " , [\n    a lv2:OutputPort , lv2:AudioPort ;\n"
            << "    lv2:index " << port << " ;\n    lv2:symbol \"out_" << side << "\" ;\n"
            << "    lv2:name \"Output " << side << "\"\n  ]";
    }

    std::string positions;
    for (int32_t position = 0; position < kStringPositions; ++position) {
        positions += (position ? " ,\n      " : "") + scalePoint(positionLabel(position), position);
    }
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        const int32_t parameter = parameterOfPort(port);
        const int32_t chord = parameter / ChordValues::kStringCount;
        const int32_t string = parameter % ChordValues::kStringCount;
        controlPort(out, port, true, portSymbol(port), stringPortName(chord, string),
                    stringPosition(instrument.getParameter(parameter)), kStringPositions - 1,
                    " ;\n    lv2:scalePoint " + positions);
        out << "\n  ]";
    }

    controlPort(out, kSoundSet, true, portSymbol(kSoundSet), "Sound set", 0, kSoundSetCount - 1,
                " , lv2:enumeration ;\n    lv2:scalePoint " + scalePoint(kSoundSetNames[0], 0) +
                    " , " + scalePoint(kSoundSetNames[1], 1));
    out << "\n  ]";
    controlPort(out, kReset, true, portSymbol(kReset), "Reset", 0, 1, " , lv2:toggled , pprops:trigger");
    out << "\n  ]";
    std::string chords;
    for (int32_t chord = 0; chord < ChordValues::kChordCount; ++chord) {
        chords += (chord ? " ,\n      " : "") + scalePoint(chordLabel(chord), chord);
    }
    controlPort(out, kPlayedChord, false, portSymbol(kPlayedChord), "Chord being played", 0,
                ChordValues::kChordCount - 1, " ;\n    lv2:scalePoint " + chords);
    out << "\n  ] .\n\n";

    out << "<" << kUiUri << ">\n  a ui:X11UI ;\n"
        << "  lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
        << "  lv2:optionalFeature ui:touch , ui:resize ;\n"
        << "  lv2:extensionData ui:idleInterface .\n";
    return out.str();
}

std::string manifest()
{
    return std::string(kPrefixes) + "<" + kPluginUri + ">\n  a lv2:Plugin ;\n" +
           "  lv2:binary <" + kDspBinary + "> ;\n  rdfs:seeAlso <lyrevane.ttl> .\n\n" + "<" +
           kUiUri + ">\n  a ui:X11UI ;\n  ui:binary <" + kUiBinary + "> ;\n" +
           "  rdfs:seeAlso <lyrevane.ttl> .\n";
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
    const bool written = write(folder + "/manifest.ttl", manifest()) &&
                         write(folder + "/lyrevane.ttl", pluginDescription());
    return written ? 0 : 1;
}
