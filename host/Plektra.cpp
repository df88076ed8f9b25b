// Plektra's construction, parameters, names and block driver.
#include "host/Plektra.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

// Two semitones up at full bend: 2^(1/6), and full bend is 8191.
const float kWholeTone = std::pow(2.0f, 1.0f / 6.0f);
constexpr float kBendScale = 1.0f / 8191.0f;

// Filters of the two time requests: first only the transport-changed bit, then the fields
// the strum engine reads.
constexpr int32_t kTransportFilter = kVstTransportChanged;
constexpr int32_t kTimeFilter =
    kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstClockValid;

// Host rates outside this range are taken for garbage and leave the rate in force, so that
// no timing scale in the engines can overflow.
constexpr float kMinSampleRate = 1000.0f;
constexpr float kMaxSampleRate = 1000000.0f;

constexpr const char* kProductName = "Lyrevane";
constexpr const char* kVendorName = "Lyrevane Instruments";
constexpr int32_t kVendorVersion = 64;

// Converting a double beyond the float range is undefined; the host's tempo and position
// are clamped to it instead (NaN passes through for the strum engine to judge).
float toFloat(double value)
{
    return static_cast<float>(std::clamp(value, -double(FLT_MAX), double(FLT_MAX)));
}

// The host's clock as strum patterns count it: in beats of the bar's beat unit. Without a
// time signature a bar is four quarter notes.
SongClock songClockOf(const VstTimeInfo& time)
{
    SongClock clock;
    const bool meter = (time.flags & kVstTimeSigValid) && time.timeSigNumerator > 0 &&
                       time.timeSigDenominator > 0;
    const double beatsPerQuarter = meter ? time.timeSigDenominator / 4.0 : 1.0;
    clock.rolling = (time.flags & kVstTransportPlaying) != 0;
    clock.beat = time.ppqPos * beatsPerQuarter;
    clock.beatsPerBar = meter ? time.timeSigNumerator : 4.0;
    clock.barStart = (time.flags & kVstBarsValid)
                         ? time.barStartPos * beatsPerQuarter
                         : std::floor(clock.beat / clock.beatsPerBar) * clock.beatsPerBar;
    // Hosts state the tempo in quarter notes a minute, whatever the beat unit (a VST host's
    // tempo always is; Ardour's time:beatsPerMinute in 6/8 too).
    clock.beatsPerMinute = time.tempo * beatsPerQuarter;
    clock.frame = std::isfinite(time.samplePos) ? time.samplePos : 0.0;
    if ((time.flags & kVstCyclePosValid) && time.cycleEndPos > time.cycleStartPos) {
        clock.loopStart = time.cycleStartPos * beatsPerQuarter;
        clock.loopEnd = time.cycleEndPos * beatsPerQuarter;
        clock.looping = (time.flags & kVstTransportCycleActive) != 0;
    }
    return clock;
}

// Frames rendered at a time when the host gives no output buffer at all.
constexpr int32_t kDiscardFrames = 256;

float* advanced(float* channel, int32_t frames)
{
    return channel ? channel + frames : nullptr;
}

// Denormal arithmetic in decaying voices can cost a hundred times normal speed; flush them
// to zero for the duration of a block and restore the host's mode afterwards.
class DenormalFlush
{
public:
#if defined(__SSE__)
    DenormalFlush() : saved(_mm_getcsr()) { _mm_setcsr(saved | 0x8040); }
    ~DenormalFlush() { _mm_setcsr(saved); }

private:
    unsigned int saved;
#endif
};

}  // namespace

Plektra::Plektra(audioMasterCallback audioMaster, EditorFactory makeEditor)
    : AudioEffectX(audioMaster, 1, kParameterCount)
{
    cEffect.flags |= effFlagsCanReplacing | effFlagsIsSynth;
    cEffect.numInputs = 0;
    cEffect.numOutputs = 2;
    cEffect.uniqueID = fourCharCode('S', 'M', 'P', 'L');
    // Without memory for it the factory answers null and the instrument simply has none.
    if (makeEditor) setEditor(makeEditor(this));
    loadSoundSets(reader, acoustic, electric);
    loadTakes(reader, takes);
    selectAcousticSet(sampler, acoustic);
    selectTakes(sampler, SoundSet::acoustic, takes);
}

