#include "lv2/Lv2PanelPorts.h"

#include <cmath>

#include <lv2/atom/atom.h>

using namespace lv2ports;
using controls::fretOfParameter;
using controls::kHighestFret;
using controls::kMuted;
using controls::parameterOfFret;

namespace {

// The control port a parameter is written to, or kPortCount for one that has none.
uint32_t portOf(int32_t parameter)
{
    if (parameter >= 0 && parameter < kChordParameterCount) {
        return kFirstString + static_cast<uint32_t>(parameter);
    }
    if (parameter == kSoundSetParameter) return kSoundSet;
    return kPortCount;
}

}  // namespace

Lv2PanelPorts::Lv2PanelPorts(LV2UI_Write_Function write, LV2UI_Controller controller,
                             const LV2UI_Touch* touch, LV2_URID_Map& map)
    : writeFunction(write),
      controller(controller),
      touchFeature(touch),
      eventTransfer(map.map(map.handle, LV2_ATOM__eventTransfer)),
      atomObject(map.map(map.handle, LV2_ATOM__Object)),
      resetMessage(map.map(map.handle, kResetMessageUri))
{
}

bool Lv2PanelPorts::portEvent(uint32_t port, float value)
{
    if (std::isnan(value)) return false;
    if (isStringPort(port)) {
        const float held = std::fmin(std::fmax(std::round(value), float(kMuted)), kHighestFret);
        parameters[parameterOfPort(port)] = parameterOfFret(static_cast<int32_t>(held));
    } else if (port == kSoundSet) {
        parameters[kSoundSetParameter] = value >= 0.5f ? 1.0f : 0.0f;
    } else if (port == kPlayedChord) {
        const float chord = std::fmin(std::fmax(std::round(value), 0.0f), ChordValues::kChordCount - 1);
        parameters[kSelectedChordParameter] = chord * kChordStep;
    } else {
        return false;
    }
    return true;
}

float Lv2PanelPorts::read(int32_t parameter) const
{
    return parameter >= 0 && parameter < kParameterCount ? parameters[parameter] : 0.0f;
}

void Lv2PanelPorts::write(int32_t parameter, float value)
{
    if (!writeFunction) return;
    if (parameter == kResetParameter) {
        const LV2_Atom_Object message{{sizeof(LV2_Atom_Object_Body), atomObject},
                                      {0, resetMessage}};
        writeFunction(controller, kEvents, sizeof message, eventTransfer, &message);
        return;
    }
    const uint32_t port = portOf(parameter);
    if (port == kPortCount) return;
    float portValue = 0.0f;
    if (isStringPort(port)) {
        const int32_t fret = fretOfParameter(value);
        parameters[parameter] = parameterOfFret(fret);
        portValue = static_cast<float>(fret);
    } else {
        portValue = value == 0.0f ? 0.0f : 1.0f;
        parameters[parameter] = portValue;
    }
    writeFunction(controller, port, sizeof(float), 0, &portValue);
}

void Lv2PanelPorts::touch(int32_t parameter, bool grabbed)
{
    const uint32_t port = portOf(parameter);
    if (port != kPortCount && touchFeature && touchFeature->touch) {
        touchFeature->touch(touchFeature->handle, port, grabbed);
    }
}
