// Key actions of the strum engine: chord selection with the late chord change, the four
// strums, single picked strings and the release of everything.
#include "strum/CArpStrum.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

// All strum timing figures are samples at this rate.
constexpr float kReferenceRate = 44100.0f;
constexpr float kReferenceTempo = 120.0f;
constexpr int32_t kSpacingBase = 660;  // strum spacing at velocity 0, before the tempo factor
constexpr int32_t kShortLength = 660;  // how long a short-strum string sounds
constexpr int32_t kDeadLength = 6615;  // a dead string's chuck: gone within 150 ms
constexpr int32_t kLateChordWindow = 2205;
// The count of samples since the last strum key once it has left the window.
constexpr int32_t kPastWindow = std::numeric_limits<int32_t>::max();

// Longest span a strum computes (about six minutes at 44100 Hz): keeps the float-to-integer
// conversion defined for absurd host rates, and sums of such spans inside int32.
constexpr int32_t kMaxSpan = 1 << 24;

int32_t toSamples(float samples)
{
    if (!(samples > 0.0f)) {
        return 0;
    }
    return samples >= static_cast<float>(kMaxSpan) ? kMaxSpan : static_cast<int32_t>(samples);
}

int32_t clampTime(int64_t time)
{
    return static_cast<int32_t>(std::min<int64_t>(time, std::numeric_limits<int32_t>::max()));
}

constexpr std::array<KeyBinding, 128> makeKeyMap()
{
    std::array<KeyBinding, 128> map{};
    for (int32_t chord = 0; chord < CArpStrum::kChordCount; ++chord) {
        map[48 + chord] = {SelectChord, chord};
    }
    map[60] = {StrumDown, 0};
    map[62] = {StrumUp, 0};
    map[64] = {ShortStrumDown, 0};
    map[65] = {ShortStrumUp, 0};
    // The white keys above the strums pick strings 0..5, lowest first.
    constexpr int32_t pickKeys[CArpStrum::kStringCount] = {67, 69, 71, 72, 74, 76};
    for (int32_t string = 0; string < CArpStrum::kStringCount; ++string) {
        map[pickKeys[string]] = {PickString, string};
    }
    return map;
}

// The articulation keys, black keys among the strums and picks that the key map leaves silent.
constexpr std::pair<uint32_t, KeyBinding> kArticulationKeys[] = {
    {61, {DeadStrumDown, 0}},
    {63, {DeadStrumUp, 0}},
    {66, {MutedStrumDown, 0}},
    {68, {MutedStrumUp, 0}},
};

}  // namespace

const std::array<KeyBinding, 128> CArpStrum::keyMap = makeKeyMap();

KeyBinding CArpStrum::binding(uint32_t note, bool articulationKeys)
{
    if (articulationKeys) {
        for (const auto& [key, articulation] : kArticulationKeys) {
            if (key == note) return articulation;
        }
    }
    return note < keyMap.size() ? keyMap[note] : KeyBinding{MuteAll, 0};
}

void CArpStrum::setArticulationKeys(bool on)
{
    articulationKeysOn.store(on, relaxed);
}

CArpStrum::CArpStrum()
    : lastAction(0),
      lastArg(0),
      elapsed(0),
      lastVelocity(0),
      selectedChord(0),
      tempo(kReferenceTempo),
      rateScale(1.0f),
      lateChordWindow(kLateChordWindow)
{
    loadDefaultChords();
    tunings::openStrings(0, 0, openStrings);
}

void CArpStrum::processBlock(float tempo, float position, int32_t blockLength,
                             float sampleRate)
{
    // Taken before the block's keys, so that even the first block strums at the host rate.
    // A rate that is not a positive finite number plays as the reference rate.
    const float rate = std::isfinite(sampleRate) && sampleRate > 0.0f ? sampleRate
                                                                       : kReferenceRate;
    rateScale = rate / kReferenceRate;
    lateChordWindow = toSamples(static_cast<float>(
        static_cast<double>(kLateChordWindow) * rate / static_cast<double>(kReferenceRate)));
    patterns.startBlock(clockKnown ? &clock : nullptr, blockLength, rate);
    CArpeggiator::processBlock(tempo, position, blockLength, sampleRate);
    patterns.endBlock();
}

void CArpStrum::setSongClock(const SongClock* songClock)
{
    clockKnown = songClock != nullptr;
    if (songClock) clock = *songClock;
}

void CArpStrum::playUntil(int32_t time)
{
    Stroke stroke;
    while (patterns.nextStroke(time, stroke)) {
        play(stroke.action, stroke.argument, stroke.time, stroke.velocity);
    }
}

