// A stand-in instrument for testing the render tool's host side: it writes a click at the
// exact sample of every note-on (height = note / 128) and logs every call it receives, with
// the time record of each block, to the file named by LYREVANE_ECHO_LOG.
#include "host/VstInterface.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Echo {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    FILE* log = nullptr;
    std::vector<VstMidiEvent> pending;
};

Echo* echoOf(AEffect* effect)
{
    return static_cast<Echo*>(effect->object);
}

intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t, intptr_t value, void* ptr, float opt)
{
    Echo* echo = echoOf(effect);
    FILE* log = echo->log != nullptr ? echo->log : stderr;
    switch (opcode) {
    case effOpen:
        std::fprintf(log, "open\n");
        return 0;
    case effClose:
        std::fprintf(log, "close\n");
        if (echo->log != nullptr) {
            std::fclose(echo->log);
        }
        delete echo;
        return 1;
    case effSetSampleRate:
        std::fprintf(log, "rate %g\n", opt);
        return 0;
    case effSetBlockSize:
        std::fprintf(log, "block-size %ld\n", static_cast<long>(value));
        return 0;
    case effMainsChanged:
        std::fprintf(log, "mains %ld\n", static_cast<long>(value));
        return 0;
    case effProcessEvents: {
        const auto* events = static_cast<const VstEvents*>(ptr);
        VstEvent* const* slots = events->events;
        for (int i = 0; i < events->numEvents; ++i) {
            if (slots[i]->type == kVstMidiType) {
                echo->pending.push_back(*reinterpret_cast<const VstMidiEvent*>(slots[i]));
            }
        }
        return 1;
    }
    default:
        return 0;
    }
}

void setParameter(AEffect* effect, int32_t index, float value)
{
    Echo* echo = echoOf(effect);
    std::fprintf(echo->log != nullptr ? echo->log : stderr, "param %d %g\n", index, value);
}

float getParameter(AEffect*, int32_t)
{
    return 0.0f;
}

void processReplacing(AEffect* effect, float**, float** outputs, int32_t frames)
{
    Echo* echo = echoOf(effect);
    const auto* time = reinterpret_cast<const VstTimeInfo*>(
        echo->host(effect, audioMasterGetTime, 0, 0, nullptr, 0.0f));
    if (echo->log != nullptr && time != nullptr) {
        std::fprintf(echo->log, "process %d at %.0f ppq %.6f tempo %.3f changed %d\n", frames,
                     time->samplePos, time->ppqPos, time->tempo,
                     time->flags & kVstTransportChanged);
    }
    std::fill(outputs[0], outputs[0] + frames, 0.0f);
    std::fill(outputs[1], outputs[1] + frames, 0.0f);
    for (const VstMidiEvent& event : echo->pending) {
        const bool noteOn = (event.midiData[0] & 0xF0) == 0x90 && event.midiData[2] != 0;
        if (noteOn && event.deltaFrames >= 0 && event.deltaFrames < frames) {
            outputs[0][event.deltaFrames] = outputs[1][event.deltaFrames] =
                event.midiData[1] / 128.0f;
        }
    }
    echo->pending.clear();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    auto* echo = new Echo;
    echo->host = host;
    if (const char* path = std::getenv("LYREVANE_ECHO_LOG")) {
        echo->log = std::fopen(path, "w");
    }
    AEffect& effect = echo->effect;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatch;
    effect.setParameter = setParameter;
    effect.getParameter = getParameter;
    effect.processReplacing = processReplacing;
    effect.numParams = 4;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing | effFlagsIsSynth;
    effect.object = echo;
    return &effect;
}
