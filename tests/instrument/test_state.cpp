// The instrument's state: what it writes reads back; what is damaged, foreign or newer is
// refused with the instance unchanged; hosts' streams that move a few bytes at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <zlib.h>

#include "instrument/Instrument.h"
#include "instrument/State.h"
#include "tests/instrument/StreamHelpers.h"

using namespace controls;

namespace {

// Settings far from the defaults: every setting changed.
Settings edited()
{
    Settings settings{};
    for (uint32_t id = 0; id < kCount; ++id) {
        const Range limits = range(id);
        settings[id] = limits.defaultValue == limits.maximum ? limits.minimum : limits.maximum;
    }
    settings[kSwing] = 0.33f;
    settings[kFirstString + 20] = 7.0f;
    return settings;
}

void expectSettingsEqual(const Settings& actual, const Settings& expected)
{
    for (uint32_t id = 0; id < kCount; ++id) {
        if (flags(id) & (kOutput | kTrigger)) continue;
        EXPECT_EQ(actual[id], expected[id]) << symbol(id);
    }
}

// A state's bytes with its checksum made right again after an edit.
void resealed(std::vector<uint8_t>& bytes)
{
    const size_t body = bytes.size() - 4;
    const auto crc = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(body)));
    for (int i = 0; i < 4; ++i)
        bytes[body + i] = static_cast<uint8_t>(crc >> (8 * i));
}

state::Result loadInto(Instrument& instrument, const std::vector<uint8_t>& bytes,
                       std::vector<size_t> portions = {})
{
    MemoryStream stream{bytes, 0, std::move(portions)};
    return instrument.loadState(MemoryStream::read, &stream);
}

}  // namespace

TEST(State, ReadsBackWhatItWroteThroughStreamsThatMoveFewBytesAtATime)
{
    const Settings wanted = edited();
    for (const std::vector<size_t>& portions :
         std::vector<std::vector<size_t>>{{}, {1}, {0, 3}, {0, 0, 0, 5, 1}}) {
        MemoryStream out{{}, 0, portions};
        ASSERT_TRUE(state::write(wanted, MemoryStream::write, &out));
        EXPECT_EQ(out.bytes, stateBytes(wanted));
        MemoryStream in{out.bytes, 0, portions};
        Settings read{};
        ASSERT_EQ(state::read(read, MemoryStream::read, &in), state::Result::ok);
        expectSettingsEqual(read, wanted);
    }
}

TEST(State, AnInstanceTakesALoadedStateAndSavesItAgain)
{
    Instrument instrument(44100.0);
    ASSERT_EQ(loadInto(instrument, stateBytes(edited()), {1}), state::Result::ok);
    expectSettingsEqual(instrument.settings(), edited());
    MemoryStream saved;
    ASSERT_TRUE(instrument.saveState(MemoryStream::write, &saved));
    EXPECT_EQ(saved.bytes, stateBytes(edited()));
}

TEST(State, DamagedForeignOrNewerStatesLeaveTheInstanceUnchanged)
{
    const std::vector<uint8_t> good = stateBytes(edited());
    std::vector<std::pair<std::string, std::vector<uint8_t>>> refused;
    for (size_t length = 0; length < good.size(); ++length) {
        refused.emplace_back("cut at " + std::to_string(length),
                             std::vector<uint8_t>(good.begin(), good.begin() + length));
    }
    for (size_t at = 0; at < good.size(); ++at) {
        std::vector<uint8_t> flipped = good;
        flipped[at] ^= 0x10;
        refused.emplace_back("byte " + std::to_string(at) + " flipped", flipped);
    }
    std::vector<uint8_t> newer = good;
    newer[4] = 2;
    resealed(newer);
    refused.emplace_back("version 2", newer);
    std::vector<uint8_t> twice = good;
    std::memcpy(twice.data() + 12 + 8, twice.data() + 12,
                4);  // the second entry's id as the first's
    resealed(twice);
    refused.emplace_back("an id twice", twice);
    std::vector<uint8_t> notANumber = good;
    const float nan = NAN;
    std::memcpy(notANumber.data() + 16, &nan, 4);
    resealed(notANumber);
    refused.emplace_back("NaN", notANumber);
    std::vector<uint8_t> huge = good;
    huge[10] = 1;  // 65536 and more entries
    resealed(huge);
    refused.emplace_back("too many entries", huge);

    Instrument instrument(44100.0);
    const Settings before = instrument.settings();
    for (const auto& [what, bytes] : refused) {
        EXPECT_NE(loadInto(instrument, bytes, {0, 2}), state::Result::ok) << what;
        expectSettingsEqual(instrument.settings(), before);
    }
    EXPECT_EQ(loadInto(instrument, newer), state::Result::newerVersion);
    EXPECT_EQ(loadInto(instrument, {'R', 'I', 'F', 'F'}), state::Result::notAState);
}

TEST(State, ALaterReleasesControlsAreSkippedAndControlsNotNamedTakeTheirDefault)
{
    // Only the swing, and a control of a later release, id 500.
    std::vector<uint8_t> bytes = {'L', 'Y', 'R', 'S', 1, 0, 0, 0, 2, 0, 0, 0};
    for (const auto& [id, value] : {std::pair<uint32_t, float>{500, 3.0f}, {kSwing, 0.25f}}) {
        const size_t at = bytes.size();
        bytes.resize(at + 8);
        std::memcpy(bytes.data() + at, &id, 4);
        std::memcpy(bytes.data() + at + 4, &value, 4);
    }
    bytes.resize(bytes.size() + 4);
    resealed(bytes);
    Settings read = edited();
    MemoryStream stream{bytes, 0, {}};
    ASSERT_EQ(state::read(read, MemoryStream::read, &stream), state::Result::ok);
    Settings expected{};
    for (uint32_t id = 0; id < kCount; ++id)
        expected[id] = range(id).defaultValue;
    expected[kSwing] = 0.25f;
    expectSettingsEqual(read, expected);
}

TEST(State, AStreamThatFailsOrMovesNothingForGoodIsAFailure)
{
    Settings settings = edited();
    const auto failing = [](void*, const void*, uint64_t) -> int64_t { return -1; };
    const auto stuck = [](void*, const void*, uint64_t) -> int64_t { return 0; };
    EXPECT_FALSE(state::write(settings, failing, nullptr));
    EXPECT_FALSE(state::write(settings, stuck, nullptr));
    const auto failingRead = [](void*, void*, uint64_t) -> int64_t { return -1; };
    const auto tooMuch = [](void*, void*, uint64_t size) -> int64_t { return int64_t(size) + 1; };
    EXPECT_EQ(state::read(settings, failingRead, nullptr), state::Result::streamFailed);
    EXPECT_EQ(state::read(settings, tooMuch, nullptr), state::Result::streamFailed);
    expectSettingsEqual(settings, edited());
}
