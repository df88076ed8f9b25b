// The chord bank's default chords and the parameter encoding of one string.
#include "StrumPlayer.h"

#include <limits>

namespace {

int32_t storedNote(const StrumPlayer& bank, uint32_t chord, uint32_t string)
{
    return bank.chordBank[chord][string].load();
}

}  // namespace

TEST(ChordBank, DefaultChordsReadBackAsTheirFrets)
{
    StrumPlayer bank;
    EXPECT_EQ(bank.getChordValue(0, 0), 0.0f);  // C major: lowest string muted
    EXPECT_EQ(bank.getChordValue(0, 1), 4.0f * (1.0f / 19.0f));
    EXPECT_EQ(bank.getChordValue(4, 0), 1.0f / 19.0f);  // E major: open low E
    EXPECT_EQ(storedNote(bank, 3, 2), 58);
    EXPECT_EQ(storedNote(bank, 11, 5), 66);
    EXPECT_EQ(storedNote(bank, 2, 1), CArpStrum::kMuted);
}

TEST(ChordBank, ValuesMapToStringStates)
{
    StrumPlayer bank;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        int32_t note;  // on string 0 (open note 40); 0 marks "unchanged" (note 41 kept)
    } cases[] = {
        {0.0f, -1},        {0.05f, -1},  {1.0f / 19.0f, 40}, {0.5f, 48}, {1.0f, 58},
        {-0.3f, -1},       {-inf, -1},   {1.5f, 0},          {inf, 0},   {nan, 0},
        {1.0000001f, 0},
    };
    for (const Case& c : cases) {
        bank.setChordValue(0, 0, 2.0f / 19.0f);
        ASSERT_EQ(storedNote(bank, 0, 0), 41);
        bank.setChordValue(0, 0, c.value);
        EXPECT_EQ(storedNote(bank, 0, 0), c.note == 0 ? 41 : c.note) << "value " << c.value;
    }
    bank.setChordValue(0, 0, 2.0f / 19.0f);
    EXPECT_EQ(bank.getChordValue(0, 0), 2.0f * (1.0f / 19.0f));
    bank.setChordValue(0, 0, 1.0f);
    EXPECT_EQ(bank.getChordValue(0, 0), 1.0f);
}

TEST(ChordBank, OutOfRangeChordsAndStringsAreIgnored)
{
    StrumPlayer bank;
    EXPECT_EQ(bank.getChordValue(12, 0), -1.0f);
    EXPECT_EQ(bank.getChordValue(0, 6), -1.0f);
    EXPECT_EQ(bank.getChordValue(0xFFFFFFFFu, 0), -1.0f);
    bank.setChordValue(12, 0, 0.5f);
    bank.setChordValue(0, 6, 0.5f);
    bank.setChordValue(0xFFFFFFFFu, 0xFFFFFFFFu, 0.5f);
    for (uint32_t chord = 0; chord < 12; ++chord) {
        for (uint32_t string = 0; string < 6; ++string) {
            StrumPlayer fresh;
            ASSERT_EQ(bank.getChordValue(chord, string), fresh.getChordValue(chord, string));
        }
    }
}

TEST(ChordBank, EveryPositionSurvivesAHostRoundTrip)
{
    StrumPlayer bank;
    for (uint32_t string = 0; string < 6; ++string) {
        for (int32_t k = 0; k < 20; ++k) {
            // What the editor and a host send for position k.
            const float sent = static_cast<float>(k) * 0.05263158f;
            bank.setChordValue(7, string, sent);
            const int32_t expected = k == 0 ? -1 : CArpStrum::openNotes[string] + k - 1;
            ASSERT_EQ(storedNote(bank, 7, string), expected) << "string " << string << " k " << k;
            const float readBack = bank.getChordValue(7, string);
            EXPECT_EQ(readBack, sent);
            bank.setChordValue(7, string, readBack);
            EXPECT_EQ(bank.getChordValue(7, string), readBack);
        }
    }
}

TEST(ChordBank, AFullyMutedChordStrumsAndPicksNothing)
{
    StrumPlayer player;
    for (uint32_t string = 0; string < 6; ++string) {
        player.setChordValue(6, string, 0.0f);
    }
    player.select(6);
    for (uint32_t key : {60u, 62u, 64u, 65u, 67u, 72u, 76u}) {
        player.key(0, key, 100);
    }
    player.blocks(8, 512);
    EXPECT_TRUE(player.played.empty());
}
