#include "instrument/Transport.h"

#include <cmath>

TransportClock::TransportClock()
{
    // The tempo a VST host's silence leaves in force, until the host states its own.
    time.tempo = 120.0;
}

void TransportClock::follow(const Transport& transport)
{
    const auto has = [&transport](Transport::Field field) {
        return (transport.valid & field) != 0;
    };
    // Where the clock stood by its own count, to tell a loop's seam from a jump.
    const double predictedFrame = time.samplePos;
    const bool rolledOn = known && framesKnown && speed != 0.0;
    if (has(Transport::kTempo)) time.tempo = transport.beatsPerMinute;
    if (has(Transport::kSpeed)) speed = transport.speed;
    bool seam = false;
    const bool frameGiven = has(Transport::kSample);
    if (frameGiven) {
        time.samplePos = transport.sample;
        framesKnown = true;
    }
    // Beats count in the time signature's unit (4 a quarter note, 8 an eighth). Ardour and
    // jalv never send time:beat, only the bar and the beat within it.
    double unit = has(Transport::kBeatUnit) ? transport.beatUnit : 4.0;
    if (!(unit > 0.0)) unit = 4.0;
    const double perBar = transport.beatsPerBar;
    const bool meter =
        has(Transport::kBeatsPerBar) && perBar >= 1.0 && perBar <= 64.0 && unit <= 64.0;
    if (meter) {
        meterKnown = true;
        time.timeSigNumerator = static_cast<int32_t>(std::lround(perBar));
        time.timeSigDenominator = static_cast<int32_t>(std::lround(unit));
        quartersPerBar = time.timeSigNumerator * 4.0 / time.timeSigDenominator;
    }
    if (has(Transport::kBeat)) {
        time.ppqPos = transport.beat * 4.0 / unit;
        barsKnown = meter;
        if (meter) time.barStartPos = std::floor(time.ppqPos / quartersPerBar) * quartersPerBar;
    } else if (has(Transport::kBar) && has(Transport::kBarBeat) && has(Transport::kBeatsPerBar)) {
        // Ardour counts the whole beats of barBeat in the beat unit but its fraction in
        // quarter notes (0.96 of an eighth reads 0.48); in quarter-note meters both agree.
        const double wholeBeats = std::floor(transport.barBeat);
        time.ppqPos =
            (transport.bar * perBar + wholeBeats) * 4.0 / unit + (transport.barBeat - wholeBeats);
        barsKnown = meter;
        time.barStartPos = transport.bar * perBar * 4.0 / unit;
    } else if (has(Transport::kQuarters)) {
        time.ppqPos = transport.quarters;
        barsKnown = meter || has(Transport::kBarStart);
        time.barStartPos = has(Transport::kBarStart)
                               ? transport.barStart
                               : std::floor(time.ppqPos / quartersPerBar) * quartersPerBar;
    }
    if (frameGiven && rolledOn && speed != 0.0) {
        // Ardour plays through a loop's end in one run and starts the next at the loop's
        // start plus what ran past the end, stating the loop nowhere: a jump back while
        // rolling may show it (or be a locate), and a jump back by as much again is its
        // seam, no jump at all, and the loop's proof.
        const double back = predictedFrame - transport.sample;
        seam = loopSeen && std::fabs(back - loopFrames) <= 1.0;
        if (seam) {
            loopKnown = true;
        } else if (back > 1.0) {
            learnLoop(back);
        } else if (back < -1.0) {
            loopSeen = loopKnown = false;
        }
    }
    // Played on past the loop's end: the loop is off.
    if (loopKnown && time.ppqPos > loopEndPpq + 1e-3) loopSeen = loopKnown = false;
    known = true;
    // The block driver lets the strings ring on through a seam.
    changed = !seam;
}

void TransportClock::learnLoop(double frames)
{
    // A loop starts on a sixteenth note (a host's rounding of its beat is far finer).
    loopSeen = loopKnown = false;
    if (!(time.tempo > 0.0) || !(rate > 0.0) || !std::isfinite(time.ppqPos)) return;
    loopFrames = frames;
    loopStartPpq = std::floor(time.ppqPos * 4.0 + 1e-6) / 4.0;
    loopEndPpq = loopStartPpq + frames * time.tempo / (60.0 * rate);
    loopSeen = true;
}

const VstTimeInfo* TransportClock::next(int32_t frames, double sampleRate)
{
    if (!known) return nullptr;
    time.sampleRate = sampleRate;
    time.flags = kVstPpqPosValid | kVstTempoValid | (speed != 0.0 ? kVstTransportPlaying : 0) |
                 (changed ? kVstTransportChanged : 0) | (barsKnown ? kVstBarsValid : 0) |
                 (meterKnown ? kVstTimeSigValid : 0);
    changed = false;
    answer = time;
    if (loopSeen) {
        // A loop only seen is stated, not active: it tells a seam's exact beat, no more.
        answer.flags |= kVstCyclePosValid | (loopKnown ? kVstTransportCycleActive : 0);
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
