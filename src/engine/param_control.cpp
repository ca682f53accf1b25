#include "engine/param_control.h"

namespace korvane::engine {

ParamControl::ParamControl(BusEngine& engine) : e_(engine), Timer1(engine.runtime().createTimer()) {
  Timer1->setOnTick([this] { Timer1_Timer(); });
}

void ParamControl::Led_On_Cde_Click() {
  e_.state().Cde_Led = 1;
  e_.state().Adr_Led_Cde = e_.state().Adr_Cde;
  e_.state().request(kLedCommand);
}

void ParamControl::Led_Off_Cde_Click() {
  e_.state().Cde_Led = 0;
  e_.state().Adr_Led_Cde = e_.state().Adr_Cde;
  e_.state().request(kLedCommand);
}

// The acquisition reads the chamber 45 times: inside a measurement run it would eat the run's
// readings of that point and spoil its verdict, so it waits for the run to end.
void ParamControl::Command1_Click() {
  if (e_.state().Boucle_Mesures) return;
  e_.state().request(kBaseline);
}

// A reading every period. A search or a measurement run is never broken into, and another
// request waiting for its step (an LED, a mode) is never replaced: the reading just skips that
// period.
void ParamControl::Timer1_Timer() {
  const BusState& s = e_.state();
  if (s.Bus_Occupe || s.Boucle_Mesures || s.Etat_Demande != kNone) return;
  e_.state().request(kReadParameters);
}

void ParamControl::Check1_Click() {
  screens::ParamWindow& w = e_.views().param;
  if (!w.Check1.checked) {
    Timer1->setEnabled(false);
    return;
  }
  w.HScroll1.visible = true;
  w.Label7 = {std::to_string(w.HScroll1.value), true};
  Timer1->setInterval(w.HScroll1.value * 1000);
  Timer1->setEnabled(true);
}

// Moving the bar starts the re-reading at the new period, "Boucle" ticked or not.
void ParamControl::HScroll1_Change() {
  screens::ParamWindow& w = e_.views().param;
  w.Label7.caption = std::to_string(w.HScroll1.value);
  Timer1->setEnabled(false);
  Timer1->setInterval(w.HScroll1.value * 1000);
  Timer1->setEnabled(true);
}

void ParamControl::Form_MouseMove() {
  e_.views().param.busyPointer = false;
}

// The window goes with its timer; opened again, it starts without its re-reading.
void ParamControl::Close_Cmd_Click() {
  screens::ParamWindow& w = e_.views().param;
  Timer1->setEnabled(false);
  w.visible = false;
  w.Check1.checked = false;
  w.HScroll1 = screens::ScrollBar{1, 1, 10, false};
  w.Label7 = {"", false};
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
