#pragma once
// The LED sequencer: lights the LEDs of the loop one after another so that each point can be
// found on site, or steps from LED to LED by hand. It never talks to the line: each LED is a
// request to the engine (state 6), posted in the engine's request slot.
//
// A run is a state machine on its own one-second timer (`Tempo21`), not a wait inside a click:
// every click and every engine step runs between its steps.
//
//   Form_Load        the window's initial values: Début 1 (0 with no point found), Fin the
//                    number of points found, everything else as designed
//   Command2_Click   "LANCER": the pause before the start (minutes), the check that points
//                    were found ("Pas de points trouvées"), then passes over Début..Fin: with
//                    "Fixe", each LED on for Durée seconds, then off for pause seconds; with
//                    "Boucle", pass after pass. In manual mode a pass lights Début only.
//                    "ARRETER": the LED lit finishes its step, then the run ends.
//                    Nothing starts while a search or a measurement run is on, and a run
//                    that meets one ends there. LED numbers are loop addresses: a range
//                    stops at 128. A pass that took no time waits a second before the next.
//                    "LANCER" while a stopped run still finishes its LED puts that LED out
//                    first.
//   CMD_AR_Click     manual stepping: 0 the previous LED, 1 the next, wrapping round the
//                    points found; exactly one LED stays lit
//   Check2_Click, Option1_Click, Option2_Click   what the options enable
//   Command1_Click   "FERMER": the run stops and any LED the sequencer lit is put out
//   stop             the run ends at once, with nothing more asked of the engine: F5, F9 and
//                    the bus window's close call it before they put the LEDs out themselves
//   fieldNumber      a typed field's leading decimal number, halves to even, clamped to 16 bits
//
// Fields are read when used: Durée and pause at each LED, Début and Fin at each pass.
//
// An LED request never takes the place of another request waiting for its step (a parameter
// reading, a mode, a baseline): it waits for the slot, a tenth of a second at a time. Only its
// own request, not yet taken, may be replaced, as the engine's one-LED rule allows.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "runtime/runtime.h"

#include "engine/bus_engine.h"
#include "screens/led_window.h"

namespace korvane::engine {

std::int16_t fieldNumber(std::string_view text);

class LedSequencer {
 public:
  LedSequencer(BusEngine& engine, screens::LedWindow& window);
  ~LedSequencer();
  LedSequencer(const LedSequencer&) = delete;
  LedSequencer& operator=(const LedSequencer&) = delete;

  void Form_Load();
  void Command2_Click();
  void CMD_AR_Click(int index);
  void Check2_Click();
  void Option1_Click();
  void Option2_Click();
  void Command1_Click();
  void stop();

  bool running() const { return running_; }

 private:
  void checkFound();
  void startPass();
  void ledStep();
  void endPass();
  void endRun();
  // Runs `then` after `seconds` one-second ticks; 0 or less: at the next turn of the loop.
  void wait(int seconds, std::function<void()> then);
  void requestLed(bool on, int address);
  void postHeld();
  bool ownRequestWaiting() const;
  bool lineBusy() const;

  struct LedRequest {
    bool on = false;
    int address = 0;
  };

  BusEngine& e_;
  screens::LedWindow& w_;
  std::unique_ptr<runtime::Timer> Tempo21;
  std::unique_ptr<runtime::Timer> retry_;  // a held request tries the slot again
  int ticksLeft_ = 0;
  std::function<void()> then_;

  bool running_ = false;
  bool Arret_Led = false;
  bool passWaited_ = false;  // the pass waited a second or more
  int Num_Voyant = 1;
  int led_ = 0;  // the LED of the automatic pass
  int fin_ = 0;
  int stepLed_ = 0;                   // the LED between its switch-on and its switch-off, 0 = none
  bool litSome_ = false;              // an LED was asked on since the window was loaded
  std::optional<LedRequest> held_;    // waiting for the slot
  std::optional<LedRequest> posted_;  // in the slot, as far as we know
};

}  // namespace korvane::engine
