#pragma once
// `simu_ligne`: a demonstration loop of 128 optical detectors, one for each chamber result
// from 1 % to 128 %, so that a report written before any search shows every verdict and every
// bar. It replaces the point table and `Nb_Trouve`, which every window then sees.
//
// isDemonstrationLoop tells a table that holds it (a report written before any search, and
// every report after it until a search), so that no page passes it off as a visit.
#include "engine/bus_state.h"

namespace korvane::reports {

void simu_ligne(engine::BusState& state);
bool isDemonstrationLoop(const engine::BusState& state);

}  // namespace korvane::reports
