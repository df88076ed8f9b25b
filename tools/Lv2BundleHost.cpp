// Loading the bundle's DSP binary, and the atom sequence of each block.
#include "tools/Lv2BundleHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include "lv2/Lv2Ports.h"

namespace harness {

namespace {

constexpr size_t kEventBytes = 64 * 1024;

bool isInputControl(uint32_t port)
{
    return port >= lv2ports::kFirstString && port < lv2ports::kPortCount &&
           port != lv2ports::kPlayedChord && port != lv2ports::kRecognisedChord;
}

}  // namespace

Lv2BundleHost::~Lv2BundleHost()
{
    if (instance) {
        if (descriptor->deactivate) descriptor->deactivate(instance);
        descriptor->cleanup(instance);
    }
}

LV2_URID Lv2BundleHost::mapUri(LV2_URID_Map_Handle handle, const char* uri)
{
    auto& uris = static_cast<Lv2BundleHost*>(handle)->uris;
    const auto known = std::find(uris.begin(), uris.end(), uri);
    if (known != uris.end()) return static_cast<LV2_URID>(known - uris.begin() + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

bool Lv2BundleHost::load(const std::string& bundle, double sampleRate, int32_t maxBlock,
                         std::string& error)
{
    std::string folder = bundle;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    const std::string binary = folder + lv2ports::kDspBinary;
    module = platform::LoadableModule::load(binary, error);
    if (!module.isLoaded()) {
        error = "cannot load " + binary + ": " + error;
        return false;
    }
    const auto entry =
        reinterpret_cast<LV2_Descriptor_Function>(module.symbol("lv2_descriptor"));
    descriptor = entry ? entry(0) : nullptr;
    if (!descriptor || std::strcmp(descriptor->URI, lv2ports::kPluginUri) != 0) {
        error = binary + " is not Lyrevane's LV2 plug-in";
        return false;
    }
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    instance = descriptor->instantiate(descriptor, sampleRate, folder.c_str(), features);
    if (!instance) {
        error = "the LV2 plug-in declined to start at " + std::to_string(sampleRate) + " Hz";
        return false;
    }
    lv2_atom_forge_init(&forge, &map);
    events.assign(kEventBytes / sizeof(uint64_t), 0);
    controls.assign(lv2ports::kPortCount, 0.0f);
    leftOut.assign(static_cast<size_t>(maxBlock), 0.0f);
    rightOut.assign(static_cast<size_t>(maxBlock), 0.0f);
    descriptor->connect_port(instance, lv2ports::kEvents, events.data());
    descriptor->connect_port(instance, lv2ports::kLeft, leftOut.data());
    descriptor->connect_port(instance, lv2ports::kRight, rightOut.data());
    descriptor->connect_port(instance, lv2ports::kPlayedChord, &controls[lv2ports::kPlayedChord]);
    descriptor->connect_port(instance, lv2ports::kRecognisedChord,
                             &controls[lv2ports::kRecognisedChord]);
    if (descriptor->activate) descriptor->activate(instance);
    return true;
}

bool Lv2BundleHost::setPort(const std::string& symbol, float value)
{
    for (uint32_t port = 0; port < lv2ports::kPortCount; ++port) {
        if (isInputControl(port) && lv2ports::portSymbol(port) == symbol) {
            setPort(port, value);
            return true;
        }
    }
    return false;
}

void Lv2BundleHost::setPort(uint32_t port, float value)
{
    if (!isInputControl(port)) return;
    // Connected only once set: until then the plug-in keeps its own default.
    controls[port] = value;
    descriptor->connect_port(instance, port, &controls[port]);
}

void Lv2BundleHost::run(const SongPosition* position, const std::vector<MidiEvent>& midi,
                        int32_t frames, float* left, float* right)
{
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(events.data()), kEventBytes);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    if (position) {
        // The keys Ardour 7 and jalv send, in their order.
        const auto key = [&](const char* uri) { lv2_atom_forge_key(&forge, map.map(this, uri)); };
        const double bar = std::floor(position->quarters / 4.0);
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &object, 0, map.map(this, LV2_TIME__Position));
        key(LV2_TIME__frame);
        lv2_atom_forge_long(&forge, position->frame);
        key(LV2_TIME__speed);
        lv2_atom_forge_float(&forge, position->rolling ? 1.0f : 0.0f);
        key(LV2_TIME__barBeat);
        lv2_atom_forge_float(&forge, static_cast<float>(position->quarters - bar * 4.0));
        key(LV2_TIME__bar);
        lv2_atom_forge_long(&forge, static_cast<int64_t>(bar));
        key(LV2_TIME__beatUnit);
        lv2_atom_forge_int(&forge, 4);
        key(LV2_TIME__beatsPerBar);
        lv2_atom_forge_float(&forge, 4.0f);
        key(LV2_TIME__beatsPerMinute);
        lv2_atom_forge_float(&forge, static_cast<float>(position->beatsPerMinute));
        lv2_atom_forge_pop(&forge, &object);
    }
    const LV2_URID midiEvent = map.map(this, LV2_MIDI__MidiEvent);
    for (const MidiEvent& event : midi) {
        const uint8_t bytes[3] = {event.status, event.data1, event.data2};
        lv2_atom_forge_frame_time(&forge, event.deltaFrames);
        lv2_atom_forge_atom(&forge, sizeof bytes, midiEvent);
        lv2_atom_forge_write(&forge, bytes, sizeof bytes);
    }
    lv2_atom_forge_pop(&forge, &sequence);
    descriptor->run(instance, static_cast<uint32_t>(frames));
    std::copy_n(leftOut.begin(), frames, left);
    std::copy_n(rightOut.begin(), frames, right);
}

}  // namespace harness
