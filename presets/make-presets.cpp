// lyrevane-make-presets: writes the factory chord sets as the files hosts load, each set's
// parameters as a VST program file (.fxp).
// Usage: lyrevane-make-presets --programs DIR
#include "presets/FactoryChordSets.h"
#include "presets/ProgramFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "lyrevane-make-presets: %s\n", message.c_str());
    return 1;
}

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || std::string(argv[1]) != "--programs") {
        return fail("usage: lyrevane-make-presets --programs DIR");
    }
    std::string error;
    const std::vector<presets::ChordSet>& sets = presets::factoryChordSets(error);
    if (sets.empty()) {
        return fail("presets/chord-sets.txt, " + error);
    }
    const std::filesystem::path folder = argv[2];
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    for (const presets::ChordSet& set : sets) {
        const presets::ParameterValues values = presets::parameterValuesOf(set);
        presets::Program program;
        program.name = set.name;
        program.values.assign(values.begin(), values.end());
        const std::filesystem::path path = folder / (presets::fileNameOf(set) + ".fxp");
        if (!writeFile(path, presets::encodeProgram(program))) {
            return fail("cannot write " + path.string());
        }
    }
    return 0;
}