void CArpStrum::noteEventOn(int32_t time, uint32_t packed)
{
    const uint32_t note = msgData1(packed);
    const auto velocity = static_cast<int32_t>(msgData2(packed));
    if (note >= keyMap.size()) {
        return;
    }
    if (chordInput == ChordInput::heldNotes && ChordZone::holds(note)) {
        // The first note of an empty zone starts a pattern while the transport stands.
        if (zone.empty()) patterns.hold(time);
        if (zone.press(note)) playHeldChord(time);
        return;
    }
    const KeyBinding key = binding(note, articulationKeysOn.load(relaxed));
    play(key.action, key.argument, time, velocity);
}

void CArpStrum::noteEventOff(int32_t time, uint32_t packed)
{
    const uint32_t note = msgData1(packed);
    if (chordInput != ChordInput::heldNotes || !ChordZone::holds(note)) return;
    // Lifting a finger never silences what rings: the chord the hand now holds takes over
    // at the next stroke.
    if (zone.release(note)) {
        heldChord.store(zone.chordNumber(), relaxed);
        heldChangeWaits = true;
    }
    if (zone.empty()) patterns.letGo(time);
}

void CArpStrum::setChordInput(ChordInput input)
{
    if (input == chordInput) return;
    chordInput = input;
    zone.clear();
    patterns.release();
    playingHeld = false;
    heldChangeWaits = false;
}

void CArpStrum::setNeck(int32_t tuning, int32_t capo)
{
    tuning = tunings::heldTuning(tuning);
    capo = tunings::heldCapo(capo);
    if (tuning == tuningNumber.load(relaxed) && capo == capoFret.load(relaxed)) return;
    tuningNumber.store(tuning, relaxed);
    capoFret.store(capo, relaxed);
    tunings::openStrings(tuning, capo, openStrings);
    // The hand keeps holding the same sounding chord, fingered for the strings as they are
    // now; what rings goes on ringing until the next stroke.
    chords::Fingering fingering;
    if (playingHeld && voicingTable.choose(openStrings, zone.root(), zone.quality(),
                                           voicings::neckPosition(heldFrets), fingering)) {
        heldFrets = fingering;
    }
}

chords::ChordNotes CArpStrum::soundingChord(uint32_t chord) const
{
    chords::ChordNotes notes{};
    notes.fill(kMuted);
    if (chord >= kChordCount) return notes;
    tunings::OpenStrings open;
    tunings::openStrings(tuning(), capo(), open);
    for (int32_t s = 0; s < kStringCount; ++s) {
        const int32_t note = chordBank[chord][s].load(relaxed);
        if (note >= 0) notes[s] = note - openNotes[s] + open[s];
    }
    return notes;
}

void CArpStrum::playHeldChord(int32_t time)
{
    if (takeHeldChord(time)) changedChord(time);
}

bool CArpStrum::takeHeldChord(int32_t time)
{
    heldChangeWaits = false;
    heldChord.store(zone.chordNumber(), relaxed);
    const int position = playingHeld ? voicings::neckPosition(heldFrets) : [this] {
        int32_t notes[kStringCount];
        for (int32_t s = 0; s < kStringCount; ++s) {
            notes[s] = chordBank[selectedChord.load(relaxed)][s].load(relaxed);
        }
        return voicings::neckPosition(notes);
    }();
    chords::Fingering fingering;
    if (!voicingTable.choose(openStrings, zone.root(), zone.quality(), position, fingering)) {
        return false;
    }
    if (playingHeld && fingering == heldFrets) return false;
    allNotesOff(time);
    heldFrets = fingering;
    playingHeld = true;
    return true;
}

int32_t CArpStrum::stringNote(int32_t string) const
{
    if (playingHeld) {
        return heldFrets[string] < 0 ? kMuted : openStrings[string] + heldFrets[string];
    }
    // The bank keeps each fret as the note it sounds in the standard tuning without a capo.
    const int32_t note = chordBank[selectedChord.load(relaxed)][string].load(relaxed);
    return note < 0 ? kMuted : note - openNotes[string] + openStrings[string];
}

void CArpStrum::play(KeyAction action, int32_t argument, int32_t time, int32_t velocity)
{
    if (action >= StrumUp && heldChangeWaits) takeHeldChord(time);
    if (action >= StrumUp) {
        lastAction = action;
        lastArg = argument;
        // Counted from the block's start, as the VST 2.4 module counts; in exact samples
        // from the key itself where the output must not depend on the block size.
        elapsed = exactLateChanges ? -time : 0;
        lastVelocity = velocity;
    }
    perform(action, argument, time, velocity);
}

