#include "engine/run_control.h"

#include <algorithm>

#include "screens/number_format.h"

namespace korvane::engine {

namespace colors = screens::colors;

void RunControl::Start_Bus_Cmd_Click() {
  e_.afterStep([this] { startSearch(); });
}

void RunControl::Check3_Click() {
  screens::BusWindow& bus = e_.views().bus;
  // A run keeps the kind it started with. Its search and its new caption would leave the run
  // going behind a button that offers to start one, with no way to stop it.
  if (e_.state().Boucle_Mesures) {
    bus.Check3.checked = !bus.Check3.checked;
    return;
  }
  if (bus.Check3.checked) {
    bus.Adr_Status_Cde.caption = "ANALYSE CHAMBRE   (F9)";
    bus.Check2.checked = true;
  } else {
    bus.Adr_Status_Cde.caption = "ETAT DES ADRESSES (F9)";
  }
  Start_Bus_Cmd_Click();
}

bool RunControl::Form_KeyDown(int keyCode) {
  const screens::BusWindow& bus = e_.views().bus;
  if (keyCode == kKeyF5 && bus.Start_Bus_Cmd.visible) {
    Start_Bus_Cmd_Click();
    return true;
  }
  if (keyCode == kKeyF9 && bus.Adr_Status_Cde.visible) {
    Adr_Status_Cde_Click();
    return true;
  }
  return false;
}

void RunControl::Adr_Status_Cde_Click() {
  // After the running step: the step's own requests would otherwise overwrite a stop.
  e_.afterStep([this] { startOrStopCycle(); });
}

void RunControl::startOrStopCycle() {
  screens::BusWindow& bus = e_.views().bus;
  // The click waited for its turn; a search started meanwhile has taken the button away, and
  // a run started under it would have no button to stop it.
  if (!bus.Adr_Status_Cde.visible) return;
  BusState& s = e_.state();
  runtime::Timer& timer = e_.timerTache();
  timer.setEnabled(false);
  const std::string& caption = bus.Adr_Status_Cde.caption;
  if (caption != "ARRÊT MESURES" && caption != "ARRÊT SIMULATION") {
    freeTheLoop();
    s.Heure_Debut = e_.runtime().timeOfDay();
    e_.com().Nb_Com = 0;
    e_.com().Nb_Erreur_Com = 0;
    for (std::size_t i = 0; i < bus.Lgd_Lbl.size(); ++i) {
      bus.Lgd_Lbl[i].visible = true;
      bus.Lgd_Shp[i].visible = true;
    }
    for (int a = 1; a <= kMaxAddresses; ++a) {
      Point& p = s.points[a];
      p.Nb_Mesures = 0;
      p.Nb_Temp = 0;
      p.Adr_Temperature = 0;
      p.Analyse_Faite = false;
      p.Debut_Fenetre = 32;
      p.Fin_Fenetre = 0;
      p.Alarme_Vue = false;
      // A run starts from scratch: a run stopped early must not list the last one's results.
      // Points without a chamber keep the 0 a search gives them, as their listing lines
      // always showed.
      p.Adr_Taux = p.Adr_Optique ? kNoVerdict : 0;
      p.Adr_Taux_Exact = p.Adr_Taux;
      p.Adr_Verdict.clear();
      p.Adr_Moyenne = 0;
      bus.etatChambre(a).caption.clear();
      bus.etatChambre(a).backColor = colors::kWindowBackground;
    }
    if (s.Mode_Debug) {
      e_.views().measures.visible = true;
      e_.views().measures.List1.clear();
    }
    bus.Start_Bus_Cmd.visible = false;
    if (bus.Check3.checked) {
      bus.Adr_Status_Cde.caption = "ARRÊT MESURES";
    } else {
      bus.Adr_Status_Cde.caption = "ARRÊT SIMULATION";
      bus.Current_Operation_Lbl.caption = "SIMULATION GESTION BUS PAR ECS";
    }
    s.Adr_Cycle = 1;
    s.request(kMeasureCycle);
    s.Bus_Occupe = true;
    s.Boucle_Mesures = true;
    s.Adr_Led_Allumee = 0;
    s.Adr_Led_Alarme = 0;
    e_.views().param.Command1.enabled = false;  // no baseline acquisition during a run
  } else {
    timer.setInterval(100);
    for (int a = 0; a <= kMaxAddresses; ++a) {
      s.points[a].Nb_Mesures = 0;
      s.points[a].Analyse_Faite = false;
    }
    s.request(kMeasureEnd);
    s.Etat_Suite = 0;  // the cycle's hand-over must not outlive the stop
    for (std::size_t i = 0; i < bus.Lgd_Lbl.size(); ++i) {
      bus.Lgd_Lbl[i].visible = false;
      bus.Lgd_Shp[i].visible = false;
    }
  }
  timer.setEnabled(true);
}

// A click on a box while a search or a cycle runs does nothing. It names the point the window
// shows, so it waits for the step under way: a reading of the last point would otherwise lay
// that point's rows under the new one's name.
void RunControl::Adr_Box_Click(int address) {
  e_.afterStep([this, address] { showPoint(address); });
}

void RunControl::showPoint(int address) {
  BusState& s = e_.state();
  if (s.Bus_Occupe || !PointTable::isAddress(address)) return;
  screens::ParamWindow& w = e_.views().param;
  for (int k = 0; k < screens::kParamRows; ++k) {
    w.Param_Lbl[k].visible = false;
    w.Value_Lbl[k].visible = false;
  }
  w.Param_Txt.visible = false;
  w.Param_Ok_Cde.visible = false;
  w.Status_Frame.caption = "Position " + screens::formatPattern(address, "000");
  w.Led_On_Cde.visible = false;
  w.Led_Off_Cde.visible = false;
  if (s.Adr_Cde != address) {
    // The baseline's references are the shown point's: until its reading, it has none.
    s.Val_Initiale = s.Seuil_Alarme = s.Seuil_Defaut = 0;
  }
  s.Adr_Cde = static_cast<std::uint8_t>(address);
  s.Maj_Mode = false;
  s.request(kReadParameters);
  w.visible = true;
}

void RunControl::clearPoint(int a) {
  screens::BusWindow& bus = e_.views().bus;
  Point& p = e_.state().points[a];
  bus.adrBox(a).backColor = colors::kGrey;
  bus.adrBox(a).caption = screens::boxCaption(a, "???");
  bus.ledShp(a).visible = false;
  bus.etatChambre(a).visible = false;
  bus.etatChambre(a).backColor = colors::kButtonFace;
  p.Adr_Type = 0;
  p.Adr_Ligne.clear();
  p.Adr_Code_Type = 0;
  p.Adr_Produit.clear();
  p.Adr_Serie.clear();
  // Category and heat element too: only some types write them, and a point of another type
  // at this address in the last search must not lend them its own.
  p.Adr_Categorie.clear();
  p.Adr_Thermo = false;
  p.Adr_Optique = false;
  p.Adr_Seuil_Defaut = 0;
  p.Adr_Seuil_Alarme = 0;
  p.Adr_Val_Initiale = 0;
  p.Nb_Mesures = 0;
  p.Adr_Moyenne = 0;
  p.Adr_Taux = 0;
  p.Adr_Taux_Exact = 0;
  p.Nb_Temp = 0;
  p.Adr_Verdict.clear();
}

// The LED sequencer stops and the LEDs go out before the search or the run takes the loop: its
// requests would cut them short, and its LED would stay lit for good.
void RunControl::freeTheLoop() {
  leds_.stop();
  e_.putLedsOut();
}

// The hidden protocol-type group decides; with its design values every search runs in
// phase 2.
void RunControl::chooseProtocol() {
  screens::BusWindow& bus = e_.views().bus;
  BusState& s = e_.state();
  auto set = [&](std::uint8_t protocole, std::uint8_t code) {
    s.Protocole = protocole;
    s.Code_Protocole = code;
    if (Ecrire_Port_Protocole) Ecrire_Port_Protocole();
  };
  if (bus.Ch_Type[0].checked) {
    if (bus.Option_Ph[0].selected) set(1, 1);
    if (bus.Option_Ph[1].selected) set(2, 8);
  }
  if (bus.Ch_Type[1].checked) {
    if (bus.Option_Ph[2].selected || bus.Option_Ph[3].selected) set(2, 1);
  }
}

void RunControl::startSearch() {
  // The rearm waits three seconds with the window alive: a second click meanwhile is the
  // same search. A run started while this click waited its turn owns the loop until stopped.
  if (starting_ || e_.state().Boucle_Mesures) return;
  starting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{starting_};

  screens::BusWindow& bus = e_.views().bus;
  BusState& s = e_.state();
  runtime::Timer& timer = e_.timerTache();

  bus.Cc_Lbl.visible = false;
  bus.Adr_Status_Cde.visible = false;
  timer.setEnabled(false);
  freeTheLoop();
  if (bus.Check2.checked) e_.views().report.List1.clear();
  s.Optique_Trouve = false;
  s.Thermique_Trouve = false;
  s.Etat_Retour = 0;  // a search cut short on its way to the type reading must not come back
  const int addresses = std::clamp<int>(s.Nb_Adr, 0, kMaxAddresses);
  for (int a = 1; a <= addresses; ++a)
    clearPoint(a);
  // With the table, its count: a rearm that fails (the adapter pulled out meanwhile) must not
  // leave the last search's points counted over an empty table.
  s.Nb_Trouve = 0;

  chooseProtocol();

  if (!e_.com().Rearmement()) {
    bus.Start_Bus_Cmd.visible = true;
    s.request(kLinkCheck);
    return;
  }

  s.Adr_Cour = 1;
  // The "Type" entry decides what the search does and how many points a reading without
  // re-addressing tries. The menu keeps one entry checked, but the profile file may check
  // several: the later entries win.
  struct Choice {
    bool checked;
    std::int16_t state;
    int points;
  };
  std::int16_t first = kLinkCheck;
  int toRead = 0;
  for (const Choice& c : {Choice{bus.SS_Per_24V.checked, kIdle24V, 32},
                          Choice{bus.SS_Det_12V.checked, kSearch, kMaxAddresses},
                          Choice{bus.SS_KAPRE.checked, kSearch, kKapreAddresses}}) {
    if (c.checked) {
      first = c.state;
      toRead = c.points;
    }
  }
  s.request(first);

  if (bus.Check5.checked) {
    s.Etape_Scan = kGiveAddress;
    s.Nb_A_Lire = 0;
  } else {
    s.Adr_Cour = 1;
    s.Etape_Scan = kReadType;
    s.Nb_A_Lire = static_cast<std::uint8_t>(std::min(toRead, addresses));
  }

  bus.Cur_Adr_Lbl.caption = "Position = 001";
  bus.Cur_Adr_Lbl.visible = true;
  bus.Current_Operation_Lbl.caption = "Recherches Adresses raccordées";
  for (int a = 1; a <= addresses; ++a)
    bus.adrBox(a).backColor = colors::kLightGrey;

  s.Bus_Occupe = true;
  s.Adr_Led_Allumee = 0;
  s.Voie_Module = 0;
  timer.setEnabled(true);
}

}  // namespace korvane::engine
