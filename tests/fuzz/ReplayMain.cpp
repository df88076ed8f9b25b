// Runs a fuzz target over saved inputs when it is built without libFuzzer, so that the
// committed corpora and every input that ever failed are replayed by the ordinary test suite.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        // libFuzzer's options: one command line serves both builds.
        if (argv[i][0] == '-') continue;
        const fs::path given(argv[i]);
        std::vector<fs::path> files;
        if (fs::is_directory(given)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(given)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
        } else if (fs::is_regular_file(given)) {
            files.push_back(given);
        } else {
            // A mistyped path must not pass as "nothing to replay".
            std::fprintf(stderr, "no such input: %s\n", argv[i]);
            return 2;
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            // Named before it runs, so a crash points at its input.
            std::fprintf(stderr, "replaying %s\n", file.c_str());
            std::ifstream stream(file, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)),
                                             std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::fprintf(stderr, "replayed %zu inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
