#pragma once
// The bus engine: one step per tick of `Timer_Tache`, each a small piece of work chosen by
// `Etat_Bus`.
//
//   Etape_Bus        one step: timer off, adopt the pending request, show the state number,
//                    run the state's work, timer on, unload the window if it asked to close
//   openPort         the engine's side of opening the port (link look, state 1, retries)
//   afterStep        runs a user action between steps, holding the engine meanwhile
//   whenQuiet        runs the bus window's close once nothing is on the stack
//   putLedsOut       between steps: every LED the tool may have left lit goes out
//   Lire_Serie       reads a point's serial number
//   recordVisit      hands the records of a search or a run that ends to onVisit
//   Timer_Tache_Timer  the tick: the debug clock of the measures window, then one step
//
// Where the states live: the idle cycle (link check, version, interface status, bus
// measures) in bus_engine.cpp; the search in search.cpp and type_reading.cpp; the parameter
// reading in parameters.cpp; the measurement cycle and the chamber analysis in
// measure_cycle.cpp and chamber.cpp; the LED and mode commands in point_commands.cpp.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/bus_state.h"
#include "engine/visit.h"
#include "link/com_link.h"
#include "runtime/runtime.h"
#include "screens/bus_window.h"
#include "screens/dialogs.h"
#include "screens/measures_window.h"
#include "screens/param_window.h"
#include "screens/report_window.h"

namespace korvane::engine {

struct EngineViews {
  screens::BusWindow& bus;
  screens::ParamWindow& param;
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
  void Timer_Tache_Timer();
  bool stepRunning() const { return stepRunning_; }
  // A step or a user action of afterStep is on the stack.
  bool busy() const { return stepRunning_ || holding_ > 0; }

  // The one way in for a user action that exchanges frames (the search start) or opens a
  // modal box (a save dialog, a warning, the port question). A click can arrive while a
  // frame waits for its answer: run there, the action would pull the point table from under
  // the step, and a modal box would keep the answer's time-out running until the frame is
  // reported failed although the point answered. So the action runs at once only when
  // neither a step nor another action is on the stack; otherwise it is queued and runs, in
  // the order given, when the step (or action) ends. While an action runs, the engine's
  // ticks start no step: the next step waits for it. Running after the step also lets a stop
  // request outlast the requests the step makes itself.
  void afterStep(std::function<void()> action);

  // The last part of closing the bus window: it talks to the loop, so it waits until no step
  // and no user action is on the stack (at once when none is). The user actions queued until
  // now are dropped: they belonged to the window. Those of the windows that outlive it (the
  // report window's saves) run as usual afterwards.
  void whenQuiet(std::function<void()> action);

  // Sends the switch-off to every address of ledsMaybeLit, until one goes unanswered (the
  // rest are left for the next try). Never inside a step: run it as a user action.
  void putLedsOut();

  // Reads the four serial bytes of point `address` into Serie_Octet / Serie_Num and gives
  // the serial text, "???" when unreadable.
  std::string Lire_Serie(std::uint8_t address);

  // Called at the end of a step while Fermeture is set: the window closes.
  std::function<void()> unloadWindow;

  // The records of a search that ended (kSearch) or of a run that stopped (kAnalysis), dated
  // now and signed with the report window's company and site; nothing when no point has a
  // record. Called from within the step: whoever keeps the history opens no box there (a
  // message goes through afterStep).
  std::function<void(const Visit&)> onVisit;
  void recordVisit(VisitKind kind);

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

  // Parameter reading (parameters.cpp).
  void readParameters();  // 5
  bool Affiche_Param(int row, std::uint8_t param, const std::string& label, std::uint8_t option,
                     const std::string& text);
  void showMode(int row, const std::string& label, std::uint8_t b);
  bool readSerialBytes(std::uint8_t address, std::uint8_t base);
  std::string formatSerial();

  // Point commands (point_commands.cpp).
  void ledCommand();  // 6
  enum class LedAnswer { kLost, kRefused, kDone };
  LedAnswer switchLed(std::uint8_t address, std::uint8_t value);
  void writeMode();         // 16
  bool pointStatus(int p);  // status mode of the cycle; true when its LED is to be lit
  void kapreStatus(int p);
  bool isKapre(int p) const;

  // The measurement cycle and the chamber analysis (measure_cycle.cpp, chamber.cpp).
  void measureCycle();  // 7
  void measureEnd();    // 8
  void baseline();      // 11
  bool analysisStep(int p);
  void chamberReading(int p);
  void readTemperature(int p);
  void evaluate(int p);
  void noVerdict(int p);
  void nextCyclePoint();

  // One measure of the box (0x07 then the selector); false when an answer is missing.
  bool measure(std::uint8_t selector, std::uint8_t& value);

  runtime::Runtime& runtime_;
  BusState& s_;
  link::ComLink& com_;
  runtime::Timer& timer_;
  EngineViews v_;
  void runPendingActions();
  void runQuiet();

  bool stepRunning_ = false;
  int holding_ = 0;  // user actions of afterStep on the stack
  std::vector<std::function<void()>> pendingActions_;
  std::function<void()> quiet_;
};

}  // namespace korvane::engine
