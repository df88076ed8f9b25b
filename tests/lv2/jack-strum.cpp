// A small JACK client for the live tests: plays the host test's planned keys into another
// client's MIDI input through JACK MIDI, each at its exact frame, and records that client's
// two audio outputs from the frame of the first key on.
//   lyrevane-jack-strum CLIENT OUT.wav
// Given a song, it is the JACK transport's timebase master instead, stating bars and beats at
// the song's tempo, starts the transport, and plays the song's keys at their transport
// frames, recording from frame 0 on:
//   lyrevane-jack-strum CLIENT OUT.wav SONG.mid
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/HostTestPlan.h"
#include "tools/MidiFile.h"

using namespace ardourtest;

namespace {

// Seconds of the recording after the plan, for the last string's ring.
constexpr int64_t kTail = kHostRate;

struct Player {
    jack_client_t* client = nullptr;
    jack_port_t* midiOut = nullptr;
    jack_port_t* inputs[2] = {};
    std::vector<PlannedKey> keys = plannedKeys();
    // With a song: its key events (any status) at their transport frames, and its tempo.
    struct SongKey {
        int64_t frame;
        uint8_t bytes[3];
    };
    std::vector<SongKey> song;
    double beatsPerMinute = 0.0;
    std::vector<float> recorded[2];
    size_t nextKey = 0;
    // Set by the main thread once every port is connected; the process thread then fixes
    // the plan's first frame at its next cycle. Nothing else is shared but the flags.
    std::atomic<bool> connected{false};
    std::atomic<bool> done{false};
    bool started = false;
    jack_nframes_t planStart = 0;
};

// The cycle's audio into the recording from its frame at on; done once the recording is full.
void record(Player& player, int64_t at, jack_nframes_t frames)
{
    for (int channel = 0; channel < 2; ++channel) {
        const auto* in = static_cast<const float*>(jack_port_get_buffer(player.inputs[channel], frames));
        std::vector<float>& out = player.recorded[channel];
        for (jack_nframes_t i = 0; i < frames && at + i < static_cast<int64_t>(out.size()); ++i) {
            out[static_cast<size_t>(at + i)] = in[i];
        }
    }
    if (at + frames >= static_cast<int64_t>(player.recorded[0].size())) {
        player.done.store(true, std::memory_order_release);
    }
}

// The song's keys at their transport frames while the transport rolls, and the recording by
// transport frame.
int processSong(Player& player, jack_nframes_t frames, void* midi)
{
    jack_position_t position;
    if (jack_transport_query(player.client, &position) != JackTransportRolling) return 0;
    const int64_t at = position.frame;
    while (player.nextKey < player.song.size() && player.song[player.nextKey].frame < at + frames) {
        const Player::SongKey& key = player.song[player.nextKey++];
        jack_midi_event_write(midi, static_cast<jack_nframes_t>(std::max<int64_t>(key.frame - at, 0)),
                              key.bytes, 3);
    }
    record(player, at, frames);
    return 0;
}

// Bars of four beats at the song's tempo, as a timebase master states them (bars and beats
// counted from 1, 1920 ticks a beat).
void statePosition(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int,
                   void* argument)
{
    const auto& player = *static_cast<const Player*>(argument);
    const double beats = position->frame * player.beatsPerMinute / (60.0 * position->frame_rate);
    const double bars = std::floor(beats / 4.0);
    position->valid = static_cast<jack_position_bits_t>(position->valid | JackPositionBBT);
    position->bar = static_cast<int32_t>(bars) + 1;
    position->beat = static_cast<int32_t>(std::floor(beats - bars * 4.0)) + 1;
    position->ticks_per_beat = 1920.0;
    position->tick = static_cast<int32_t>((beats - std::floor(beats)) * position->ticks_per_beat);
    position->bar_start_tick = bars * 4.0 * position->ticks_per_beat;
    position->beats_per_bar = 4.0f;
    position->beat_type = 4.0f;
    position->beats_per_minute = player.beatsPerMinute;
}

int process(jack_nframes_t frames, void* argument)
{
    auto& player = *static_cast<Player*>(argument);
    void* midi = jack_port_get_buffer(player.midiOut, frames);
    jack_midi_clear_buffer(midi);
    if (!player.connected.load(std::memory_order_acquire) || player.done.load()) return 0;
    if (!player.song.empty()) return processSong(player, frames, midi);
    const jack_nframes_t cycleStart = jack_last_frame_time(player.client);
    if (!player.started) {
        player.planStart = cycleStart;
        player.started = true;
    }
    // Frames since the plan started; the frame counter wraps, and so does this difference.
    const int64_t at = static_cast<jack_nframes_t>(cycleStart - player.planStart);
    while (player.nextKey < player.keys.size() && player.keys[player.nextKey].sample < at + frames) {
        const PlannedKey& key = player.keys[player.nextKey++];
        const jack_midi_data_t bytes[] = {0x90, key.key, key.velocity};
        jack_midi_event_write(midi, static_cast<jack_nframes_t>(key.sample - at), bytes, 3);
    }
    record(player, at, frames);
    return 0;
}

bool connect(jack_client_t* client, const std::string& from, const std::string& to)
{
    const int status = jack_connect(client, from.c_str(), to.c_str());
    if (status != 0) std::fprintf(stderr, "lyrevane-jack-strum: cannot connect %s to %s\n",
                                  from.c_str(), to.c_str());
    return status == 0;
}

bool writeWav(const std::string& path, const Player& player, int rate)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> frames;
    for (size_t i = 0; i < player.recorded[0].size(); ++i) {
        frames.push_back(player.recorded[0][i]);
        frames.push_back(player.recorded[1][i]);
    }
    const sf_count_t written = sf_writef_float(file, frames.data(), player.recorded[0].size());
    return sf_close(file) == 0 && written == static_cast<sf_count_t>(player.recorded[0].size());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: lyrevane-jack-strum CLIENT OUT.wav [SONG.mid]\n");
        return 2;
    }
    const std::string target = argv[1];
    Player player;
    int64_t length = plannedLength();
    if (argc == 4) {
        std::string error;
        const std::optional<smf::MidiFile> song = smf::MidiFile::load(argv[3], error);
        if (!song || song->events().empty()) {
            std::fprintf(stderr, "lyrevane-jack-strum: %s\n", error.c_str());
            return 2;
        }
        for (const smf::ChannelEvent& event : song->events()) {
            const double seconds = song->tempoMap().secondsAtTick(event.tick);
            player.song.push_back({std::llround(seconds * kHostRate),
                                   {event.status, event.data1, event.data2}});
        }
        player.beatsPerMinute = song->tempoMap().beatsPerMinuteAtSeconds(0.0);
        length = player.song.back().frame;
    }
    jack_status_t status;
    player.client = jack_client_open("lyrevane-jack-strum", JackNoStartServer, &status);
    if (!player.client) {
        std::fprintf(stderr, "lyrevane-jack-strum: no JACK server (status 0x%x)\n", status);
        return 1;
    }
    const auto rate = static_cast<int>(jack_get_sample_rate(player.client));
    if (rate != kHostRate) {
        std::fprintf(stderr, "lyrevane-jack-strum: the server runs at %d Hz, the plan at %d\n",
                     rate, kHostRate);
        return 1;
    }
    for (auto& channel : player.recorded) channel.assign(length + kTail, 0.0f);
    player.midiOut = jack_port_register(player.client, "keys", JACK_DEFAULT_MIDI_TYPE,
                                        JackPortIsOutput, 0);
    player.inputs[0] = jack_port_register(player.client, "left", JACK_DEFAULT_AUDIO_TYPE,
                                          JackPortIsInput, 0);
    player.inputs[1] = jack_port_register(player.client, "right", JACK_DEFAULT_AUDIO_TYPE,
                                          JackPortIsInput, 0);
    if (!player.midiOut || !player.inputs[0] || !player.inputs[1] ||
        jack_set_process_callback(player.client, process, &player) != 0 ||
        jack_activate(player.client) != 0) {
        std::fprintf(stderr, "lyrevane-jack-strum: cannot set up the client\n");
        return 1;
    }
    const std::string self = jack_get_client_name(player.client);
    if (!connect(player.client, self + ":keys", target + ":events") ||
        !connect(player.client, target + ":out_left", self + ":left") ||
        !connect(player.client, target + ":out_right", self + ":right")) {
        return 1;
    }
    if (!player.song.empty() &&
        (jack_set_timebase_callback(player.client, 0, statePosition, &player) != 0 ||
         jack_transport_locate(player.client, 0) != 0)) {
        std::fprintf(stderr, "lyrevane-jack-strum: cannot be the transport's timebase master\n");
        return 1;
    }
    player.connected.store(true, std::memory_order_release);
    if (!player.song.empty()) jack_transport_start(player.client);
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::seconds(length / kHostRate + 30);
    while (!player.done.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() > limit) {
            std::fprintf(stderr, "lyrevane-jack-strum: the server stopped running cycles\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!player.song.empty()) jack_transport_stop(player.client);
    jack_deactivate(player.client);
    jack_client_close(player.client);
    if (!writeWav(argv[2], player, rate)) {
        std::fprintf(stderr, "lyrevane-jack-strum: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
