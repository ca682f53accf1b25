// State 3: the search of the connected points, one address per step, then the reading of
// each point's type, one point per step.
//
//   give address (4)  the next point in line takes address Adr_Cour
//   line check (1)    an address stayed silent: does the line go on past it?
//   type reading (5)  read the type of point Adr_Cour and fill its fields
#include <algorithm>
#include <cmath>

#include "engine/bus_engine.h"
#include "screens/number_format.h"

namespace korvane::engine {

using screens::formatPattern;

void BusEngine::search() {
  v_.bus.Cur_Adr_Lbl.caption = "Position = " + formatPattern(s_.Adr_Cour, "000");
  switch (s_.Etape_Scan) {
    case kGiveAddress:
      giveAddress();
      break;
    case kLineCheck:
      lineCheck();
      break;
    case kReadType:
      readType();
      break;
    default:
      break;
  }
}

// The "Court-Circuit" option: the address typed in Combo1, rounded, is the last point of the
// search, and that point keeps its isolator open. Nothing typed (or 0) means no limit.
std::optional<double> BusEngine::courtCircuitAddress() const {
  if (!v_.bus.Check4.checked) return std::nullopt;
  const double typed = screens::numericValue(v_.bus.Combo1.text);
  if (typed == 0) return std::nullopt;
  return screens::roundHalfEven(std::clamp(typed, -1e6, 1e6));
}

// The grid ends at the product's limit, whatever was typed.
int BusEngine::searchLimit(int productLimit) const {
  const auto cut = courtCircuitAddress();
  if (!cut) return productLimit;
  return static_cast<int>(std::clamp(*cut, 1.0, static_cast<double>(productLimit)));
}

void BusEngine::giveAddress() {
  // The point at Adr_Cour took its address: count it, and at the limit go and read the types
  // (through one interface status poll).
  auto tookAddress = [this](int limit) {
    v_.bus.adrBox(s_.Adr_Cour).backColor = screens::colors::kFoundBlue;
    s_.Nb_Trouve += 1;
    if (s_.Adr_Cour >= limit) {
      s_.Etape_Scan = kReadType;
      v_.bus.Current_Operation_Lbl.caption = "Lecture type Adresses";
      s_.Adr_Cour = 1;
      s_.Etat_Retour = kSearch;
      s_.Etat_Bus = kInterfaceStatus;
    } else {
      s_.Adr_Cour += 1;
    }
  };

  const bool kapreProduct = s_.Produit_Courant == kProductKapre;
  if (kapreProduct) {
    if (!com_.Envoi_Trame(link::kCmdKapreSearch, s_.Adr_Cour, 1, true, false)) {
      s_.Etat_Bus = kSearchEnd;
      return;
    }
    if (com_.rx(0) != 0) {
      s_.Adr_Cour = 1;
      s_.Etape_Scan = kReadType;
    } else {
      tookAddress(searchLimit(kKapreAddresses));
    }
  }

  com_.Tempo(50);

  if (v_.bus.SS_Det_12V.checked && !kapreProduct) {
    const int limit = searchLimit(kMaxAddresses);
    // A number typed above 128 opens no isolator: no point sits at that address.
    const auto cut = courtCircuitAddress();
    const std::uint8_t p3 = (cut && *cut <= s_.Adr_Cour) ? 0 : 1;
    if (!com_.Envoi_Trame(link::kCmdSearch + s_.Code_Protocole, s_.Adr_Cour, p3, true, false)) {
      s_.Etat_Bus = kSearchEnd;
      return;
    }
    if (com_.rx(0) != 0) {
      s_.Etape_Scan = kLineCheck;
    } else {
      tookAddress(limit);
    }
  }
}

void BusEngine::lineCheck() {
  if (!com_.Envoi_Trame(link::kCmdSearch + s_.Code_Protocole, link::kLineCheckAddress, s_.Adr_Cour,
                        true, false)) {
    s_.Etat_Bus = kSearchEnd;
    return;
  }
  if (com_.rx(0) == 0) {
    s_.Etape_Scan = kGiveAddress;
  } else if (s_.Nb_Trouve > 0) {
    s_.Etape_Scan = kReadType;
    v_.bus.Current_Operation_Lbl.caption = "Lecture type Adresses";
    s_.Adr_Cour = 1;
  } else {
    s_.Etat_Bus = kSearchEnd;
  }
}

// The reading ends at the first point that does not answer its type.
void BusEngine::readType() {
  if (!com_.Envoi_Trame(link::reg::kType, s_.Adr_Cour, 0, false, false) || com_.rx(0) != 0) {
    s_.Etat_Bus = kSearchEnd;
    return;
  }
  const std::uint8_t code = com_.rx(1);
  decodeType(s_.Adr_Cour, code);
  // Without re-addressing, the points found are the points that answer.
  if (s_.Nb_A_Lire != 0) s_.Nb_Trouve += 1;
  if (v_.bus.Check2.checked) v_.report.List1.add(s_.points[s_.Adr_Cour].Adr_Ligne);
  v_.bus.Cur_Adr_Lbl.caption = "Position = " + formatPattern(s_.Adr_Cour, "000") +
                               " Type adresse =" + screens::formatStr(code);
  const int last = s_.Nb_A_Lire != 0 ? s_.Nb_A_Lire : s_.Nb_Trouve;
  if (s_.Adr_Cour < last) {
    s_.Adr_Cour += 1;
  } else {
    s_.Etat_Bus = kSearchEnd;
  }
}

// A request that takes the engine out of the search (a rearm that failed, the LED buttons, a
// status poll that failed on the way to the type reading) abandons it. The search would
// otherwise keep Bus_Occupe set, and with it the grid deaf to clicks, until the next search;
// and the status poll it had asked for on its way to the type reading would bring it back,
// as a search nobody runs, at the next poll.
void BusEngine::abandonSearchIfLeft() {
  if (!s_.Bus_Occupe || s_.Boucle_Mesures) return;
  switch (s_.Etat_Bus) {
    case kSearch:
    case kSearchEnd:
    case kInterfaceStatus:
    case kIdle24V:
      return;
    default:
      s_.Bus_Occupe = false;
      s_.Etat_Retour = 0;
      v_.bus.Current_Operation_Lbl.caption = "Attente Commande";
  }
}

}  // namespace korvane::engine
