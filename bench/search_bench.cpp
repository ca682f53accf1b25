// A whole search of a full loop, 128 detectors, with the type reading: how long it would take
// on the line (virtual time, split into pauses, waits for the next tick and line time) and
// how long it takes to simulate.
#include <benchmark/benchmark.h>

#include "engine/bus_station.h"
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
    screens::RecordingDialogs dialogs;
    engine::BusStation st(rt, port, dialogs);
    engine::BusState& s = st.state;
    link::ComLink& com = st.com;

    double inSteps = 0;
    st.Timer_Tache->setOnTick([&] {
      const double start = rt.nowMs();
      st.engine.Etape_Bus();
      inSteps += rt.nowMs() - start;
    });
    st.engine.openPort();
    rt.runUntil([&] { return s.Bus_Connecte; }, 60'000);
    rt.runUntil([&] { return s.Etat_Bus == engine::kLinkCheck; }, 60'000);

    const double start = rt.nowMs();
    const std::int64_t pausedBefore = com.pausedMs;
    inSteps = 0;
    st.control.Start_Bus_Cmd_Click();
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
