// See FormatRules.h.
#include "tests/vst3/FormatRules.h"

#include <cmath>
#include <cstring>
#include <set>

namespace vst3test {

namespace {

std::string textOf(vst3::EditController& controller, vst3::ParamId id, double value)
{
    vst3::String128 text{};
    if (controller.getParamStringByValue(id, value, text) != vst3::kResultOk) return "<none>";
    return harness::utf8Of(text);
}

}  // namespace

void checkFormatRules(harness::Vst3Host& host, std::vector<std::string>& faults)
{
    auto fault = [&faults](const std::string& what) { faults.push_back(what); };
    const vst3::ClassInfo2& info = host.classInfo();
    if (std::strcmp(info.category, vst3::kAudioModuleClass) != 0) fault("class category");
    if (info.name[0] == '\0') fault("class without a name");
    if (host.hasClassInfo2() && info.subCategories[0] == '\0') fault("no subcategories");
    if (host.factoryInfo().vendor[0] == '\0') fault("factory without a vendor");

    for (int32_t type : {vst3::kAudio, vst3::kEvent}) {
        for (int32_t direction : {vst3::kInput, vst3::kOutput}) {
            const std::vector<vst3::BusInfo> buses = host.buses(type, direction);
            for (const vst3::BusInfo& bus : buses) {
                const std::string name = harness::utf8Of(bus.name);
                if (bus.mediaType != type || bus.direction != direction) {
                    fault("bus " + name + " describes another kind or direction");
                }
                if (bus.channelCount < 1) fault("bus " + name + " without channels");
                if (name.empty()) fault("a bus without a name");
            }
            vst3::BusInfo beyond{};
            if (host.component()->getBusInfo(type, direction, int32_t(buses.size()), beyond) ==
                vst3::kResultOk) {
                fault("a bus beyond the last was described");
            }
        }
    }

    vst3::EditController& controller = *host.controller();
    std::set<vst3::ParamId> ids;
    for (const vst3::ParameterInfo& parameter : host.parameters()) {
        const std::string title = harness::utf8Of(parameter.title);
        if (!ids.insert(parameter.id).second) fault(title + ": id given twice");
        if (title.empty()) fault("parameter " + std::to_string(parameter.id) + " untitled");
        if (!(parameter.defaultNormalizedValue >= 0.0 && parameter.defaultNormalizedValue <= 1.0)) {
            fault(title + ": default outside 0 to 1");
        }
        if (parameter.stepCount < 0) fault(title + ": negative step count");
        const double plain =
            controller.normalizedParamToPlain(parameter.id, parameter.defaultNormalizedValue);
        if (std::fabs(controller.plainParamToNormalized(parameter.id, plain) -
                      parameter.defaultNormalizedValue) > 1e-6) {
            fault(title + ": plain and normalised values do not convert back");
        }
        if ((parameter.flags & vst3::ParameterInfo::kIsReadOnly) != 0) continue;
        // A value's text reads back as that value, within the precision of the text.
        const double shown = parameter.defaultNormalizedValue;
        const std::string text = textOf(controller, parameter.id, shown);
        vst3::String128 typed{};
        harness::copyUtf16(text, typed);
        double value = -1.0;
        if (controller.getParamValueByString(parameter.id, typed, value) != vst3::kResultOk ||
            std::fabs(value - shown) > 1e-4) {
            fault(title + ": the text '" + text + "' does not read back");
        }
    }
    vst3::ParameterInfo beyond{};
    if (controller.getParameterInfo(int32_t(ids.size()), beyond) == vst3::kResultOk) {
        fault("a parameter beyond the last was described");
    }
}

}  // namespace vst3test
