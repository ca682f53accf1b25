#pragma once
// What the main bus window (`Bus_Frm`) shows, as written by the frame layer and the engine.

#include "screens/controls.h"

namespace korvane::screens {

struct BusWindow {
  // "Emulateur de Bus" frame: the link look.
  Frame Emul_Frm{"Emulateur de Bus", true, colors::kYellow};
  Label Connection_Lbl{"Déconnecté"};
  Label Version_Lbl{"(Version)"};
  Label Cc_Lbl{"COURT-CIRCUIT", false};

  // "Status" frame.
  Label Current_Operation_Lbl{"Attente Commande"};
  Label Cur_Adr_Lbl{"", false};
  Label Label1{"", false};

  // Frame-sent and byte-received indicators, each lit for at most 75 ms.
  Shape Send_Shp{false, colors::kRed};
  Shape Receive_Shp{false, colors::kGreen};
};

}  // namespace korvane::screens
