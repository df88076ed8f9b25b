// The pattern player's clock: anchors that map beats to samples, the cursor through the
// pattern's steps, swing, accents and the humaniser's nudges.
#include "strum/PatternPlayer.h"

#include <algorithm>
#include <cmath>

#include "strum/PatternTable.h"

namespace {

// Host positions beyond this many beats (years of music) are taken for garbage: the sample
// arithmetic below stays far inside 64 bits.
constexpr double kFarthestBeat = 1e9;
// Patterns are written in bars of at most this many beats (the half-time ballad in two).
constexpr int32_t kLongestPatternBar = 4;
// The largest bar a host may state, in beats.
constexpr double kLongestBar = 64.0;
// How far a host may round the beat it states: Ardour 7 rounds to 1/1920 of a beat.
constexpr double kHostRounding = 1.0 / 1920.0;
// A humanised stroke moves at most this share of the way to its nearest neighbour step, so
// strokes never trade places.
constexpr double kNudgeShare = 0.45;

double heldTempo(double tempo)
{
    if (std::isnan(tempo)) return 120.0;
    return std::clamp(tempo, PatternPlayer::kSlowestTempo, PatternPlayer::kFastestTempo);
}

bool usable(const SongClock& clock)
{
    return std::isfinite(clock.beat) && std::fabs(clock.beat) < kFarthestBeat &&
           std::isfinite(clock.barStart) && std::fabs(clock.barStart) < kFarthestBeat;
}

int64_t floorMod(int64_t a, int64_t b)
{
    const int64_t r = a % b;
    return r < 0 ? r + b : r;
}

}  // namespace

void PatternPlayer::setPattern(int32_t wanted)
{
    wanted = std::clamp(wanted, kOff, strumpatterns::kCount);
    if (wanted == number) return;
    number = wanted;
    current = wanted == kOff ? nullptr : &strumpatterns::kPatterns[wanted - 1];
    restartPending = true;
    if (!current) return;
    // The nearest two steps, the last and the first of the next repeat included.
    const int32_t cells = current->beats * current->stepsPerBeat;
    int32_t closest = cells;
    for (int32_t i = 0; i < current->stepCount; ++i) {
        const int32_t next = i + 1 < current->stepCount ? current->steps[i + 1].cell
                                                        : current->steps[0].cell + cells;
        closest = std::min(closest, next - current->steps[i].cell);
    }
    closestSteps = static_cast<double>(closest) / current->stepsPerBeat;
}

void PatternPlayer::setSwing(float eighths)
{
    swing = std::isnan(eighths) ? 0.0f : std::clamp(eighths, 0.0f, kMaxSwing);
}

void PatternPlayer::setVelocity(int32_t wanted)
{
    velocity = std::clamp(wanted, 1, 127);
}

void PatternPlayer::setHumanise(float milliseconds, float percent, uint32_t seed)
{
    humaniser.set(milliseconds, percent, seed);
}

