#include "instrument/Instrument.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace controls;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Controls that hold a setting: not an output, not a trigger.
bool isSetting(uint32_t id) { return (flags(id) & (kOutput | kTrigger)) == 0; }

}  // namespace

Instrument::Instrument(double sampleRate) : sampleRate(sampleRate)
{
    plektra.setSampleRate(static_cast<float>(sampleRate));
    plektra.setBlockIndependent(true);
    for (uint32_t id = 0; id < kCount; ++id) {
        applied[id] = range(id).defaultValue;
        values[id].store(applied[id], kRelaxed);
    }
}

void Instrument::setSampleRate(double rate)
{
    sampleRate = rate;
    plektra.setSampleRate(static_cast<float>(rate));
}

void Instrument::activate()
{
    // As a VST host's resume: the next block starts from wherever the host's clock is. An
    // instance activated again must not sound of what it played before: no string rings on
    // and no strum under way goes on.
    plektra.resume();
    plektra.setParameter(kResetParameter, 1.0f);
}

void Instrument::beginBlock(float* leftChannel, float* rightChannel, uint32_t frames)
{
    left = leftChannel;
    right = rightChannel;
    blockFrames = std::min<uint32_t>(frames, std::numeric_limits<int32_t>::max());
    rendered = 0;
    renderedAny = false;
    midiFull = false;
    eventCount = 0;
    transportCount = 0;
    namesChanged = false;
    plektra.clearQueue();
}

void Instrument::midi(uint32_t frame, const uint8_t* bytes, uint32_t size)
{
    // System exclusive reaches a VST module as an event of another kind, never as MIDI; it
    // is left out here too.
    if (!bytes || size == 0 || bytes[0] == 0xF0) return;
    Event event{};
    event.frame = frame;
    event.kind = EventKind::midi;
    event.size = static_cast<uint8_t>(std::min<uint32_t>(size, 3));
    std::copy(bytes, bytes + event.size, event.bytes);
    queue(event);
}

void Instrument::control(uint32_t frame, uint32_t id, float value)
{
    if (id >= kCount || std::isnan(value) || (flags(id) & kOutput)) return;
    Event event{};
    event.frame = std::min(frame, blockFrames);
    event.kind = EventKind::control;
    event.id = id;
    event.value = value;
    if (queue(event)) return;
    // No room left in this block: the change waits for the next one.
    values[id].store(held(id, value), kRelaxed);
    settingsEdited.store(true, std::memory_order_release);
}

void Instrument::transport(uint32_t frame, const Transport& stated)
{
    Event event{};
    event.frame = std::min(frame, blockFrames);
    event.kind = EventKind::transport;
    event.id = transportCount;
    if (transportCount < kMaxTransports && queue(event)) {
        transports[transportCount++] = stated;
    } else if (transportCount > 0) {
        // A host that states its transport over and over in one block: the last statement
        // counts, from the sample of the last one kept.
        transports[transportCount - 1] = stated;
    } else {
        clock.follow(stated);
    }
}

void Instrument::reset(uint32_t frame)
{
    Event event{};
    event.frame = std::min(frame, blockFrames);
    event.kind = EventKind::reset;
    if (!queue(event)) plektra.setParameter(kResetParameter, 1.0f);
}

bool Instrument::queue(const Event& event)
{
    if (eventCount == kMaxEvents) return false;
    // Hosts send their events in time order, or nearly: the place is found from the end.
    // At one sample, notes come last: a note at a control change's sample plays with the
    // control as changed, in whatever order the host listed the two.
    const auto after = [&event](const Event& other) {
        return other.frame > event.frame ||
               (other.frame == event.frame && other.kind == EventKind::midi &&
                event.kind != EventKind::midi);
    };
    uint32_t place = eventCount;
    while (place > 0 && after(events[place - 1])) {
        events[place] = events[place - 1];
        --place;
    }
    events[place] = event;
    ++eventCount;
    return true;
}

