#include "engine/bus_engine.h"

#include <cmath>
#include <utility>

#include "engine/link_views.h"
#include "screens/number_format.h"

namespace korvane::engine {

using screens::formatPattern;
namespace colors = screens::colors;

BusEngine::BusEngine(runtime::Runtime& runtime, BusState& state, link::ComLink& com,
                     runtime::Timer& timerTache, EngineViews views)
    : runtime_(runtime), s_(state), com_(com), timer_(timerTache), v_(views) {
  timer_.setOnTick([this] { Timer_Tache_Timer(); });
}

BusEngine::~BusEngine() {
  timer_.setOnTick(nullptr);
}

bool BusEngine::openPort() {
  s_.Bus_Connecte = false;
  s_.Etat_Bus = kLinkCheck;
  const bool opened = com_.Ouvrir_Port();
  if (opened) s_.Nb_Essais = 3;
  return opened;
}

BusEngine::Work BusEngine::workOf(int state) {
  struct Entry {
    int state;
    Work work;
  };
  static constexpr Entry kWork[] = {
      {kLinkCheck, &BusEngine::linkCheck},
      {kVersion, &BusEngine::versionRequest},
      {kSearch, &BusEngine::search},
      {kSearchEnd, &BusEngine::searchEnd},
      {kReadParameters, &BusEngine::readParameters},
      {kLedCommand, &BusEngine::ledCommand},
      {kMeasureCycle, &BusEngine::measureCycle},
      {kMeasureEnd, &BusEngine::measureEnd},
      {kInterfaceStatus, &BusEngine::interfaceStatus},
      {kBaseline, &BusEngine::baseline},
      {kWriteMode, &BusEngine::writeMode},
      {kBeforeMeasures, &BusEngine::beforeMeasures},
      {kBusMeasures, &BusEngine::busMeasures},
      {kIdle24V, &BusEngine::idle24V},
  };
  for (const Entry& e : kWork) {
    if (e.state == state) return e.work;
  }
  // State 10 has no work of its own: only a button the window keeps hidden asks for it.
  return &BusEngine::unknownState;
}

void BusEngine::Etape_Bus() {
  stepRunning_ = true;
  timer_.setEnabled(false);
  s_.adoptRequest();
  abandonSearchIfLeft();
  v_.bus.Label1.caption = std::to_string(s_.Etat_Bus);

  (this->*workOf(s_.Etat_Bus))();

  timer_.setEnabled(true);
  stepRunning_ = false;
  if (holding_ == 0) runPendingActions();
  if (s_.Fermeture && unloadWindow) unloadWindow();
}

void BusEngine::afterStep(std::function<void()> action) {
  pendingActions_.push_back(std::move(action));
  if (!busy()) runPendingActions();
}

void BusEngine::whenQuiet(std::function<void()> action) {
  pendingActions_.clear();
  quiet_ = std::move(action);
  if (!busy()) runQuiet();
}

// Actions queued while one of them runs (a click during its dialog, say) run after it.
void BusEngine::runPendingActions() {
  ++holding_;
  while (!pendingActions_.empty()) {
    auto action = std::move(pendingActions_.front());
    pendingActions_.erase(pendingActions_.begin());
    action();
  }
  --holding_;
  if (!busy()) runQuiet();
}

void BusEngine::runQuiet() {
  if (!quiet_) return;
  ++holding_;  // no step starts inside it
  std::exchange(quiet_, nullptr)();
  --holding_;
}

// In debug mode the measures window shows how long the run has been going, as of the point
// served last.
void BusEngine::Timer_Tache_Timer() {
  if (holding_ > 0) return;  // a user action runs between steps: the engine waits for it
  if (s_.Mode_Debug) {
    int seconds = s_.Heure_Point.secondsSinceMidnight() - s_.Heure_Debut.secondsSinceMidnight();
    if (seconds < 0) seconds += 24 * 3600;
    v_.measures.Label1.caption = std::to_string(seconds);
  }
  Etape_Bus();
}

void BusEngine::unknownState() {
  s_.Etat_Bus = kLinkCheck;
}

// State 1. Nb_Essais is reloaded only on connection, on disconnection and when the port
// opens, so the third failure since then shows the link as down, however many checks
// succeeded in between.
void BusEngine::linkCheck() {
  if (com_.Envoi_Octet_Echo(link::kCmdLinkCheck, link::kCmdLinkCheck)) {
    s_.Etat_Bus = s_.Bus_Connecte ? kInterfaceStatus : kVersion;
    return;
  }
  s_.Nb_Essais -= 1;
  if (s_.Nb_Essais == 0) {
    v_.bus.Cc_Lbl.visible = false;
    showLinkDown(v_.bus);
    s_.Bus_Connecte = false;
    s_.Nb_Essais = 3;
  }
}

// State 2. Versions below 3.0 are not boxes we can drive: ask again at the next step.
void BusEngine::versionRequest() {
  if (!com_.Envoi_Octet(link::kCmdVersion, 1)) return;
  const std::uint8_t v = com_.rx(0);
  if (v < 0x30 || s_.Bus_Connecte) return;
  const int high = v / 16;
  const int low = v - 16 * high;
  v_.bus.Connection_Lbl.caption = "Connecté ";
  v_.bus.Version_Lbl.visible = true;
  v_.bus.Version_Lbl.caption =
      "(Ver." + formatPattern(high, "0") + "." + formatPattern(low, "0") + ")";
  v_.bus.Emul_Frm.backColor = colors::kGreen;
  s_.Bus_Connecte = true;
  s_.Nb_Essais = 3;
  s_.Etat_Bus = kInterfaceStatus;
}

// State 4.
void BusEngine::searchEnd() {
  s_.Etat_Retour = 0;  // a search ended here is over: no status poll brings it back
  v_.bus.Cur_Adr_Lbl.caption = screens::formatStr(s_.Nb_Trouve) + " Adresses trouvées";
  v_.bus.Start_Bus_Cmd.visible = true;
  timer_.setInterval(100);
  s_.Etat_Bus = kLinkCheck;
  v_.bus.Current_Operation_Lbl.caption = "Attente Commande";
  s_.Bus_Occupe = false;
  if (s_.Nb_Trouve > 0) v_.bus.Adr_Status_Cde.visible = true;
  recordVisit(VisitKind::kSearch);
}

// State 9: the short-circuit indicator, then back to whoever asked for the poll.
void BusEngine::interfaceStatus() {
  if (!com_.Envoi_Octet(link::kCmdStatus, 1)) {
    s_.Etat_Retour = 0;
    s_.Etat_Bus = kLinkCheck;
    return;
  }
  v_.bus.Cc_Lbl.visible = (com_.rx(0) & link::kStatusShortCircuit) != 0;
  if (s_.Etat_Retour != 0) {
    s_.Etat_Bus = s_.Etat_Retour;
    s_.Etat_Retour = 0;
  } else {
    s_.Etat_Bus = kBeforeMeasures;
  }
}

void BusEngine::beforeMeasures() {
  s_.Etat_Bus = kBusMeasures;
}

bool BusEngine::measure(std::uint8_t selector, std::uint8_t& value) {
  if (!com_.Envoi_Octet(link::kCmdMeasure, 1) || !com_.Envoi_Octet(selector, 1)) return false;
  value = com_.rx(0);
  return true;
}

// State 18. A measure whose answer is missing keeps the text it had: showing the byte of
// some earlier answer would be a reading the box never gave.
void BusEngine::busMeasures() {
  com_.Tempo(50);
  std::uint8_t b = 0;
  if (measure(link::kMeasureCurrent, b)) {
    const double milliamps = std::floor(b * 5 / 8415.0 * 100000.0) / 100.0;
    v_.bus.Lbl_Courant_Bus.caption = formatPattern(milliamps, "#00.00") + " mA";
  }
  if (measure(link::kMeasureVoltageOut, b)) {
    v_.bus.Lbl_Tension_Dep.caption = formatPattern(b * 29 / 255.0, "#00.00") + " V";
  }
  if (measure(link::kMeasureVoltageReturn, b)) {
    v_.bus.Lbl_Tension_Ret.caption = formatPattern(b * 29 / 255.0, "#00.00") + " V";
  }
  if (s_.Etat_Suite != 0) {
    s_.request(s_.Etat_Suite);
    s_.Etat_Suite = 0;
  } else {
    s_.Etat_Bus = kLinkCheck;
  }
  com_.Tempo(50);
}

// State 33: the 24 V equipment has no search; the state waits for the next request.
void BusEngine::idle24V() {
  v_.bus.Cur_Adr_Lbl.caption = "Position = " + formatPattern(s_.Adr_Cour, "000");
}

}  // namespace korvane::engine
