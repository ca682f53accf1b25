#include "reports/demo_loop.h"

namespace korvane::reports {

namespace {

constexpr const char* kProduct = "DEMO";
constexpr const char* kSerial = "XXXXXXXXX";

}  // namespace

void simu_ligne(engine::BusState& state) {
  state.Nb_Trouve = engine::kMaxAddresses;
  for (int i = 1; i <= engine::kMaxAddresses; ++i) {
    // A fresh record: nothing of an earlier loop (a category, a temperature) shows through.
    engine::Point& point = state.points[i];
    point = engine::Point{};
    point.Adr_Produit = kProduct;
    point.Adr_Serie = kSerial;
    point.Adr_Optique = true;
    point.Adr_Taux = static_cast<std::int16_t>(i);
    point.Adr_Taux_Exact = i;
    point.Adr_Verdict = i >= 70   ? "Détecteur à remplacer"
                        : i >= 21 ? "Remplacement à prévoir"
                                  : "Détecteur OK";
  }
}

bool isDemonstrationLoop(const engine::BusState& state) {
  if (state.Nb_Trouve != engine::kMaxAddresses) return false;
  for (int i = 1; i <= engine::kMaxAddresses; ++i) {
    if (state.points[i].Adr_Produit != kProduct || state.points[i].Adr_Serie != kSerial)
      return false;
  }
  return true;
}

}  // namespace korvane::reports
