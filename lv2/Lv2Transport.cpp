#include "lv2/Lv2Transport.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

Lv2Transport::Lv2Transport(LV2_URID_Map& map)
    : position(map.map(map.handle, LV2_TIME__Position)),
      bpm(map.map(map.handle, LV2_TIME__beatsPerMinute)),
      speedKey(map.map(map.handle, LV2_TIME__speed)),
      beat(map.map(map.handle, LV2_TIME__beat)),
      beatUnit(map.map(map.handle, LV2_TIME__beatUnit)),
      atomFloat(map.map(map.handle, LV2_ATOM__Float)),
      atomDouble(map.map(map.handle, LV2_ATOM__Double)),
      atomInt(map.map(map.handle, LV2_ATOM__Int)),
      atomLong(map.map(map.handle, LV2_ATOM__Long))
{
    // The tempo a VST host's silence leaves in force, until the host states its own.
    time.tempo = 120.0;
}

void Lv2Transport::read(const LV2_Atom_Object* object)
{
    if (object->body.otype != position) return;
    const LV2_Atom* tempoAtom = nullptr;
    const LV2_Atom* speedAtom = nullptr;
    const LV2_Atom* beatAtom = nullptr;
    const LV2_Atom* unitAtom = nullptr;
    lv2_atom_object_get(object, bpm, &tempoAtom, speedKey, &speedAtom, beat, &beatAtom,
                        beatUnit, &unitAtom, 0);

    double value = 0.0;
    if (numberOf(tempoAtom, value)) time.tempo = value;
    if (numberOf(speedAtom, value)) speed = value;
    if (numberOf(beatAtom, value)) {
        double unit = 4.0;
        if (!numberOf(unitAtom, unit) || !(unit > 0.0)) unit = 4.0;
        time.ppqPos = value * 4.0 / unit;
    }
    known = true;
    changed = true;
}

const VstTimeInfo* Lv2Transport::nextBlock(int32_t frames, double sampleRate)
{
    if (!known) return nullptr;
    time.sampleRate = sampleRate;
    time.flags = kVstPpqPosValid | kVstTempoValid | (speed != 0.0 ? kVstTransportPlaying : 0) |
                 (changed ? kVstTransportChanged : 0);
    changed = false;
    answer = time;
    if (sampleRate > 0.0 && frames > 0) {
        time.ppqPos += frames / sampleRate * speed * time.tempo / 60.0;
    }
    return &answer;
}

bool Lv2Transport::numberOf(const LV2_Atom* atom, double& value) const
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
