// The strum scheduler: a queue of string events timed in samples from the start of the
// current block, carried across blocks and handed to the decoder queue when due, with a
// per-note count of sounding notes so that a note struck while it sounds is restruck.
#pragma once

#include "midi/CMidiMsg.h"

#include <cstdint>

// Runs on the host's audio thread only; resetStrum is called there too (the instrument
// defers parameter resets to the start of a block), so nothing here needs atomics.
class CArpeggiator : public CMidiMsg
{
public:
    static constexpr int32_t kEventCapacity = 255;
    static constexpr int32_t kNoteCount = 128;

    CArpeggiator();

    virtual void noteEventOn(int32_t time, uint32_t packed) = 0;
    // Key releases never stop a string: strings stop only by the engine's own releases.
    virtual void noteEventOff(int32_t, uint32_t) {}
    virtual void updateTime(float tempo, float position, int32_t blockLength,
                            float sampleRate) = 0;
    virtual int pushEvent(int32_t time, uint32_t packed);
    virtual int pushNoteEvent(int32_t time, uint32_t packed);
    virtual void resetStrum();
    virtual void processBlock(float tempo, float position, int32_t blockLength,
                              float sampleRate);
    // Plays what the engine itself plays (strum patterns) up to this sample of the block;
    // called before each of the block's messages, in time order, and once at its end.
    virtual void playUntil(int32_t) {}

    void sortEvents();
    void moveDueEvents(int32_t blockLength);
    // Releases every sounding note at the given offset and drops everything scheduled but
    // the releases of an earlier call not yet handed over.
    void allNotesOff(int32_t time);

protected:
    ~CArpeggiator() = default;

    // Notes whose note-ons were handed to the decoder queue and not yet released.
    int32_t noteCount[kNoteCount];
    int32_t eventCount;
    TimedMsg eventQueue[kEventCapacity];
    // The queue's first entries are the releases allNotesOff scheduled in this block: the
    // counts of their notes are zero already, so a second call must keep them, or those
    // notes would ring for good (two chord changes in one block).
    int32_t queuedReleases;
    // Whether a cut keeps what fell due before it in the same block (see allNotesOff): the
    // musician's editions; the VST 2.4 module drops it.
    bool exactCuts = false;
};
