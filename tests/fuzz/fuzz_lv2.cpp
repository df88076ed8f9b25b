// The LV2 plug-in's inputs, as a host hands them over run after run: blocks of any size, port
// values changed between them (NaN, infinities and values far out of range included), and
// atom sequences of MIDI, time:Position objects with any of their keys in any atom type and
// value, reset messages and atoms of no kind the plug-in knows, at any frame. Every output
// sample stays finite and bounded, and the chord outputs name a chord or none.
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include <cmath>
#include <string>
#include <vector>

#include "lv2/Lv2Instrument.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

constexpr uint32_t kMostFrames = 4096;
constexpr size_t kSequenceBytes = 16384;

struct Urids
{
    std::vector<std::string> uris;

    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto& self = *static_cast<Urids*>(handle);
        for (size_t i = 0; i < self.uris.size(); ++i) {
            if (self.uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        }
        self.uris.emplace_back(uri);
        return static_cast<LV2_URID>(self.uris.size());
    }
};

// One value of a time:Position key, in an atom type the fuzzer picks.
void forgeNumber(LV2_Atom_Forge& forge, FuzzInput& input)
{
    switch (input.takeByte() % 5) {
    case 0: lv2_atom_forge_float(&forge, input.takeFloat()); break;
    case 1: lv2_atom_forge_double(&forge, input.takeDouble()); break;
    case 2: lv2_atom_forge_int(&forge, input.take<int32_t>()); break;
    case 3: lv2_atom_forge_long(&forge, input.take<int64_t>()); break;
    default: lv2_atom_forge_bool(&forge, input.takeByte() & 1); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    Urids urids;
    LV2_URID_Map map{&urids, Urids::map};
    static const double rates[] = {44100.0, 48000.0, 96000.0, 8000.0, 192000.0};
    const double rate = rates[input.takeByte() % std::size(rates)];
    Lv2Instrument plugin(rate, map);

    std::vector<float> left(kMostFrames), right(kMostFrames);
    std::vector<float> ports(lv2ports::kPortCount, 0.0f);
    std::vector<uint64_t> sequence(kSequenceBytes / sizeof(uint64_t));
    for (uint32_t port = 0; port < lv2ports::kPortCount; ++port) {
        if (port == lv2ports::kEvents) {
            plugin.connect(port, sequence.data());
        } else if (port == lv2ports::kLeft) {
            plugin.connect(port, left.data());
        } else if (port == lv2ports::kRight) {
            plugin.connect(port, right.data());
        } else {
            plugin.connect(port, &ports[port]);
        }
    }
    plugin.activate();

    const LV2_URID positionType = map.map(&urids, LV2_TIME__Position);
    const LV2_URID keys[] = {map.map(&urids, LV2_TIME__frame),     map.map(&urids, LV2_TIME__speed),
                             map.map(&urids, LV2_TIME__bar),       map.map(&urids, LV2_TIME__barBeat),
                             map.map(&urids, LV2_TIME__beat),      map.map(&urids, LV2_TIME__beatUnit),
                             map.map(&urids, LV2_TIME__beatsPerBar),
                             map.map(&urids, LV2_TIME__beatsPerMinute)};
    const LV2_URID resetType = map.map(&urids, lv2ports::kResetMessageUri);
    const LV2_URID midiType = map.map(&urids, LV2_MIDI__MidiEvent);
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &map);

    for (int run = 0; run < 64 && !input.empty(); ++run) {
        const auto frames = static_cast<uint32_t>(input.take<uint16_t>() % (kMostFrames + 1));
        // Port values between runs: a few of them, any value.
        for (uint8_t changes = input.takeByte() % 4; changes > 0; --changes) {
            const uint32_t port = input.takeByte() % lv2ports::kPortCount;
            if (port != lv2ports::kEvents && port != lv2ports::kLeft && port != lv2ports::kRight) {
                ports[port] = input.takeFloat();
            }
        }
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(sequence.data()),
                                  kSequenceBytes);
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_sequence_head(&forge, &frame, 0);
        int64_t at = 0;
        for (uint8_t count = input.takeByte() % 24; count > 0; --count) {
            // Frames in order, as the atom port promises, but now and then past the block.
            at += input.takeByte() * (frames / 64 + 1);
            lv2_atom_forge_frame_time(&forge, at);
            const uint8_t kind = input.takeByte() % 4;
            if (kind == 0) {
                const std::vector<uint8_t> bytes = input.takeBytes(input.takeByte() % 5);
                lv2_atom_forge_atom(&forge, static_cast<uint32_t>(bytes.size()), midiType);
                if (!bytes.empty()) {
                    lv2_atom_forge_write(&forge, bytes.data(), static_cast<uint32_t>(bytes.size()));
                }
            } else if (kind == 1) {
                LV2_Atom_Forge_Frame object;
                lv2_atom_forge_object(&forge, &object, 0, positionType);
                const uint8_t present = input.takeByte();
                for (size_t k = 0; k < std::size(keys); ++k) {
                    if ((present >> k & 1) == 0) continue;
                    lv2_atom_forge_key(&forge, keys[k]);
                    forgeNumber(forge, input);
                }
                lv2_atom_forge_pop(&forge, &object);
            } else if (kind == 2) {
                LV2_Atom_Forge_Frame object;
                lv2_atom_forge_object(&forge, &object, 0, resetType);
                lv2_atom_forge_pop(&forge, &object);
            } else {
                // An atom of a type the plug-in does not know, or an object of none.
                const std::vector<uint8_t> bytes = input.takeBytes(input.takeByte() % 16);
                lv2_atom_forge_atom(&forge, static_cast<uint32_t>(bytes.size()),
                                    input.takeByte() % 40);
                if (!bytes.empty()) {
                    lv2_atom_forge_write(&forge, bytes.data(), static_cast<uint32_t>(bytes.size()));
                }
            }
        }
        lv2_atom_forge_pop(&forge, &frame);
        plugin.run(frames);
        for (uint32_t i = 0; i < frames; ++i) {
            FUZZ_CHECK(std::isfinite(left[i]) && std::fabs(left[i]) <= 8.0f);
            FUZZ_CHECK(std::isfinite(right[i]) && std::fabs(right[i]) <= 8.0f);
        }
        const float chord = ports[lv2ports::kRecognisedChord];
        FUZZ_CHECK(chord >= -1.0f && chord < 12.0f * chords::kQualityCount);
    }
    return 0;
}
