#pragma once
// The engine's shared variables, and the request rule through which windows drive it.
//
// A window never runs the engine: it writes the operands of what it wants (Adr_Cde, Cde_Led,
// Mode_Detect) and posts the state number with request(). The engine adopts the request at the
// start of its next step. One request is held at a time; a later one replaces an earlier one.

#include <array>
#include <bitset>
#include <cstdint>
#include <string>

#include "engine/point_table.h"
#include "runtime/runtime.h"

namespace korvane::engine {

// The engine's states. A number without work (any other, and 10) falls back to kLinkCheck at
// the next step.
enum State : std::int16_t {
  kNone = 0,
  kLinkCheck = 1,
  kVersion = 2,
  kSearch = 3,
  kSearchEnd = 4,
  kReadParameters = 5,
  kLedCommand = 6,
  kMeasureCycle = 7,
  kMeasureEnd = 8,
  kInterfaceStatus = 9,
  kHiddenButton = 10,
  kBaseline = 11,
  kWriteMode = 16,
  kBeforeMeasures = 17,
  kBusMeasures = 18,
  kIdle24V = 33,
};

// Sub-steps of the search state.
enum ScanStep : std::uint8_t {
  kLineCheck = 1,
  kGiveAddress = 4,
  kReadType = 5,
};

inline const std::string kProductDI = "DI";
inline const std::string kProductKapre = "KAPRE";

struct BusState {
  PointTable points;

  // Product and size of the grid.
  std::string Produit_Courant = kProductDI;
  std::int16_t Nb_Adr = kMaxAddresses;

  // Engine state and requests.
  std::int16_t Etat_Bus = kNone;
  std::int16_t Etat_Demande = kNone;
  std::uint8_t Etat_Retour = 0;  // state to resume after the status poll
  std::int16_t Etat_Suite = 0;   // state the bus measures hand back to

  // Link.
  bool Bus_Connecte = false;
  std::uint8_t Nb_Essais = 3;

  // Search and type reading.
  std::uint8_t Adr_Cour = 1;
  std::uint8_t Etape_Scan = kGiveAddress;
  std::uint8_t Nb_Trouve = 0;
  std::uint8_t Voie_Module = 0;
  // A type reading started without re-addressing has no count of found points: it reads up
  // to this many addresses instead, counting in Nb_Trouve the points that answer. 0 = the
  // reading covers 1..Nb_Trouve.
  std::uint8_t Nb_A_Lire = 0;
  bool Bus_Occupe = false;
  bool Optique_Trouve = false;
  bool Thermique_Trouve = false;
  std::array<std::uint8_t, 4> Serie_Octet{};
  std::int32_t Serie_Num = 0;
  std::uint8_t Protocole = 1;
  std::uint8_t Code_Protocole = 1;

  // Single-point commands. Adr_Cde is the point of the parameter window; an LED command of the
  // windows (Cde_Led at Adr_Led_Cde) has an address of its own, so the LED sequencer never
  // turns the parameter window onto another point.
  std::uint8_t Adr_Cde = 0;
  std::uint8_t Cde_Led = 0;
  std::uint8_t Adr_Led_Cde = 0;
  std::uint8_t Adr_Led_Allumee = 0;
  // The point in alarm whose LED the supervision cycle lights at the next state 6; 0 = none.
  // Apart from Adr_Cde, so that an alarm never turns the parameter window onto another point.
  std::uint8_t Adr_Led_Alarme = 0;
  // Every address whose LED the tool may have left lit: a switch-on sent and no switch-off
  // answered since. Adr_Led_Allumee alone forgets a lit LED when the switch-off that should
  // have come before the next switch-on is lost on the line.
  std::bitset<kMaxAddresses + 1> ledsMaybeLit;
  std::uint8_t Mode_Detect = 0;
  bool Maj_Mode = false;
  std::uint8_t Val_Initiale = 0;
  std::uint8_t Seuil_Alarme = 0;
  std::uint8_t Seuil_Defaut = 0;
  std::uint8_t Niveau_Chambre = 0;

  // Measurement runs.
  bool Boucle_Mesures = false;
  std::uint8_t Adr_Cycle = 1;
  runtime::TimeOfDay Heure_Debut;
  runtime::TimeOfDay Heure_Point;

  // Options.
  bool Mode_Debug = false;
  bool Aff_Led = false;  // the parameter window always shows its LED buttons

  bool Fermeture = false;

  // Posts a request: taken at the start of the next step, replacing any earlier one.
  void request(std::int16_t state) { Etat_Demande = state; }

  // The start of every step: a pending request becomes the state.
  void adoptRequest();
};

}  // namespace korvane::engine
