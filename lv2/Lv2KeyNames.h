// The names of the instrument's keys as a MIDNAM document, which hosts show in their piano
// rolls.
#pragma once

#include <string>

#include "instrument/KeyNames.h"

namespace lv2keynames {

// The document for one instance: its model (unique to the instance) names the keys on every
// channel. Built on the host's thread, never the audio thread: it allocates.
std::string document(const std::string& model, const keynames::Names& names);

}  // namespace lv2keynames
