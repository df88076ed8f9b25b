// The instrument's settings as bytes: the state that the CLAP and VST3 editions hand their
// hosts to keep in sessions and presets. Every setting (every control that is neither an
// output nor a trigger), nothing else.
//
// The format, version 1, all numbers little-endian:
//   offset  size  what
//   0       4     the magic "LYRS"
//   4       4     the version, an unsigned integer: 1
//   8       4     n, the number of entries, at most kMaxEntries
//   12      8n    n entries: the control's id (unsigned, 4 bytes; controls::Id) and its value
//                 in the control's own units (an IEEE 754 single, 4 bytes)
//   12+8n   4     the CRC-32 (as zlib and PNG compute it) of every byte before it
// A later release appends controls with new ids and writes them as further entries, in the
// same version: a reader skips ids it does not know and gives a control the state does not
// name its default, which plays as the instrument played before that control existed. The
// version changes only if this layout does; a reader refuses versions newer than its own.
// An entry's value is held to its control's range. Refused as damaged: a wrong checksum, an
// entry count above kMaxEntries, an id named twice, a value that is not a finite number, and
// a stream that ends early. Bytes after the checksum are not read: a host may keep more in
// the same stream.
#pragma once

#include <cstdint>

#include "instrument/Controls.h"

namespace state {

using controls::Settings;

constexpr uint8_t kMagic[4] = {'L', 'Y', 'R', 'S'};
constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxEntries = 4096;

// A host's stream, moving up to size bytes: returns how many it moved, which may be fewer than
// asked or none for now, or a negative number for an error. context is the caller's.
using Write = int64_t (*)(void* context, const void* data, uint64_t size);
using Read = int64_t (*)(void* context, void* data, uint64_t size);

enum class Result {
    ok,
    streamFailed,  // the stream reported an error, or moved nothing many times over
    notAState,     // no magic: some other data
    newerVersion,  // written by a later release in a layout this one does not know
    damaged,
};

// Writes the settings' values; false when the stream failed.
bool write(const Settings& settings, Write write, void* context);
// Reads a state into settings, or leaves settings as they were and says why not.
Result read(Settings& settings, Read read, void* context);

}  // namespace state
