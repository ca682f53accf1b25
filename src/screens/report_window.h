#pragma once
// What the report window (`Frm_Rapport`, "Listing") shows and what the technician typed in it.
#include <string>

#include "screens/controls.h"

namespace korvane::screens {

struct ReportWindow {
  bool visible = false;
  // The listing: one line per point typed by a search with "Listing" checked, completed by
  // the chamber analysis.
  ListBox List1;
  // The typed fields; multi-line ones hold their lines separated by CR LF.
  std::string Text2;  // maintenance company
  std::string Text3;  // site
  std::string Text4;  // site address
  std::string Text1;  // comments
};

}  // namespace korvane::screens
