// Dead and palm-muted strums: on their keys only while the articulation keys are on, timed by
// velocity and tempo as the other strums, each string asking for its take; and in patterns,
// whatever the keys.
#include "StrumPlayer.h"

#include "strum/PatternTable.h"

#include <string>

namespace {

using Events = std::vector<PlayedEvent>;

constexpr int32_t kDead = channelOf(Take::dead);
constexpr int32_t kPalmMuted = channelOf(Take::palmMuted);

struct Strum
{
    Events notes;
    Events releases;
    std::vector<int32_t> channels;
};

// E major strummed by one key at sample 0, after a block that delivered the tempo.
Strum strumOf(uint32_t key, uint32_t velocity, bool articulationKeys, float tempo = 120.0f)
{
    StrumPlayer player;
    player.setArticulationKeys(articulationKeys);
    player.select(4);
    player.hostTempo = tempo;
    player.block(64);
    player.played.clear();
    player.noteOnChannels.clear();
    player.blockStart = 0;
    player.key(0, key, velocity);
    player.blocks(40, 512);
    return {player.notesOn(), player.releases(), player.noteOnChannels};
}

}  // namespace

TEST(Articulations, DeadAndPalmMutedStrumsOnTheirKeysTimedAsTheOtherStrums)
{
    // Dead: as fast as a short strum, each string's chuck stopped after 150 ms.
    Strum dead = strumOf(61, 100, true);
    EXPECT_EQ(dead.notes, (Events{on(0, 40, 92), on(230, 47, 84), on(460, 52, 76), on(690, 56, 68),
                                  on(920, 59, 60), on(1150, 64, 52)}));
    EXPECT_EQ(dead.releases.front(), off(6615, 40));
    EXPECT_EQ(dead.releases.size(), 6u);
    EXPECT_EQ(dead.channels, std::vector<int32_t>(6, kDead));
    // Up, and tighter at a faster tempo and a harder stroke.
    dead = strumOf(63, 127, true, 240.0f);
    EXPECT_EQ(dead.notes.front(), on(0, 64, 117));
    EXPECT_EQ(dead.notes[1].sample, 203 / 2);
    EXPECT_EQ(dead.releases.front(), off(3307, 64));
    // Palm-muted: the ringing strum's timing, the strings left to their damped take.
    for (const auto& [key, first] : {std::pair{66u, 40}, std::pair{68u, 64}}) {
        const Strum muted = strumOf(key, 100, true);
        ASSERT_EQ(muted.notes.size(), 6u);
        EXPECT_EQ(muted.notes[0].note, first);
        EXPECT_EQ(muted.notes[1].sample, 460);
        EXPECT_TRUE(muted.releases.empty());
        EXPECT_EQ(muted.channels, std::vector<int32_t>(6, kPalmMuted));
    }
    // Every other strum still asks for the ringing take.
    EXPECT_EQ(strumOf(60, 100, true).channels, std::vector<int32_t>(6, 0));
}

TEST(Articulations, OffTheirKeysSilenceAsTheKeyMapSays)
{
    for (uint32_t key : {61u, 63u, 66u, 68u}) {
        StrumPlayer player;
        player.select(4);
        player.key(0, 60, 100);
        player.block(8192);
        player.played.clear();
        player.key(0, key, 100);
        player.block(8192);
        EXPECT_TRUE(player.notesOn().empty()) << key;
        EXPECT_EQ(player.releases().size(), 6u) << key;
    }
    EXPECT_EQ(CArpStrum::binding(61, false).action, MuteAll);
    EXPECT_EQ(CArpStrum::binding(61, true).action, DeadStrumDown);
    EXPECT_EQ(CArpStrum::binding(68, true).action, MutedStrumUp);
    EXPECT_EQ(CArpStrum::binding(60, true).action, StrumDown);
    EXPECT_EQ(CArpStrum::binding(400, true).action, MuteAll);
}

TEST(Articulations, APatternPlaysItsDeadStrokesWithTheKeysOff)
{
    int32_t funk = 0;
    while (std::string(strumpatterns::kPatterns[funk].symbol) != "funk")
        ++funk;
    StrumPlayer player;
    player.select(4);
    player.patternPlayer().setPattern(funk + 1);
    SongClock clock;
    clock.rolling = true;
    for (int32_t block = 0; block < 44; ++block) {
        clock.beat = block * 512 / 22050.0;
        clock.frame = block * 512;
        player.setSongClock(&clock);
        player.block(512);
    }
    // The backbeat chuck on the second beat's first sixteenth, down from the low string.
    bool chucked = false;
    const Events notes = player.notesOn();
    for (size_t i = 0; i < notes.size(); ++i) {
        if (player.noteOnChannels[i] != kDead) continue;
        chucked = true;
        EXPECT_EQ(notes[i].sample, 22050);
        EXPECT_EQ(notes[i].note, 40);
        break;
    }
    EXPECT_TRUE(chucked);
}
