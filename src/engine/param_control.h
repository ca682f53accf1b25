#pragma once
// What the buttons and check boxes of the parameter window ask of the engine: every action is
// a request, the window never talks to the point itself.
//
//   Led_On_Cde_Click / Led_Off_Cde_Click   the point's LED (state 6)
//   Command1_Click                         the baseline acquisition (state 11), not during a run
//   Opto_Check_Click / Thermo_Check_Click  the sensors of a multi-sensor detector (state 16)
//   Check1_Click / HScroll1_Change         "Boucle" and its period, 1 to 10 s: `Timer1` asks
//                                          for the parameters again every period (state 5),
//                                          but never during a search or a measurement run,
//                                          and never in place of another pending request
//   Timer1_Timer                           one period of it
//   Form_MouseMove                         the arrow pointer back
//   Close_Cmd_Click                        "FERMER": the window goes, its re-reading with it
#include <memory>

#include "engine/bus_engine.h"

namespace korvane::engine {

class ParamControl {
 public:
  explicit ParamControl(BusEngine& engine);

  void Led_On_Cde_Click();
  void Led_Off_Cde_Click();
  void Command1_Click();
  // After the box changed. Nothing happens while the engine itself sets the boxes.
  void Opto_Check_Click();
  void Thermo_Check_Click();
  void Check1_Click();
  void HScroll1_Change();
  void Timer1_Timer();
  void Form_MouseMove();
  void Close_Cmd_Click();

 private:
  void sensorClick(screens::CheckBox& box, const screens::CheckBox& other, std::uint8_t offBit);

  BusEngine& e_;
  std::unique_ptr<runtime::Timer> Timer1;
};

}  // namespace korvane::engine
