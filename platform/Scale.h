// The panel's scale: device pixels per panel pixel, how areas and pointer positions cross
// between the two, which drawn size of an image a painter uses, and the user's own choice.
// The panel is laid out and handled in panel pixels; only the window and the painter, below
// the toolkit, see device pixels.
#pragma once

#include <cstdint>

#include "platform/Painter.h"

namespace platform {

// Beyond this a panel would outgrow any screen; a larger value is a fault, not a wish.
constexpr double kLargestScale = 4.0;
// The artwork is drawn at 1x, 2x and 3x.
constexpr int32_t kLargestImageFactor = 3;

// Finite and from 1 to kLargestScale: any other value from anywhere is ignored.
bool isUsableScale(double scale);

// The device pixels that length panel pixels fill: a last part-pixel, which no drawing could
// fill whole, is left out.
int32_t scaledLength(int32_t length, double scale);
// The device pixels that area touches, rounded outwards.
Rect toDevice(const Rect& area, double scale);
// The panel pixels that a device area touches, rounded outwards: drawing them covers it.
Rect toPanel(const Rect& deviceArea, double scale);
// The panel pixel under the centre of a device pixel.
int32_t toPanel(int32_t device, double scale);

// Of the factors an image holds (bit f set for factor f; factor 1 always), the one a painter
// at scale draws from: the smallest at or above the scale, so that drawings are filtered
// down and never enlarged, or the largest when none reaches it.
int32_t imageFactorFor(double scale, uint32_t heldFactors);
// Every factor the artwork is drawn at, as heldFactors.
constexpr uint32_t kAllImageFactors = (2u << kLargestImageFactor) - 2u;

// The scale the user asks for in LYREVANE_SCALE, or 0 when it is unset or unusable.
double userScale();

}  // namespace platform
