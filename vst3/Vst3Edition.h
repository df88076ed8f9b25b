// The instrument behind the VST3 interface: one object that is both the processing component
// and its edit controller (Ardour asks the component for its controller; other hosts create
// the controller from its own class, which makes another such object). It translates note
// events, parameter changes at their samples, pitch bend mapped to a hidden parameter, the
// process context and state streams to the format-neutral instrument.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "instrument/Instrument.h"
#include "vst3/Vst3Interfaces.h"

namespace vst3edition {

// Class ids, fixed forever: hosts keep them in sessions.
constexpr vst3::Uid kProcessorClass = vst3::Uid::of(0x4C797265, 0x76616E65, 0x9A3C51E2, 0x07B64D18);
constexpr vst3::Uid kControllerClass =
    vst3::Uid::of(0x4C797265, 0x76616E65, 0x5E81C0D4, 0x3F2A96B7);

// Parameter ids beyond the controls' own (controls::Id), fixed forever as those are.
constexpr vst3::ParamId kPitchBendParameter = 0x10000;  // hidden: pitch bend through IMidiMapping
constexpr vst3::ParamId kChordSetParameter = 0x10001;   // the program list's program change
// The program list of the factory chord sets, and the units that group the parameters.
constexpr vst3::ProgramListId kChordSetList = 1;
constexpr vst3::UnitId kFirstChordUnit = 1;  // chord n's strings: unit 1 + n
constexpr vst3::UnitId kPlayingAidsUnit = 13;

class Vst3Edition final : public vst3::Component,
                          public vst3::AudioProcessor,
                          public vst3::EditController,
                          public vst3::MidiMapping,
                          public vst3::UnitInformation
{
public:
    Vst3Edition();

    // Unknown
    vst3::Result LYREVANE_VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t LYREVANE_VST3_CALL addRef() override;
    uint32_t LYREVANE_VST3_CALL release() override;

    // PluginBase: a single-component plug-in is initialised once as a component and once as
    // a controller; only the first initialise and the last terminate count.
    vst3::Result LYREVANE_VST3_CALL initialize(vst3::Unknown* hostContext) override;
    vst3::Result LYREVANE_VST3_CALL terminate() override;

    // Component
    vst3::Result LYREVANE_VST3_CALL getControllerClassId(uint8_t classId[16]) override;
    vst3::Result LYREVANE_VST3_CALL setIoMode(int32_t mode) override;
    int32_t LYREVANE_VST3_CALL getBusCount(int32_t type, int32_t direction) override;
    vst3::Result LYREVANE_VST3_CALL getBusInfo(int32_t type, int32_t direction, int32_t index,
                                               vst3::BusInfo& info) override;
    vst3::Result LYREVANE_VST3_CALL getRoutingInfo(vst3::RoutingInfo& in,
                                                   vst3::RoutingInfo& out) override;
    vst3::Result LYREVANE_VST3_CALL activateBus(int32_t type, int32_t direction, int32_t index,
                                                vst3::Bool8 state) override;
    vst3::Result LYREVANE_VST3_CALL setActive(vst3::Bool8 state) override;
    // Component state: the instrument's shared state (instrument/State.h).
    vst3::Result LYREVANE_VST3_CALL setState(vst3::Stream* state) override;
    vst3::Result LYREVANE_VST3_CALL getState(vst3::Stream* state) override;

    // AudioProcessor
    vst3::Result LYREVANE_VST3_CALL setBusArrangements(vst3::SpeakerArrangement* inputs,
                                                       int32_t inputCount,
                                                       vst3::SpeakerArrangement* outputs,
                                                       int32_t outputCount) override;
    vst3::Result LYREVANE_VST3_CALL getBusArrangement(
        int32_t direction, int32_t index, vst3::SpeakerArrangement& arrangement) override;
    vst3::Result LYREVANE_VST3_CALL canProcessSampleSize(int32_t sampleSize) override;
    uint32_t LYREVANE_VST3_CALL getLatencySamples() override { return 0; }
    vst3::Result LYREVANE_VST3_CALL setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::Result LYREVANE_VST3_CALL setProcessing(vst3::Bool8 state) override;
    vst3::Result LYREVANE_VST3_CALL process(vst3::ProcessData& data) override;
    uint32_t LYREVANE_VST3_CALL getTailSamples() override;

    // EditController. The controller has no state of its own: the component's carries all.
    vst3::Result LYREVANE_VST3_CALL setComponentState(vst3::Stream* state) override;
    int32_t LYREVANE_VST3_CALL getParameterCount() override;
    vst3::Result LYREVANE_VST3_CALL getParameterInfo(int32_t index,
                                                     vst3::ParameterInfo& info) override;
    vst3::Result LYREVANE_VST3_CALL getParamStringByValue(vst3::ParamId id, double value,
                                                          vst3::String128 text) override;
    vst3::Result LYREVANE_VST3_CALL getParamValueByString(vst3::ParamId id, vst3::Char16* text,
                                                          double& value) override;
    double LYREVANE_VST3_CALL normalizedParamToPlain(vst3::ParamId id, double value) override;
    double LYREVANE_VST3_CALL plainParamToNormalized(vst3::ParamId id, double plain) override;
    double LYREVANE_VST3_CALL getParamNormalized(vst3::ParamId id) override;
    vst3::Result LYREVANE_VST3_CALL setParamNormalized(vst3::ParamId id, double value) override;
    vst3::Result LYREVANE_VST3_CALL setComponentHandler(vst3::ComponentHandler* handler) override;
    vst3::PlugView* LYREVANE_VST3_CALL createView(const char* name) override;

    // MidiMapping: pitch bend, on any channel, to the hidden parameter.
    vst3::Result LYREVANE_VST3_CALL getMidiControllerAssignment(int32_t busIndex, int16_t channel,
                                                                int16_t controller,
                                                                vst3::ParamId& id) override;

    // UnitInformation: the units grouping the parameters, and the factory chord sets as a
    // program list whose programs name the keys.
    int32_t LYREVANE_VST3_CALL getUnitCount() override;
    vst3::Result LYREVANE_VST3_CALL getUnitInfo(int32_t index, vst3::UnitInfo& info) override;
    int32_t LYREVANE_VST3_CALL getProgramListCount() override { return 1; }
    vst3::Result LYREVANE_VST3_CALL getProgramListInfo(int32_t index,
                                                       vst3::ProgramListInfo& info) override;
    vst3::Result LYREVANE_VST3_CALL getProgramName(vst3::ProgramListId list, int32_t program,
                                                   vst3::String128 name) override;
    vst3::Result LYREVANE_VST3_CALL getProgramInfo(vst3::ProgramListId list, int32_t program,
                                                   const char* attribute,
                                                   vst3::String128 value) override;
    vst3::Result LYREVANE_VST3_CALL hasProgramPitchNames(vst3::ProgramListId list,
                                                         int32_t program) override;
    vst3::Result LYREVANE_VST3_CALL getProgramPitchName(vst3::ProgramListId list, int32_t program,
                                                        int16_t pitch,
                                                        vst3::String128 name) override;
    vst3::UnitId LYREVANE_VST3_CALL getSelectedUnit() override { return 0; }
    vst3::Result LYREVANE_VST3_CALL selectUnit(vst3::UnitId) override { return vst3::kResultOk; }
    vst3::Result LYREVANE_VST3_CALL getUnitByBus(int32_t type, int32_t direction, int32_t busIndex,
                                                 int32_t channel, vst3::UnitId& unit) override;
    vst3::Result LYREVANE_VST3_CALL setUnitProgramData(int32_t listOrUnit, int32_t program,
                                                       vst3::Stream* data) override;

private:
    ~Vst3Edition() = default;
    // Parameter ids in the order the host lists them: the controls, the chord set, pitch bend.
    static vst3::ParamId idAt(int32_t index);
    void applyChordSet(uint32_t frame, int32_t set);
    void takeTransport(const vst3::ProcessContext& context, uint32_t frames);

    std::atomic<uint32_t> references{1};
    int32_t initialised = 0;  // initialize calls not yet terminated
    double sampleRate = 44100.0;
    bool active = false;
    Instrument instrument;
    vst3::ComponentHandler* handler = nullptr;
    // The chord set last chosen, for the host to read back; the audio thread writes it as
    // the host's program change plays, the host's thread reads it: one word, relaxed.
    std::atomic<int32_t> chordSet{0};
    // The pitch bend last played, normalised, for the host to read back (as chordSet).
    std::atomic<double> pitchBend{0.5};
    // Where the transport was last stated to be, to state it again only when it moved.
    bool transportKnown = false;
    uint32_t transportState = 0;
    double tempo = 120.0;
    double expectedQuarters = 0.0;
    int32_t meter[2] = {4, 4};
};

}  // namespace vst3edition
