#pragma once
// What the report window (`Frm_Rapport`) shows.
#include "screens/controls.h"

namespace korvane::screens {

struct ReportWindow {
  // The listing: one line per point typed by a search with "Listing" checked.
  ListBox List1;
};

}  // namespace korvane::screens
