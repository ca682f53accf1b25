#include "screens/bus_window.h"

#include "screens/number_format.h"

namespace korvane::screens {

std::string boxCaption(int address, const std::string& text) {
  return formatPattern(address, "000") + "\n" + text;
}

BusWindow::BusWindow() {
  for (std::size_t i = 0; i < kLegend.size(); ++i) {
    Lgd_Lbl[i] = Label{kLegend[i].caption, false};
    Lgd_Shp[i] = Shape{false, kLegend[i].color};
  }
  for (int a = 1; a <= kGridAddresses; ++a) {
    Adr_Box[a] = Label{boxCaption(a, "???"), true, colors::kGrey};
    Etat_Chambre[a] = Label{"", false, colors::kButtonFace};
    Led_Shp[a] = Shape{false, colors::kRed};
  }
}

}  // namespace korvane::screens
