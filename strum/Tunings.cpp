// The open strings under a tuning and a capo.
#include "strum/Tunings.h"

#include <algorithm>

namespace tunings {

int32_t heldTuning(int32_t tuning) { return std::clamp(tuning, 0, kTuningCount - 1); }

int32_t heldCapo(int32_t capo) { return std::clamp(capo, 0, kHighestCapo); }

void openStrings(int32_t tuning, int32_t capo, OpenStrings& open)
{
    const Tuning& strings = kTunings[heldTuning(tuning)];
    for (int32_t s = 0; s < kStringCount; ++s)
        open[s] = strings.open[s] + heldCapo(capo);
}

}  // namespace tunings
