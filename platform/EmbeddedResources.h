// The table of resources linked into a binary at build time (see resources/). Each binary
// links the table of what it uses: the recordings, the images, or both.
#pragma once

#include <cstddef>

namespace platform {

struct EmbeddedResource {
    const char* type;  // "WAVE" or "PNG"
    int id;
    const unsigned char* begin;
    const unsigned char* end;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const size_t kEmbeddedResourceCount;

}  // namespace platform
