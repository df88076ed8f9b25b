#include "lv2/Lv2Instrument.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "lv2/Lv2KeyNames.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

using namespace lv2ports;

Lv2Instrument::Lv2Instrument(double sampleRate, LV2_URID_Map& map,
                             const LyrevaneMidnamUpdate* keyNamesChanged)
    : instrument(sampleRate), midiEvent(map.map(map.handle, LV2_MIDI__MidiEvent)),
      atomObject(map.map(map.handle, LV2_ATOM__Object)),
      atomBlank(map.map(map.handle, LV2_ATOM__Blank)),
      resetMessage(map.map(map.handle, kResetMessageUri)),
      position(map.map(map.handle, LV2_TIME__Position)),
      bpm(map.map(map.handle, LV2_TIME__beatsPerMinute)),
      speedKey(map.map(map.handle, LV2_TIME__speed)), frame(map.map(map.handle, LV2_TIME__frame)),
      beat(map.map(map.handle, LV2_TIME__beat)), bar(map.map(map.handle, LV2_TIME__bar)),
      barBeat(map.map(map.handle, LV2_TIME__barBeat)),
      beatUnit(map.map(map.handle, LV2_TIME__beatUnit)),
      beatsPerBar(map.map(map.handle, LV2_TIME__beatsPerBar)),
      atomFloat(map.map(map.handle, LV2_ATOM__Float)),
      atomDouble(map.map(map.handle, LV2_ATOM__Double)),
      atomInt(map.map(map.handle, LV2_ATOM__Int)), atomLong(map.map(map.handle, LV2_ATOM__Long)),
      keyNamesChanged(keyNamesChanged && keyNamesChanged->update ? keyNamesChanged : nullptr)
{
    for (uint32_t port = kFirstControl; port < kPortCount; ++port) {
        lastSeen[port] = instrument.value(controlOf(port));
        controls[port] = &lastSeen[port];
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

void Lv2Instrument::activate() { instrument.activate(); }

void Lv2Instrument::run(uint32_t frames)
{
    instrument.beginBlock(left, right, frames);
    // A control port's value is that of the whole block: its change acts from the block's
    // start, before the block's events.
    passControls();
    passEvents();
    instrument.endBlock();
    if (playedChord) *playedChord = instrument.value(controls::kPlayedChord);
    if (recognisedChord) *recognisedChord = instrument.value(controls::kRecognisedChord);
    // The document is written when the host asks for it, on its own thread; here the host is
    // only told, which allocates nothing.
    if (instrument.keyNamesChanged() && keyNamesChanged) {
        keyNamesChanged->update(keyNamesChanged->handle);
    }
}

std::string Lv2Instrument::keyNames()
{
    return lv2keynames::document(model(), instrument.keyNames());
}

std::string Lv2Instrument::model() const
{
    // Hosts keep the documents of all instances by model, so each instance names its own.
    char text[48];
    std::snprintf(text, sizeof text, "Lyrevane %p", static_cast<const void*>(this));
    return text;
}

void Lv2Instrument::passControls()
{
    // Hosts change a port now and then; one branch-free pass over the control ports decides
    // whether this block has anything to pass on, which keeps the block as cheap as the VST
    // module's.
    const bool resetRoseLastRun = resetRose;
    resetRose = false;
    bool anyChange = false;
    for (uint32_t port = kFirstControl; port < kPortCount; ++port) {
        anyChange |= *controls[port] != lastSeen[port];
    }
    if (!anyChange) return;
    for (uint32_t port = kFirstControl; port < kPortCount; ++port) {
        const float value = *controls[port];
        // NaN never equals itself: a port left at NaN counts as changed once only.
        if (value == lastSeen[port] || (std::isnan(value) && std::isnan(lastSeen[port]))) {
            continue;
        }
        lastSeen[port] = value;
        const uint32_t id = controlOf(port);
        if (port == kReset) {
            if (std::isnan(value)) continue;
            const auto held = static_cast<int32_t>(controls::held(id, value));
            // A trigger. The generic controls of jalv and Ardour latch: one click raises it
            // and leaves it up, the next lowers it, and each click asks for a reset. A host
            // that lowers it right after the run that raised it, as the trigger property
            // asks, asked for one.
            if (held != resetApplied && (held == 1 || !resetRoseLastRun)) {
                resetRose = held == 1;
                instrument.reset(0);
            }
            resetApplied = held;
        } else if (controls::isPlayingAid(id)) {
            // A playing aid left at NaN plays its default; a string or the sound set keeps
            // its value.
            instrument.control(0, id, std::isnan(value) ? controls::range(id).defaultValue : value);
        } else {
            instrument.control(0, id, value);
        }
    }
}

void Lv2Instrument::passEvents()
{
    if (!events) return;
    LV2_ATOM_SEQUENCE_FOREACH(events, event)
    {
        const LV2_Atom& body = event->body;
        const auto at = static_cast<uint32_t>(
            std::clamp<int64_t>(event->time.frames, 0, std::numeric_limits<int32_t>::max()));
        if (body.type == midiEvent) {
            instrument.midi(at, static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&body)), body.size);
        } else if ((body.type == atomObject || body.type == atomBlank) &&
                   body.size >= sizeof(LV2_Atom_Object_Body)) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
            if (object->body.otype == resetMessage) {
                // A press of the panel's button has no place in the music, and hosts stamp it
                // anywhere in the block (at its end, some): it acts as soon as it can.
                instrument.reset(0);
            } else if (object->body.otype == position) {
                instrument.transport(at, transportOf(object));
            }
        }
    }
}

Transport Lv2Instrument::transportOf(const LV2_Atom_Object* object) const
{
    const LV2_Atom* atoms[9] = {};
    lv2_atom_object_get(object, speedKey, &atoms[0], bpm, &atoms[1], frame, &atoms[2], beat,
                        &atoms[3], bar, &atoms[4], barBeat, &atoms[5], beatUnit, &atoms[6],
                        beatsPerBar, &atoms[7], 0);
    Transport transport;
    double* fields[] = {
        &transport.speed, &transport.beatsPerMinute, &transport.sample,   &transport.beat,
        &transport.bar,   &transport.barBeat,        &transport.beatUnit, &transport.beatsPerBar};
    const Transport::Field bits[] = {
        Transport::kSpeed, Transport::kTempo,   Transport::kSample,   Transport::kBeat,
        Transport::kBar,   Transport::kBarBeat, Transport::kBeatUnit, Transport::kBeatsPerBar};
    for (size_t i = 0; i < std::size(bits); ++i) {
        if (numberOf(atoms[i], *fields[i])) transport.valid |= bits[i];
    }
    return transport;
}

bool Lv2Instrument::numberOf(const LV2_Atom* atom, double& value) const
{
    if (!atom) return false;
    if (atom->type == atomFloat && atom->size >= sizeof(float)) {
        value = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    } else if (atom->type == atomDouble && atom->size >= sizeof(double)) {
        value = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    } else if (atom->type == atomInt && atom->size >= sizeof(int32_t)) {
        value = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
    } else if (atom->type == atomLong && atom->size >= sizeof(int64_t)) {
        value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    } else {
        return false;
    }
    return true;
}
