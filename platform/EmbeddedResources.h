// The table of resources linked into the module at build time (see resources/).
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
