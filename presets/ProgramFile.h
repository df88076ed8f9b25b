// VST 2 program files (.fxp) holding one parameter program: the layout VST hosts import and
// export, every field big-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace presets {

// What the instrument's effect record says of itself, written into its program files.
constexpr int32_t kInstrumentUniqueId = 0x534D504C;  // "SMPL"
constexpr int32_t kInstrumentVersion = 1;

constexpr size_t kProgramNameBytes = 28;
// 'CcnK', byte size, 'FxCk', format version, unique id, plug-in version, parameter count,
// then the name: the values follow.
constexpr size_t kProgramHeaderBytes = 7 * 4 + kProgramNameBytes;

struct Program {
    int32_t uniqueId = kInstrumentUniqueId;
    int32_t version = kInstrumentVersion;
    std::string name;  // at most 27 characters are kept, the 28th byte stays zero
    std::vector<float> values;
};

std::vector<uint8_t> encodeProgram(const Program& program);

// Reads a parameter program. A file that is not one (another kind of VST file, a bank, a
// chunk, a wrong size or count, values outside 0 to 1) gives nothing, and error says why.
std::optional<Program> decodeProgram(const std::vector<uint8_t>& bytes, std::string& error);

// The four characters of a magic or unique id, for messages: "SMPL", or its number when
// some character cannot be shown.
std::string fourCharacters(int32_t code);

}  // namespace presets
