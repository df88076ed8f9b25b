// The answers every VST3 plug-in owes a host, as the tests check them on Debian's Zam
// effects and on our own edition.
#pragma once

#include <string>
#include <vector>

#include "tools/Vst3Host.h"

namespace vst3test {

// Checks the loaded plug-in's factory, class, buses and parameters one by one; each broken
// rule is added to faults with what was answered.
void checkFormatRules(harness::Vst3Host& host, std::vector<std::string>& faults);

}  // namespace vst3test