void CArpStrum::perform(KeyAction action, int32_t argument, int32_t time, int32_t velocity)
{
    switch (action) {
    case MuteAll:
        allNotesOff(time);
        break;
    case SelectChord:
        selectChord(time, static_cast<uint32_t>(argument));
        break;
    case StrumUp:
        strum(time, velocity, false, false);
        break;
    case StrumDown:
        strum(time, velocity, true, false);
        break;
    case ShortStrumUp:
        strum(time, velocity, false, true);
        break;
    case ShortStrumDown:
        strum(time, velocity, true, true);
        break;
    case PickString:
        pickString(time, velocity, static_cast<uint32_t>(argument));
        break;
    case DeadStrumUp:
        strum(time, velocity, false, true, Take::dead);
        break;
    case DeadStrumDown:
        strum(time, velocity, true, true, Take::dead);
        break;
    case MutedStrumUp:
        strum(time, velocity, false, false, Take::palmMuted);
        break;
    case MutedStrumDown:
        strum(time, velocity, true, false, Take::palmMuted);
        break;
    }
}

void CArpStrum::updateTime(float tempo, float, int32_t blockLength, float)
{
    this->tempo = tempo;
    // Once out of the window the count is held above every window: holding keeps it from
    // overflowing during hours without a strum key, and holding it at the window would let
    // a later, longer window (a higher host rate) reopen it and repeat an old strum.
    if (elapsed < lateChordWindow) {
        const int64_t next = static_cast<int64_t>(elapsed) + std::max(blockLength, 0);
        elapsed = next < lateChordWindow ? static_cast<int32_t>(next) : kPastWindow;
    }
}

void CArpStrum::resetStrum()
{
    CArpeggiator::resetStrum();
    lastAction = 0;
    lastArg = 0;
    elapsed = 0;
    lastVelocity = 0;
}

void CArpStrum::strum(int32_t time, int32_t velocity, bool ascending, bool isShort, Take take)
{
    // A tempo that is not a number fails the comparison and plays like one below 120.
    const float tempoFactor = tempo >= kReferenceTempo ? kReferenceTempo / tempo : 1.0f;
    // rateScale is exactly 1.0 at the reference rate, leaving the figures untouched there.
    const float timeScale = tempoFactor * rateScale;
    // Velocity bytes reach 255 at most, so the spacing stays positive.
    const int32_t spacing = toSamples(static_cast<float>(kSpacingBase - 2 * velocity) * timeScale);
    const int32_t gap = isShort ? spacing / 2 : spacing;
    const int32_t length = toSamples(
        static_cast<float>(take == Take::dead ? kDeadLength : kShortLength) * timeScale);
    const auto channel = static_cast<uint32_t>(channelOf(take));
    const int32_t step = velocity / 12;

    int64_t t = static_cast<int64_t>(time) - gap;
    auto stringVelocity = static_cast<uint8_t>(velocity);
    for (int32_t k = 0; k < kStringCount; ++k) {
        const int32_t string = ascending ? k : kStringCount - 1 - k;
        const int32_t note = stringNote(string);
        if (note < 0) {
            continue;
        }
        t += gap;
        stringVelocity = static_cast<uint8_t>(stringVelocity - step);
        pushNoteEvent(clampTime(t), packMsg(kNoteOnKind, channel, note, stringVelocity));
        if (isShort) {
            pushEvent(clampTime(t + length), packMsg(kNoteOffKind, 0, note, 0));
        }
    }
}

void CArpStrum::pickString(int32_t time, int32_t velocity, uint32_t string)
{
    if (string >= kStringCount) {
        return;
    }
    // The nearest sounding string, looking upwards first, then downwards.
    int32_t note = kMuted;
    for (int32_t s = static_cast<int32_t>(string); s < kStringCount && note <= 0; ++s) {
        note = stringNote(s);
    }
    for (int32_t s = static_cast<int32_t>(string) - 1; s >= 0 && note <= 0; --s) {
        note = stringNote(s);
    }
    if (note > 0) {
        pushNoteEvent(time, packMsg(kNoteOnKind, 0, static_cast<uint32_t>(note),
                                    static_cast<uint32_t>(velocity)));
    }
}

void CArpStrum::selectChord(int32_t time, uint32_t chord)
{
    // The selected chord's key plays it again only when a held chord took its place.
    if (chord >= kChordCount ||
        (static_cast<int32_t>(chord) == selectedChord.load(relaxed) && !playingHeld)) {
        return;
    }
    allNotesOff(time);
    selectedChord.store(static_cast<int32_t>(chord), relaxed);
    playingHeld = false;
    heldChangeWaits = false;
    changedChord(time);
}

void CArpStrum::changedChord(int32_t time)
{
    // A chord change shortly after a strum key counts as played together with it: the strum
    // is repeated on the new chord from this key on.
    const int64_t since = static_cast<int64_t>(elapsed) + (exactLateChanges ? time : 0);
    if (since < lateChordWindow && lastAction >= StrumUp) {
        perform(static_cast<KeyAction>(lastAction), lastArg, time, lastVelocity);
    }
}
