// The program files the build writes: each read field by field against the fxp layout, and
// loaded into the module as a host loads a program.
#include "presets/FactoryChordSets.h"
#include "tools/PluginHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t bigEndianAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    return uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 |
           uint32_t(bytes[offset + 2]) << 8 | uint32_t(bytes[offset + 3]);
}

std::string textAt(const std::vector<uint8_t>& bytes, size_t offset, size_t length)
{
    return std::string(bytes.begin() + offset, bytes.begin() + offset + length);
}

const std::vector<presets::ChordSet>& sets()
{
    std::string error;
    const std::vector<presets::ChordSet>& all = presets::factoryChordSets(error);
    EXPECT_FALSE(all.empty()) << error;
    return all;
}

class ProgramFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
        ASSERT_NE(host.open(), nullptr);
        host.startUp();
    }

    harness::PluginHost host;
};

}  // namespace

TEST_F(ProgramFiles, EachSetIsAParameterProgramForThisModule)
{
    const AEffect* effect = host.effect();
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(LYREVANE_PROGRAMS)) {
        files += entry.path().extension() == ".fxp";
    }
    EXPECT_EQ(files, sets().size());
    for (const presets::ChordSet& set : sets()) {
        const fs::path path = fs::path(LYREVANE_PROGRAMS) / (presets::fileNameOf(set) + ".fxp");
        const std::vector<uint8_t> bytes = readFile(path);
        ASSERT_EQ(bytes.size(), 56u + 4 * 77) << path;
        EXPECT_EQ(textAt(bytes, 0, 4), "CcnK");
        EXPECT_EQ(bigEndianAt(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(textAt(bytes, 8, 4), "FxCk");
        EXPECT_EQ(bigEndianAt(bytes, 12), 1u);  // format version
        EXPECT_EQ(bigEndianAt(bytes, 16), uint32_t(effect->uniqueID));
        EXPECT_EQ(bigEndianAt(bytes, 20), uint32_t(effect->version));
        EXPECT_EQ(bigEndianAt(bytes, 24), uint32_t(effect->numParams));
        // The name, zero-padded to 28 bytes.
        std::string name = set.name;
        name.resize(28, '\0');
        EXPECT_EQ(textAt(bytes, 28, 28), name);
        const presets::ParameterValues expected = presets::parameterValuesOf(set);
        for (size_t i = 0; i < 77; ++i) {
            const uint32_t word = bigEndianAt(bytes, 56 + 4 * i);
            float value;
            std::memcpy(&value, &word, sizeof value);
            EXPECT_EQ(value, expected[i]) << set.name << ", parameter " << i;
        }
    }
}

// A host loads a program by setting every parameter in order; the module then holds exactly
// the table's fingerings, and the default set is the module's own default.
TEST_F(ProgramFiles, TheModuleTakesEveryProgramAsItsChords)
{
    const presets::ChordSet* defaults = presets::findChordSet(sets(), "Twelve major chords");
    ASSERT_NE(defaults, nullptr);
    const presets::ParameterValues defaultValues = presets::parameterValuesOf(*defaults);
    for (int32_t index = 0; index < 72; ++index) {
        EXPECT_EQ(host.getParameter(index), defaultValues[index]) << "parameter " << index;
    }
    for (const presets::ChordSet& set : sets()) {
        const presets::ParameterValues values = presets::parameterValuesOf(set);
        for (int32_t index = 0; index < 77; ++index) {
            host.setParameter(index, values[index]);
        }
        for (int32_t index = 0; index < 72; ++index) {
            // A muted string reads 0, an open one 1/19, fret f (f + 1)/19.
            const int fret = set.chords[index / 6].fingering[index % 6];
            EXPECT_EQ(host.getParameter(index), float(fret + 1) * 0.05263158f)
                << set.name << ", parameter " << index;
        }
    }
}
