// How fast the frame layer and the simulated box run in virtual time: this is what bounds
// the speed of every engine test. Run: cmake -DKORVANE_BENCHMARKS=ON ... && korvane_bench
#include <benchmark/benchmark.h>

#include "link/com_link.h"
#include "link/link_observer.h"
#include "runtime/virtual_runtime.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace {

using namespace korvane;

sim::Loop fullLoop() {
  sim::Loop loop;
  loop.points.resize(128);
  return loop;
}

// Reads the type register of all 128 points of a full loop: 128 frames, about 7.6 s on the
// line with the default 50 ms pause.
void BM_TypeReadOfAFullLoop(benchmark::State& state) {
  for (auto _ : state) {
    runtime::VirtualRuntime rt;
    sim::LoopSimulator box(fullLoop());
    sim::SimulatedPort port(rt, box);
    auto tache = rt.createTimer();
    link::LinkObserver nobody;  // the frame layer alone: no window to tell
    link::ComLink com(rt, port, *tache, nobody);
    com.Ouvrir_Port();
    for (int a = 1; a <= 128; ++a)
      benchmark::DoNotOptimize(com.Envoi_Trame(0x13, a, 0, false, false));
    state.counters["line_s"] = rt.nowMs() / 1000.0;
  }
  state.SetItemsProcessed(state.iterations() * 128);
}
BENCHMARK(BM_TypeReadOfAFullLoop)->Unit(benchmark::kMillisecond);

}  // namespace
