#include "screens/bus_window.h"

#include <iterator>

#include "screens/number_format.h"

namespace korvane::screens {

std::string boxCaption(int address, const std::string& text) {
  return formatPattern(address, "000") + "\n" + text;
}

namespace {

struct LegendEntry {
  const char* caption;
  Rgb color;
};

// Index: what the cycle colours a box for.
constexpr LegendEntry kLegend[8] = {
    {"Veille", colors::kGreen},           {"Défaut com", colors::kYellow},
    {"Défaut du point", colors::kOrange}, {"point en Alarme", colors::kRed},
    {"Position sécurité", {128, 0, 0}},   {"Position attente", {255, 128, 255}},
    {"Pas de position", {192, 0, 192}},   {"Position attente et  sécurité", {0, 0, 255}},
};

}  // namespace

BusWindow::BusWindow() {
  for (std::size_t i = 0; i < std::size(kLegend); ++i) {
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