void PatternPlayer::startBlock(const SongClock* clock, int32_t blockFrames, double rate)
{
    frames = std::max(blockFrames, 0);
    sampleRate = std::isfinite(rate) && rate > 0.0 ? rate : 44100.0;
    earliest = 0;
    played = 0;
    const bool rolling = clock && clock->rolling && usable(*clock);
    if (clock && std::isfinite(clock->beatsPerMinute)) lastTempo = heldTempo(clock->beatsPerMinute);
    if (!current) {
        mode = Mode::silent;
        return;
    }
    if (rolling) {
        double beatsPerBar = clock->beatsPerBar;
        // 0, negative or NaN: no bar, and the pattern keeps its own.
        if (!(beatsPerBar >= 1.0)) beatsPerBar = patternBarCells() / current->stepsPerBeat;
        beatsPerBar = std::min(beatsPerBar, kLongestBar);
        if (mode != Mode::locked || restartPending) {
            lock(*clock, beatsPerBar);
        } else {
            follow(*clock, beatsPerBar);
        }
        lastFrame = clock->frame;
        nextFrame = clock->frame + frames;
        wrapped = false;
        loopEndsAt = -1;
        const double toLoopEnd = (clock->loopEnd - beatAtSample(songSample)) * grid.samplesPerBeat;
        if (clock->looping && clock->loopEnd > clock->loopStart &&
            std::fabs(clock->loopStart) < kFarthestBeat &&
            toLoopEnd > -0.5 && toLoopEnd < frames + 0.5) {
            loopEndsAt = static_cast<int32_t>(std::clamp<int64_t>(std::llround(toLoopEnd), 0, frames));
            loopStartBeat = clock->loopStart;
        }
    } else if (mode == Mode::locked) {
        // The transport stopped: strings ring on, and a pattern waits for a chord held anew.
        mode = Mode::silent;
    } else if (mode == Mode::free) {
        if (restartPending) {
            reanchor(0.0, lastTempo);
            grid.sample = songSample;
            restartAt(0.0);
        } else if (lastTempo != grid.tempo) {
            reanchor(beatAtSample(songSample), lastTempo);
        }
    }
    restartPending = false;
}

void PatternPlayer::lock(const SongClock& clock, double beatsPerBar)
{
    grid.sample = songSample;
    grid.beat = clock.beat;
    grid.tempo = heldTempo(clock.beatsPerMinute);
    statedTempo = grid.tempo;
    hostAnchorBeat = clock.beat;
    hostAnchorSample = songSample;
    grid.samplesPerBeat = 60.0 * sampleRate / grid.tempo;
    grid.barLine = clock.barStart;
    grid.beatsPerBar = beatsPerBar;
    grid.barNumber = static_cast<int64_t>(std::llround(clock.barStart / beatsPerBar));
    mode = Mode::locked;
    restartAt(clock.beat);
}

void PatternPlayer::follow(const SongClock& clock, double beatsPerBar)
{
    // Where the song should be now, within a sample (by the host's frame count where it
    // gives one, else by the last anchor's beats), and whether the host's bar lines still
    // fall on the grid's: otherwise the host jumped (or changed its meter), and the pattern
    // starts again from there.
    const double expected = beatAtSample(songSample);
    // Past a loop's end the host's frames start again; its beats must then be where the
    // grid went on from the loop's start.
    const bool framesGiven = (clock.frame != 0.0 || lastFrame != 0.0) && !wrapped;
    const bool jumped = framesGiven ? !(std::fabs(clock.frame - nextFrame) <= 1.0)
                                    : std::fabs(clock.beat - expected) * grid.samplesPerBeat >
                                          (wrapped ? kHostRounding * grid.samplesPerBeat : 0.0) + 1.0;
    const double bars = (clock.barStart - grid.barLine) / beatsPerBar;
    const bool sameBars = beatsPerBar == grid.beatsPerBar &&
                          std::fabs(bars - std::round(bars)) * beatsPerBar * grid.samplesPerBeat < 1.0;
    const double loopBeats = clock.loopEnd - clock.loopStart;
    if (jumped && framesGiven && loopBeats > 0.0 &&
        std::fabs(nextFrame - clock.frame - loopBeats * grid.samplesPerBeat) <= 1.0) {
        // Back by the loop's length: the seam of a loop not known before it. The grid's own
        // beat, one loop back, is exact where the host's is rounded.
        SongClock seam = clock;
        seam.beat = expected - loopBeats;
        lock(usable(seam) ? seam : clock, beatsPerBar);
        return;
    }
    if (jumped || !sameBars) {
        lock(clock, beatsPerBar);
        return;
    }
    const double tempo = heldTempo(clock.beatsPerMinute);
    const double drift = std::fabs(clock.beat - expected) * grid.samplesPerBeat;
    const double sinceHostAnchor = static_cast<double>(songSample - hostAnchorSample);
    if (tempo != statedTempo) {
        // A new tempo takes over from this block's start, where the grid (more exact than a
        // host's rounded beat) says the song is; the steps go on where they were.
        statedTempo = tempo;
        reanchor(expected, tempo);
    } else if (drift > kHostRounding * grid.samplesPerBeat + 1.0 && sinceHostAnchor > 0.0) {
        // The host's beats run at another pace than the tempo it states (Ardour states a
        // ramp's first tempo all through it): its beats are the truth. The grid takes the
        // host's beat now, and the pace of its beats since the grid last took one, long
        // enough a stretch for the host's rounding to matter little.
        const double pace = (clock.beat - hostAnchorBeat) / sinceHostAnchor * 60.0 * sampleRate;
        reanchor(clock.beat, heldTempo(pace));
        hostAnchorBeat = clock.beat;
        hostAnchorSample = songSample;
    }
}

