// The render tool's CLAP edition: finding Lyrevane.clap, starting it with a chord set and
// controls set by name, and playing blocks as a CLAP host does.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "presets/ProgramFile.h"
#include "tools/ClapHost.h"
#include "tools/MidiFile.h"

namespace harness {

// The binary beside the tool in a build, or where the install put it, else the first
// Lyrevane.clap where CLAP hosts look (CLAP_PATH, ~/.clap, /usr/local/lib/clap,
// /usr/lib/clap); empty when there is none.
std::string defaultClapPath();

// Loads the plug-in and sets the chord set's strings and sound set, then each control by
// its name or its symbol (pattern=3, "Strum pattern=3"). Null with the reason in error.
std::unique_ptr<ClapHost> startClap(const std::string& path, double rate, int block,
                                    const std::optional<presets::Program>& program,
                                    const std::vector<std::pair<std::string, float>>& controls,
                                    std::string& error);

// Each block with the song's position, as CLAP hosts state it every block: the transport
// rolling at the tempo map's tempo.
std::function<void(int64_t start, int frames, const std::vector<MidiEvent>& events, float* left,
                   float* right)>
playingClap(ClapHost& host, const smf::TempoMap& tempoMap, double rate);

}  // namespace harness
