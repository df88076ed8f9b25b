# Writes the chord-set table TABLE into the C++ source OUTPUT as one string, so that the
# render tool carries the factory sets. Run by the build with cmake -P.
file(READ ${TABLE} text)
if(text MATCHES "\\)table\"")
  message(FATAL_ERROR "${TABLE} holds the text that ends the string it is embedded as")
endif()
file(WRITE ${OUTPUT} "// Generated from presets/chord-sets.txt by presets/embed-table.cmake; do not edit.
#include \"presets/FactoryChordSets.h\"

const char* const presets::kFactoryChordSetTable = R\"table(${text})table\";
")
