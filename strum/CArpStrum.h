// The guitar behaviour of the strum engine: the chord bank of twelve six-string chords,
// the fixed key map, and the key actions (select a chord, strum it four ways, pick one
// string, release everything), including the late chord change after a strum key.
#pragma once

#include "sound/Take.h"
#include "strum/CArpeggiator.h"
#include "strum/ChordValues.h"
#include "strum/ChordZone.h"
#include "strum/KeyAction.h"
#include "strum/PatternPlayer.h"
#include "strum/Tunings.h"
#include "strum/Voicings.h"

#include <array>
#include <atomic>
#include <cstdint>

// Where the chord comes from: the twelve chord keys only, or also the notes held in the
// chord zone below them.
enum class ChordInput : int32_t { chordKeys = 0, heldNotes = 1 };

struct KeyBinding {
    KeyAction action;
    int32_t argument;
};

class CArpStrum : public CArpeggiator
{
public:
    static constexpr int32_t kChordCount = ChordValues::kChordCount;
    static constexpr int32_t kStringCount = ChordValues::kStringCount;
    // Stored note of a string that does not sound.
    static constexpr int32_t kMuted = -1;
    // Standard tuning E A D G B E, lowest string first.
    static constexpr const int32_t (&openNotes)[kStringCount] = ChordValues::kOpenStrings;
    // Action of every MIDI note number; fixed for the life of the instrument.
    static const std::array<KeyBinding, 128> keyMap;
    // A key's action, with the articulation keys or without (the key map's); MuteAll beyond
    // the map.
    static KeyBinding binding(uint32_t note, bool articulationKeys);

    CArpStrum();

    void noteEventOn(int32_t time, uint32_t packed) override;
    void noteEventOff(int32_t time, uint32_t packed) override;
    void updateTime(float tempo, float position, int32_t blockLength,
                    float sampleRate) override;
    void resetStrum() override;
    void processBlock(float tempo, float position, int32_t blockLength,
                      float sampleRate) override;

    static constexpr float kPositionStep = ChordValues::kPositionStep;

    // The playing aids beyond the key map, all off until set, and set on the audio thread
    // between blocks (the LV2 plug-in reads its ports there). The clock is the host's
    // transport for the next block, null when the host gave none.
    void setSongClock(const SongClock* clock);
    PatternPlayer& patternPlayer() { return patterns; }
    // For the musician's editions, whose output must not depend on the host's block size:
    // the late chord change's window counted in exact samples from the strum key rather than
    // from its block's start, and a cut keeping what fell due before it in its block; the
    // VST 2.4 module counts and cuts by blocks.
    void setBlockIndependent(bool exact)
    {
        exactLateChanges = exact;
        exactCuts = exact;
    }
    // Switching lets go of the zone; the next strum plays the selected chord key's chord.
    void setChordInput(ChordInput input);
    // Keys 61, 63, 66 and 68 strum dead and palm-muted, down and up, instead of silencing.
    // Any thread may read it.
    void setArticulationKeys(bool on);
    bool articulationKeys() const { return articulationKeysOn.load(std::memory_order_relaxed); }
    // The tuning (a number of tunings::kTunings) and the capo's fret, each held to its range.
    // Chords stay frets above the capo; the strings sound as tuned, from the next stroke on,
    // and a held chord is fingered anew for them. tuning() and capo() may be read on any
    // thread.
    void setNeck(int32_t tuning, int32_t capo);
    int32_t tuning() const { return tuningNumber.load(std::memory_order_relaxed); }
    int32_t capo() const { return capoFret.load(std::memory_order_relaxed); }
    // The notes a chord key's chord sounds on the strings as tuned, lowest string first, -1
    // for a muted string: what names it. Any thread.
    chords::ChordNotes soundingChord(uint32_t chord) const;
    // The chord last recognised in the zone: root x the namer's vocabulary size + quality,
    // -1 before any. Any thread.
    int32_t recognisedChord() const { return heldChord.load(std::memory_order_relaxed); }

    // Parameter encoding of one string: k/19 for k = 0 (muted), 1 (open), 2..19 (frets
    // 1..18). Safe to call from the host's user-interface thread while the audio plays.
    void setChordValue(uint32_t chord, uint32_t string, float value);
    // The note a string of a chord holds before anyone edits it, kMuted when it does not
    // sound; chord and string must be within the bank.
    static int32_t defaultNote(int32_t chord, int32_t string);
    float getChordValue(uint32_t chord, uint32_t string) const;

protected:
    ~CArpStrum() = default;

    // A short strum is twice as fast and its strings stop after a while; each string asks
    // the sound engine for the take, by its note's channel.
    void strum(int32_t time, int32_t velocity, bool ascending, bool isShort,
               Take take = Take::ringing);
    void pickString(int32_t time, int32_t velocity, uint32_t string);
    void selectChord(int32_t time, uint32_t chord);
    // After a chord change at this key's time, repeats a strum key played just before on
    // the new chord (the late chord change).
    void changedChord(int32_t time);
    void playHeldChord(int32_t time);
    // Makes the zone's chord the one the strings play, releasing them when it differs;
    // false when nothing changed.
    bool takeHeldChord(int32_t time);
    // The note of a string of the chord being played, kMuted when it does not sound.
    int32_t stringNote(int32_t string) const;
    void perform(KeyAction action, int32_t argument, int32_t time, int32_t velocity);
    void loadDefaultChords();
    void playUntil(int32_t time) override;
    // Handles a key's trigger state and action, for keys and pattern strokes alike.
    void play(KeyAction action, int32_t argument, int32_t time, int32_t velocity);

    // Trigger state of the last strum-type key, for the late chord change.
    int32_t lastAction;
    int32_t lastArg;
    int32_t elapsed;  // samples at the host rate; above every window once out of it
    int32_t lastVelocity;

    // Written by the host's user-interface thread (chord edits) or the audio thread
    // (chord selection) and read by the other; each is an independent word that no other
    // value depends on, so relaxed ordering is enough.
    std::atomic<int32_t> chordBank[kChordCount][kStringCount];
    std::atomic<int32_t> selectedChord;

    float tempo;  // beats per minute, as delivered with the previous block
    // Strum timing is defined in samples at 44100 Hz; these carry it to the host rate.
    float rateScale;          // host rate / 44100, exactly 1.0 at 44100
    int32_t lateChordWindow;  // 2205 samples at 44100 Hz (50 ms), in host samples
    bool exactLateChanges = false;

    PatternPlayer patterns;
    SongClock clock;
    bool clockKnown = false;

    // Held chords, audio thread only but for heldChord, which another thread's key names
    // read: one word that nothing else depends on, so relaxed ordering.
    ChordInput chordInput = ChordInput::chordKeys;
    ChordZone zone;
    voicings::VoicingTable voicingTable;
    bool playingHeld = false;  // the held chord sounds rather than the selected chord key's
    bool heldChangeWaits = false;  // a release changed the zone's chord; the next stroke takes it
    chords::Fingering heldFrets{};  // above the capo
    std::atomic<int32_t> heldChord{-1};

    // What the open strings sound, the tuning with its capo; audio thread only. The tuning
    // and capo themselves are read by the key names' thread: independent words, relaxed.
    tunings::OpenStrings openStrings{};
    std::atomic<int32_t> tuningNumber{0};
    std::atomic<int32_t> capoFret{0};
    // Set on the audio thread, read by the key names' thread: one flag, relaxed.
    std::atomic<bool> articulationKeysOn{false};
};
