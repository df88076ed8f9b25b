// Plays a strum pattern as strokes of the strum engine's keys: locked to the host's bars and
// beats while its transport rolls, and from the first held note while a chord is held in the
// zone with the transport standing. Audio thread only; fixed state, no allocation.
#pragma once

#include <cstdint>

#include "strum/Humaniser.h"
#include "strum/StrumPattern.h"

// The host's transport at the start of a block, in beats of its bar's beat unit.
struct SongClock {
    bool rolling = false;
    double beat = 0.0;      // since the song's start
    double barStart = 0.0;  // the beat at which the bar holding beat began
    double beatsPerBar = 4.0;
    double beatsPerMinute = 120.0;
    // The song position in samples, 0 when the host gives none. Hosts may round the beat
    // they state (Ardour 7 to 1/1920 of a beat, 15 samples at 100 bpm); the samples are exact.
    double frame = 0.0;
    // The loop the host plays, when it runs through the loop's end within a block rather
    // than splitting the block there (Ardour 7); loopEnd > loopStart when there is one.
    double loopStart = 0.0;
    double loopEnd = 0.0;
    bool looping = false;  // the loop plays; otherwise it was only seen (perhaps a locate)
};

// One stroke of a pattern, as a key of the strum engine would play it.
struct Stroke {
    int32_t time;  // samples from the start of the block
    KeyAction action;
    int32_t argument;  // PickString: the string
    int32_t velocity;
    bool operator==(const Stroke& o) const
    {
        return time == o.time && action == o.action && argument == o.argument &&
               velocity == o.velocity;
    }
};

class PatternPlayer
{
public:
    static constexpr int32_t kOff = 0;
    static constexpr int32_t kDefaultVelocity = 100;
    static constexpr float kMaxSwing = 0.5f;
    // Tempos the pattern follows; the host's others are held to these.
    static constexpr double kSlowestTempo = 10.0;
    static constexpr double kFastestTempo = 1000.0;
    // Strokes one block may play; beyond them a block skips to its end (only a tempo far
    // beyond music with an enormous block gets there).
    static constexpr int32_t kMostStrokesPerBlock = 256;

    // 0 for none, else 1 to the number of patterns; others are held to that range. A new
    // pattern starts at the current position of the bar.
    void setPattern(int32_t number);
    int32_t pattern() const { return number; }
    // How late the off-beat eighths come, in eighths: 0 straight to 0.5.
    void setSwing(float eighths);
    // Velocity of plain steps, 1 to 127; accented steps play halfway from it to 127.
    void setVelocity(int32_t velocity);
    void setHumanise(float milliseconds, float percent, uint32_t seed);

    // Once a block, before its keys; clock is the host's transport, null when it sent none.
    void startBlock(const SongClock* clock, int32_t frames, double sampleRate);
    // A chord taken up in the zone at this sample of the block (the first note of an empty
    // zone), and put down again.
    void hold(int32_t time);
    void release();
    // The last note of the zone let go at this sample of the block: the pattern stops
    // unless a chord is held again within a beat.
    void letGo(int32_t time);
    // Takes the next stroke due before this sample of the block; false when none is.
    bool nextStroke(int32_t before, Stroke& stroke);
    void endBlock();

private:
    enum class Mode { silent, locked, free };

    // How beats map to the player's own count of samples and to bars, since the last anchor.
    struct Grid {
        int64_t sample = 0;
        double beat = 0.0;
        double samplesPerBeat = 22050.0;
        double tempo = 120.0;
        double barLine = 0.0;  // the beat of one bar line, and that bar's number
        int64_t barNumber = 0;
        double beatsPerBar = 4.0;
    };
    // The next step: which bar, which repeat of the pattern's bar inside it, which step.
    struct Cursor {
        int64_t bar = 0;
        int32_t repeat = 0;
        int32_t step = 0;
    };

    void lock(const SongClock& clock, double beatsPerBar);
    void follow(const SongClock& clock, double beatsPerBar);
    void reanchor(double beat, double tempo);
    void wrapLoop();
    void restartAt(double beat);
    void advance();
    // The pattern's bars (four beats at most each), the cells of one, whether a step lies
    // in the pattern's bar that plays in this bar of the song, and the cursor at a bar's
    // first step.
    int32_t patternBars() const;
    double patternBarCells() const;
    bool inPatternBar(int32_t step, int64_t bar) const;
    void enterBar(int64_t bar);
    double barStart(int64_t bar) const;
    // Beats from the cursor's bar line to its step.
    double offsetInBar(const Cursor& at) const;
    double swung(double offset) const;
    double beatAtSample(int64_t sample) const;

    const StrumPattern* current = nullptr;
    int32_t number = kOff;
    bool restartPending = false;
    float swing = 0.0f;
    int32_t velocity = kDefaultVelocity;
    double closestSteps = 1.0;  // beats between the pattern's nearest two steps
    Humaniser humaniser;

    Mode mode = Mode::silent;
    bool held = false;
    int64_t heldAgainBy = 0;  // the last sample where a chord held again keeps the grid
    double lastTempo = 120.0;
    double sampleRate = 44100.0;
    int64_t songSample = 0;  // samples the player has seen, at the start of this block
    int32_t frames = 0;
    int32_t earliest = 0;  // no stroke of this block before this sample
    int32_t played = 0;
    double lastFrame = 0.0;  // the host's frame count at the last block's start
    double nextFrame = 0.0;  // and where it should stand at the next one
    double statedTempo = 120.0;  // the host's, which a ramp may leave behind its beats
    double hostAnchorBeat = 0.0;   // the host's beat where the grid last took it
    int64_t hostAnchorSample = 0;  // and the sample there
    // Where in this block the host's loop ends (-1 when it does not), and the beat it
    // starts again from; whether the last block ran through the loop's end.
    int32_t loopEndsAt = -1;
    double loopStartBeat = 0.0;
    bool wrapped = false;
    Grid grid;
    Cursor cursor;
};
