#pragma once
// The bus engine: one step per tick of `Timer_Tache`, each a small piece of work chosen by
// `Etat_Bus`.
//
//   Etape_Bus        one step: timer off, adopt the pending request, show the state number,
//                    run the state's work, timer on, unload the window if it asked to close
//   openPort         the engine's side of opening the port (link look, state 1, retries)
//   afterStep        runs a user action now, or at the end of the running step
//   Lire_Serie       reads a point's serial number
//
// States of the idle cycle (link check, version, interface status, bus measures) live in
// bus_engine.cpp; the search and its type reading in search.cpp and type_reading.cpp.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/bus_state.h"
#include "link/com_link.h"
#include "runtime/runtime.h"
#include "screens/bus_window.h"
#include "screens/dialogs.h"
#include "screens/measures_window.h"
#include "screens/report_window.h"

namespace korvane::engine {

struct EngineViews {
  screens::BusWindow& bus;
  screens::ReportWindow& report;
  screens::MeasuresWindow& measures;
  screens::Dialogs& dialogs;
};

class BusEngine {
 public:
  // Takes over the ticks of `timerTache` (the same timer the frame layer pauses).
  BusEngine(runtime::Runtime& runtime, BusState& state, link::ComLink& com,
            runtime::Timer& timerTache, EngineViews views);
  ~BusEngine();
  BusEngine(const BusEngine&) = delete;
  BusEngine& operator=(const BusEngine&) = delete;

  // Opens port `Port_Com` with the disconnected look; on success the idle cycle starts at the
  // next tick.
  bool openPort();

  void Etape_Bus();
  bool stepRunning() const { return stepRunning_; }

  // A user action that exchanges frames itself (the search start) must not run inside a
  // step's wait, where it would pull the point table from under the step: it runs at once
  // when no step runs, else when the running step ends. One action is held; a later one
  // replaces it.
  void afterStep(std::function<void()> action);

  // Reads the four serial bytes of point `address` into Serie_Octet / Serie_Num and gives
  // the serial text, "???" when unreadable.
  std::string Lire_Serie(std::uint8_t address);

  // Called at the end of a step while Fermeture is set: the window closes.
  std::function<void()> unloadWindow;

  BusState& state() { return s_; }
  link::ComLink& com() { return com_; }
  runtime::Timer& timerTache() { return timer_; }
  runtime::Runtime& runtime() { return runtime_; }
  const EngineViews& views() const { return v_; }

 private:
  using Work = void (BusEngine::*)();
  static Work workOf(int state);

  // The idle cycle.
  void linkCheck();        // 1
  void versionRequest();   // 2
  void searchEnd();        // 4
  void interfaceStatus();  // 9
  void beforeMeasures();   // 17
  void busMeasures();      // 18
  void idle24V();          // 33
  void unknownState();

  // The search (search.cpp).
  void search();  // 3
  void giveAddress();
  void lineCheck();
  void readType();
  std::optional<double> courtCircuitAddress() const;
  int searchLimit(int productLimit) const;
  void abandonSearchIfLeft();

  // Type decoding (type_reading.cpp).
  void decodeType(std::uint8_t address, std::uint8_t code);
  void readDetectionMode(std::uint8_t address);
  void readThresholds(std::uint8_t address);
  bool readRegister(std::uint8_t reg, std::uint8_t address, std::uint8_t& value);

  // One measure of the box (0x07 then the selector); false when an answer is missing.
  bool measure(std::uint8_t selector, std::uint8_t& value);

  runtime::Runtime& runtime_;
  BusState& s_;
  link::ComLink& com_;
  runtime::Timer& timer_;
  EngineViews v_;
  bool stepRunning_ = false;
  std::function<void()> pendingAction_;
};

}  // namespace korvane::engine
