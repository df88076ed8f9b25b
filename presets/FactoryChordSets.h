// The factory chord sets as the build embedded them from presets/chord-sets.txt.
#pragma once

#include "presets/ChordSets.h"

namespace presets {

// The table's text, generated into the build.
extern const char* const kFactoryChordSetTable;

// The sets, read once. Empty, with error set, when the table does not read (its test fails
// first).
const std::vector<ChordSet>& factoryChordSets(std::string& error);

}  // namespace presets
