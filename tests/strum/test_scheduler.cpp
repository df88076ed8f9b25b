// The strum scheduler: ordering, carry-over across blocks, note counts, capacity limits,
// and host input that lies outside the block or outside the MIDI ranges.
#include "StrumPlayer.h"

#include <limits>

namespace {

using Events = std::vector<PlayedEvent>;

PlayedEvent bend(int64_t sample, int32_t value)
{
    return {sample, 0xE0, value, 0};
}

uint32_t bendMsg(int32_t value)
{
    const auto raw = static_cast<uint32_t>(value + 8192);
    return packMsg(0xE0, 0, raw & 0x7F, raw >> 7);
}

constexpr int32_t kMaxTime = std::numeric_limits<int32_t>::max();

}  // namespace

TEST(StrumScheduler, EventsDispatchInTimeOrderAcrossBlocks)
{
    StrumPlayer player;
    player.select(4);
    // A strum at 50 and a host bend at 100 of the same block: each at its own offset.
    player.key(50, 60, 100);
    player.hostMsg(100, bendMsg(1));
    player.block(512);
    EXPECT_EQ(player.played, (Events{on(50, 40, 92), bend(100, 1), on(510, 47, 84)}));
    // A block without host events still plays the rest of the strum.
    player.blocks(4, 512);
    EXPECT_EQ(player.notesOn().back(), on(2350, 64, 52));

    // Equal times keep their scheduling order; a time equal to the block length waits
    // for offset 0 of the next block.
    StrumPlayer order;
    order.pushEvent(512, bendMsg(1));
    order.pushEvent(5, bendMsg(2));
    order.pushEvent(512, bendMsg(3));
    order.pushEvent(5, bendMsg(4));
    order.block(512);
    EXPECT_EQ(order.played, (Events{bend(5, 2), bend(5, 4)}));
    order.block(512);
    EXPECT_EQ(order.played, (Events{bend(5, 2), bend(5, 4), bend(512, 1), bend(512, 3)}));
    EXPECT_EQ(order.eventCount, 0);
}

TEST(StrumScheduler, CountsFollowHandedOverNotesAndAllNotesOffReleasesThem)
{
    StrumPlayer player;
    player.pushEvent(0, packMsg(0x90, 0, 52, 90));
    player.pushEvent(700, packMsg(0x90, 0, 55, 90));
    player.block(512);
    // Only the note handed to the decoder queue counts as sounding.
    EXPECT_EQ(player.noteCount[52], 1);
    EXPECT_EQ(player.noteCount[55], 0);
    player.pushEvent(3, packMsg(0x90, 0, 52, 90));
    player.block(512);
    EXPECT_EQ(player.noteCount[52], 2);
    EXPECT_EQ(player.noteCount[55], 1);

    player.pushEvent(100, bendMsg(0));
    player.allNotesOff(0);
    ASSERT_EQ(player.eventCount, 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(player.eventQueue[i].time, 0);
        EXPECT_EQ(msgKind(player.eventQueue[i].packed), 0x80u);
    }
    EXPECT_EQ(msgData1(player.eventQueue[2].packed), 55u);
    player.played.clear();
    player.block(512);
    EXPECT_EQ(player.played, (Events{off(1024, 52), off(1024, 52), off(1024, 55)}));

    // Releases of notes that do not sound leave their counts at zero.
    player.pushEvent(0, packMsg(0x80, 0, 52, 0));
    player.block(512);
    EXPECT_EQ(player.noteCount[52], 0);
}

TEST(StrumScheduler, QueuesHoldAtMost255Events)
{
    StrumPlayer player;
    player.select(4);
    for (int32_t i = 0; i < 250; ++i) {
        ASSERT_EQ(player.pushEvent(3000, bendMsg(i)), 1);
    }
    player.key(0, 60, 100);  // six note-ons, room for five
    player.block(16);
    EXPECT_EQ(player.notesOn(), (Events{on(0, 40, 92)}));
    EXPECT_EQ(player.eventCount, 254);
    EXPECT_EQ(player.pushEvent(0, 0), 1);  // an empty message takes the last place
    EXPECT_EQ(player.pushEvent(0, bendMsg(0)), 0);

    // One block can hand all 255 over: the decoder queue was just emptied for them.
    player.played.clear();
    player.block(4096);
    EXPECT_EQ(player.eventCount, 0);
    EXPECT_EQ(player.played.size(), 254u);  // the empty message calls no handler
    const Events notes = player.notesOn();
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(notes.back(), on(4 * 460, 59, 60));
}

