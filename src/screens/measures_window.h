#pragma once
// What the measures window (`Frm_Mesures`, "Mesures") shows: the service log and counters.

#include "screens/controls.h"

namespace korvane::screens {

struct MeasuresWindow {
  bool visible = false;
  ListBox List1;
  Label Label1;  // elapsed seconds of the run
  Label Label2;  // "NB COM : " and the frame count
  Label Label3;  // "NB ERREUR COM : " and the failure count
};

}  // namespace korvane::screens
