// The failure path of FUZZ_CHECK, shared by every fuzz target.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/FuzzInput.h"

void fuzzCheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}
