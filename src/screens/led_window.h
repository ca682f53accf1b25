#pragma once
// What the LED sequencer window (`Frm_Commande_Led`, "Allumage automatique") shows: the fields
// the technician types (read by the sequencer when it needs them), its options, the progress
// text and the run button's caption.
#include <array>

#include "screens/controls.h"

namespace korvane::screens {

struct LedWindow {
  std::string caption = "Allumage automatique";
  bool visible = false;

  // Frame1 "Pause avant démarrage (mn)"
  TextBox Text1{"0"};  // Label1 "Pause"
  // Frame2 "Allumage voyant"
  TextBox Text5{"0"};  // Label6 "Début"
  TextBox Text7{"0"};  // Label8 "Fin"
  CheckBox Check2{"Automatique", true};
  OptionButton Option1{"Fixe", true};
  OptionButton Option2{"Clignotant", false, false};
  // The blinking fields and their labels (Label2 "Nb", Label3 "Pause (ms)"): enabled together.
  TextBox Text2{"0", false};
  TextBox Text3{"0", false};
  bool blinkLabelsEnabled = false;
  // Frame3 "Durée allumage"
  TextBox Text4{"0"};  // Label4 "Durée (s)"
  TextBox Text6{"0"};  // Label7 "pause (s)"
  // Frame4 "Avancement"
  Label Label5;
  CheckBox Check1{"Boucle", false};
  Button Command2{"LANCER"};
  // Frame5 "Manuel": previous and next LED.
  std::array<Button, 2> CMD_AR{Button{"<", true, false}, Button{">", true, false}};
  Button Command1{"FERMER"};
};

}  // namespace korvane::screens
