// A small JACK client for the live test: plays the host test's planned keys into another
// client's MIDI input through JACK MIDI, each at its exact frame, and records that client's
// two audio outputs from the frame of the first key on.
//   lyrevane-jack-strum CLIENT OUT.wav
#include <jack/jack.h>
#include <jack/midiport.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/HostTestPlan.h"

using namespace ardourtest;

namespace {

// Seconds of the recording after the plan, for the last string's ring.
constexpr int64_t kTail = kHostRate;

struct Player {
    jack_client_t* client = nullptr;
    jack_port_t* midiOut = nullptr;
    jack_port_t* inputs[2] = {};
    std::vector<PlannedKey> keys = plannedKeys();
    std::vector<float> recorded[2];
    size_t nextKey = 0;
    // Set by the main thread once every port is connected; the process thread then fixes
    // the plan's first frame at its next cycle. Nothing else is shared but the flags.
    std::atomic<bool> connected{false};
    std::atomic<bool> done{false};
    bool started = false;
    jack_nframes_t planStart = 0;
};

int process(jack_nframes_t frames, void* argument)
{
    auto& player = *static_cast<Player*>(argument);
    void* midi = jack_port_get_buffer(player.midiOut, frames);
    jack_midi_clear_buffer(midi);
    if (!player.connected.load(std::memory_order_acquire) || player.done.load()) return 0;
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: lyrevane-jack-strum CLIENT OUT.wav\n");
        return 2;
    }
    const std::string target = argv[1];
    Player player;
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
    for (auto& channel : player.recorded) channel.assign(plannedLength() + kTail, 0.0f);
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
    player.connected.store(true, std::memory_order_release);
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::seconds(plannedLength() / kHostRate + 30);
    while (!player.done.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() > limit) {
            std::fprintf(stderr, "lyrevane-jack-strum: the server stopped running cycles\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    jack_deactivate(player.client);
    jack_client_close(player.client);
    if (!writeWav(argv[2], player, rate)) {
        std::fprintf(stderr, "lyrevane-jack-strum: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