void Plektra::setParameter(int32_t index, float value)
{
    const auto unsignedIndex = static_cast<uint32_t>(index);
    if (unsignedIndex < kChordParameterCount) {
        const uint32_t chord = unsignedIndex / kStringCount;
        setChordValue(chord, unsignedIndex % kStringCount, value);
        // A string of the selected chord changed: nothing of the old chord may ring on.
        if (chord == static_cast<uint32_t>(selectedChord.load(std::memory_order_relaxed))) {
            requestReset();
        }
    } else if (unsignedIndex == kSoundSetParameter) {
        const SoundSet set = value == 0.0f ? SoundSet::acoustic : SoundSet::electric;
        requestedSet.store(static_cast<int32_t>(set), std::memory_order_relaxed);
        requestReset();
    } else if (unsignedIndex == kResetParameter) {
        requestReset();
    }
}

float Plektra::getParameter(int32_t index)
{
    const auto unsignedIndex = static_cast<uint32_t>(index);
    if (unsignedIndex >= kParameterCount) return 0.0f;
    if (unsignedIndex == kSoundSetParameter) {
        // A pending switch counts as done: a host that reads right after writing gets its
        // own value back.
        const auto set = static_cast<SoundSet>(requestedSet.load(std::memory_order_relaxed));
        return set == SoundSet::electric ? 1.0f : 0.0f;
    }
    if (unsignedIndex >= kSelectedChordParameter) {
        return static_cast<float>(selectedChord.load(std::memory_order_relaxed)) * kChordStep;
    }
    // 72 and 73 address a thirteenth chord, which the bank answers with -1.
    return getChordValue(unsignedIndex / kStringCount, unsignedIndex % kStringCount);
}

bool Plektra::getEffectName(char* name)
{
    copyHostString(name, kProductName, kHostNameBound);
    return true;
}

bool Plektra::getVendorString(char* text)
{
    copyHostString(text, kVendorName, kHostTextBound);
    return true;
}

bool Plektra::getProductString(char* text)
{
    copyHostString(text, kProductName, kHostTextBound);
    return true;
}

int32_t Plektra::getVendorVersion()
{
    return kVendorVersion;
}

void Plektra::requestReset()
{
    resetRequested.store(true, std::memory_order_release);
}

void Plektra::resume()
{
    AudioEffectX::resume();
    resumed.store(true, std::memory_order_relaxed);
}

void Plektra::applyPendingRequests()
{
    if (resumed.exchange(false, std::memory_order_relaxed)) transportWatch.forget();
    if (resetRequested.exchange(false, std::memory_order_acquire)) {
        sampler.reset();
        resetStrum();
        const auto set = static_cast<SoundSet>(requestedSet.load(std::memory_order_relaxed));
        if (set != setInForce) {
            if (set == SoundSet::electric) {
                selectElectricSet(sampler, electric);
            } else {
                selectAcousticSet(sampler, acoustic);
            }
            selectTakes(sampler, set, takes);
            setInForce = set;
        }
    }
    const float rate = getSampleRate();
    if (rate != sampleRateInForce && rate >= kMinSampleRate && rate <= kMaxSampleRate) {
        sampler.setSampleRate(rate);
        sampleRateInForce = rate;
    }
}

int32_t Plektra::processEvents(VstEvents* events)
{
    clearQueue();
    if (!events) return 1;
    // Through a plain pointer: the host's list is longer than the declared array.
    VstEvent* const* list = events->events;
    for (int32_t i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType) continue;
        if (!pushMidiEvent(reinterpret_cast<const VstMidiEvent*>(event))) break;
    }
    return 1;
}

