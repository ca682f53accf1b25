#include "engine/param_control.h"

namespace korvane::engine {

namespace {
constexpr std::uint8_t kHeatOff = 1;
constexpr std::uint8_t kOpticalOff = 2;
}  // namespace

void ParamControl::Led_On_Cde_Click() {
  e_.state().Cde_Led = 1;
  e_.state().request(kLedCommand);
}

void ParamControl::Led_Off_Cde_Click() {
  e_.state().Cde_Led = 0;
  e_.state().request(kLedCommand);
}

void ParamControl::Command1_Click() {
  e_.state().request(kBaseline);
}

void ParamControl::Timer1_Timer() {
  e_.state().request(kReadParameters);
}

void ParamControl::Opto_Check_Click() {
  screens::ParamWindow& w = e_.views().param;
  sensorClick(w.Opto_Check, w.Thermo_Check, kOpticalOff);
}

void ParamControl::Thermo_Check_Click() {
  screens::ParamWindow& w = e_.views().param;
  sensorClick(w.Thermo_Check, w.Opto_Check, kHeatOff);
}

// A multi-sensor detector keeps at least one sensor: unticking the last one is refused.
void ParamControl::sensorClick(screens::CheckBox& box, const screens::CheckBox& other,
                               std::uint8_t offBit) {
  BusState& s = e_.state();
  if (s.Maj_Mode) return;
  if (!box.checked && !other.checked) {
    e_.views().dialogs.messageBox("Il doit y avoir au moins un capteur activé !",
                                  "Sélection Capteur", screens::Icon::kInformation);
    box.checked = true;
  }
  if (box.checked) {
    s.Mode_Detect = static_cast<std::uint8_t>(s.Mode_Detect & ~offBit);
  } else {
    s.Mode_Detect = static_cast<std::uint8_t>(s.Mode_Detect | offBit);
  }
  s.request(kWriteMode);
}

}  // namespace korvane::engine
