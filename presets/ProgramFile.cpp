// Writing and reading fxp parameter programs.
#include "presets/ProgramFile.h"

#include <cmath>
#include <cstring>

namespace presets {

namespace {

constexpr int32_t fourCharCode(const char (&text)[5])
{
    return static_cast<int32_t>(static_cast<uint32_t>(text[0]) << 24 |
                                static_cast<uint32_t>(text[1]) << 16 |
                                static_cast<uint32_t>(text[2]) << 8 |
                                static_cast<uint32_t>(text[3]));
}

constexpr int32_t kFileMagic = fourCharCode("CcnK");
constexpr int32_t kParameterProgram = fourCharCode("FxCk");
constexpr int32_t kParameterBank = fourCharCode("FxBk");
constexpr int32_t kChunkProgram = fourCharCode("FPCh");
constexpr int32_t kChunkBank = fourCharCode("FBCh");
constexpr int32_t kFormatVersion = 1;
constexpr size_t kSizeFieldEnd = 8;  // the byte size counts what follows it

void appendWord(std::vector<uint8_t>& bytes, uint32_t word)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(word >> shift));
    }
}

uint32_t wordAt(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset]) << 24 |
           static_cast<uint32_t>(bytes[offset + 1]) << 16 |
           static_cast<uint32_t>(bytes[offset + 2]) << 8 | static_cast<uint32_t>(bytes[offset + 3]);
}

}  // namespace

std::string fourCharacters(int32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>(static_cast<uint32_t>(code) >> shift);
        if (c < 0x20 || c > 0x7E) {
            return std::to_string(code);
        }
        text += c;
    }
    return text;
}

std::vector<uint8_t> encodeProgram(const Program& program)
{
    std::vector<uint8_t> bytes;
    const size_t size = kProgramHeaderBytes + 4 * program.values.size();
    appendWord(bytes, kFileMagic);
    appendWord(bytes, static_cast<uint32_t>(size - kSizeFieldEnd));
    appendWord(bytes, kParameterProgram);
    appendWord(bytes, kFormatVersion);
    appendWord(bytes, static_cast<uint32_t>(program.uniqueId));
    appendWord(bytes, static_cast<uint32_t>(program.version));
    appendWord(bytes, static_cast<uint32_t>(program.values.size()));
    char name[kProgramNameBytes] = {};
    std::strncpy(name, program.name.c_str(), kProgramNameBytes - 1);
    bytes.insert(bytes.end(), name, name + kProgramNameBytes);
    for (float value : program.values) {
        uint32_t word;
        std::memcpy(&word, &value, sizeof word);
        appendWord(bytes, word);
    }
    return bytes;
}

std::optional<Program> decodeProgram(const std::vector<uint8_t>& bytes, std::string& error)
{
    auto fault = [&](const std::string& what) {
        error = what;
        return std::nullopt;
    };
    if (bytes.size() < 12 || static_cast<int32_t>(wordAt(bytes, 0)) != kFileMagic) {
        return fault("not a VST program file (it does not begin with 'CcnK')");
    }
    const auto kind = static_cast<int32_t>(wordAt(bytes, 8));
    if (kind == kParameterBank || kind == kChunkBank) {
        return fault("a bank of programs; this instrument takes one program file (FxCk)");
    }
    if (kind == kChunkProgram) {
        return fault("a program stored as a chunk; this instrument has none and takes its "
                     "parameters (FxCk)");
    }
    if (kind != kParameterProgram) {
        return fault("an unknown kind of VST file ('" + fourCharacters(kind) +
                     "'; a program file is FxCk)");
    }
    const uint32_t declaredSize = wordAt(bytes, 4);
    if (bytes.size() < kProgramHeaderBytes || declaredSize != bytes.size() - kSizeFieldEnd) {
        return fault("truncated or padded: its header gives " +
                     std::to_string(uint64_t(declaredSize) + kSizeFieldEnd) + " bytes, the file has " +
                     std::to_string(bytes.size()));
    }
    if (static_cast<int32_t>(wordAt(bytes, 12)) != kFormatVersion) {
        return fault("format version " + std::to_string(wordAt(bytes, 12)) +
                     "; only version 1 is known");
    }
    Program program;
    program.uniqueId = static_cast<int32_t>(wordAt(bytes, 16));
    program.version = static_cast<int32_t>(wordAt(bytes, 20));
    const uint32_t count = wordAt(bytes, 24);
    const size_t valueBytes = bytes.size() - kProgramHeaderBytes;
    if (valueBytes != 4 * uint64_t(count)) {
        return fault("it announces " + std::to_string(count) + " parameters but holds " +
                     std::to_string(valueBytes / 4) + (valueBytes % 4 != 0 ? " and a part" : ""));
    }
    const char* name = reinterpret_cast<const char*>(bytes.data()) + 28;
    program.name.assign(name, strnlen(name, kProgramNameBytes));
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t word = wordAt(bytes, kProgramHeaderBytes + 4 * size_t(i));
        float value;
        std::memcpy(&value, &word, sizeof value);
        if (!(value >= 0.0f && value <= 1.0f)) {
            return fault("parameter " + std::to_string(i) + " has the value " +
                         std::to_string(value) + ", outside 0 to 1");
        }
        program.values.push_back(value);
    }
    return program;
}

}  // namespace presets