void Plektra::processReplacing(float** /*inputs*/, float** outputs, int32_t frames)
{
    const VstTimeInfo* transport = getTimeInfo(kTransportFilter);
    const bool transportChanged = transport && (transport->flags & kVstTransportChanged);
    renderBlock(transportChanged, getTimeInfo(kTimeFilter), outputs ? outputs[0] : nullptr,
                outputs ? outputs[1] : nullptr, frames);
}

// A note's route through one block, which the class hierarchy hides:
// 1. the host's key event arrives in processEvents (or the LV2 plug-in's run) and waits in
//    the decoder queue (CMidiMsg);
// 2. processBlock (CArpeggiator) empties that queue into the strum engine (CArpStrum), which
//    turns a strum key into up to six string notes, each at its own offset, in the scheduler's
//    queue; other messages join that queue unchanged;
// 3. the notes due within this block move back into the decoder queue, later ones wait;
// 4. the loop below renders up to each note's sample, and dispatchNext decodes it into
//    onNoteOn, which starts a sampler voice (CSampler) on the string's recording.
void Plektra::renderBlock(bool transportChanged, const VstTimeInfo* time, float* left,
                          float* right, int32_t frames)
{
    DenormalFlush flush;
    applyPendingRequests();
    frames = std::max(frames, 0);

    if (time) {
        hostTempo = toFloat(time->tempo);
        hostPosition = toFloat(time->ppqPos);
    }
    const bool positioned = time && (time->flags & kVstPpqPosValid);
    const SongClock clock = positioned ? songClockOf(*time) : SongClock{};
    setSongClock(positioned ? &clock : nullptr);
    // A varied stroke is drawn from its place in the song: the host's, while it plays one.
    if (clock.rolling && clock.frame > 0.0 && clock.frame < 1e18) {
        sampler.setSongPosition(std::llround(clock.frame));
    }
    // Some hosts raise the transport-changed bit on every block while they play on, so the
    // bit alone would cut every string at each block boundary: only a real jump releases
    // the voices. The strum engine keeps its schedule even then: strums already under way
    // still play.
    const bool jumped = transportWatch.jumped(time, frames, sampleRateInForce);
    if (transportChanged && jumped) sampler.reset();
    processBlock(hostTempo, hostPosition, frames, sampleRateInForce);

    // Render up to each event, then let it act from its own sample on. Times outside the
    // block or running backwards are held to the part not yet rendered, so every sample is
    // written exactly once whatever the host sent.
    int32_t done = 0;
    while (pendingCount() >= 1) {
        const int32_t due = std::clamp(nextTime(), done, frames);
        renderFrames(advanced(left, done), advanced(right, done), due - done);
        dispatchNext();
        done = due;
    }
    renderFrames(advanced(left, done), advanced(right, done), frames - done);
}

void Plektra::renderFrames(float* left, float* right, int32_t count)
{
    if (count <= 0) return;
    float* const first = left ? left : right;
    if (!first) {
        // Without outputs the voices still move on, so the next block sounds as it would.
        float discarded[kDiscardFrames];
        for (int32_t done = 0; done < count; done += kDiscardFrames) {
            sampler.render(discarded, std::min(kDiscardFrames, count - done));
        }
        return;
    }
    sampler.render(first, count);
    // memmove: a host may hand the same buffer, or overlapping ones, for both channels.
    if (left && right && right != left) std::memmove(right, left, sizeof(float) * count);
}

void Plektra::onNoteOn(int32_t channel, int32_t note, int32_t velocity)
{
    sampler.noteOn(channel, note & 0xFF, velocity & 0xFF);
}

void Plektra::onNoteOff(int32_t /*channel*/, int32_t note, int32_t /*velocity*/)
{
    sampler.noteOff(note & 0xFF);
}

void Plektra::onPitchBend(int32_t /*channel*/, int16_t bend)
{
    sampler.setBend(std::pow(kWholeTone, static_cast<float>(bend) * kBendScale));
}
