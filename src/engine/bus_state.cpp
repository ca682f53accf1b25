#include "engine/bus_state.h"

namespace korvane::engine {

bool isKnownState(int state) {
  return (state >= 1 && state <= 11) || state == 16 || state == 17 || state == 18 || state == 33;
}

void BusState::adoptRequest() {
  if (Etat_Demande != kNone) {
    Etat_Bus = Etat_Demande;
    Etat_Demande = kNone;
  }
}

}  // namespace korvane::engine
