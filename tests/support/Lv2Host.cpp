#include "tests/support/Lv2Host.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

namespace lv2host {

namespace {
constexpr size_t kAtomBytes = 64 * 1024;
}

UridMap::UridMap()
    : mapFeature{this, &UridMap::mapCallback}, unmapping{this, &UridMap::unmapCallback}
{
}

LV2_URID UridMap::map(const char* uri)
{
    const auto known = std::find(uris.begin(), uris.end(), uri);
    if (known != uris.end()) return static_cast<LV2_URID>(known - uris.begin() + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

LV2_URID UridMap::mapCallback(LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<UridMap*>(handle)->map(uri);
}

const char* UridMap::unmapCallback(LV2_URID_Unmap_Handle handle, LV2_URID urid)
{
    const auto& uris = static_cast<UridMap*>(handle)->uris;
    return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
}

Lv2Host::Lv2Host(const std::string& lv2Path, const std::string& pluginUri)
    : lilvWorld(lilv_world_new())
{
    // lilv reads the search path from the environment, exactly as a host would be given it.
    setenv("LV2_PATH", lv2Path.c_str(), 1);
    lilv_world_load_all(lilvWorld);
    LilvNode* uri = lilv_new_uri(lilvWorld, pluginUri.c_str());
    found = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), uri);
    lilv_node_free(uri);
    if (!found) lastError = "no plug-in " + pluginUri + " in " + lv2Path;
    lv2_atom_forge_init(&forge, uridMap.feature());
}

Lv2Host::~Lv2Host()
{
    if (instance) lilv_instance_free(instance);
    lilv_world_free(lilvWorld);
}

bool Lv2Host::instantiate(double sampleRate, int32_t maxBlock, bool withMap)
{
    if (!found) return false;
    const LV2_Feature mapFeature{LV2_URID__map, uridMap.feature()};
    std::vector<const LV2_Feature*> features = extraFeatures;
    if (withMap) features.push_back(&mapFeature);
    features.push_back(nullptr);
    // A test that starts again gets a new instance; the one before goes, as the host's last
    // one goes when the host does.
    if (instance) lilv_instance_free(instance);
    instance = lilv_plugin_instantiate(found, sampleRate, features.data());
    if (!instance) {
        lastError = "the plug-in declined to instantiate";
        return false;
    }
    const uint32_t ports = lilv_plugin_get_num_ports(found);
    controls.assign(ports, 0.0f);
    std::vector<float> defaults(ports, NAN);
    lilv_plugin_get_port_ranges_float(found, nullptr, nullptr, defaults.data());
    leftOut.assign(static_cast<size_t>(maxBlock), 0.0f);
    rightOut.assign(static_cast<size_t>(maxBlock), 0.0f);
    atomBuffer.assign(kAtomBytes / sizeof(uint64_t), 0);

    LilvNode* audio = lilv_new_uri(lilvWorld, LV2_CORE__AudioPort);
    LilvNode* atom = lilv_new_uri(lilvWorld, LV2_ATOM__AtomPort);
    int audioSeen = 0;
    for (uint32_t i = 0; i < ports; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(found, i);
        if (lilv_port_is_a(found, port, audio)) {
            lilv_instance_connect_port(instance, i,
                                       (audioSeen++ == 0 ? leftOut : rightOut).data());
        } else if (lilv_port_is_a(found, port, atom)) {
            lilv_instance_connect_port(instance, i, atomBuffer.data());
        } else {
            controls[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
            lilv_instance_connect_port(instance, i, &controls[i]);
        }
    }
    lilv_node_free(audio);
    lilv_node_free(atom);
    lilv_instance_activate(instance);
    return true;
}

void Lv2Host::forgePosition(const Position& at)
{
    // In the order Ardour 7 writes them; jalv writes the same keys.
    const auto key = [&](const char* uri) { lv2_atom_forge_key(&forge, uridMap.map(uri)); };
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge, &object, 0, uridMap.map(LV2_TIME__Position));
    if (at.songFrame >= 0) {
        key(LV2_TIME__frame);
        lv2_atom_forge_long(&forge, at.songFrame);
    }
    if (at.speed >= 0) {
        key(LV2_TIME__speed);
        lv2_atom_forge_float(&forge, static_cast<float>(at.speed));
    }
    if (at.beat >= 0 && at.withBeat) {
        key(LV2_TIME__beat);
        lv2_atom_forge_double(&forge, at.beat);
        key(LV2_TIME__beatUnit);
        lv2_atom_forge_int(&forge, 4);
    } else if (at.beat >= 0) {
        // A bar of no length (as a faulty host may state) puts every beat in bar 0.
        const double beats = at.beat * at.beatUnit / 4.0;
        const double bar = at.beatsPerBar > 0.0 ? std::floor(beats / at.beatsPerBar) : 0.0;
        const double inBar = beats - bar * at.beatsPerBar;
        const double whole = std::floor(inBar);
        key(LV2_TIME__barBeat);
        lv2_atom_forge_float(&forge,
                             static_cast<float>(whole + (inBar - whole) * 4.0 / at.beatUnit));
        key(LV2_TIME__bar);
        lv2_atom_forge_long(&forge, static_cast<int64_t>(bar));
        key(LV2_TIME__beatUnit);
        lv2_atom_forge_int(&forge, at.beatUnit);
        key(LV2_TIME__beatsPerBar);
        lv2_atom_forge_float(&forge, static_cast<float>(at.beatsPerBar));
    }
    if (at.beatsPerMinute >= 0) {
        key(LV2_TIME__beatsPerMinute);
        lv2_atom_forge_float(&forge, static_cast<float>(at.beatsPerMinute));
    }
    lv2_atom_forge_pop(&forge, &object);
}

void Lv2Host::forgeSequence(int32_t frames, const std::vector<Midi>& midi,
                            const std::vector<Position>& positions)
{
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(atomBuffer.data()), kAtomBytes);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    // Positions first at equal frames: a host states the clock before the block's notes.
    size_t m = 0;
    size_t p = 0;
    const LV2_URID midiType = uridMap.map(LV2_MIDI__MidiEvent);
    while (m < midi.size() || p < positions.size()) {
        if (p < positions.size() && (m == midi.size() || positions[p].frame <= midi[m].frame)) {
            lv2_atom_forge_frame_time(&forge, positions[p].frame);
            forgePosition(positions[p++]);
        } else {
            const Midi& event = midi[m++];
            lv2_atom_forge_frame_time(&forge, event.frame);
            lv2_atom_forge_atom(&forge, static_cast<uint32_t>(event.bytes.size()), midiType);
            // An empty event has no bytes to copy, and the forge must not be handed none.
            if (!event.bytes.empty()) {
                lv2_atom_forge_write(&forge, event.bytes.data(),
                                     static_cast<uint32_t>(event.bytes.size()));
            }
        }
    }
    for (const std::vector<uint8_t>& atom : uiAtoms) {
        lv2_atom_forge_frame_time(&forge, std::max(frames - 1, 0));
        lv2_atom_forge_write(&forge, atom.data(), static_cast<uint32_t>(atom.size()));
    }
    uiAtoms.clear();
    lv2_atom_forge_pop(&forge, &sequence);
}

