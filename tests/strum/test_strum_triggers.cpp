// Key actions: strum timing and velocities, picked strings, re-strikes, release of
// everything and the late chord change.
#include "StrumPlayer.h"

#include <limits>

namespace {

using Events = std::vector<PlayedEvent>;

// Note-ons of one ringing or short strum of `chord`, keyed at sample 0 of a block after
// one block that delivered `tempo` (a strum uses the tempo of the previous block).
Events strumOf(uint32_t chord, uint32_t key, uint32_t velocity, float tempo,
               float rate = 44100.0f, Events* releases = nullptr)
{
    StrumPlayer player;
    player.hostRate = rate;
    player.select(chord);
    player.hostTempo = tempo;
    player.block(64);
    player.blockStart = 0;
    player.key(0, key, velocity);
    player.blocks(10, 512);
    if (releases != nullptr) {
        *releases = player.releases();
    }
    return player.notesOn();
}

}  // namespace

TEST(StrumTriggers, RingingStrumsFollowVelocityAtTempo120)
{
    // Chord 4 (E major) sounds on all six strings: 40 47 52 56 59 64.
    EXPECT_EQ(strumOf(4, 60, 100, 120.0f), (Events{on(0, 40, 92), on(460, 47, 84),
                                                   on(920, 52, 76), on(1380, 56, 68),
                                                   on(1840, 59, 60), on(2300, 64, 52)}));
    EXPECT_EQ(strumOf(4, 60, 1, 120.0f), (Events{on(0, 40, 1), on(658, 47, 1),
                                                 on(1316, 52, 1), on(1974, 56, 1),
                                                 on(2632, 59, 1), on(3290, 64, 1)}));
    EXPECT_EQ(strumOf(4, 60, 64, 120.0f), (Events{on(0, 40, 59), on(532, 47, 54),
                                                  on(1064, 52, 49), on(1596, 56, 44),
                                                  on(2128, 59, 39), on(2660, 64, 34)}));
    // Key 62 strums from the highest string down.
    EXPECT_EQ(strumOf(4, 62, 127, 120.0f), (Events{on(0, 64, 117), on(406, 59, 107),
                                                   on(812, 56, 97), on(1218, 52, 87),
                                                   on(1624, 47, 77), on(2030, 40, 67)}));
    // Slower tempos, and tempos that are not a usable number, keep the tempo-120 timing.
    for (float tempo : {60.0f, 0.0f, -140.0f, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_EQ(strumOf(4, 60, 100, tempo), strumOf(4, 60, 100, 120.0f)) << tempo;
    }
}

TEST(StrumTriggers, FasterTemposShortenTheSpacing)
{
    // Chord 0 has its lowest string muted: it takes no time slot.
    EXPECT_EQ(strumOf(0, 62, 127, 140.0f), (Events{on(0, 64, 117), on(348, 60, 107),
                                                   on(696, 55, 97), on(1044, 52, 87),
                                                   on(1392, 48, 77)}));
    EXPECT_EQ(strumOf(4, 60, 100, 140.0f)[1].sample, 394);
    EXPECT_EQ(strumOf(4, 60, 100, 240.0f)[1].sample, 230);

    // The key's own offset within its block carries through.
    StrumPlayer player;
    player.hostTempo = 140.0f;
    player.block(16);
    player.blockStart = 0;
    player.key(10, 62, 127);
    player.blocks(4, 512);
    EXPECT_EQ(player.notesOn(), (Events{on(10, 64, 117), on(358, 60, 107), on(706, 55, 97),
                                        on(1054, 52, 87), on(1402, 48, 77)}));
}

TEST(StrumTriggers, ShortStrumsAreTwiceAsFastAndReleaseEachString)
{
    Events releases;
    EXPECT_EQ(strumOf(4, 64, 100, 120.0f, 44100.0f, &releases),
              (Events{on(0, 40, 92), on(230, 47, 84), on(460, 52, 76), on(690, 56, 68),
                      on(920, 59, 60), on(1150, 64, 52)}));
    EXPECT_EQ(releases, (Events{off(660, 40), off(890, 47), off(1120, 52), off(1350, 56),
                                off(1580, 59), off(1810, 64)}));

    strumOf(4, 65, 100, 240.0f, 44100.0f, &releases);
    EXPECT_EQ(releases, (Events{off(330, 64), off(445, 59), off(560, 56), off(675, 52),
                                off(790, 47), off(905, 40)}));
    strumOf(4, 64, 100, 140.0f, 44100.0f, &releases);
    EXPECT_EQ(releases.front(), off(565, 40));
}

TEST(StrumTriggers, TimingScalesWithTheHostRate)
{
    // At 48000 Hz a strum lasts as long in seconds as at 44100 Hz.
    Events releases;
    const Events notes = strumOf(4, 64, 100, 120.0f, 48000.0f, &releases);
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes[1].sample, 250);  // 230 * 48000 / 44100, truncated
    EXPECT_EQ(notes[5].sample, 1250);
    EXPECT_EQ(releases.front(), off(718, 40));
    EXPECT_EQ(strumOf(4, 60, 100, 120.0f, 48000.0f)[1].sample, 500);
    EXPECT_EQ(strumOf(4, 60, 100, 240.0f, 96000.0f)[1].sample, 500);

    // A rate that is not a positive finite number plays as 44100 Hz.
    for (float rate : {0.0f, -48000.0f, std::numeric_limits<float>::infinity(),
                       std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_EQ(strumOf(4, 60, 100, 120.0f, rate), strumOf(4, 60, 100, 120.0f)) << rate;
    }
    // An absurd rate must still give defined, non-negative times.
    EXPECT_EQ(strumOf(4, 60, 100, 120.0f, 3.0e38f).front(), on(0, 40, 92));
}

TEST(StrumTriggers, PickedStringsFallBackToTheNearestSoundingString)
{
    auto pick = [](uint32_t chord, uint32_t key) {
        StrumPlayer player;
        player.select(chord);
        player.key(5, key, 90);
        player.block(512);
        return player.played;
    };
    EXPECT_EQ(pick(4, 67), (Events{on(5, 40, 90)}));
    EXPECT_EQ(pick(4, 76), (Events{on(5, 64, 90)}));
    EXPECT_EQ(pick(2, 67), (Events{on(5, 50, 90)}));  // strings 0 and 1 muted: upwards
    EXPECT_EQ(pick(2, 69), (Events{on(5, 50, 90)}));

    StrumPlayer player;
    for (uint32_t string = 2; string < 6; ++string) {
        player.setChordValue(9, string, 0.0f);
    }
    player.select(9);
    player.key(0, 76, 90);  // string 5 and everything above muted: downwards to string 1
    player.block(512);
    EXPECT_EQ(player.played, (Events{on(0, 45, 90)}));
}

TEST(StrumTriggers, StrikingASoundingNoteReleasesItOneSampleEarlier)
{
    StrumPlayer player;
    player.select(4);
    player.key(0, 69, 80);  // string 1, note 47
    player.block(512);
    EXPECT_EQ(player.noteCount[47], 1);
    player.key(100, 69, 70);
    player.block(512);
    EXPECT_EQ(player.played, (Events{on(0, 47, 80), off(512 + 100, 47), on(512 + 101, 47, 70)}));
    EXPECT_EQ(player.noteCount[47], 1);

    // A restrike at the last sample of a block restarts the note in the next block.
    player.played.clear();
    player.key(511, 69, 60);
    player.block(512);
    EXPECT_EQ(player.played, (Events{off(1024 + 511, 47)}));
    player.block(512);
    EXPECT_EQ(player.played.back(), on(1024 + 512, 47, 60));
    EXPECT_EQ(player.noteCount[47], 1);
}

TEST(StrumTriggers, MuteKeysReleaseEverythingAndDropTheSchedule)
{
    StrumPlayer player;
    player.select(4);
    player.key(0, 60, 100);
    player.blocks(2, 512);  // 40, 47, 52 sounding; 56, 59, 64 still scheduled
    player.played.clear();
    player.hostMsg(10, packMsg(0xE0, 0, 0, 0x50));
    player.key(20, 61, 1, 9);  // any channel
    player.blocks(8, 512);
    EXPECT_EQ(player.played, (Events{off(1044, 40), off(1044, 47), off(1044, 52)}));
    for (int32_t count : player.noteCount) {
        ASSERT_EQ(count, 0);
    }

    // Key releases and zero-velocity note-ons never stop a string.
    player.played.clear();
    player.key(0, 60, 100);
    player.block(512);
    player.hostMsg(5, packMsg(0x80, 0, 60, 64));
    player.key(6, 61, 0);
    player.blocks(8, 512);
    EXPECT_EQ(player.releases(), Events{});
    EXPECT_EQ(player.notesOn().size(), 6u);
}

TEST(StrumTriggers, ChordKeySoonAfterAStrumRestrumsTheNewChord)
{
    // Blocks of 441: 2205 samples are five whole blocks after the strum's block began.
    auto strumThenChord = [](StrumPlayer& player, int32_t blocksBetween, uint32_t strumKey) {
        player.key(0, strumKey, 100);  // chord 0: notes 48 52 55 60 64
        player.block(441);
        player.blocks(blocksBetween - 1, 441);
        player.played.clear();
        player.key(30, 49, 120);  // chord 1: notes 44 49 56 61 65 68
        player.blocks(12, 441);
        EXPECT_EQ(player.selectedChord.load(), 1);
    };

    StrumPlayer late;
    strumThenChord(late, 4, 60);
    const int64_t at = 4 * 441;
    Events expected;
    for (int32_t note : {48, 52, 55, 60, 64}) {
        if (note != 64) {  // the fifth string of the old strum never sounded
            expected.push_back(off(at + 30, note));
        }
    }
    const int32_t chord1[] = {44, 49, 56, 61, 65, 68};
    for (int32_t k = 0; k < 6; ++k) {
        // The repeat keeps the strum key's velocity (100), not the chord key's.
        expected.push_back(on(at + 30 + 460 * k, chord1[k], 92 - 8 * k));
    }
    EXPECT_EQ(late.played, expected);

    StrumPlayer tooLate;
    strumThenChord(tooLate, 5, 60);
    EXPECT_EQ(tooLate.notesOn(), Events{});
    EXPECT_EQ(tooLate.releases().size(), 5u);

    // A picked string is repeated on the new chord too.
    StrumPlayer picked;
    strumThenChord(picked, 2, 71);  // string 2
    EXPECT_EQ(picked.notesOn(), (Events{on(2 * 441 + 30, 56, 100)}));
}

TEST(StrumTriggers, LateChordChangeWithinOneLongBlockAndAtOtherRates)
{
    StrumPlayer sameBlock;
    sameBlock.key(0, 64, 100);
    sameBlock.key(3000, 53, 100);  // chord 5, later in the same long block
    sameBlock.block(4096);
    sameBlock.block(4096);
    sameBlock.key(10, 54, 100);  // a later block is past the window
    sameBlock.block(4096);
    const Events notes = sameBlock.notesOn();
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes.front(), on(3000, 41, 92));  // F major from its lowest string
    EXPECT_EQ(sameBlock.selectedChord.load(), 6);

    // At 48000 Hz the window is 2400 samples: five blocks of 441 are still inside it.
    StrumPlayer fast;
    fast.hostRate = 48000.0f;
    fast.key(0, 60, 100);
    fast.blocks(5, 441);
    fast.played.clear();
    fast.key(0, 49, 100);
    fast.blocks(6, 441);
    EXPECT_EQ(fast.notesOn().size(), 6u);
}

TEST(StrumTriggers, ChordKeysWithoutARecentStrumOnlySelect)
{
    StrumPlayer player;
    player.key(0, 61, 100);  // a mute key is not a strum-type key
    player.key(1, 49, 100);
    player.block(512);
    EXPECT_EQ(player.selectedChord.load(), 1);
    EXPECT_EQ(player.played, Events{});

    // The selected chord again does nothing at all: strings keep ringing.
    player.key(0, 60, 100);
    player.block(512);
    player.key(0, 49, 100);
    player.blocks(8, 512);
    EXPECT_EQ(player.releases(), Events{});
    EXPECT_EQ(player.notesOn().size(), 6u);

    // After a reset the last strum is forgotten.
    player.resetStrum();
    player.played.clear();
    player.key(0, 50, 100);
    player.blocks(8, 512);
    EXPECT_EQ(player.played, Events{});
    EXPECT_EQ(player.selectedChord.load(), 2);
}
