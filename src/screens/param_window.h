#pragma once
// What the parameter window (`Frm_Parametres`, "Paramètres") shows for the point chosen in
// the grid: one row per item read, the family picture, the sensor check boxes, the LED
// buttons and the chamber panel of the baseline acquisition.
#include <array>
#include <string>
#include <vector>

#include "screens/controls.h"

namespace korvane::screens {

inline constexpr int kParamRows = 17;
inline constexpr int kNarrowWidth = 5100;  // twips
inline constexpr int kWideWidth = 10170;

// Family pictures (resource numbers): the window shows the one loaded last.
enum Picture : int {
  kNoPicture = 0,
  kHeatPicture = 104,
  kZunPicture = 105,
  kKevPicture = 106,
  kFlamePicture = 107,
  kModulePicture = 108,
};

// The detector's past visits, from the visit history: shown for a point with a readable serial
// number, drawn by the window from these texts and figures.
struct HistoryRow {
  std::string date;  // "06/12/2026"
  std::string percent;
  std::string verdict;
  std::string temperature;  // empty when not measured
  friend bool operator==(const HistoryRow&, const HistoryRow&) = default;
};

struct HistoryPanel {
  bool visible = false;
  std::string serial;            // whose visits these are
  std::vector<HistoryRow> rows;  // the newest first
  // The plot: (days since the first visit, percentage), the oldest first; the trend line
  // from the first visit to the date due, when there is one (days, percentage at each end).
  std::vector<std::pair<double, double>> points;
  std::vector<std::pair<double, double>> trend;
  std::string firstDate;
  std::string lastDate;
  std::string due;  // "Prochaine échéance : …"
  std::string dueTip;
  friend bool operator==(const HistoryPanel&, const HistoryPanel&) = default;
};

struct ParamWindow {
  ParamWindow() {
    for (int k = 0; k < kParamRows; ++k) {
      Param_Lbl[k] = Label{"Paramètre 1 ="};
      Value_Lbl[k] = Label{"Valeur 1"};
    }
  }

  std::string caption = "Paramètres";
  bool visible = false;
  bool busyPointer = false;  // the hourglass while the engine reads
  int width = kNarrowWidth;
  int Image1 = kNoPicture;

  Frame Status_Frame{"Etat"};
  std::array<Label, kParamRows> Param_Lbl;
  std::array<Label, kParamRows> Value_Lbl;
  Label Label8;
  // The edit box and its OK button: hidden whenever a point is chosen.
  Label Param_Txt{"", false};
  Button Param_Ok_Cde{"OK", false};

  CheckBox Opto_Check{"Optique (EN54-7)", true};
  CheckBox Thermo_Check{"Thermique (EN54-5)", true};
  Area Picture1;  // heat element picture
  Area Picture2;  // optical element picture
  Button Led_On_Cde{"LED ON"};
  Button Led_Off_Cde{"LED OFF"};
  Button Command1{"Analyse chambre"};
  // The periodic re-reading: "Boucle", its period in seconds and the period shown.
  CheckBox Check1{"Boucle", false};
  ScrollBar HScroll1{1, 1, 10, false};
  Label Label7{"", false};

  // The chamber panel of the baseline acquisition. Geometry in twips: the scale Picture4 maps
  // a chamber value v to v * width / 256.
  Area P_Chambre{false};
  Label Label5{"", false};  // progress and conformity text
  Area Picture4{true, 0, 3840};
  Area Picture5{true, 0, 0};  // threshold zone, from the alarm to the fault threshold
  Area Picture6{true, 0, 0};  // measured span, from the minimum to the maximum
  Label Label4{"Al"};         // at the zone's left edge
  Label Label3{"Dft"};        // at the zone's right edge
  int Label4_Left = 0;
  int Label3_Left = 0;
  Area Picture3{true, 0, 1500};  // the gauge
  Area Shape1{true, 0, 0};       // the gauge's fill, as wide as the percentage
  Label Label6{"0%"};

  HistoryPanel history;
};

}  // namespace korvane::screens
