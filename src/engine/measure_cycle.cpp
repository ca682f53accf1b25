// The measurement cycle started by the status button: state 7 serves one point per step,
// alternating with the bus measures of state 18, until the button stops it (state 8). With
// "Analyse Chambre" it is the chamber analysis (chamber.cpp); without, the supervision of the
// loop (point_commands.cpp).
#include "engine/bus_engine.h"

namespace korvane::engine {

void BusEngine::measureCycle() {
  const int p = s_.Adr_Cycle;
  if (isKapre(p)) {
    kapreStatus(p);
    nextCyclePoint();
    return;
  }
  s_.Heure_Point = runtime_.timeOfDay();
  bool measures = true;
  bool ledForAlarm = false;
  if (v_.bus.Check3.checked) {
    measures = analysisStep(p);
  } else {
    ledForAlarm = pointStatus(p);
  }
  if (measures) {
    // The LED of a point newly in alarm is lit first; state 6 then goes on to the bus
    // measures and back to the cycle, so no step of the cycle is lost.
    s_.request(ledForAlarm ? kLedCommand : kBusMeasures);
    s_.Etat_Suite = kMeasureCycle;
  }
  nextCyclePoint();
}

void BusEngine::nextCyclePoint() {
  if (s_.Adr_Cycle >= s_.Nb_Trouve) {
    s_.Adr_Cycle = 1;
  } else {
    s_.Adr_Cycle += 1;
  }
}

// State 8: the end of a run. The listing gets each point's percentage.
void BusEngine::measureEnd() {
  screens::BusWindow& bus = v_.bus;
  s_.points[s_.Adr_Cycle].Nb_Mesures = 0;
  bus.Adr_Status_Cde.caption =
      bus.Check3.checked ? "ANALYSE CHAMBRE   (F9)" : "ETAT DES ADRESSES (F9)";
  bus.Start_Bus_Cmd.visible = true;
  auto& listing = v_.report.List1.lines;
  for (int i = 1; i <= s_.Nb_Trouve; ++i) {
    bus.adrBox(i).backColor = screens::colors::kFoundBlue;
    if (!bus.Check2.checked) continue;
    const Point& point = s_.points[i];
    // A detector that could not be judged has no percentage to give.
    const std::string taux = point.Adr_Taux < 0 ? "???" : std::to_string(point.Adr_Taux);
    std::string line = point.Adr_Ligne + " >> " + taux + " %";
    const auto at = static_cast<std::size_t>(i - 1);
    if (at < listing.size()) {
      listing[at] = std::move(line);
    } else {
      listing.push_back(std::move(line));
    }
  }
  s_.Etat_Bus = kLinkCheck;
  bus.Current_Operation_Lbl.caption = "Attente Commande";
  s_.Bus_Occupe = false;
  s_.Boucle_Mesures = false;
  s_.Adr_Led_Alarme = 0;
  v_.param.Command1.enabled = true;
  // The cycle's own hand-over would otherwise bring it back at the next bus measures.
  s_.Etat_Suite = 0;
  if (s_.Nb_Trouve != 0) bus.Adr_Status_Cde.visible = true;
  recordVisit(VisitKind::kAnalysis);
}

void BusEngine::recordVisit(VisitKind kind) {
  if (!onVisit) return;
  Visit visit = kind == VisitKind::kSearch ? searchVisit(s_) : analysisVisit(s_);
  if (visit.points.empty()) return;
  visit.date = runtime_.date();
  visit.time = runtime_.timeOfDay();
  visit.company = v_.report.Text2;
  visit.site = v_.report.Text3;
  onVisit(visit);
}

}  // namespace korvane::engine