void Instrument::endBlock()
{
    takeMainThreadSettings();
    for (uint32_t i = 0; i < eventCount; ++i) {
        // Notes join the engine's queue at their offset in the part not yet rendered; every
        // other event splits the rendering at its sample.
        if (events[i].kind != EventKind::midi) renderUntil(events[i].frame);
        apply(events[i]);
    }
    // The engine runs once a block at least, an empty one included, as a host expects.
    if (!renderedAny || rendered < blockFrames) renderSegment(blockFrames);

    const float played = std::round(plektra.getParameter(kSelectedChordParameter) / kChordStep);
    const int32_t recognised = plektra.recognisedChord();
    applied[kPlayedChord] = played;
    applied[kRecognisedChord] = static_cast<float>(recognised);
    values[kPlayedChord].store(played, kRelaxed);
    values[kRecognisedChord].store(static_cast<float>(recognised), kRelaxed);
    const int32_t zone = applied[kChordInput] >= 1.0f ? recognised : keynames::kNoZone;
    if (zone != zoneChord.load(kRelaxed)) {
        zoneChord.store(zone, kRelaxed);
        namesChanged = true;
    }
}

void Instrument::renderUntil(uint32_t frame)
{
    if (frame > rendered) renderSegment(frame);
}

void Instrument::renderSegment(uint32_t frame)
{
    const auto count = static_cast<int32_t>(frame - rendered);
    const VstTimeInfo* time = clock.next(count, sampleRate);
    const bool transportChanged = time && (time->flags & kVstTransportChanged);
    // A stop releases the strings (the block driver's jump) and ends the strum under way
    // too, which the VST 2.4 module lets play on.
    const bool rolling = time && (time->flags & kVstTransportPlaying);
    if (wasRolling && !rolling) plektra.setParameter(kResetParameter, 1.0f);
    wasRolling = rolling;
    plektra.renderBlock(transportChanged, time, left ? left + rendered : nullptr,
                        right ? right + rendered : nullptr, count);
    rendered = frame;
    renderedAny = true;
    midiFull = false;
}

void Instrument::apply(const Event& event)
{
    switch (event.kind) {
    case EventKind::midi: {
        if (midiFull) return;
        VstMidiEvent midi{};
        midi.type = kVstMidiType;
        midi.byteSize = sizeof(VstMidiEvent);
        midi.deltaFrames = static_cast<int32_t>(
            std::min<uint32_t>(event.frame - rendered, std::numeric_limits<int32_t>::max()));
        for (uint8_t i = 0; i < event.size; ++i)
            midi.midiData[i] = static_cast<char>(event.bytes[i]);
        midiFull = !plektra.pushMidiEvent(&midi);
        return;
    }
    case EventKind::control:
        applyControl(event.id, event.value);
        return;
    case EventKind::transport:
        clock.follow(transports[event.id]);
        return;
    case EventKind::reset:
        plektra.setParameter(kResetParameter, 1.0f);
        return;
    }
}

void Instrument::applyControl(uint32_t id, float value)
{
    const float wanted = held(id, value);
    values[id].store(wanted, kRelaxed);
    const float before = applied[id];
    if (wanted == before) return;
    applied[id] = wanted;
    if (isString(id)) {
        plektra.setParameter(static_cast<int32_t>(id - kFirstString),
                             parameterOfFret(static_cast<int32_t>(wanted)));
        namesChanged = true;
    } else if (id == kSoundSet) {
        plektra.setParameter(kSoundSetParameter, wanted);
    } else if (id == kReset) {
        if (wanted >= 1.0f) plektra.setParameter(kResetParameter, 1.0f);
    } else if (isPlayingAid(id)) {
        applyPlayingAids();
        // The chord keys' names follow the capo and the tuning, the strum keys' the
        // articulation keys.
        namesChanged |= isGuitarControl(id);
    }
}

