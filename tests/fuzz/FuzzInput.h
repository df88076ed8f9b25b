// Turns a fuzzer's bytes into typed values, front to back. Once the bytes run out every value
// reads as zero, so a target never has to test for the end before taking one.
#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

class FuzzInput
{
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    bool empty() const { return position >= size; }

    template <typename T> T take()
    {
        T value{};
        const size_t count = std::min(sizeof(T), size - position);
        if (count > 0) std::memcpy(&value, data + position, count);
        position += count;
        return value;
    }

    uint8_t takeByte() { return take<uint8_t>(); }

    // Up to count bytes, fewer when the input ends first.
    std::vector<uint8_t> takeBytes(size_t count)
    {
        count = std::min(count, size - position);
        std::vector<uint8_t> bytes(data + position, data + position + count);
        position += count;
        return bytes;
    }

    // Mostly a small index near the valid range, now and then any 32-bit value: raw integers
    // alone would almost never land on the interesting ones.
    int32_t takeIndex(int32_t nearBound)
    {
        const uint8_t choice = takeByte();
        if (choice < 0xF0) return static_cast<int32_t>(choice % (nearBound + 3)) - 1;
        return take<int32_t>();
    }

    // Either one of the values that break float arithmetic or any bit pattern.
    float takeFloat()
    {
        static const float special[] = {0.0f,
                                        -0.0f,
                                        1.0f,
                                        -1.0f,
                                        0.5f,
                                        2.0f / 19.0f,
                                        1.0f / 11.0f,
                                        0.99999994f,
                                        1.0000001f,
                                        std::numeric_limits<float>::quiet_NaN(),
                                        std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(),
                                        std::numeric_limits<float>::denorm_min(),
                                        FLT_MIN,
                                        FLT_MAX,
                                        -FLT_MAX,
                                        44100.0f,
                                        1e9f};
        const uint8_t choice = takeByte();
        if (choice < std::size(special)) return special[choice];
        return take<float>();
    }

    double takeDouble()
    {
        static const double special[] = {0.0,
                                         -0.0,
                                         1.0,
                                         -1.0,
                                         120.0,
                                         60.0,
                                         240.0,
                                         1e-300,
                                         1e300,
                                         -1e300,
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         std::numeric_limits<double>::denorm_min(),
                                         DBL_MAX,
                                         1e39};
        const uint8_t choice = takeByte();
        if (choice < std::size(special)) return special[choice];
        return take<double>();
    }

private:
    const uint8_t* data;
    size_t size;
    size_t position = 0;
};

// Aborts with a message when a property the fuzzer checks does not hold: the fuzzer and the
// replaying test both treat the abort as a failure and keep the input.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) fuzzCheckFailed(#condition, __FILE__, __LINE__);                         \
    } while (0)

[[noreturn]] void fuzzCheckFailed(const char* condition, const char* file, int line);
