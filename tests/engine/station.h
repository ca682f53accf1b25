#pragma once
// A workbench for engine tests: the simulated box and loop on the serial line, the frame
// layer, the engine and the screen models, all on the virtual clock.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/bus_station.h"
#include "runtime/virtual_runtime.h"
#include "sim/loop.h"
#include "sim/loop_simulator.h"
#include "sim/simulated_port.h"

namespace korvane::engine::testing {

using sim::loopOf;
using Bytes = std::vector<std::uint8_t>;

inline sim::Loop exampleLoop(const std::string& name) {
  return sim::loadLoop(std::string(KORVANE_LOOPS_DIR) + "/" + name + ".json");
}

// The simulated side: the virtual clock, the box and its loop, the line, and message boxes
// recorded instead of shown.
struct SimulatedLine {
  explicit SimulatedLine(sim::Loop loop) : box(std::move(loop)), port(rt, box) {}
  runtime::VirtualRuntime rt;
  sim::LoopSimulator box;
  sim::SimulatedPort port;
  screens::RecordingDialogs dialogs;
};

struct Station : SimulatedLine, BusStation {
  explicit Station(sim::Loop loop)
      : SimulatedLine(std::move(loop)), BusStation(rt, port, dialogs) {}

  // Opens the bus window and lets the idle cycle run until the box is connected. What the test
  // set on the window before stands for the settings file.
  bool connect() {
    const screens::BusWindow settings = bus;
    return openWindow(state.Produit_Courant, [&] { bus = settings; }) &&
           rt.runUntil([this] { return state.Bus_Connecte; }, 60'000);
  }

  // Closes the bus window and runs until its close is over.
  bool close() {
    closeWindow();
    return rt.runUntil([this] { return !closing(); }, 60'000);
  }

  // F5, then runs until the search has ended; false if it did not within `limitMs`.
  bool search(std::int64_t limitMs = 600'000) {
    control.Form_KeyDown(kKeyF5);
    return rt.runUntil([this] { return !state.Bus_Occupe; }, limitMs);
  }

  bool connectAndSearch() { return connect() && search(); }

  // Connected: ticks "Analyse Chambre" (which searches again), then F9.
  bool startAnalysis() {
    bus.Check3.checked = true;
    control.Check3_Click();
    if (!rt.runUntil([this] { return !state.Bus_Occupe; }, 600'000)) return false;
    return control.Form_KeyDown(kKeyF9);
  }

  // The same, then runs until every point is judged, recording the progress texts.
  bool analyse(std::int64_t limitMs = 3'600'000) {
    return startAnalysis() && rt.runUntil(
                                  [this] {
                                    const std::string& now = bus.Current_Operation_Lbl.caption;
                                    if (progress.empty() || progress.back() != now)
                                      progress.push_back(now);
                                    return now == "Analyse chambre Terminée.";
                                  },
                                  limitMs);
  }

  // Posts a request and runs until the step that adopted it is over.
  bool runRequest(std::int16_t request) {
    state.request(request);
    return rt.runUntil([this] { return state.Etat_Demande == kNone; }, 600'000);
  }

  // A click on box `a`, and the parameter reading it asks for.
  bool showPoint(int a) {
    control.Adr_Box_Click(a);
    return rt.runUntil([this] { return state.Etat_Demande == kNone; }, 600'000);
  }

  bool stopCycle() {
    control.Form_KeyDown(kKeyF9);
    return rt.runUntil([this] { return !state.Boucle_Mesures; }, 60'000);
  }

  // The frames the PC sent with this header and P1, as (P1, P2, P3).
  std::vector<Bytes> framesSent(std::uint8_t header, std::uint8_t p1) const {
    const Bytes& sent = port.sent();
    std::vector<Bytes> frames;
    for (std::size_t i = 0; i + 3 < sent.size(); ++i) {
      if (sent[i] == header && sent[i + 1] == p1) {
        frames.push_back({sent[i + 1], sent[i + 2], sent[i + 3]});
        i += 3;
      }
    }
    return frames;
  }

  bool sentInARow(const Bytes& bytes) const {
    return std::search(port.sent().begin(), port.sent().end(), bytes.begin(), bytes.end()) !=
           port.sent().end();
  }

  // From now on, the state each step ran (what Label1 shows).
  void recordStates() {
    Timer_Tache->setOnTick([this] {
      engine.Etape_Bus();
      states.push_back(std::stoi(bus.Label1.caption));
    });
  }

  std::vector<int> states;
  std::vector<std::string> progress;
};

}  // namespace korvane::engine::testing
