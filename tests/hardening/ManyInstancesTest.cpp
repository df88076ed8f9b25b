// Sixteen instances of the module in one process, built and played on two threads with their
// blocks interleaved, must each sound exactly as when played alone: anything shared mutably
// between instances (a table, a cache, a static buffer) shows up as a difference, and under
// ThreadSanitizer as a report.
#include <memory>
#include <thread>

#include "tests/hardening/HardeningHost.h"

namespace hardening {
namespace {

constexpr int kInstances = 16;
constexpr int kThreads = 2;

// Every instance differs in what it could leave behind for another: host rate (the sound
// engine's rate tables), block size, tempo (strum spacing), chord, sound set, bend, and
// edits of the chord it plays, which reset its engines mid-song.
Performance performanceOf(int instance)
{
    Performance performance;
    performance.sampleRate = instance % 3 == 0 ? 48000.0f : 44100.0f;
    performance.blockSize = instance == 7 ? 333 : 64 << (instance % 5);
    performance.tempo = 80.0 + 11.0 * instance;
    const auto key = [](int value) { return static_cast<uint8_t>(value); };
    const uint8_t chord = key(kFirstChordKey + instance % 12);
    performance.events = {
        {0, kNoteOn, chord, 100},
        {150 + 97 * instance, kNoteOn, kStrumDownKey, key(40 + 5 * instance)},
        {12000 + 13 * instance, kNoteOn, kShortStrumUpKey, 90},
        {18000, kPitchBend, key(instance * 8), key(32 + instance * 5)},
        {24000 + instance, kNoteOn, kPickKeys[instance % 3], 110},
        {30000, kNoteOn, kStrumUpKey, key(127 - instance)},
        {40000, kNoteOn, kUnboundKey, 64},
    };
    const int32_t editedString = 6 * (instance % 12) + instance % 6;
    performance.changes = {
        {8000, 75, instance % 2 == 0 ? 0.0f : 1.0f},
        {21000, editedString, static_cast<float>(3 + instance % 10) / 19.0f},
        {26000, 6 * ((instance + 1) % 12), 0.5f},
    };
    return performance;
}

TEST(ManyInstances, SixteenOnTwoThreadsSoundAsEachAlone)
{
    std::vector<Performance> performances;
    for (int i = 0; i < kInstances; ++i)
        performances.push_back(performanceOf(i));

    std::vector<std::vector<float>> alone;
    for (const Performance& performance : performances) {
        Player player(performance);
        ASSERT_TRUE(player.open(LYREVANE_MODULE_PATH)) << player.host.error();
        alone.push_back(player.playAll());
        ASSERT_GT(peak(alone.back()), 0.01f) << "a performance that plays nothing proves nothing";
    }

    std::vector<std::unique_ptr<Player>> players;
    for (const Performance& performance : performances) {
        players.push_back(std::make_unique<Player>(performance));
    }
    // Each thread builds its own half, as hosts loading a project do, then plays one block
    // of each of its instances in turn.
    auto play = [&](int thread) {
        for (int i = thread; i < kInstances; i += kThreads) {
            ASSERT_TRUE(players[i]->open(LYREVANE_MODULE_PATH)) << players[i]->host.error();
        }
        bool playing = true;
        while (playing) {
            playing = false;
            for (int i = thread; i < kInstances; i += kThreads) {
                if (players[i]->finished()) continue;
                players[i]->playBlock();
                playing = true;
            }
        }
    };
    std::thread other(play, 1);
    play(0);
    other.join();

    for (int i = 0; i < kInstances; ++i) {
        ASSERT_EQ(players[i]->output.size(), alone[i].size());
        EXPECT_TRUE(players[i]->output == alone[i]) << "instance " << i << " differs";
    }
    // Different performances must also sound different, or the comparison is blind.
    EXPECT_FALSE(alone[0] == alone[1]);
}

}  // namespace
}  // namespace hardening
