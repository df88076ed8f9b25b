// Cost of drawing the panel whole at a scale, as after the host's window was uncovered: the
// instrument with its editor, opened as a host opens it (the scale given before) in a window
// on the X display, then the frame painted from its views into the window's image and copied
// to the window. Needs an X display; the scale is range(0) / 100. A program of its own: the
// engine's benchmarks link no GUI.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "editor/CPlektraGUI.h"
#include "host/Plektra.h"
#include "tools/HostWindow.h"
#include "tools/PluginHost.h"

namespace {

AEffect* makePlektraWithPanel(audioMasterCallback audioMaster)
{
    return (new Plektra(audioMaster, &CPlektraGUI::create))->getAeffect();
}

void panelFullRedraw(benchmark::State& state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display");
        return;
    }
    harness::PluginHost host;
    host.recordCalls = false;
    AEffect* effect = host.open(&makePlektraWithPanel);
    host.startUp();
    const auto scale = static_cast<float>(state.range(0)) / 100.0f;
    host.dispatch(effVendorSpecific, fourCharCode('P', 'r', 'e', 'S'),
                  fourCharCode('A', 'e', 'C', 's'), nullptr, scale);
    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    harness::HostWindow window(0, 0, rect->right, rect->bottom);
    if (!window.ok() || host.dispatch(effEditOpen, 0, 0, window.parent()) != 1) {
        state.SkipWithError("the editor did not open");
        return;
    }
    auto* editor = dynamic_cast<CPlektraGUI*>(static_cast<Plektra*>(effect->object)->getEditor());
    VSTGUI::CFrame* frame = editor->getFrame();
    // The first paint decodes the artwork of the scale; every later one finds it decoded.
    frame->drawRect(frame->getViewSize());
    for (auto _ : state) frame->drawRect(frame->getViewSize());
    state.counters["device_pixels"] = double(rect->right) * rect->bottom;
    host.dispatch(effEditClose);
}
BENCHMARK(panelFullRedraw)->Arg(100)->Arg(150)->Arg(200)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
