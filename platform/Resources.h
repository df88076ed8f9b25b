// Reaching the module's own resources by type and numeric id, in the four steps of the
// original platform (find, load, lock, size), each with its own failure point, so the
// readers above keep their error handling and messages.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef _WIN32
#include "platform/EmbeddedResources.h"
#endif

namespace platform {

// Error code left by a failed find: the original platform's "resource not found".
constexpr uint32_t kErrorResourceNotFound = 1814;

#ifdef _WIN32
using ResourceHandle = const void*;  // the module's HRSRC
#else
using ResourceHandle = const EmbeddedResource*;
#endif

// Null when there is no resource of that type and id; lastError() then tells why.
ResourceHandle findResource(int id, const char* type);
// Null on failure (a null handle).
const void* loadResource(ResourceHandle resource);
// The resource's bytes, or null.
const void* lockResource(const void* loaded);
// Size in bytes; 0 for a null handle.
uint32_t sizeofResource(ResourceHandle resource);
// Error code of the last failed step on this thread.
uint32_t lastError();

#ifndef _WIN32
// Tests and fuzzers substitute the table the four steps search; null restores the
// embedded one. Not for use while an instrument is being constructed on another thread.
void setResourceTable(const EmbeddedResource* table, size_t count);
#endif

}  // namespace platform
