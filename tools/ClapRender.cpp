// Finding, starting and playing the CLAP edition for the render tool.
#include "tools/ClapRender.h"

#include <cstdlib>
#include <filesystem>

#include "host/PlektraParameters.h"
#include "instrument/Controls.h"
#include "platform/LoadableModule.h"

namespace harness {

namespace {

constexpr const char* kBinary = "Lyrevane.clap";

// A control by the name the plug-in shows, else by the instrument's symbol for it.
const ClapParameter* findControl(const ClapHost& host, const std::string& name)
{
    if (const ClapParameter* byName = host.findParameter(name)) return byName;
    for (const ClapParameter& parameter : host.parameters()) {
        if (parameter.id < controls::kCount && controls::symbol(parameter.id) == name) {
            return &parameter;
        }
    }
    return nullptr;
}

}  // namespace

std::string defaultClapPath()
{
    namespace fs = std::filesystem;
    std::vector<fs::path> places;
    const std::string executable = platform::executablePath();
    if (!executable.empty()) {
        places.push_back(fs::path(executable).parent_path());
#ifdef LYREVANE_INSTALLED_CLAP
        places.push_back(
            (fs::path(executable).parent_path() / LYREVANE_INSTALLED_CLAP).parent_path());
#endif
    }
#ifdef _WIN32
    constexpr char kSeparator = ';';
#else
    constexpr char kSeparator = ':';
#endif
    if (const char* clapPath = std::getenv("CLAP_PATH")) {
        const std::string folders = clapPath;
        for (size_t from = 0; from <= folders.size();) {
            const size_t end = std::min(folders.find(kSeparator, from), folders.size());
            if (end > from) places.emplace_back(folders.substr(from, end - from));
            from = end + 1;
        }
    }
#ifndef _WIN32
    if (const char* home = std::getenv("HOME")) places.push_back(fs::path(home) / ".clap");
    places.emplace_back("/usr/local/lib/clap");
    places.emplace_back("/usr/lib/clap");
#endif
    for (const fs::path& place : places) {
        std::error_code ignored;
        if (fs::is_regular_file(place / kBinary, ignored)) return (place / kBinary).string();
    }
    return "";
}

std::unique_ptr<ClapHost> startClap(const std::string& path, double rate, int block,
                                    const std::optional<presets::Program>& program,
                                    const std::vector<std::pair<std::string, float>>& controlValues,
                                    std::string& error)
{
    auto host = std::make_unique<ClapHost>();
    if (!host->load(path, "", rate, static_cast<uint32_t>(block), error)) return nullptr;
    if (program) {
        // A chord set as the controls hold it: each string in frets, and the sound set.
        for (int32_t index = 0; index < kChordParameterCount; ++index) {
            host->setParameter(controls::kFirstString + static_cast<uint32_t>(index),
                               controls::fretOfParameter(program->values[index]));
        }
        host->setParameter(controls::kSoundSet,
                           program->values[kSoundSetParameter] != 0.0f ? 1.0 : 0.0);
    }
    for (const auto& [name, value] : controlValues) {
        const ClapParameter* parameter = findControl(*host, name);
        if (parameter == nullptr || (parameter->flags & clapabi::kParamIsReadOnly)) {
            error = "the CLAP plug-in has no control '" + name + "'";
            return nullptr;
        }
        host->setParameter(parameter->id, value);
    }
    return host;
}

std::function<void(int64_t, int, const std::vector<MidiEvent>&, float*, float*)>
playingClap(ClapHost& host, const smf::TempoMap& tempoMap, double rate)
{
    return [&host, &tempoMap, rate](int64_t start, int frames, const std::vector<MidiEvent>& events,
                                    float* left, float* right) {
        const double seconds = start / rate;
        const ClapSongPosition position{tempoMap.quartersAtSeconds(seconds),
                                        tempoMap.beatsPerMinuteAtSeconds(seconds), true};
        host.run(&position, events, static_cast<uint32_t>(frames), nullptr, left, right);
    };
}

}  // namespace harness
