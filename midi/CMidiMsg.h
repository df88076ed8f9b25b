// The timed MIDI message queue shared by the block driver and the strum engine, and the
// decoder that turns one packed short message into a call of its own overridable handler.
#pragma once

#include <cstdint>

struct VstMidiEvent;

// One short MIDI message in a word: byte 0 the status kind (status with the channel bits
// cleared), byte 1 the channel or system-message number, bytes 2 and 3 the data bytes as
// received (not masked to seven bits, so a handler may see values up to 255).
constexpr uint32_t packMsg(uint32_t kind, uint32_t channel, uint32_t data1, uint32_t data2)
{
    return (kind & 0xFFu) | (channel & 0xFFu) << 8 | (data1 & 0xFFu) << 16 |
           (data2 & 0xFFu) << 24;
}

constexpr uint32_t msgKind(uint32_t packed) { return packed & 0xFFu; }
constexpr uint32_t msgChannel(uint32_t packed) { return packed >> 8 & 0xFFu; }
constexpr uint32_t msgData1(uint32_t packed) { return packed >> 16 & 0xFFu; }
constexpr uint32_t msgData2(uint32_t packed) { return packed >> 24; }

// The same message with another status kind, channel and data kept (note-on to note-off).
constexpr uint32_t withKind(uint32_t packed, uint32_t kind)
{
    return (packed & ~0xFFu) | (kind & 0xFFu);
}

constexpr uint32_t kNoteOffKind = 0x80;
constexpr uint32_t kNoteOnKind = 0x90;

struct TimedMsg {
    int32_t time;  // samples from the start of the current block
    uint32_t packed;
};

// Expands X(n) for every controller number 0..127; used to declare and to dispatch the
// per-controller handlers from one list.
#define LYREVANE_CONTROLLER_NUMBERS(X)                                                      \
    X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11) X(12) X(13) X(14) X(15)  \
    X(16) X(17) X(18) X(19) X(20) X(21) X(22) X(23) X(24) X(25) X(26) X(27) X(28) X(29)    \
    X(30) X(31) X(32) X(33) X(34) X(35) X(36) X(37) X(38) X(39) X(40) X(41) X(42) X(43)    \
    X(44) X(45) X(46) X(47) X(48) X(49) X(50) X(51) X(52) X(53) X(54) X(55) X(56) X(57)    \
    X(58) X(59) X(60) X(61) X(62) X(63) X(64) X(65) X(66) X(67) X(68) X(69) X(70) X(71)    \
    X(72) X(73) X(74) X(75) X(76) X(77) X(78) X(79) X(80) X(81) X(82) X(83) X(84) X(85)    \
    X(86) X(87) X(88) X(89) X(90) X(91) X(92) X(93) X(94) X(95) X(96) X(97) X(98) X(99)    \
    X(100) X(101) X(102) X(103) X(104) X(105) X(106) X(107) X(108) X(109) X(110) X(111)    \
    X(112) X(113) X(114) X(115) X(116) X(117) X(118) X(119) X(120) X(121) X(122) X(123)    \
    X(124) X(125) X(126) X(127)

// Runs on the host's audio thread only. The queue is a fill-then-drain buffer: it is
// cleared, filled, then read or drained; pushing after popping needs a clear first.
class CMidiMsg
{
public:
    static constexpr int32_t kQueueCapacity = 255;

    CMidiMsg();

    virtual void clearQueue();
    virtual int pushMsg(int32_t time, uint32_t packed);
    // Reads only deltaFrames and the three MIDI bytes; the event must not be null.
    virtual int pushMidiEvent(const VstMidiEvent* event);
    virtual TimedMsg popMsg();
    virtual int32_t pendingCount();
    virtual int32_t nextTime();
    virtual void dispatchNext();
    virtual void dispatch(int32_t time, uint32_t packed);

    // Handlers receive bytes in plain integers; every default does nothing except
    // onSystem and onControlChange, which decode further.
    virtual void onNoteOn(int32_t, int32_t, int32_t) {}
    virtual void onNoteOff(int32_t, int32_t, int32_t) {}
    virtual void onProgramChange(int32_t, int32_t) {}
    virtual void onPolyPressure(int32_t, int32_t, int32_t) {}
    virtual void onChannelPressure(int32_t, int32_t) {}
    virtual void onPitchBend(int32_t, int16_t) {}
    virtual void onSystem(int32_t status, int32_t data1, int32_t data2);
    virtual void onControlChange(int32_t channel, int32_t controller, int32_t value);
    virtual void onQuarterFrame(int32_t) {}
    virtual void onSongPosition(uint16_t) {}
    virtual void onSongSelect(int32_t) {}
    virtual void onTuneRequest() {}
    virtual void onClock() {}
    virtual void onStart() {}
    virtual void onContinue() {}
    virtual void onStop() {}
    virtual void onActiveSensing() {}
    virtual void onSystemReset() {}
#define LYREVANE_DECLARE_CONTROLLER(n) virtual void onController##n(int32_t, int32_t) {}
    LYREVANE_CONTROLLER_NUMBERS(LYREVANE_DECLARE_CONTROLLER)
#undef LYREVANE_DECLARE_CONTROLLER

protected:
    // Only ever a base of the instrument object, never deleted through this type.
    ~CMidiMsg() = default;

    int32_t readIndex;
    int32_t msgCount;
    TimedMsg entries[kQueueCapacity];

private:
    // Entries from this index on are zero: a clear, once per block and more, zeroes only the
    // few a block wrote rather than all of them.
    int32_t written;
};
