// State 5: read one point's identity and settings and lay them out in the parameter window,
// one row per item.
#include "engine/bus_engine.h"
#include "engine/type_table.h"
#include "screens/number_format.h"

namespace korvane::engine {

using screens::formatPattern;

namespace {
constexpr std::uint8_t kFixedText = 255;  // a row that shows a text without asking the point
constexpr std::uint8_t kModeParameter = 16;

// How the parameter window shows each device class.
struct ClassView {
  std::uint8_t adrType;
  const char* label;
  int picture;  // wide window with this picture; kNoPicture keeps it narrow
};

constexpr ClassView kClassViews[] = {
    {10, "KEV11x", screens::kKevPicture},  {4, "MOLS-112", screens::kNoPicture},
    {6, "MOLS-412", screens::kNoPicture},  {7, "MOLS-212", screens::kNoPicture},
    {2, "PRADE-112", screens::kNoPicture}, {16, "TU-OX", screens::kNoPicture},
    {1, "ZUN112", screens::kZunPicture},   {8, "KEV112A", screens::kKevPicture},
    {9, "KEV212A", screens::kKevPicture},  {3, "KEV312A", screens::kKevPicture},
    {11, "KAPRE", screens::kNoPicture},    {18, "BRIM", screens::kModulePicture},
    {17, "RAYL", screens::kFlamePicture},  {5, "GLIR112", screens::kHeatPicture},
};

const ClassView* classView(std::uint8_t adrType) {
  for (const ClassView& c : kClassViews) {
    if (c.adrType == adrType) return &c;
  }
  return nullptr;
}

struct Row {
  int row;
  const char* label;
  std::uint8_t param;
  std::uint8_t option = 0;
};

// The detector parameters (rows 5 to 13).
constexpr Row kDetectorRows[] = {
    {5, "Valeur Initiale", 12},      {6, "Seuil Alarme", 1},
    {7, "Seuil Défaut", 2},          {8, "Nombre de requêtes", 3},
    {9, "Nombre de conv.Défaut", 4}, {10, "Largeur Strobe", 5},
    {11, "Type de moyenne", 6},      {12, "Nombre de vérification Défaut", 7},
    {13, "Délai ampli", 15},
};
constexpr Row kBrimRows[] = {
    {5, "Etat du BRIM", 16},
    {6, "Calibre AES", 17},
    {7, "Tension AES", 22, 5},
};

// A version byte reads as its two nibbles: 0x23 is "2.3", 0xAB is "10.11".
std::string versionText(std::uint8_t b) {
  return formatPattern(b / 16, "0") + "." + formatPattern(b % 16, "0");
}

}  // namespace

void BusEngine::readParameters() {
  screens::ParamWindow& w = v_.param;
  const std::uint8_t a = s_.Adr_Cde;
  const std::uint8_t adrType = s_.points[a].Adr_Type;

  w.busyPointer = true;
  w.P_Chambre.visible = false;
  w.Label5.visible = false;
  w.Opto_Check.visible = false;
  w.Thermo_Check.visible = false;
  w.Picture1.visible = false;
  w.Picture2.visible = false;
  w.Opto_Check.enabled = true;
  // The heat box too: a GLIR112 shown before must not leave a KEV312A's heat sensor locked.
  w.Thermo_Check.enabled = true;
  w.width = screens::kNarrowWidth;
  w.Label8.caption.clear();

  auto unknownRows = [&w] {
    for (int k = 0; k <= 4; ++k) {
      w.Value_Lbl[k] = screens::Label{"???", true};
      w.Param_Lbl[k].visible = true;
    }
  };
  unknownRows();
  w.Param_Lbl[0].caption = "Adresse";
  w.Value_Lbl[0].caption = formatPattern(a, "000");
  w.Param_Lbl[1].caption = "Type détecteur";
  const ClassView* view = classView(adrType);
  if (view) {
    w.Value_Lbl[1].caption = view->label;
    if (view->picture != screens::kNoPicture) {
      w.Image1 = view->picture;
      w.width = screens::kWideWidth;
    }
  } else {
    unknownRows();
  }

  if (adrType != 0) {
    std::uint8_t b = 0;
    w.Param_Lbl[2].caption = "Version PCB";
    if (readRegister(link::reg::kPcbVersion, a, b)) w.Value_Lbl[2].caption = versionText(b);
    w.Param_Lbl[3].caption = "Version Soft";
    if (readRegister(link::reg::kSoftVersion, a, b)) w.Value_Lbl[3].caption = versionText(b);
    w.Param_Lbl[4].caption = "N° série";
    if (readSerialBytes(a, Base_Serie(adrType))) w.Value_Lbl[4].caption = formatSerial();

    auto showLeds = [&w] {
      w.Led_On_Cde.visible = true;
      w.Led_Off_Cde.visible = true;
    };
    auto readRows = [this](const auto& rows) {
      for (const Row& r : rows) {
        const bool ok = Affiche_Param(r.row, r.param, r.label, r.option, "");
        // The three references of the baseline acquisition; a failed read keeps the last.
        if (ok && r.param == 12 && r.row == 5) s_.Val_Initiale = com_.rx(1);
        if (ok && r.param == 1 && r.row == 6) s_.Seuil_Alarme = com_.rx(1);
        if (ok && r.param == 2 && r.row == 7) s_.Seuil_Defaut = com_.rx(1);
      }
    };
    auto opticalOnly = [&w] {
      w.Opto_Check.visible = true;
      w.Opto_Check.enabled = false;
      w.Picture2.visible = true;
      w.Thermo_Check.visible = false;
      w.Picture1.visible = false;
    };
    switch (adrType) {
      case 10:
        readRows(kDetectorRows);
        showLeds();
        opticalOnly();
        break;
      case 4:
      case 6:
      case 7:
        Affiche_Param(5, 10, "Temporisation entrée", 0, "");
        break;
      case 2:
      case 16:
        showLeds();
        break;
      case 1:
        readRows(kDetectorRows);
        showLeds();
        break;
      case 8:
        readRows(kDetectorRows);
        Affiche_Param(14, kFixedText, "Mode détection", 0, "Optique");
        showLeds();
        opticalOnly();
        break;
      case 9:
        showLeds();
        w.Picture1.visible = true;
        break;
      case 3:
        readRows(kDetectorRows);
        Affiche_Param(14, kModeParameter, "Mode détection", 0, "");
        showLeds();
        break;
      case 18:
        readRows(kBrimRows);
        break;
      case 5:
        showLeds();
        w.Thermo_Check.visible = true;
        w.Thermo_Check.enabled = false;
        w.Opto_Check.visible = false;
        w.Opto_Check.enabled = false;
        w.Picture1.visible = true;
        w.Picture2.visible = false;
        break;
      default:
        break;
    }
  }

  if (s_.Aff_Led) {
    w.Led_On_Cde.visible = true;
    w.Led_Off_Cde.visible = true;
  }
  w.busyPointer = false;
  s_.Etat_Bus = kLinkCheck;
}

// Reads parameter `param` of point Adr_Cde into `row`. Parameters 0 to 15 are registers of the
// same number; from 16 on they sit at an offset that depends on the class, unless an option
// byte asks for a two-byte answer. Returns whether the point answered.
bool BusEngine::Affiche_Param(int row, std::uint8_t param, const std::string& label,
                              std::uint8_t option, const std::string& text) {
  screens::ParamWindow& w = v_.param;
  if (row < 0 || row >= screens::kParamRows) return false;
  auto show = [&](const std::string& value) {
    w.Value_Lbl[row] = screens::Label{value, true};
    w.Param_Lbl[row] = screens::Label{label, true};
  };
  if (param == kFixedText) {
    show(text);
    return false;
  }
  const std::uint8_t a = s_.Adr_Cde;
  const std::uint8_t adrType = s_.points[a].Adr_Type;
  if (param <= 15) {
    show("???");
    if (!com_.Envoi_Trame(param, a, 0, false, false) || com_.rx(0) != 0) return false;
    w.Value_Lbl[row].caption = formatPattern(com_.rx(1), "000");
    return true;
  }
  const int offset = adrType == 11 ? 16 : adrType == 18 ? 0 : 8;
  const bool ok =
      option == 0 ? com_.Envoi_Trame(static_cast<std::uint8_t>(param + offset), a, 0, false, false)
                  : com_.Envoi_Trame(param, a, option, false, true);
  if (!ok || com_.rx(0) != 0) return false;
  if (adrType == 8 || adrType == 18) {
    show(screens::formatStr(com_.rx(1)));
  } else if (param == kModeParameter) {
    showMode(row, label, com_.rx(1));
  }
  return true;
}

// The multi-sensor detector's mode: text, check boxes and Mode_Detect (bit 0 = heat off,
// bit 1 = optical off). Maj_Mode keeps the boxes' click handlers out while they are set.
void BusEngine::showMode(int row, const std::string& label, std::uint8_t b) {
  screens::ParamWindow& w = v_.param;
  s_.Maj_Mode = true;
  w.Param_Lbl[row] = screens::Label{label, true};
  w.Value_Lbl[row] = screens::Label{"", true};
  w.Opto_Check.visible = true;
  w.Thermo_Check.visible = true;
  w.Picture1.visible = true;
  w.Picture2.visible = true;

  std::string& value = w.Value_Lbl[row].caption;
  s_.Mode_Detect = 0;
  if (b & 0x02) {
    s_.Mode_Detect += 2;
  } else {
    value = "Optique ";
  }
  if (b & 0x01) {
    s_.Mode_Detect += 1;
  } else {
    value += (b & 0x04) ? "Statique" : "Thermovélo";
  }
  w.Opto_Check.checked = true;
  w.Thermo_Check.checked = true;
  if (s_.Mode_Detect & 0x01) {
    w.Opto_Check.checked = true;
    w.Thermo_Check.checked = false;
    s_.Mode_Detect = 1;
  }
  if (s_.Mode_Detect & 0x02) {
    w.Thermo_Check.checked = true;
    w.Opto_Check.checked = false;
    s_.Mode_Detect = 2;
  }
  s_.Maj_Mode = false;
}

}  // namespace korvane::engine
