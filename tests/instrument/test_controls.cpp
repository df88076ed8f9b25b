// The control table: what hosts show and store of each control, and the texts they show.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "instrument/Controls.h"
#include "lv2/Lv2Ports.h"

using namespace controls;

TEST(Controls, IdsKeepTheLv2PortsAndSymbolsOfEarlierReleases)
{
    // Hosts keep both in sessions and automation: they must never move.
    EXPECT_EQ(lv2ports::portOf(kFirstString), 3u);
    EXPECT_EQ(lv2ports::portOf(kSoundSet), 75u);
    EXPECT_EQ(lv2ports::portOf(kPlayedChord), 77u);
    EXPECT_EQ(lv2ports::portOf(kSeed), 84u);
    EXPECT_EQ(lv2ports::portOf(kRecognisedChord), 85u);
    EXPECT_EQ(symbol(kFirstString + 13), "chord3_string2");
    EXPECT_EQ(symbol(kReset), "reset");
    EXPECT_EQ(symbol(kPlayedChord), "chord");
    EXPECT_EQ(symbol(kHumaniseVelocity), "humanise_velocity");
    EXPECT_EQ(lv2ports::portOf(kCapo), 86u);
    EXPECT_EQ(symbol(kCapo), "capo");
    EXPECT_EQ(symbol(kTuning), "tuning");
    EXPECT_EQ(symbol(kArticulationKeys), "articulation_keys");
}

TEST(Controls, CapoTuningAndArticulationKeysHoldBadValuesToValidOnes)
{
    EXPECT_EQ(range(kCapo).maximum, 12.0f);
    EXPECT_EQ(held(kCapo, 40.0f), 12.0f);
    EXPECT_EQ(held(kCapo, -3.0f), 0.0f);
    EXPECT_EQ(held(kCapo, NAN), 0.0f);
    // A fractional tuning is the nearest one.
    EXPECT_EQ(held(kTuning, 2.6f), 3.0f);
    EXPECT_EQ(held(kTuning, 1000.0f), 8.0f);
    EXPECT_EQ(held(kArticulationKeys, 0.4f), 0.0f);
    EXPECT_EQ(valueText(kTuning, 1.0f), "Drop D (D A D G B E)");
    EXPECT_EQ(valueText(kArticulationKeys, 1.0f), "on");
    float value = 0.0f;
    ASSERT_TRUE(parseValue(kTuning, "dadgad (d a d g a d)", value));
    EXPECT_EQ(value, 8.0f);
    EXPECT_EQ(group(kTuning), "Capo, tuning and articulations");
    EXPECT_TRUE(flags(kTuning) & kEnumeration);
}

TEST(Controls, EveryControlHasAUniqueSymbolANameAndADefaultWithinItsRange)
{
    std::set<std::string> symbols;
    std::set<std::string> names;
    for (uint32_t id = 0; id < kCount; ++id) {
        const Range limits = range(id);
        EXPECT_TRUE(symbols.insert(symbol(id)).second) << symbol(id);
        EXPECT_TRUE(names.insert(name(id)).second) << name(id);
        EXPECT_LE(limits.minimum, limits.defaultValue) << symbol(id);
        EXPECT_GE(limits.maximum, limits.defaultValue) << symbol(id);
        EXPECT_FALSE(comment(id).empty()) << symbol(id);
    }
    EXPECT_EQ(name(kFirstString + 6), "Chord 2 (C#) string 1 (low E)");
    EXPECT_EQ(group(kFirstString + 71), "Chord 12 (B)");
    EXPECT_EQ(group(kSwing), "Held chords and patterns");
    // The defaults are the instrument's own chords: C major with the low E muted.
    EXPECT_EQ(range(kFirstString).defaultValue, -1.0f);
    EXPECT_EQ(range(kFirstString + 1).defaultValue, 3.0f);
    EXPECT_EQ(range(kPattern).maximum, static_cast<float>(patternCount()));
    EXPECT_TRUE(flags(kRecognisedChord) & kOutput);
    EXPECT_TRUE(flags(kReset) & kTrigger);
}

