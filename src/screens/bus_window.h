#pragma once
// What the main bus window (`Bus_Frm`) shows, as written by the frame layer and the engine,
// and the options the user sets on it, which the engine reads.
#include <array>
#include <string>

#include "screens/controls.h"

namespace korvane::screens {

inline constexpr int kGridAddresses = 128;

// The legend of the cycle's colours, by index: what the cycle colours a box for.
struct LegendEntry {
  const char* caption;
  Rgb color;
};
inline constexpr std::array<LegendEntry, 8> kLegend = {{
    {"Veille", colors::kGreen},
    {"Défaut com", colors::kYellow},
    {"Défaut du point", colors::kOrange},
    {"point en Alarme", colors::kRed},
    {"Position sécurité", {128, 0, 0}},
    {"Position attente", {255, 128, 255}},
    {"Pas de position", {192, 0, 192}},
    {"Position attente et  sécurité", {0, 0, 255}},
}};

// The caption of an address box: the address as "000", a line feed, then `text`.
std::string boxCaption(int address, const std::string& text);

struct BusWindow {
  BusWindow();

  // "Emulateur de Bus" frame: the link look.
  Frame Emul_Frm{"Emulateur de Bus", true, colors::kYellow};
  Label Connection_Lbl{"Déconnecté"};
  Label Version_Lbl{"(Version)"};
  Label Cc_Lbl{"COURT-CIRCUIT", false};
  std::string Emul_Frm_Tip;  // the frame's tooltip: why the port failed, while it is to blame
  // Under the frame: "Adaptateur lent : NN ms par octet" while the adapter holds the echoes,
  // and how to make it quick in its tooltip.
  Label Lent_Lbl{"", false};
  std::string Lent_Lbl_Tip;

  // "Status" frame.
  Label Current_Operation_Lbl{"Attente Commande"};
  Label Cur_Adr_Lbl{"", false};
  Label Label1{"", false};  // engine state number, shown in debug mode

  // Bus measures ("Départ BUS", "Retour BUS", "Courant BUS").
  Label Lbl_Tension_Dep{"00.0 V"};
  Label Lbl_Tension_Ret{"00.0 V"};
  Label Lbl_Courant_Bus{"00.0 mA"};

  // Frame-sent and byte-received indicators, each lit for at most 75 ms.
  Shape Send_Shp{false, colors::kRed};
  Shape Receive_Shp{false, colors::kGreen};

  // Run control.
  Button Start_Bus_Cmd{"RECHERCHER ADRESSES (F5)"};
  Button Adr_Status_Cde{"ETAT DES ADRESSES (F9)", false};
  CheckBox Check2{"Listing"};
  CheckBox Check3{"Analyse Chambre"};
  CheckBox Check4{"Court-Circuit"};
  ComboBox Combo1;
  CheckBox Check5{"Reprog. Adr.", true};

  // "Type" menu: the kind of equipment a search addresses. The defaults are those of a
  // fresh configuration file (the 12 V entry checked).
  MenuItem SS_Det_12V{"Détecteur/DM/MO-LS - 12V", true};
  MenuItem SS_Per_24V{"Détecteur/DM/DAV - 24V"};
  MenuItem SS_KAPRE{"KAPRE"};
  MenuItem SS_VOSK4{"VOSK4"};
  Frame Phase_Frm{"Protocole"};
  // "Phase 1" (index 1) and "Phase 2" (index 2); index 0 unused.
  std::array<OptionButton, 3> Phase_Option{OptionButton{}, OptionButton{"Phase 1", true},
                                           OptionButton{"Phase 2"}};

  // The protocol-type group, hidden and never shown: its design values decide the protocol
  // of every search ("Adr." checked, "Ph2" selected).
  std::array<CheckBox, 2> Ch_Type{CheckBox{"Adr.", true, false}, CheckBox{"Conv.", false, false}};
  std::array<OptionButton, 5> Option_Ph{OptionButton{"Ph1"}, OptionButton{"Ph2", true},
                                        OptionButton{"12V"}, OptionButton{"24V"}, OptionButton{}};

  // The address grid, indexed by address 1..128 (index 0 unused). Boxes past the product's
  // number of addresses exist in the model but are never shown.
  std::array<Label, kGridAddresses + 1> Adr_Box;
  std::array<Label, kGridAddresses + 1> Etat_Chambre;
  std::array<Shape, kGridAddresses + 1> Led_Shp;

  // The legend of the cycle's colours, shown while a cycle runs.
  std::array<Label, 8> Lgd_Lbl;
  std::array<Shape, 8> Lgd_Shp;

  // Checked access for addresses that come from the line or from counters: anything outside
  // 1..128 lands on the unused slot 0.
  Label& adrBox(int a) { return Adr_Box[slot(a)]; }
  Label& etatChambre(int a) { return Etat_Chambre[slot(a)]; }
  Shape& ledShp(int a) { return Led_Shp[slot(a)]; }

 private:
  static std::size_t slot(int a) {
    return a >= 1 && a <= kGridAddresses ? static_cast<std::size_t>(a) : 0;
  }
};

}  // namespace korvane::screens
