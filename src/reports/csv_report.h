#pragma once
// The analysed loop as a table for a French spreadsheet ("Exporter CSV"): one header row, then
// one row per point found, 1 to Nb_Trouve (no point found, the header alone: a table of the
// demonstration loop would pass for a visit).
//
//   Adresse;Produit;N° de série;Catégorie;Température (°C);Encrassement (%);Verdict;
//   Encrassement précédent (%);Échéance prévue          from the visit history (follow_up.h):
//                                                       the previous visit's percentage, and
//                                                       the date due; empty without history
//
// UTF-8 behind a byte-order mark, which is how a spreadsheet knows it is not Windows-1252;
// ';' between fields and a decimal comma ("20,5"), as a French spreadsheet expects; CR LF
// after every row. A field holding ';', '"', CR or LF is quoted, its quotes doubled.
// The temperature, percentage and verdict cells are empty where the HTML rows' are: a point
// the analysis did not judge or measure has none. The percentage is the exact value the
// verdict was judged on, to one decimal.
#include <string>

#include "engine/bus_state.h"
#include "reports/follow_up.h"

namespace korvane::reports {

std::string csvReport(const engine::BusState& state, const FollowUps& followUps = {});

}  // namespace korvane::reports
