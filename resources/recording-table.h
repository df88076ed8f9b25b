// The 25 guitar recordings embedded in the module: resource id, root note and sound set.
// Shared by the generator that synthesises them and by the tests that measure them.
#pragma once

#include <cmath>
#include <cstddef>

namespace recordings {

enum class SoundSet { acoustic, electric };

struct Recording {
    int resourceId;
    int rootNote;  // MIDI note; the fundamental sits exactly on it
    SoundSet set;
    bool hasInfoList;  // ends in a "LIST"/"INFO" chunk after "data", like most electric takes
};

inline constexpr Recording kRecordings[] = {
    {1043, 43, SoundSet::acoustic, false}, {1048, 48, SoundSet::acoustic, false},
    {1053, 53, SoundSet::acoustic, false}, {1058, 58, SoundSet::acoustic, false},
    {1062, 62, SoundSet::acoustic, false}, {1067, 67, SoundSet::acoustic, false},
    {1069, 69, SoundSet::acoustic, false}, {1071, 71, SoundSet::acoustic, false},
    {1074, 74, SoundSet::acoustic, false},
    {1140, 40, SoundSet::electric, false}, {1143, 43, SoundSet::electric, true},
    {1146, 46, SoundSet::electric, true},  {1149, 49, SoundSet::electric, true},
    {1152, 52, SoundSet::electric, true},  {1155, 55, SoundSet::electric, true},
    {1158, 58, SoundSet::electric, true},  {1161, 61, SoundSet::electric, true},
    {1164, 64, SoundSet::electric, true},  {1167, 67, SoundSet::electric, true},
    {1170, 70, SoundSet::electric, true},  {1173, 73, SoundSet::electric, true},
    {1176, 76, SoundSet::electric, true},  {1179, 79, SoundSet::electric, true},
    {1182, 82, SoundSet::electric, true},  {1185, 85, SoundSet::electric, false},
};
inline constexpr size_t kRecordingCount = sizeof(kRecordings) / sizeof(kRecordings[0]);

inline constexpr int kSampleRate = 44100;

inline double noteFrequency(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

}  // namespace recordings
