#pragma once
// What the buttons and check boxes of the parameter window ask of the engine: every action is
// a request, the window never talks to the point itself.
//
//   Led_On_Cde_Click / Led_Off_Cde_Click   the point's LED (state 6)
//   Command1_Click                         the baseline acquisition (state 11), not during a run
//   Opto_Check_Click / Thermo_Check_Click  the sensors of a multi-sensor detector (state 16)
//   Timer1_Timer                           the periodic re-reading (state 5)
#include "engine/bus_engine.h"

namespace korvane::engine {

class ParamControl {
 public:
  explicit ParamControl(BusEngine& engine) : e_(engine) {}

  void Led_On_Cde_Click();
  void Led_Off_Cde_Click();
  void Command1_Click();
  // After the box changed. Nothing happens while the engine itself sets the boxes.
  void Opto_Check_Click();
  void Thermo_Check_Click();
  void Timer1_Timer();

 private:
  void sensorClick(screens::CheckBox& box, const screens::CheckBox& other, std::uint8_t offBit);

  BusEngine& e_;
};

}  // namespace korvane::engine
