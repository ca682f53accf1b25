#include "engine/bus_state.h"

namespace korvane::engine {

void BusState::adoptRequest() {
  if (Etat_Demande != kNone) {
    Etat_Bus = Etat_Demande;
    Etat_Demande = kNone;
  }
}

}  // namespace korvane::engine
