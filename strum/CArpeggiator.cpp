// Scheduling of timed string events across blocks and their hand-over to the decoder queue.
#include "strum/CArpeggiator.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace {

constexpr int32_t kLatestTime = std::numeric_limits<int32_t>::max();

bool isCountedNote(uint32_t note)
{
    return note < static_cast<uint32_t>(CArpeggiator::kNoteCount);
}

}  // namespace

CArpeggiator::CArpeggiator()
{
    CArpeggiator::resetStrum();
}

int CArpeggiator::pushEvent(int32_t time, uint32_t packed)
{
    if (eventCount >= kEventCapacity) {
        return 0;
    }
    eventQueue[eventCount] = TimedMsg{time, packed};
    ++eventCount;
    return 1;
}

int CArpeggiator::pushNoteEvent(int32_t time, uint32_t packed)
{
    const uint32_t note = msgData1(packed);
    if (msgKind(packed) == kNoteOnKind && isCountedNote(note) && noteCount[note] >= 1) {
        pushEvent(time, withKind(packed, kNoteOffKind));
        // Saturating: the restart follows the release by one sample unless that would
        // overflow, in which case both stay at the last representable time.
        return pushEvent(time < kLatestTime ? time + 1 : time, packed);
    }
    return pushEvent(time, packed);
}

void CArpeggiator::resetStrum()
{
    eventCount = 0;
    queuedReleases = 0;
    std::fill(std::begin(eventQueue), std::end(eventQueue), TimedMsg{0, 0});
    std::fill(std::begin(noteCount), std::end(noteCount), 0);
}

void CArpeggiator::processBlock(float tempo, float position, int32_t blockLength,
                                float sampleRate)
{
    // A host may hand a negative frame count; it moves nothing and advances no time.
    blockLength = std::max(blockLength, 0);
    const int32_t lastSample = std::max(blockLength - 1, 0);
    for (int32_t i = 0; i < msgCount; ++i) {
        // Host offsets outside the block are pulled to its nearest sample, so that no
        // event is scheduled in the past or dispatched outside 0..blockLength-1.
        const int32_t time = std::clamp(entries[i].time, 0, lastSample);
        const uint32_t packed = entries[i].packed;
        playUntil(time);
        const uint32_t kind = msgKind(packed);
        if (kind == kNoteOffKind || (kind == kNoteOnKind && msgData2(packed) == 0)) {
            noteEventOff(time, packed);
        } else if (kind == kNoteOnKind) {
            noteEventOn(time, packed);
        } else {
            pushEvent(time, packed);
        }
    }
    playUntil(blockLength);
    updateTime(tempo, position, blockLength, sampleRate);
    sortEvents();
    moveDueEvents(blockLength);
}

void CArpeggiator::sortEvents()
{
    // Sorting mixes the releases with the rest; they are all due in this block anyway.
    queuedReleases = 0;
    // Insertion sort: stable (equal times keep their scheduling order), allocation-free
    // unlike std::stable_sort, and nearly linear on the mostly ordered queue.
    for (int32_t i = 1; i < eventCount; ++i) {
        const TimedMsg event = eventQueue[i];
        int32_t j = i;
        while (j > 0 && eventQueue[j - 1].time > event.time) {
            eventQueue[j] = eventQueue[j - 1];
            --j;
        }
        eventQueue[j] = event;
    }
}

void CArpeggiator::moveDueEvents(int32_t blockLength)
{
    blockLength = std::max(blockLength, 0);
    clearQueue();
    int32_t moved = 0;
    while (moved < eventCount && eventQueue[moved].time < blockLength) {
        const TimedMsg& event = eventQueue[moved];
        // Only a direct pushEvent can schedule before the block; such an event is due now,
        // and being sorted to the front it keeps the handed-over times in order.
        pushMsg(std::max(event.time, 0), event.packed);
        const uint32_t note = msgData1(event.packed);
        if (isCountedNote(note)) {
            if (msgKind(event.packed) == kNoteOffKind) {
                noteCount[note] = std::max(noteCount[note] - 1, 0);
            } else if (msgKind(event.packed) == kNoteOnKind) {
                ++noteCount[note];
            }
        }
        ++moved;
    }
    for (int32_t i = moved; i < eventCount; ++i) {
        eventQueue[i - moved] = TimedMsg{eventQueue[i].time - blockLength, eventQueue[i].packed};
    }
    eventCount -= moved;
}

// The releases fall at the key's own offset, not at the start of the block, so a mute or
// chord key cuts the ringing strings exactly where it is played, whatever the block size.
void CArpeggiator::allNotesOff(int32_t time)
{
    // Where the output must not depend on the block size, what fell due before the cut
    // sounded, as it would have had the block ended before it: it stays, and is released
    // at the cut with the rest. Counts as if it had been handed over, without a store.
    int32_t sounding[kNoteCount];
    std::copy(std::begin(noteCount), std::end(noteCount), std::begin(sounding));
    int32_t kept = queuedReleases;
    for (int32_t i = queuedReleases; exactCuts && i < eventCount; ++i) {
        if (eventQueue[i].time >= time) continue;
        const uint32_t packed = eventQueue[i].packed;
        const uint32_t note = msgData1(packed);
        if (isCountedNote(note) && msgKind(packed) == kNoteOffKind) {
            sounding[note] = std::max(sounding[note] - 1, 0);
        } else if (isCountedNote(note) && msgKind(packed) == kNoteOnKind) {
            ++sounding[note];
        }
        eventQueue[kept++] = eventQueue[i];
    }
    eventCount = kept;
    std::fill(std::begin(eventQueue) + eventCount, std::end(eventQueue), TimedMsg{0, 0});
    for (uint32_t note = 0; note < kNoteCount; ++note) {
        for (int32_t k = 0; k < sounding[note]; ++k) {
            if (pushEvent(time, packMsg(kNoteOffKind, 0, note, 0)) == 0) {
                break;
            }
        }
        noteCount[note] = 0;
    }
    queuedReleases = eventCount;
}
