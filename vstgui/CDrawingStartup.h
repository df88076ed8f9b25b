// The drawing layer's process-wide start-up holder, counted by every bitmap and frame.
#pragma once

#include "vstgui/CBaseObject.h"

namespace VSTGUI {

// The drawing backend here needs no start-up of its own; the holder keeps the count so that
// the moment the last drawing user goes is one well-defined place.
class CDrawingStartup : public CBaseObject
{
public:
    // Takes one reference, creating the holder when none exists.
    static void acquire();
    // Drops one reference; the last one destroys the holder.
    static void drop();
    // The live holder, or null.
    static CDrawingStartup* instance();

private:
    CDrawingStartup() = default;
    ~CDrawingStartup() override;

    static CDrawingStartup* current;
};

}  // namespace VSTGUI
