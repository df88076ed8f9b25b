// The host's transport as every plug-in format can state it, and the clock that follows it
// from one block to the next and answers the engine with the time record it reads.
#pragma once

#include <cstdint>

#include "host/VstInterface.h"

// What a host says of its transport at one moment. A format sets what it knows and raises
// its bit in valid; a field whose bit is down keeps what the host said before. LV2's
// time:Position gives any of speed, tempo, frame, beat, bar, barBeat, beatUnit and
// beatsPerBar; CLAP's transport event and VST3's process context give the playing state, the
// tempo, the song position and the bar start in quarter notes and the meter.
struct Transport
{
    enum Field : uint32_t {
        kSpeed = 1u << 0,
        kTempo = 1u << 1,
        kSample = 1u << 2,
        kBeat = 1u << 3,
        kBar = 1u << 4,
        kBarBeat = 1u << 5,
        kBeatUnit = 1u << 6,
        kBeatsPerBar = 1u << 7,
        kQuarters = 1u << 8,
        kBarStart = 1u << 9,
    };
    uint32_t valid = 0;
    double speed = 0.0;           // 0 stopped, 1 rolling at the tempo
    double beatsPerMinute = 0.0;  // as the host states it
    double sample = 0.0;          // the song position in samples
    double beat = 0.0;            // the song position in beats of beatUnit
    double bar = 0.0;             // bars before the current one, from 0
    double barBeat = 0.0;         // beats of beatUnit into the current bar
    double beatUnit = 0.0;        // the meter's denominator: 4 a quarter note, 8 an eighth
    double beatsPerBar = 0.0;     // the meter's numerator
    double quarters = 0.0;        // the song position in quarter notes
    double barStart = 0.0;        // where the current bar starts, in quarter notes
};

class TransportClock
{
public:
    TransportClock();

    // A host's statement of its transport: the next segment starts from it.
    void follow(const Transport& transport);
    // The clock at the start of a segment of frames, null before the host has said anything;
    // the transport-changed bit is raised for the first segment after a statement.
    // Afterwards the position moves on by the segment.
    const VstTimeInfo* next(int32_t frames, double sampleRate);

private:
    // The loop a jump back of this many frames while rolling closes, in quarter notes.
    void learnLoop(double frames);

    bool known = false;
    bool changed = false;
    // Whether the host gives the song position in samples; until it does, samplePos stays
    // 0, as some VST hosts leave it, and the watch goes by the musical position.
    bool framesKnown = false;
    // Whether the host states its bars and time signature; the bar start then moves on
    // with the position, for strum patterns to keep to the bar.
    bool barsKnown = false;
    bool meterKnown = false;
    double quartersPerBar = 4.0;
    double speed = 0.0;  // 0 stopped, 1 playing
    bool loopSeen = false;   // a jump back while rolling: a loop, or a locate
    bool loopKnown = false;  // the same jump again: a loop
    double loopFrames = 0.0;
    double loopStartPpq = 0.0;
    double loopEndPpq = 0.0;
    double rate = 0.0;     // the last segment's sample rate
    VstTimeInfo time{};    // tempo, ppqPos, samplePos, the bar's start and the meter
    VstTimeInfo answer{};  // the current segment's, while time moves on to the next
};
