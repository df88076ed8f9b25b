#include "lv2/Lv2Instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "lv2/Lv2KeyNames.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>

using namespace lv2ports;

namespace {

// A control value held to the port's range and rounded to the integer the port carries; a
// value that is not a number leaves the port as it was.
int32_t heldTo(float value, Range range, int32_t previous)
{
    if (std::isnan(value)) return previous;
    return static_cast<int32_t>(
        std::lround(std::clamp(value, float(range.minimum), float(range.maximum))));
}

}  // namespace

Lv2Instrument::Lv2Instrument(double sampleRate, LV2_URID_Map& map,
                             const LyrevaneMidnamUpdate* keyNamesChanged)
    : transport(map),
      midiEvent(map.map(map.handle, LV2_MIDI__MidiEvent)),
      atomObject(map.map(map.handle, LV2_ATOM__Object)),
      atomBlank(map.map(map.handle, LV2_ATOM__Blank)),
      resetMessage(map.map(map.handle, kResetMessageUri)),
      sampleRate(sampleRate),
      keyNamesChanged(keyNamesChanged && keyNamesChanged->update ? keyNamesChanged : nullptr)
{
    plektra.setSampleRate(static_cast<float>(sampleRate));
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        applied[port] = fretOfParameter(plektra.getParameter(parameterOfPort(port)));
        lastSeen[port] = static_cast<float>(applied[port]);
    }
    for (uint32_t port = kFirstString; port < kPlayedChord; ++port) {
        controls[port] = &lastSeen[port];
    }
    for (const AidPort& aid : kAidPorts) {
        lastSeen[aid.port] = aid.defaultValue;
        controls[aid.port] = &lastSeen[aid.port];
    }
}

void Lv2Instrument::connect(uint32_t port, void* data)
{
    if (port == kEvents) {
        events = static_cast<const LV2_Atom_Sequence*>(data);
    } else if (port == kLeft) {
        left = static_cast<float*>(data);
    } else if (port == kRight) {
        right = static_cast<float*>(data);
    } else if (port == kPlayedChord) {
        playedChord = static_cast<float*>(data);
    } else if (port == kRecognisedChord) {
        recognisedChord = static_cast<float*>(data);
    } else if (port < kPortCount) {
        // An unconnected port reads its last value, so it never changes.
        controls[port] = data ? static_cast<const float*>(data) : &lastSeen[port];
    }
}

void Lv2Instrument::activate()
{
    // As a VST host's resume: the next block starts from wherever the host's clock is. An
    // instance activated again must not sound of what it played before: no string rings on
    // and no strum under way goes on.
    plektra.resume();
    plektra.setParameter(kResetParameter, 1.0f);
}

void Lv2Instrument::run(uint32_t frames)
{
    applyControls();
    applyPlayingAids();
    queueEvents();
    const auto count = static_cast<int32_t>(
        std::min<uint32_t>(frames, std::numeric_limits<int32_t>::max()));
    const VstTimeInfo* time = transport.nextBlock(count, sampleRate);
    const bool transportChanged = time && (time->flags & kVstTransportChanged);
    // A stop releases the strings (the block driver's jump) and ends the strum under way
    // too, which the VST 2.4 module lets play on.
    const bool rolling = time && (time->flags & kVstTransportPlaying);
    if (wasRolling && !rolling) plektra.setParameter(kResetParameter, 1.0f);
    wasRolling = rolling;
    plektra.renderBlock(transportChanged, time, left, right, count);
    if (playedChord) {
        *playedChord = std::round(plektra.getParameter(kSelectedChordParameter) / kChordStep);
    }
    if (recognisedChord) *recognisedChord = static_cast<float>(plektra.recognisedChord());
    const int32_t zone = heldAidValue(kChordInput, lastSeen[kChordInput]) >= 1.0f
                             ? plektra.recognisedChord()
                             : lv2keynames::kNoZone;
    if (zone != zoneChord.load(std::memory_order_relaxed)) {
        zoneChord.store(zone, std::memory_order_relaxed);
        chordsEdited = true;
    }
    // The document is written when the host asks for it, on its own thread; here the host is
    // only told, which allocates nothing.
    if (chordsEdited && keyNamesChanged) {
        keyNamesChanged->update(keyNamesChanged->handle);
    }
    chordsEdited = false;
}

