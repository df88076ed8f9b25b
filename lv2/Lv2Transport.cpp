#include "lv2/Lv2Transport.h"

#include <cmath>

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

Lv2Transport::Lv2Transport(LV2_URID_Map& map)
    : position(map.map(map.handle, LV2_TIME__Position)),
      bpm(map.map(map.handle, LV2_TIME__beatsPerMinute)),
      speedKey(map.map(map.handle, LV2_TIME__speed)),
      frame(map.map(map.handle, LV2_TIME__frame)),
      beat(map.map(map.handle, LV2_TIME__beat)),
      bar(map.map(map.handle, LV2_TIME__bar)),
      barBeat(map.map(map.handle, LV2_TIME__barBeat)),
      beatUnit(map.map(map.handle, LV2_TIME__beatUnit)),
      beatsPerBar(map.map(map.handle, LV2_TIME__beatsPerBar)),
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
    const LV2_Atom* frameAtom = nullptr;
    const LV2_Atom* beatAtom = nullptr;
    const LV2_Atom* barAtom = nullptr;
    const LV2_Atom* barBeatAtom = nullptr;
    const LV2_Atom* unitAtom = nullptr;
    const LV2_Atom* perBarAtom = nullptr;
    lv2_atom_object_get(object, bpm, &tempoAtom, speedKey, &speedAtom, frame, &frameAtom, beat,
                        &beatAtom, bar, &barAtom, barBeat, &barBeatAtom, beatUnit, &unitAtom,
                        beatsPerBar, &perBarAtom, 0);

    // Where the clock stood by its own count, to tell a loop's seam from a jump.
    const double predictedFrame = time.samplePos;
    const bool rolledOn = known && framesKnown && speed != 0.0;
    double value = 0.0;
    if (numberOf(tempoAtom, value)) time.tempo = value;
    if (numberOf(speedAtom, value)) speed = value;
    bool seam = false;
    double newFrame = 0.0;
    const bool frameGiven = numberOf(frameAtom, newFrame);
    if (frameGiven) {
        time.samplePos = newFrame;
        framesKnown = true;
    }
    // Beats count in the time signature's unit (4 a quarter note, 8 an eighth). Ardour and
    // jalv never send time:beat, only the bar and the beat within it.
    double unit = 4.0;
    if (!numberOf(unitAtom, unit) || !(unit > 0.0)) unit = 4.0;
    double bars = 0.0;
    double perBar = 0.0;
    const bool meter = numberOf(perBarAtom, perBar) && perBar >= 1.0 && perBar <= 64.0 &&
                       unit <= 64.0;
    if (meter) {
        meterKnown = true;
        time.timeSigNumerator = static_cast<int32_t>(std::lround(perBar));
        time.timeSigDenominator = static_cast<int32_t>(std::lround(unit));
        quartersPerBar = time.timeSigNumerator * 4.0 / time.timeSigDenominator;
    }
    if (numberOf(beatAtom, value)) {
        time.ppqPos = value * 4.0 / unit;
        barsKnown = meter;
        if (meter) time.barStartPos = std::floor(time.ppqPos / quartersPerBar) * quartersPerBar;
    } else if (numberOf(barAtom, bars) && numberOf(barBeatAtom, value) &&
               numberOf(perBarAtom, perBar)) {
        // Ardour counts the whole beats of barBeat in the beat unit but its fraction in
        // quarter notes (0.96 of an eighth reads 0.48); in quarter-note meters both agree.
        const double wholeBeats = std::floor(value);
        time.ppqPos = (bars * perBar + wholeBeats) * 4.0 / unit + (value - wholeBeats);
        barsKnown = meter;
        time.barStartPos = bars * perBar * 4.0 / unit;
    }
    if (frameGiven && rolledOn && speed != 0.0) {
        // Ardour plays through a loop's end in one run and starts the next at the loop's
        // start plus what ran past the end, stating the loop nowhere: a jump back while
        // rolling shows it, and a jump back by as much again is its seam, no jump at all.
        const double back = predictedFrame - newFrame;
        seam = loopKnown && std::fabs(back - loopFrames) <= 1.0;
        if (!seam && back > 1.0) {
            learnLoop(back);
        } else if (back < -1.0) {
            loopKnown = false;
        }
    }
    known = true;
    // The block driver lets the strings ring on through a seam.
    changed = !seam;
}

void Lv2Transport::learnLoop(double frames)
{
    // A loop starts on a sixteenth note (a host's rounding of its beat is far finer).
    loopKnown = false;
    if (!(time.tempo > 0.0) || !(rate > 0.0) || !std::isfinite(time.ppqPos)) return;
    loopFrames = frames;
    loopStartPpq = std::floor(time.ppqPos * 4.0 + 1e-6) / 4.0;
    loopEndPpq = loopStartPpq + frames * time.tempo / (60.0 * rate);
    loopKnown = true;
}

const VstTimeInfo* Lv2Transport::nextBlock(int32_t frames, double sampleRate)
{
    if (!known) return nullptr;
    time.sampleRate = sampleRate;
    time.flags = kVstPpqPosValid | kVstTempoValid | (speed != 0.0 ? kVstTransportPlaying : 0) |
                 (changed ? kVstTransportChanged : 0) | (barsKnown ? kVstBarsValid : 0) |
                 (meterKnown ? kVstTimeSigValid : 0);
    changed = false;
    answer = time;
    if (loopKnown) {
        answer.flags |= kVstCyclePosValid | kVstTransportCycleActive;
        answer.cycleStartPos = loopStartPpq;
        answer.cycleEndPos = loopEndPpq;
    }
    rate = sampleRate;
    if (sampleRate > 0.0 && frames > 0) {
        time.ppqPos += frames / sampleRate * speed * time.tempo / 60.0;
        if (framesKnown) time.samplePos += frames * speed;
        // Past a bar line the bar's start moves to the last one passed.
        const double intoBar = time.ppqPos - time.barStartPos;
        if (barsKnown && std::isfinite(intoBar) && intoBar >= quartersPerBar) {
            time.barStartPos += std::floor(intoBar / quartersPerBar) * quartersPerBar;
        }
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
