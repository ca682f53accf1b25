#include "engine/visit.h"

#include <algorithm>

namespace korvane::engine {

namespace {

VisitPoint identity(const BusState& state, int address) {
  const Point& p = state.points[address];
  VisitPoint v;
  v.address = address;
  v.serial = p.Adr_Serie;
  v.product = p.Adr_Produit;
  v.category = p.Adr_Categorie;
  return v;
}

int found(const BusState& state) {
  return std::clamp<int>(state.Nb_Trouve, 0, kMaxAddresses);
}

}  // namespace

bool followsDetector(const std::string& serial) {
  return !serial.empty() && serial != "???";
}

Visit searchVisit(const BusState& state) {
  Visit visit;
  visit.kind = VisitKind::kSearch;
  for (int a = 1; a <= found(state); ++a) {
    if (followsDetector(state.points[a].Adr_Serie)) visit.points.push_back(identity(state, a));
  }
  return visit;
}

Visit analysisVisit(const BusState& state) {
  Visit visit;
  visit.kind = VisitKind::kAnalysis;
  for (int a = 1; a <= found(state); ++a) {
    const Point& p = state.points[a];
    if (!hasVerdict(p) || !followsDetector(p.Adr_Serie)) continue;
    VisitPoint v = identity(state, a);
    v.initial = p.Adr_Val_Initiale;
    v.alarm = p.Adr_Seuil_Alarme;
    v.mean = p.Adr_Moyenne;
    v.percent = p.Adr_Taux_Exact;
    v.verdict = p.Adr_Verdict;
    if (hasTemperature(p)) v.temperature = p.Adr_Temperature;
    visit.points.push_back(std::move(v));
  }
  return visit;
}

}  // namespace korvane::engine
