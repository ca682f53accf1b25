#include "reports/demo_loop.h"

namespace korvane::reports {

void simu_ligne(engine::BusState& state) {
  state.Nb_Trouve = engine::kMaxAddresses;
  for (int i = 1; i <= engine::kMaxAddresses; ++i) {
    // A fresh record: nothing of an earlier loop (a category, a temperature) shows through.
    engine::Point& point = state.points[i];
    point = engine::Point{};
    point.Adr_Produit = "DEMO";
    point.Adr_Serie = "XXXXXXXXX";
    point.Adr_Optique = true;
    point.Adr_Taux = static_cast<std::int16_t>(i);
    point.Adr_Verdict = i >= 70   ? "Détecteur à remplacer"
                        : i >= 21 ? "Remplacement à prévoir"
                                  : "Détecteur OK";
  }
}

}  // namespace korvane::reports
