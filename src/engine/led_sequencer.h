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
//                    Nothing starts while a search or a measurement run is on.
//   CMD_AR_Click     manual stepping: 0 the previous LED, 1 the next, wrapping round the
//                    points found; exactly one LED stays lit
//   Check2_Click, Option1_Click, Option2_Click   what the options enable
//   Command1_Click   "FERMER": the run stops and any LED the sequencer lit is put out
//   fieldNumber      a typed field's leading decimal number, halves to even, clamped to 16 bits
//
// Fields are read when used: Durée and pause at each LED, Début and Fin at each pass.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

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

  bool running() const;

 private:
  struct Run;
  BusEngine& e_;
  screens::LedWindow& w_;
  std::unique_ptr<Run> run_;
};

}  // namespace korvane::engine
