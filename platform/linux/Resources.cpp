// The find/load/lock/size steps over the resource table embedded at build time.
#include "platform/Resources.h"

#include <cstring>

namespace platform {

namespace {

const EmbeddedResource* table = kEmbeddedResources;
size_t tableSize = kEmbeddedResourceCount;
// Per thread, as the original platform keeps it: instruments may load on several threads.
thread_local uint32_t lastErrorCode = 0;

// Load failure codes of the original platform, for the steps that can fail on a null handle.
constexpr uint32_t kErrorInvalidHandle = 6;

}  // namespace

ResourceHandle findResource(int id, const char* type)
{
    if (type != nullptr) {
        for (size_t i = 0; i < tableSize; ++i) {
            const EmbeddedResource& resource = table[i];
            if (resource.id == id && resource.type != nullptr &&
                std::strcmp(resource.type, type) == 0) {
                return &resource;
            }
        }
    }
    lastErrorCode = kErrorResourceNotFound;
    return nullptr;
}

const void* loadResource(ResourceHandle resource)
{
    if (resource == nullptr) {
        lastErrorCode = kErrorInvalidHandle;
    }
    return resource;
}

const void* lockResource(const void* loaded)
{
    if (loaded == nullptr) {
        lastErrorCode = kErrorInvalidHandle;
        return nullptr;
    }
    return static_cast<ResourceHandle>(loaded)->begin;
}

uint32_t sizeofResource(ResourceHandle resource)
{
    if (resource == nullptr || resource->begin == nullptr || resource->end < resource->begin) {
        return 0;
    }
    return static_cast<uint32_t>(resource->end - resource->begin);
}

uint32_t lastError()
{
    return lastErrorCode;
}

void setResourceTable(const EmbeddedResource* replacement, size_t count)
{
    if (replacement == nullptr) {
        table = kEmbeddedResources;
        tableSize = kEmbeddedResourceCount;
    } else {
        table = replacement;
        tableSize = count;
    }
}

}  // namespace platform