void Instrument::applyPlayingAids()
{
    plektra.setChordInput(applied[kChordInput] >= 1.0f ? ChordInput::heldNotes
                                                       : ChordInput::chordKeys);
    PatternPlayer& patterns = plektra.patternPlayer();
    patterns.setPattern(static_cast<int32_t>(applied[kPattern]));
    patterns.setSwing(applied[kSwing]);
    patterns.setVelocity(static_cast<int32_t>(applied[kPatternVelocity]));
    patterns.setHumanise(applied[kHumaniseTime], applied[kHumaniseVelocity],
                         static_cast<uint32_t>(applied[kSeed]));
    plektra.setNeck(static_cast<int32_t>(applied[kTuning]), static_cast<int32_t>(applied[kCapo]));
    plektra.setArticulationKeys(applied[kArticulationKeys] >= 1.0f);
    plektra.setVariation(applied[kVariation] >= 1.0f, static_cast<uint32_t>(applied[kSeed]));
}

void Instrument::takeMainThreadSettings()
{
    // Most blocks have nothing from the main thread: a plain load spares them the exchange.
    if (!settingsEdited.load(kRelaxed) ||
        !settingsEdited.exchange(false, std::memory_order_acquire)) {
        return;
    }
    // A sequence lock without fences (ThreadSanitizer knows none): the values are read with
    // acquire, so the second look at the counter comes after them, and a value stored by a
    // setSettings still under way shows that setSettings' odd count there.
    const uint32_t writing = settingsWriting.load(std::memory_order_acquire);
    Settings wanted;
    for (uint32_t id = 0; id < kCount; ++id) {
        wanted[id] = values[id].load(std::memory_order_acquire);
    }
    if ((writing & 1u) || settingsWriting.load(kRelaxed) != writing) {
        // A state is being stored: all of it is taken at a later block.
        settingsEdited.store(true, kRelaxed);
        return;
    }
    for (uint32_t id = 0; id < kCount; ++id) {
        if (isSetting(id) && wanted[id] != applied[id]) applyControl(id, wanted[id]);
    }
}

float Instrument::value(uint32_t id) const
{
    return id < kCount ? values[id].load(kRelaxed) : 0.0f;
}

void Instrument::setValue(uint32_t id, float value)
{
    if (id >= kCount || std::isnan(value)) return;
    if (id == kReset) {
        if (held(id, value) >= 1.0f) plektra.setParameter(kResetParameter, 1.0f);
        return;
    }
    if (!isSetting(id)) return;
    values[id].store(held(id, value), kRelaxed);
    settingsEdited.store(true, std::memory_order_release);
}

void Instrument::setSettings(const Settings& settings)
{
    const uint32_t writing = settingsWriting.load(kRelaxed);
    settingsWriting.store(writing + 1, kRelaxed);
    // Each value stored with release: a block that reads it (acquire) also sees the odd
    // count stored before it.
    for (uint32_t id = 0; id < kCount; ++id) {
        if (isSetting(id) && !std::isnan(settings[id])) {
            values[id].store(held(id, settings[id]), std::memory_order_release);
        }
    }
    settingsWriting.store(writing + 2, std::memory_order_release);
    settingsEdited.store(true, std::memory_order_release);
}

Settings Instrument::settings() const
{
    Settings now;
    for (uint32_t id = 0; id < kCount; ++id)
        now[id] = values[id].load(kRelaxed);
    return now;
}

keynames::Names Instrument::keyNames()
{
    // The chords as they sound, under the capo and the tuning the audio thread last took.
    keynames::Bank chords{};
    for (uint32_t chord = 0; chord < chords.size(); ++chord) {
        chords[chord] = plektra.soundingChord(chord);
    }
    return keynames::names(chords, zoneChord.load(kRelaxed), plektra.articulationKeys());
}

bool Instrument::saveState(state::Write write, void* context) const
{
    return state::write(settings(), write, context);
}

state::Result Instrument::loadState(state::Read read, void* context)
{
    Settings loaded = settings();
    const state::Result result = state::read(loaded, read, context);
    if (result == state::Result::ok) setSettings(loaded);
    return result;
}
