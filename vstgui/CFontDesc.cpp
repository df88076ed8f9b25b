// Font descriptions and the shared set.
#include "vstgui/CFontDesc.h"

namespace VSTGUI {

CFontDesc::CFontDesc(const char* name, int32_t size, int32_t style) : size(size), style(style)
{
    setName(name);
}

void CFontDesc::setName(const char* newName)
{
    if (newName ? hasName && name == newName : !hasName) return;
    hasName = newName != nullptr;
    name = hasName ? newName : "";
}

namespace {
// Static storage holds one reference to each for the module's lifetime, so no release by a
// draw context can bring them to zero.
CFontDesc sharedFonts[kSharedFontCount] = {
    {"Arial", 12, 0}, {"Arial", 18, 0}, {"Arial", 14, 0}, {"Arial", 12, 0},
    {"Arial", 11, 0}, {"Arial", 10, 0}, {"Arial", 9, 0},  {"Symbol", 13, 0},
};
}  // namespace

CFontDesc* sharedFont(size_t index)
{
    return index < kSharedFontCount ? &sharedFonts[index] : nullptr;
}

}  // namespace VSTGUI
