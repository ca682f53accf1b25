// What the type reading learns about one point: its class, box, category and listing line
// from the type table, then its detection mode, thresholds and serial number from the point.
#include "engine/bus_engine.h"
#include "engine/type_table.h"
#include "screens/number_format.h"

namespace korvane::engine {

using screens::formatPattern;

namespace {

void apply(Flag flag, bool& field) {
  if (flag != Flag::kKeep) field = flag == Flag::kTrue;
}

}  // namespace

bool BusEngine::readRegister(std::uint8_t reg, std::uint8_t address, std::uint8_t& value) {
  if (!com_.Envoi_Trame(reg, address, 0, false, false) || com_.rx(0) != 0) return false;
  value = com_.rx(1);
  return true;
}

void BusEngine::decodeType(std::uint8_t address, std::uint8_t code) {
  const TypeInfo& t = lookupType(code);
  Point& p = s_.points[address];
  screens::Label& box = v_.bus.adrBox(address);
  screens::Label& chamber = v_.bus.etatChambre(address);
  const bool analysis = v_.bus.Check3.checked;

  std::string grid = t.grid;
  std::string product = t.product ? t.product : "";
  std::string listing = t.listing;
  if (t.channels != 0) {
    // One channel counter for every module in a row; it starts again after a module's last
    // channel.
    s_.Voie_Module += 1;
    const std::string channel = std::to_string(s_.Voie_Module);
    grid += formatPattern(s_.Voie_Module, "0");
    product += channel;
    listing += channel + ")  ==> ";
  }
  if (t.known) box.backColor = screens::colors::kFoundBlue;
  box.caption = screens::boxCaption(address, grid);

  p.Adr_Type = t.adrType;
  p.Adr_Code_Type = code;
  if (t.product) p.Adr_Produit = product;
  if (t.category) p.Adr_Categorie = t.category;
  apply(t.optical, p.Adr_Optique);
  apply(t.heat, p.Adr_Thermo);
  if (t.chamberLabel == ChamberLabel::kShown) chamber.visible = true;
  if (t.chamberLabel == ChamberLabel::kHidden) chamber.visible = false;
  if (t.optical == Flag::kTrue) s_.Optique_Trouve = true;
  if (t.heat == Flag::kTrue) s_.Thermique_Trouve = true;

  if (t.multiSensor) readDetectionMode(address);
  if (t.hasChamber && analysis) {
    // Every optical detector needs its own reference for the chamber analysis, not only the
    // two types whose label is emptied here.
    if (code == 26 || code == 27) {
      chamber.visible = true;
      chamber.caption.clear();
    }
    readThresholds(address);
  }

  p.Adr_Serie = Lire_Serie(address);
  p.Adr_Ligne = std::to_string(address) + listing + p.Adr_Serie;

  if ((code == 66 && s_.Voie_Module == 8) || (code == 67 && s_.Voie_Module == 4) ||
      (code == 68 && s_.Voie_Module == 2)) {
    s_.Voie_Module = 0;
  }
}

// The multi-sensor detector's mode byte: bit 0 set = heat element off, bit 1 set = optical
// element off, bit 2 set = the heat element is static rather than rate-of-rise.
void BusEngine::readDetectionMode(std::uint8_t address) {
  Point& p = s_.points[address];
  p.Adr_Optique = false;
  p.Adr_Thermo = false;
  std::uint8_t m = 0;
  if (!readRegister(link::reg::kMode, address, m)) return;
  p.Adr_Categorie.clear();
  if ((m & 0x02) == 0) {
    p.Adr_Optique = true;
    p.Adr_Categorie += "Optique ";
    s_.Optique_Trouve = true;
  }
  if ((m & 0x01) == 0) {
    p.Adr_Thermo = true;
    s_.Thermique_Trouve = true;
    p.Adr_Categorie += (m & 0x04) != 0 ? " Statique" : " Thermovélo";
  }
  if ((m & 0x03) == 0x03) p.Adr_Categorie += "Aucun";
}

// A read that fails keeps the value the field had.
void BusEngine::readThresholds(std::uint8_t address) {
  Point& p = s_.points[address];
  std::uint8_t v = 0;
  if (readRegister(link::reg::kInitialValue, address, v)) p.Adr_Val_Initiale = v;
  if (readRegister(link::reg::kAlarmThreshold, address, v)) p.Adr_Seuil_Alarme = v;
  if (readRegister(link::reg::kFaultThreshold, address, v)) p.Adr_Seuil_Defaut = v;
}

// The four serial bytes from `base` on. Any read that fails marks byte 0 with 255; bytes 1 to
// 3 read as 255 count as 0. Returns whether byte 0 is valid.
bool BusEngine::readSerialBytes(std::uint8_t address, std::uint8_t base) {
  auto& b = s_.Serie_Octet;
  for (std::uint8_t i = 0; i < 4; ++i) {
    std::uint8_t v = 0;
    if (readRegister(static_cast<std::uint8_t>(base + i), address, v)) {
      b[i] = v;
    } else {
      b[0] = 255;
    }
  }
  for (std::size_t i = 1; i < 4; ++i) {
    if (b[i] == 255) b[i] = 0;
  }
  return b[0] != 255;
}

// Bytes 12, 34, 1, 2 read "12" "34" "00258"; a byte above 99 takes three digits.
std::string BusEngine::formatSerial() {
  const auto& b = s_.Serie_Octet;
  s_.Serie_Num = b[2] * 256 + b[3];
  return formatPattern(b[0], "00") + formatPattern(b[1], "00") +
         formatPattern(s_.Serie_Num, "00000");
}

std::string BusEngine::Lire_Serie(std::uint8_t address) {
  if (!readSerialBytes(address, Base_Serie(s_.points[address].Adr_Type))) s_.Serie_Octet = {};
  const auto& b = s_.Serie_Octet;
  return b[0] == 0 ? "???" : formatSerial();
}

}  // namespace korvane::engine
