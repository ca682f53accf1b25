#include "engine/param_control.h"

namespace korvane::engine {

void ParamControl::Led_On_Cde_Click() {
  e_.state().Cde_Led = 1;
  e_.state().request(kLedCommand);
}

void ParamControl::Led_Off_Cde_Click() {
  e_.state().Cde_Led = 0;
  e_.state().request(kLedCommand);
}

// The acquisition reads the chamber 45 times: inside a measurement run it would eat the run's
// readings of that point and spoil its verdict, so it waits for the run to end.
void ParamControl::Command1_Click() {
  if (e_.state().Boucle_Mesures) return;
  e_.state().request(kBaseline);
}

void ParamControl::Timer1_Timer() {
  e_.state().request(kReadParameters);
}

void ParamControl::Opto_Check_Click() {
  screens::ParamWindow& w = e_.views().param;
  sensorClick(w.Opto_Check, w.Thermo_Check, link::kModeOpticalOff);
}

void ParamControl::Thermo_Check_Click() {
  screens::ParamWindow& w = e_.views().param;
  sensorClick(w.Thermo_Check, w.Opto_Check, link::kModeHeatOff);
}

// A multi-sensor detector keeps at least one sensor: unticking the last one is refused. The
// refusal is a message box, so the whole action runs between steps, never inside a frame's
// wait.
void ParamControl::sensorClick(screens::CheckBox& box, const screens::CheckBox& other,
                               std::uint8_t offBit) {
  if (e_.state().Maj_Mode) return;
  e_.afterStep([this, &box, &other, offBit] {
    BusState& s = e_.state();
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
  });
}

}  // namespace korvane::engine
