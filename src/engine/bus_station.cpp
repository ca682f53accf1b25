#include "engine/bus_station.h"

namespace korvane::engine {

bool BusStation::openWindow(const std::string& product, const std::function<void()>& loadSettings) {
  if (closing_) return false;
  windowOpen_ = true;
  // A window loaded afresh shows its design values, whatever the last one showed.
  bus = screens::BusWindow();
  state.Produit_Courant = product;
  state.Nb_Adr = product == kProductKapre ? kKapreAddresses : kMaxAddresses;
  state.Fermeture = false;
  com.Port_Com = 1;
  state.Nb_Trouve = 0;
  state.Nb_Essais = 3;
  // What the last window left running or asked for ends with it: a request, the state the bus
  // measures or the status poll were to hand back to, a search, a run, an alarm's LED.
  state.Etat_Demande = kNone;
  state.Etat_Suite = 0;
  state.Etat_Retour = 0;
  state.Bus_Occupe = false;
  state.Boucle_Mesures = false;
  state.Adr_Led_Alarme = 0;
  param.Command1.enabled = true;  // a run closed with its window had taken the baseline away
  if (loadSettings) loadSettings();
  Timer_Tache->setOpen(true);
  return engine.openPort();
}

void BusStation::closeWindow() {
  if (!windowOpen_) return;
  windowOpen_ = false;
  closing_ = true;
  const bool running = state.Boucle_Mesures;
  state.Fermeture = true;
  Timer_Tache->setOpen(false);
  com.abandonExchanges();
  // Their buttons are requests to the engine, which stands still until the bus window opens
  // again: windows whose buttons do nothing have no business staying up.
  leds.stop();
  led.visible = false;
  paramControl.Close_Cmd_Click();
  engine.whenQuiet([this] {
    // The technician is leaving: the LEDs go out (a box that does not answer costs at most one
    // switch-off's wait), then the line is let go.
    com.resumeExchanges();
    engine.putLedsOut();
    com.closePort();
    closing_ = false;
  });
  // A run closed with its window has stopped all the same: what it judged is kept. After the
  // close is set going, so that what the history has to say outlives the window's actions.
  if (running) engine.recordVisit(VisitKind::kAnalysis);
}

}  // namespace korvane::engine