void PatternPlayer::reanchor(double beat, double tempo)
{
    grid.sample = songSample;
    grid.beat = beat;
    grid.tempo = tempo;
    grid.samplesPerBeat = 60.0 * sampleRate / tempo;
}

void PatternPlayer::wrapLoop()
{
    // The loop's start follows its end at once, as if its bars were played straight through.
    grid.sample = songSample + loopEndsAt;
    grid.beat = loopStartBeat;
    earliest = std::max(earliest, loopEndsAt);
    loopEndsAt = -1;
    wrapped = true;
    restartAt(loopStartBeat);
}

void PatternPlayer::hold(int32_t time)
{
    const bool first = !held;
    held = true;
    if (!first || !current || mode == Mode::locked) return;
    time = std::clamp(time, 0, std::max(frames - 1, 0));
    if (mode == Mode::free && songSample + time <= heldAgainBy) {
        earliest = std::max(earliest, time);
        return;
    }
    // The pattern's own bar, from the held note on.
    grid.sample = songSample + time;
    grid.beat = 0.0;
    grid.tempo = lastTempo;
    grid.samplesPerBeat = 60.0 * sampleRate / lastTempo;
    grid.barLine = 0.0;
    grid.barNumber = 0;
    grid.beatsPerBar = patternBarCells() / current->stepsPerBeat;
    earliest = std::max(earliest, time);
    mode = Mode::free;
    restartAt(0.0);
}

void PatternPlayer::release()
{
    held = false;
    if (mode == Mode::free) mode = Mode::silent;
}

void PatternPlayer::letGo(int32_t time)
{
    held = false;
    if (mode != Mode::free) return;
    // A hand moving between chords keeps the pattern's time: for a beat the grid runs on,
    // silent, and a chord held again within it goes on from there.
    time = std::clamp(time, 0, std::max(frames - 1, 0));
    heldAgainBy = songSample + time + std::llround(grid.samplesPerBeat);
}

int32_t PatternPlayer::patternBars() const
{
    return std::max(1, (current->beats + kLongestPatternBar - 1) / kLongestPatternBar);
}

double PatternPlayer::patternBarCells() const
{
    return static_cast<double>(current->beats * current->stepsPerBeat) / patternBars();
}

bool PatternPlayer::inPatternBar(int32_t step, int64_t bar) const
{
    const double first = static_cast<double>(floorMod(bar, patternBars())) * patternBarCells();
    return step < current->stepCount && current->steps[step].cell >= first - 1e-9 &&
           current->steps[step].cell < first + patternBarCells() - 1e-9;
}

void PatternPlayer::enterBar(int64_t bar)
{
    // A bar of the pattern without steps is passed over (at most all of them once).
    for (int32_t tries = 0; tries < patternBars(); ++tries, ++bar) {
        int32_t step = 0;
        while (step < current->stepCount && !inPatternBar(step, bar)) ++step;
        cursor = {bar, 0, step};
        if (step < current->stepCount) return;
    }
    cursor.step = 0;
}

double PatternPlayer::barStart(int64_t bar) const
{
    return grid.barLine + static_cast<double>(bar - grid.barNumber) * grid.beatsPerBar;
}

