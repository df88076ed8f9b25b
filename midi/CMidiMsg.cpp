// Queue handling and decoding of packed short MIDI messages.
#include "midi/CMidiMsg.h"

#include <algorithm>

#include "host/VstInterface.h"

namespace {

using ControllerHandler = void (CMidiMsg::*)(int32_t, int32_t);

// Member pointers to virtual functions call the most derived override.
#define LYREVANE_CONTROLLER_ENTRY(n) &CMidiMsg::onController##n,
const ControllerHandler kControllerHandlers[128] = {
    LYREVANE_CONTROLLER_NUMBERS(LYREVANE_CONTROLLER_ENTRY)};
#undef LYREVANE_CONTROLLER_ENTRY

}  // namespace

CMidiMsg::CMidiMsg() : written(kQueueCapacity)
{
    clearQueue();
}

void CMidiMsg::clearQueue()
{
    readIndex = 0;
    msgCount = 0;
    // Every entry is zero afterwards; only those written since the last clear can differ.
    for (int32_t i = 0; i < written; ++i) {
        entries[i] = TimedMsg{0, 0};
    }
    written = 0;
}

int CMidiMsg::pushMsg(int32_t time, uint32_t packed)
{
    if (msgCount >= kQueueCapacity) {
        return 0;
    }
    entries[msgCount] = TimedMsg{time, packed};
    ++msgCount;
    written = std::max(written, msgCount);
    return 1;
}

int CMidiMsg::pushMidiEvent(const VstMidiEvent* event)
{
    const auto status = static_cast<uint8_t>(event->midiData[0]);
    return pushMsg(event->deltaFrames,
                   packMsg(status & 0xF0u, status & 0x0Fu,
                           static_cast<uint8_t>(event->midiData[1]),
                           static_cast<uint8_t>(event->midiData[2])));
}

TimedMsg CMidiMsg::popMsg()
{
    const TimedMsg taken = entries[readIndex];
    if (msgCount > 0) {
        --msgCount;
    }
    if (readIndex < kQueueCapacity - 1) {
        ++readIndex;
    }
    return taken;
}

int32_t CMidiMsg::pendingCount()
{
    return msgCount;
}

int32_t CMidiMsg::nextTime()
{
    return entries[readIndex].time;
}

void CMidiMsg::dispatchNext()
{
    const TimedMsg next = popMsg();
    dispatch(next.time, next.packed);
}

void CMidiMsg::dispatch(int32_t, uint32_t packed)
{
    const auto channel = static_cast<int32_t>(msgChannel(packed));
    const auto data1 = static_cast<int32_t>(msgData1(packed));
    const auto data2 = static_cast<int32_t>(msgData2(packed));
    switch (msgKind(packed)) {
    case 0x80:
        onNoteOff(channel, data1, data2);
        break;
    case 0x90:
        if (data2 != 0) {
            onNoteOn(channel, data1, data2);
        } else {
            onNoteOff(channel, data1, 0);
        }
        break;
    case 0xA0:
        onPolyPressure(channel, data1, data2);
        break;
    case 0xB0:
        onControlChange(channel, data1, data2);
        break;
    case 0xC0:
        onProgramChange(channel, data1);
        break;
    case 0xD0:
        onChannelPressure(channel, data1);
        break;
    case 0xE0:
        // Unmasked data bytes give at most 0x7FFF before the offset, so 16 bits hold it.
        onPitchBend(channel, static_cast<int16_t>((data2 << 7 | data1) - 8192));
        break;
    case 0xF0:
        onSystem(0xF0 | channel, data1, data2);
        break;
    default:
        break;
    }
}

void CMidiMsg::onSystem(int32_t status, int32_t data1, int32_t data2)
{
    switch (status) {
    case 0xF1:
        onQuarterFrame(data1);
        break;
    case 0xF2:
        onSongPosition(static_cast<uint16_t>(data2 << 7 | data1));
        break;
    case 0xF3:
        onSongSelect(data1);
        break;
    case 0xF6:
        onTuneRequest();
        break;
    case 0xF8:
        onClock();
        break;
    case 0xFA:
        onStart();
        break;
    case 0xFB:
        onContinue();
        break;
    case 0xFC:
        onStop();
        break;
    case 0xFE:
        onActiveSensing();
        break;
    case 0xFF:
        onSystemReset();
        break;
    default:
        break;
    }
}

void CMidiMsg::onControlChange(int32_t channel, int32_t controller, int32_t value)
{
    if (controller >= 0 && controller < 128) {
        const ControllerHandler handler = kControllerHandlers[controller];
        (this->*handler)(channel, value);
    }
}