std::string Lv2Instrument::keyNames()
{
    lv2keynames::Bank chords{};
    for (uint32_t port = kFirstString; port < kSoundSet; ++port) {
        const int32_t parameter = parameterOfPort(port);
        const int32_t fret = fretOfParameter(plektra.getParameter(parameter));
        const int32_t string = parameter % ChordValues::kStringCount;
        chords[parameter / ChordValues::kStringCount][string] =
            fret == kMuted ? -1 : chords::kOpenStrings[string] + fret;
    }
    return lv2keynames::document(model(), chords, zoneChord.load(std::memory_order_relaxed));
}

std::string Lv2Instrument::model() const
{
    // Hosts keep the documents of all instances by model, so each instance names its own.
    char text[48];
    std::snprintf(text, sizeof text, "Lyrevane %p", static_cast<const void*>(this));
    return text;
}

void Lv2Instrument::applyPlayingAids()
{
    bool anyChange = false;
    for (const AidPort& aid : kAidPorts) {
        const float value = *controls[aid.port];
        // NaN never equals itself: a port left at NaN counts as changed once only.
        if (value == lastSeen[aid.port] || (std::isnan(value) && std::isnan(lastSeen[aid.port]))) {
            continue;
        }
        lastSeen[aid.port] = value;
        anyChange = true;
    }
    if (!anyChange) return;
    auto held = [this](uint32_t port) { return heldAidValue(port, lastSeen[port]); };
    plektra.setChordInput(held(kChordInput) >= 1.0f ? ChordInput::heldNotes
                                                     : ChordInput::chordKeys);
    PatternPlayer& patterns = plektra.patternPlayer();
    patterns.setPattern(static_cast<int32_t>(held(kPattern)));
    patterns.setSwing(held(kSwing));
    patterns.setVelocity(static_cast<int32_t>(held(kPatternVelocity)));
    patterns.setHumanise(held(kHumaniseTime), held(kHumaniseVelocity),
                         static_cast<uint32_t>(held(kSeed)));
}

void Lv2Instrument::applyControls()
{
    // Hosts change a port now and then; one branch-free pass over the 74 of them decides
    // whether this block has anything to apply, which keeps the block as cheap as the VST
    // module's.
    const bool resetRoseLastRun = resetRose;
    resetRose = false;
    bool anyChange = false;
    for (uint32_t port = kFirstString; port < kPlayedChord; ++port) {
        anyChange |= *controls[port] != lastSeen[port];
    }
    if (!anyChange) return;
    for (uint32_t port = kFirstString; port < kPlayedChord; ++port) {
        if (*controls[port] == lastSeen[port]) continue;
        lastSeen[port] = *controls[port];
        const int32_t value = heldTo(lastSeen[port], rangeOf(port), applied[port]);
        if (value == applied[port]) continue;
        const int32_t parameter = parameterOfPort(port);
        if (isStringPort(port)) {
            plektra.setParameter(parameter, parameterOfFret(value));
            chordsEdited = true;
        } else if (port == kSoundSet) {
            plektra.setParameter(parameter, static_cast<float>(value));
        } else if (value == 1 || !resetRoseLastRun) {
            // A trigger. The generic controls of jalv and Ardour latch: one click raises it
            // and leaves it up, the next lowers it, and each click asks for a reset. A host
            // that lowers it right after the run that raised it, as the trigger property
            // asks, asked for one.
            resetRose = value == 1;
            plektra.setParameter(parameter, 1.0f);
        }
        applied[port] = value;
    }
}

void Lv2Instrument::queueEvents()
{
    plektra.clearQueue();
    if (!events) return;
    bool queueFull = false;
    LV2_ATOM_SEQUENCE_FOREACH(events, event)
    {
        const LV2_Atom& body = event->body;
        if (body.type == midiEvent) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&body));
            // System exclusive reaches a VST module as an event of another kind, never as
            // MIDI; it is left out here too.
            if (queueFull || body.size == 0 || bytes[0] == 0xF0) continue;
            VstMidiEvent midi{};
            midi.type = kVstMidiType;
            midi.byteSize = sizeof(VstMidiEvent);
            midi.deltaFrames = static_cast<int32_t>(
                std::clamp<int64_t>(event->time.frames, 0, std::numeric_limits<int32_t>::max()));
            for (uint32_t i = 0; i < std::min<uint32_t>(body.size, 3); ++i) {
                midi.midiData[i] = static_cast<char>(bytes[i]);
            }
            queueFull = !plektra.pushMidiEvent(&midi);
        } else if ((body.type == atomObject || body.type == atomBlank) &&
                   body.size >= sizeof(LV2_Atom_Object_Body)) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
            if (object->body.otype == resetMessage) {
                plektra.setParameter(kResetParameter, 1.0f);
            } else {
                transport.read(object);
            }
        }
    }
}
