// Chord edits and read-backs from a user-interface thread while the audio thread strums.
#include "StrumPlayer.h"

#include <atomic>
#include <thread>

TEST(StrumConcurrency, ChordEditsRaceFreeWithStrumming)
{
    StrumPlayer player;
    std::atomic<bool> playing{true};
    std::thread editor([&] {
        int32_t k = 0;
        while (playing.load()) {
            for (uint32_t p = 0; p < 72; ++p) {
                player.setChordValue(p / 6, p % 6, static_cast<float>(k) * 0.05263158f);
                const float value = player.getChordValue(p / 6, p % 6);
                ASSERT_TRUE(value >= 0.0f && value <= 1.0f);
            }
            k = (k + 1) % 20;
        }
    });
    for (int32_t i = 0; i < 3000; ++i) {
        player.key(i % 64, (i % 7 == 0) ? 48 + static_cast<uint32_t>(i % 12) : 60 + i % 17, 100);
        player.block(64);
    }
    playing.store(false);
    editor.join();
    ASSERT_FALSE(player.notesOn().empty());
    for (const PlayedEvent& e : player.notesOn()) {
        ASSERT_TRUE(e.note >= 40 && e.note <= 82) << e;
    }
}
