// Reading the embedded factory table once.
#include "presets/FactoryChordSets.h"

#include <sstream>

namespace presets {

const std::vector<ChordSet>& factoryChordSets(std::string& error)
{
    static std::string readError;
    static const std::vector<ChordSet> sets = [] {
        std::istringstream table(kFactoryChordSetTable);
        return readChordSets(table, readError).value_or(std::vector<ChordSet>{});
    }();
    error = readError;
    return sets;
}

}  // namespace presets