TEST(Controls, EveryValueTextReadsBackAsItsValue)
{
    for (uint32_t id = 0; id < kCount; ++id) {
        const Range limits = range(id);
        if (flags(id) & kInteger) {
            for (float value = limits.minimum; value <= limits.maximum; value += 1.0f) {
                float parsed = NAN;
                ASSERT_TRUE(parseValue(id, valueText(id, value), parsed))
                    << symbol(id) << " " << valueText(id, value);
                EXPECT_EQ(parsed, value) << symbol(id) << " " << valueText(id, value);
            }
        } else {
            for (float value :
                 {limits.minimum, limits.maximum, limits.defaultValue, 0.33f, 12.5f}) {
                float parsed = NAN;
                const float inRange = held(id, value);
                ASSERT_TRUE(parseValue(id, valueText(id, inRange), parsed))
                    << valueText(id, inRange);
                EXPECT_EQ(parsed, inRange) << symbol(id) << " " << valueText(id, inRange);
            }
        }
    }
}

TEST(Controls, NormalisedValuesReadBackAsTheValueTheyCarry)
{
    for (uint32_t id = 0; id < kCount; ++id) {
        const Range limits = range(id);
        const float step = (flags(id) & kInteger) ? 1.0f : (limits.maximum - limits.minimum) / 7.0f;
        for (float value = limits.minimum; value <= limits.maximum; value += step) {
            const double carried = normalised(id, value);
            EXPECT_GE(carried, 0.0) << symbol(id);
            EXPECT_LE(carried, 1.0) << symbol(id);
            EXPECT_NEAR(fromNormalised(id, carried), held(id, value), 1e-5f) << symbol(id);
        }
    }
    EXPECT_EQ(fromNormalised(kFirstString, 0.0), -1.0f);
    EXPECT_EQ(fromNormalised(kFirstString, 1.0 / 19.0), 0.0f);
    EXPECT_EQ(fromNormalised(kFirstString, 7.0), 18.0f);
    EXPECT_EQ(fromNormalised(kPatternVelocity, NAN), 100.0f);
}

TEST(Controls, TextsNameValuesAsAMusicianReadsThem)
{
    EXPECT_EQ(valueText(kFirstString, -1.0f), "muted");
    EXPECT_EQ(valueText(kFirstString, 0.0f), "open");
    EXPECT_EQ(valueText(kFirstString, 5.0f), "fret 5");
    EXPECT_EQ(valueText(kFirstString, 99.0f), "fret 18");
    EXPECT_EQ(valueText(kSoundSet, 1.0f), "electric");
    EXPECT_EQ(valueText(kPattern, 0.0f), "off");
    EXPECT_EQ(valueText(kSwing, 0.33f), "0.33");
    EXPECT_EQ(valueText(kHumaniseTime, 12.0f), "12 ms");
    EXPECT_EQ(valueText(kHumaniseVelocity, 10.0f), "10 %");
    EXPECT_EQ(valueText(kRecognisedChord, -1.0f), "none");
    EXPECT_EQ(valueText(kPlayedChord, 9.0f), "Chord 10 (A)");
}

TEST(Controls, ParsingTakesNamesInAnyCaseAndNumbersInRangeAndRefusesTheRest)
{
    float value = NAN;
    EXPECT_TRUE(parseValue(kFirstString, " Fret 7 ", value));
    EXPECT_EQ(value, 7.0f);
    EXPECT_TRUE(parseValue(kFirstString, "MUTED", value));
    EXPECT_EQ(value, -1.0f);
    EXPECT_TRUE(parseValue(kFirstString, "40", value));
    EXPECT_EQ(value, 18.0f);
    EXPECT_TRUE(parseValue(kSoundSet, "Acoustic", value));
    EXPECT_EQ(value, 0.0f);
    EXPECT_TRUE(parseValue(kHumaniseTime, "7.5", value));
    EXPECT_EQ(value, 7.5f);
    EXPECT_TRUE(parseValue(kSwing, "2", value));
    EXPECT_EQ(value, 0.5f);
    value = 42.0f;
    for (const char* text : {"", "fret", "fret x", "12 %", "nan", "inf", "1,5", "loud"}) {
        EXPECT_FALSE(parseValue(kHumaniseTime, text, value)) << text;
    }
    EXPECT_FALSE(parseValue(kSoundSet, "banjo", value));
    EXPECT_EQ(value, 42.0f);
}
