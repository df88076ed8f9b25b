// What the LV2 tests share: songs of timed keys, the VST module and the LV2 plug-in each
// rendering one, and a fixture that reads the bundle's description through lilv.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "lv2/Lv2Ports.h"
#include "tests/support/Lv2Host.h"
#include "tools/MidiFile.h"
#include "tools/PluginHost.h"

namespace lv2test {

using lv2host::Lv2Host;
using namespace lv2ports;

struct SongEvent {
    int64_t frame;
    uint8_t status, data1, data2;
};

// A port setting, given to the LV2 plug-in as a port value and to the VST module as the
// parameter value that means the same.
struct Setting {
    uint32_t port;
    float portValue;
    float parameterValue;
};

struct Song {
    smf::TempoMap tempo;
    std::vector<SongEvent> events;
    int64_t frames;
};

inline Song loadSong(double rate)
{
    std::string error;
    const auto file = smf::MidiFile::load(LYREVANE_SOURCE_DIR "/examples/song.mid", error);
    EXPECT_TRUE(file) << error;
    Song song{file ? file->tempoMap() : smf::TempoMap(), {}, 0};
    if (!file) return song;
    for (const smf::ChannelEvent& event : file->events()) {
        const int64_t frame = std::llround(song.tempo.secondsAtTick(event.tick) * rate);
        song.events.push_back({frame, event.status, event.data1, event.data2});
    }
    song.frames = song.events.back().frame + static_cast<int64_t>(rate);
    return song;
}

// The VST module, told the song's tempo and position at every block.
inline std::vector<float> renderVst(const Song& song, double rate, int32_t block,
                             const std::vector<Setting>& settings)
{
    harness::PluginHost host;
    EXPECT_TRUE(host.load(LYREVANE_MODULE_PATH)) << host.error();
    EXPECT_NE(host.open(), nullptr);
    host.startUp(static_cast<float>(rate), block);
    for (const Setting& setting : settings) {
        host.setParameter(parameterOfPort(setting.port), setting.parameterValue);
    }
    std::vector<float> out;
    size_t next = 0;
    for (int64_t start = 0; start < song.frames; start += block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(block, song.frames - start));
        std::vector<harness::MidiEvent> due;
        for (; next < song.events.size() && song.events[next].frame < start + frames; ++next) {
            const SongEvent& e = song.events[next];
            due.push_back({static_cast<int32_t>(e.frame - start), e.status, e.data1, e.data2});
        }
        if (!due.empty()) host.sendMidi(due);
        const double seconds = start / rate;
        host.timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid;
        host.timeInfo.tempo = song.tempo.beatsPerMinuteAtSeconds(seconds);
        host.timeInfo.ppqPos = song.tempo.quartersAtSeconds(seconds);
        const harness::Block rendered = host.render(frames);
        out.insert(out.end(), rendered.left.begin(), rendered.left.end());
    }
    return out;
}

// The LV2 plug-in, sent a time:Position whenever the tempo changes, as hosts do.
inline std::vector<float> renderLv2(Lv2Host& host, const Song& song, double rate, int32_t block,
                             const std::vector<Setting>& settings, bool sendTempo = true)
{
    for (const Setting& setting : settings) host.control(setting.port) = setting.portValue;
    std::vector<float> out;
    size_t next = 0;
    double lastTempo = -1.0;
    for (int64_t start = 0; start < song.frames; start += block) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(block, song.frames - start));
        std::vector<lv2host::Midi> due;
        for (; next < song.events.size() && song.events[next].frame < start + frames; ++next) {
            const SongEvent& e = song.events[next];
            due.push_back({e.frame - start, {e.status, e.data1, e.data2}});
        }
        std::vector<lv2host::Position> positions;
        const double seconds = start / rate;
        const double tempo = song.tempo.beatsPerMinuteAtSeconds(seconds);
        if (sendTempo && tempo != lastTempo) {
            positions.push_back({0, tempo, 1.0, song.tempo.quartersAtSeconds(seconds), start});
            lastTempo = tempo;
        }
        host.run(frames, due, positions);
        for (int32_t i = 0; i < frames; ++i) {
            EXPECT_EQ(host.left()[i], host.right()[i]) << "frame " << start + i;
            if (host.left()[i] != host.right()[i]) return out;
        }
        out.insert(out.end(), host.left().begin(), host.left().begin() + frames);
    }
    return out;
}

// The first frame where two renders differ, or -1.
inline int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size()) return 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return static_cast<int64_t>(i);
    }
    return -1;
}

inline float loudest(const std::vector<float>& samples)
{
    float peak = 0.0f;
    for (float sample : samples) peak = std::max(peak, std::fabs(sample));
    return peak;
}

class Lv2Test : public ::testing::Test
{
protected:
    Lv2Host host{LYREVANE_LV2_PATH, kPluginUri};

    std::string portString(uint32_t index, const char* predicate)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(host.plugin(), index);
        LilvNode* key = lilv_new_uri(host.world(), predicate);
        LilvNode* value = lilv_port_get(host.plugin(), port, key);
        std::string text = value ? lilv_node_as_string(value) : "";
        lilv_node_free(value);
        lilv_node_free(key);
        return text;
    }

    bool portHas(uint32_t index, const char* property)
    {
        LilvNode* node = lilv_new_uri(host.world(), property);
        const bool has = lilv_port_has_property(
            host.plugin(), lilv_plugin_get_port_by_index(host.plugin(), index), node);
        lilv_node_free(node);
        return has;
    }

    // Whether the world states subject predicate object, all three URIs.
    bool ask(const std::string& subject, const char* predicate, const std::string& object)
    {
        LilvNode* nodes[] = {lilv_new_uri(host.world(), subject.c_str()),
                             lilv_new_uri(host.world(), predicate),
                             lilv_new_uri(host.world(), object.c_str())};
        const bool stated = lilv_world_ask(host.world(), nodes[0], nodes[1], nodes[2]);
        for (LilvNode* node : nodes) lilv_node_free(node);
        return stated;
    }

    // The integers the world states for subject's predicate, from the files read so far.
    std::vector<int> values(const std::string& subject, const char* predicate)
    {
        LilvNode* s = lilv_new_uri(host.world(), subject.c_str());
        LilvNode* p = lilv_new_uri(host.world(), predicate);
        LilvNodes* found = lilv_world_find_nodes(host.world(), s, p, nullptr);
        std::vector<int> out;
        LILV_FOREACH (nodes, i, found) out.push_back(lilv_node_as_int(lilv_nodes_get(found, i)));
        lilv_nodes_free(found);
        lilv_node_free(p);
        lilv_node_free(s);
        return out;
    }

    // Scale points of a port as "value=label", in value order.
    std::vector<std::string> scalePoints(uint32_t index)
    {
        LilvScalePoints* points = lilv_port_get_scale_points(
            host.plugin(), lilv_plugin_get_port_by_index(host.plugin(), index));
        std::vector<std::pair<float, std::string>> sorted;
        LILV_FOREACH (scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            sorted.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                                lilv_node_as_string(lilv_scale_point_get_label(point)));
        }
        lilv_scale_points_free(points);
        std::sort(sorted.begin(), sorted.end());
        std::vector<std::string> out;
        for (const auto& [value, label] : sorted) out.push_back(std::to_string(int(value)) + "=" + label);
        return out;
    }
};

}  // namespace lv2test