void Lv2Host::reactivate()
{
    lilv_instance_deactivate(instance);
    lilv_instance_activate(instance);
}

void Lv2Host::uiWrite(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
{
    if (protocol == 0 && size == sizeof(float) && port < controls.size()) {
        controls[port] = *static_cast<const float*>(buffer);
    } else if (protocol == uridMap.map(LV2_ATOM__eventTransfer) && size >= sizeof(LV2_Atom)) {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        uiAtoms.emplace_back(bytes, bytes + size);
    }
}

void Lv2Host::run(int32_t frames, const std::vector<Midi>& midi,
                  const std::vector<Position>& positions)
{
    forgeSequence(frames, midi, positions);
    lilv_instance_run(instance, static_cast<uint32_t>(frames));
}

int32_t Lv2Host::controlIndex(const char* symbol) const
{
    LilvNode* name = lilv_new_string(lilvWorld, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(found, name);
    lilv_node_free(name);
    LilvNode* control = lilv_new_uri(lilvWorld, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(lilvWorld, LV2_CORE__InputPort);
    const bool isControlInput = port && lilv_port_is_a(found, port, control) &&
                                lilv_port_is_a(found, port, input);
    lilv_node_free(input);
    lilv_node_free(control);
    return isControlInput ? static_cast<int32_t>(lilv_port_get_index(found, port)) : -1;
}

const void* Lv2Host::portValue(const char* symbol, void* host, uint32_t* size, uint32_t* type)
{
    auto* self = static_cast<Lv2Host*>(host);
    const int32_t index = self->controlIndex(symbol);
    if (index < 0) return nullptr;
    *size = sizeof(float);
    *type = self->uridMap.map(LV2_ATOM__Float);
    return &self->controls[static_cast<size_t>(index)];
}

void Lv2Host::setPortValue(const char* symbol, void* host, const void* value, uint32_t size,
                           uint32_t type)
{
    auto* self = static_cast<Lv2Host*>(host);
    const int32_t index = self->controlIndex(symbol);
    if (index < 0 || size != sizeof(float) || type != self->uridMap.map(LV2_ATOM__Float)) return;
    self->controls[static_cast<size_t>(index)] = *static_cast<const float*>(value);
}

bool Lv2Host::savePreset(const std::string& folder, const std::string& label)
{
    if (!instance) return false;
    LilvState* state =
        lilv_state_new_from_instance(found, instance, uridMap.feature(), nullptr, nullptr, nullptr,
                                     folder.c_str(), &Lv2Host::portValue, this, 0, nullptr);
    if (!state) return false;
    lilv_state_set_label(state, label.c_str());
    const int status = lilv_state_save(lilvWorld, uridMap.feature(), uridMap.unmapFeature(), state,
                                       nullptr, folder.c_str(), "preset.ttl");
    lilv_state_free(state);
    return status == 0;
}

bool Lv2Host::loadPreset(const std::string& folder)
{
    if (!instance) return false;
    const std::string path = folder + "/preset.ttl";
    return restore(lilv_state_new_from_file(lilvWorld, uridMap.feature(), nullptr, path.c_str()));
}

bool Lv2Host::applyPreset(const std::string& uri)
{
    if (!instance) return false;
    LilvNode* preset = lilv_new_uri(lilvWorld, uri.c_str());
    // Hosts read a preset's file when it is chosen, not with the bundle.
    lilv_world_load_resource(lilvWorld, preset);
    LilvState* state = lilv_state_new_from_world(lilvWorld, uridMap.feature(), preset);
    lilv_node_free(preset);
    return restore(state);
}

bool Lv2Host::restore(LilvState* state)
{
    if (!state) return false;
    lilv_state_restore(state, instance, &Lv2Host::setPortValue, this, 0, nullptr);
    lilv_state_free(state);
    return true;
}

const void* Lv2Host::extensionData(const char* uri) const
{
    return instance ? lilv_instance_get_extension_data(instance, uri) : nullptr;
}

LV2_Handle Lv2Host::handle() const
{
    return instance ? lilv_instance_get_handle(instance) : nullptr;
}

std::vector<float> Lv2Host::renderSong(int64_t total, int32_t block, const std::vector<Midi>& midi,
                                       double beatsPerMinute)
{
    std::vector<float> song;
    song.reserve(static_cast<size_t>(total));
    size_t next = 0;
    for (int64_t start = 0; start < total; start += block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(block, total - start));
        std::vector<Midi> events;
        for (; next < midi.size() && midi[next].frame < start + frames; ++next) {
            events.push_back({midi[next].frame - start, midi[next].bytes});
        }
        std::vector<Position> positions;
        if (start == 0) positions.push_back({0, beatsPerMinute, 1.0, 0.0, 0});
        run(frames, events, positions);
        song.insert(song.end(), leftOut.begin(), leftOut.begin() + frames);
    }
    return song;
}

}  // namespace lv2host
