// A whole search of a full loop, 128 detectors, with the type reading: how long it would take
// on the line (virtual time, split into pauses, waits for the next tick and line time) and
// how long it takes to simulate.
#include <benchmark/benchmark.h>

#include "engine/bus_engine.h"
#include "engine/run_control.h"
#include "runtime/virtual_runtime.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace {

using namespace korvane;

void BM_SearchOfAFullLoop(benchmark::State& state) {
  for (auto _ : state) {
    sim::Loop loop;
    loop.points.resize(128);  // KEV11x detectors
    runtime::VirtualRuntime rt;
    sim::LoopSimulator box(loop);
    sim::SimulatedPort port(rt, box);
    auto tache = rt.createTimer();
    screens::BusWindow bus;
    screens::MeasuresWindow measures;
    screens::ReportWindow report;
    screens::RecordingDialogs dialogs;
    engine::BusState s;
    link::ComLink com(rt, port, *tache, {bus, measures, dialogs});
    screens::ParamWindow param;
    engine::BusEngine eng(rt, s, com, *tache, {bus, param, report, measures, dialogs});
    engine::RunControl control(eng);

    double inSteps = 0;
    tache->setOnTick([&] {
      const double start = rt.nowMs();
      eng.Etape_Bus();
      inSteps += rt.nowMs() - start;
    });
    eng.openPort();
    rt.runUntil([&] { return s.Bus_Connecte; }, 60'000);
    rt.runUntil([&] { return s.Etat_Bus == engine::kLinkCheck; }, 60'000);

    const double start = rt.nowMs();
    const std::int64_t pausedBefore = com.pausedMs;
    inSteps = 0;
    control.Start_Bus_Cmd_Click();
    const double startMs = rt.nowMs() - start;  // the rearm, run by the click itself
    rt.runUntil([&] { return !s.Bus_Occupe; }, 3'600'000);
    const double total = rt.nowMs() - start;
    const double paused = static_cast<double>(com.pausedMs - pausedBefore);

    state.counters["found"] = s.Nb_Trouve;
    state.counters["total_s"] = total / 1000;
    state.counters["pauses_s"] = paused / 1000;
    state.counters["ticks_s"] = (total - startMs - inSteps) / 1000;
    state.counters["line_s"] = (startMs + inSteps - paused) / 1000;
  }
}
BENCHMARK(BM_SearchOfAFullLoop)->Unit(benchmark::kMillisecond);

}  // namespace
