// Feeds any bytes to the program-file reader of the render tool and checks what it accepts:
// a parameter program whose values lie within 0 to 1, which writes back to a file that reads
// as the same program.
#include "presets/ProgramFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string error;
    const std::optional<presets::Program> program =
        presets::decodeProgram(std::vector<uint8_t>(data, data + size), error);
    if (!program) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(size == presets::kProgramHeaderBytes + 4 * program->values.size());
    FUZZ_CHECK(program->name.size() <= presets::kProgramNameBytes);
    for (float value : program->values) {
        FUZZ_CHECK(value >= 0.0f && value <= 1.0f);
    }
    // The name's 28th byte may be taken in; written back it gives way to the terminator.
    const std::optional<presets::Program> again =
        presets::decodeProgram(presets::encodeProgram(*program), error);
    FUZZ_CHECK(again && again->values == program->values &&
               again->uniqueId == program->uniqueId && again->version == program->version &&
               program->name.compare(0, presets::kProgramNameBytes - 1, again->name) == 0);
    return 0;
}