double PatternPlayer::offsetInBar(const Cursor& at) const
{
    const double barCells = patternBarCells();
    const double first = static_cast<double>(floorMod(at.bar, patternBars())) * barCells;
    return (at.repeat * barCells + current->steps[at.step].cell - first) / current->stepsPerBeat;
}

double PatternPlayer::swung(double offset) const
{
    if (swing <= 0.0f) return offset;
    // Within each beat the off-beat eighth moves later by swing eighths, and the steps
    // around it stretch or squeeze to follow: 0 and the next beat stay where they are.
    const double whole = std::floor(offset);
    const double part = offset - whole;
    const double offbeat = 0.5 + 0.5 * swing;
    const double moved = part < 0.5 ? part / 0.5 * offbeat
                                    : offbeat + (part - 0.5) / 0.5 * (1.0 - offbeat);
    return whole + moved;
}

double PatternPlayer::beatAtSample(int64_t sample) const
{
    return grid.beat + static_cast<double>(sample - grid.sample) / grid.samplesPerBeat;
}

void PatternPlayer::restartAt(double beat)
{
    enterBar(grid.barNumber +
             static_cast<int64_t>(std::floor((beat - grid.barLine) / grid.beatsPerBar + 1e-9)));
    // A step within half a sample before the position still counts as on it.
    const double from = beat - 0.5 / grid.samplesPerBeat;
    while (barStart(cursor.bar) + offsetInBar(cursor) < from) advance();
}

void PatternPlayer::advance()
{
    // The pattern starts again at every bar line, so its accent stays on the downbeat: a bar
    // shorter than the pattern's plays its first beats, a longer one repeats them.
    ++cursor.step;
    if (!inPatternBar(cursor.step, cursor.bar)) {
        const int64_t bar = cursor.bar;
        const int32_t repeat = cursor.repeat + 1;
        enterBar(bar);
        cursor.repeat = repeat;
    }
    if (offsetInBar(cursor) >= grid.beatsPerBar - 1e-9) enterBar(cursor.bar + 1);
}

bool PatternPlayer::nextStroke(int32_t before, Stroke& stroke)
{
    if (mode == Mode::silent || !current || frames == 0) return false;
    const double start = barStart(cursor.bar);
    const double offset = offsetInBar(cursor);
    const double beat = start + offset;
    const int64_t position = std::llround(beat * Humaniser::kTicksPerBeat);
    const double limit = kNudgeShare * closestSteps * (1.0 - swing) * grid.samplesPerBeat;
    const int64_t sample =
        grid.sample + std::llround((start + swung(offset) - grid.beat) * grid.samplesPerBeat) +
        humaniser.timeOffset(position, sampleRate, limit);
    const int64_t time = sample - songSample;
    if (mode == Mode::free && !held && time < before) {
        // Nothing held: the steps pass unplayed, until the hand has been away a beat.
        if (sample > heldAgainBy) {
            mode = Mode::silent;
            return false;
        }
        advance();
        return nextStroke(before, stroke);
    }
    if (loopEndsAt >= 0 && time >= loopEndsAt && loopEndsAt < before) {
        wrapLoop();
        return nextStroke(before, stroke);
    }
    if (time >= before) return false;
    if (played >= kMostStrokesPerBlock) {
        restartAt(beatAtSample(songSample + frames));
        return false;
    }
    const PatternStep& step = current->steps[cursor.step];
    const int32_t base = step.accent ? velocity + (127 - velocity) / 2 : velocity;
    stroke.time = static_cast<int32_t>(std::max<int64_t>(time, earliest));
    stroke.action = step.action;
    stroke.argument = step.string;
    stroke.velocity = humaniser.velocity(position, base);
    ++played;
    advance();
    return true;
}

void PatternPlayer::endBlock()
{
    if (loopEndsAt >= 0 && mode == Mode::locked) wrapLoop();
    songSample += frames;
}
