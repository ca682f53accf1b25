#pragma once
// What the buttons, check boxes and keys of the bus window start. The Qt window only calls
// these; they set the engine's variables and the screen models and post requests.
//
//   Start_Bus_Cmd_Click   the address search (F5): clear the table, rearm, request state 3
//   Check3_Click          "Analyse Chambre" toggled: button caption, "Listing", new search
//   Adr_Status_Cde_Click  start or stop the measurement cycle (F9)
//   Adr_Box_Click         open the parameter window on a point (state 5)
//   Form_KeyDown          F5 and F9
//
// A search and a run own the loop: their start stops the LED sequencer and puts out every LED
// the tool lit before it does anything else. Every one of these runs between engine steps.
#include <functional>

#include "engine/bus_engine.h"
#include "engine/led_sequencer.h"

namespace korvane::engine {

inline constexpr int kKeyF5 = 116;
inline constexpr int kKeyF9 = 120;

class RunControl {
 public:
  RunControl(BusEngine& engine, LedSequencer& leds) : e_(engine), leds_(leds) {}

  void Start_Bus_Cmd_Click();
  void Check3_Click();  // after the check box changed
  void Adr_Status_Cde_Click();
  void Adr_Box_Click(int address);
  // Returns whether the key was one of the window's function keys and was acted on.
  bool Form_KeyDown(int keyCode);

  // Saves Port_Com and Protocole to the profile file; the search start calls it each time it
  // sets the protocol. Wired by the application.
  std::function<void()> Ecrire_Port_Protocole;

 private:
  void startSearch();
  void clearPoint(int address);
  void chooseProtocol();
  void startOrStopCycle();
  void showPoint(int address);
  void freeTheLoop();

  BusEngine& e_;
  LedSequencer& leds_;
  bool starting_ = false;
};

}  // namespace korvane::engine
