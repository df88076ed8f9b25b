// Font descriptions: a name, a size and a style, with the eight every context can share.
#pragma once

#include <cstddef>
#include <string>

#include "vstgui/CBaseObject.h"

namespace VSTGUI {

class CFontDesc : public CBaseObject
{
public:
    CFontDesc(const char* name, int32_t size, int32_t style);

    // A null name leaves the description without one.
    void setName(const char* name);
    const char* getName() const { return hasName ? name.c_str() : nullptr; }
    int32_t getSize() const { return size; }
    int32_t getStyle() const { return style; }

private:
    std::string name;
    bool hasName = false;
    int32_t size;
    int32_t style;
};

// The shared descriptions live from module load to unload; index 0 is the default font of
// every draw context.
constexpr size_t kSharedFontCount = 8;
CFontDesc* sharedFont(size_t index);

}  // namespace VSTGUI