TEST(StrumScheduler, HostInputOutsideTheBlockOrMidiRangeStaysSafe)
{
    StrumPlayer player;
    player.select(4);
    // Offsets before or after the block are pulled to its first or last sample.
    player.hostMsg(-5, bendMsg(1));
    player.hostMsg(600, bendMsg(2));
    player.hostMsg(kMaxTime, bendMsg(3));
    player.hostMsg(std::numeric_limits<int32_t>::min(), bendMsg(4));
    player.block(512);
    EXPECT_EQ(player.played, (Events{bend(0, 1), bend(0, 4), bend(511, 2), bend(511, 3)}));

    // A strum keyed before the block starts at its first sample with its usual spacing.
    player.played.clear();
    player.key(-100, 60, 100);
    player.blocks(6, 512);
    EXPECT_EQ(player.notesOn()[1], on(512 + 460, 47, 84));

    // Notes above 127 are ignored; velocity bytes above 127 still give positive spacing.
    StrumPlayer wild;
    wild.select(4);
    wild.key(0, 200, 100);
    wild.hostMsg(0, packMsg(0x80, 0, 255, 0));
    wild.pushEvent(1, packMsg(0x80, 0, 255, 0));
    wild.pushEvent(1, packMsg(0x90, 0, 200, 1));
    wild.pushNoteEvent(2, packMsg(0x90, 0, 200, 1));
    wild.block(512);
    EXPECT_EQ(wild.notesOn(), (Events{on(1, 200, 1), on(2, 200, 1)}));
    wild.played.clear();
    wild.key(0, 60, 255);
    wild.blocks(4, 512);
    EXPECT_EQ(wild.notesOn(), (Events{on(512, 40, 234), on(662, 47, 213), on(812, 52, 192),
                                      on(962, 56, 171), on(1112, 59, 150), on(1262, 64, 129)}));
}

TEST(StrumScheduler, EmptyAndHugeBlocksKeepTimeConsistent)
{
    StrumPlayer player;
    player.key(7, 60, 100);
    player.block(0);  // nothing is due in an empty block, and no time passes
    EXPECT_EQ(player.played, Events{});
    EXPECT_EQ(player.elapsed, 0);
    player.block(-64);
    EXPECT_EQ(player.elapsed, 0);
    player.block(512);
    EXPECT_EQ(player.notesOn().front(), on(0, 48, 92));

    // Hours without a strum key: the count since the last one stays past the window.
    player.blocks(3, 1 << 30);
    EXPECT_GE(player.elapsed, 2205);

    // A strum near the end of the largest block saturates its times instead of overflowing.
    StrumPlayer huge;
    huge.key(kMaxTime - 2, 64, 100);
    huge.block(kMaxTime);
    huge.block(512);
    EXPECT_EQ(huge.notesOn().size(), 5u);
    EXPECT_EQ(huge.releases().size(), 5u);
}

TEST(StrumScheduler, ResetDropsScheduleCountsAndTriggerButKeepsChords)
{
    StrumPlayer player;
    player.setChordValue(3, 0, 0.0f);
    player.select(3);
    player.hostTempo = 240.0f;
    player.key(0, 60, 100);
    player.block(512);
    player.resetStrum();
    EXPECT_EQ(player.eventCount, 0);
    EXPECT_EQ(player.noteCount[51], 0);
    EXPECT_EQ(player.lastAction, 0);
    EXPECT_EQ(player.elapsed, 0);
    EXPECT_EQ(player.selectedChord.load(), 3);
    EXPECT_EQ(player.getChordValue(3, 0), 0.0f);

    // No release is scheduled for what was sounding; the tempo of 240 still applies.
    player.played.clear();
    player.key(0, 60, 100);
    player.blocks(2, 512);
    EXPECT_EQ(player.releases(), Events{});
    EXPECT_EQ(player.notesOn()[1].sample - player.notesOn()[0].sample, 230);
}
