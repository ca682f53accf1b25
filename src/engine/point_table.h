#pragma once
// The point table: one record per loop address, 1 to 128, filled by the search and the type
// reading, completed by the chamber analysis, read by every window and report.
//
// Addresses arrive from the line and from clicks, so every access is checked: an address
// outside 1..128 never reaches past the table (it lands on the unused slot 0), and the
// reading arrays keep their own bounds (190 chamber readings, 11 temperature slots).

#include <array>
#include <cstdint>
#include <string>

namespace korvane::engine {

inline constexpr int kMaxAddresses = 128;
inline constexpr int kKapreAddresses = 15;
inline constexpr int kMaxChamberReadings = 190;
inline constexpr int kTemperatureSlots = 11;  // readings 0..9, and slot 10 read but never written
inline constexpr int kTemperatureReadings = 10;  // sampled per analysis run
inline constexpr std::int16_t kNoVerdict = -1;   // Adr_Taux of a detector the run did not judge

struct Point {
  // Identity, from the type reading.
  std::uint8_t Adr_Type = 0;       // device class 1..18, 0 = none or unknown
  std::uint8_t Adr_Code_Type = 0;  // raw type code (register 0x13)
  std::string Adr_Produit;         // model name
  std::string Adr_Serie;           // serial number text, "???" when unreadable
  std::string Adr_Categorie;       // "Optique", "Thermovélo", "UV" or a multi-sensor combination
  bool Adr_Optique = false;        // has an optical chamber: the chamber analysis applies
  bool Adr_Thermo = false;         // has a thermal element: temperature is sampled
  std::int16_t Adr_Val_Initiale = 0;  // register 0x0C, 0..255
  std::int16_t Adr_Seuil_Alarme = 0;  // register 0x01, 0..255
  std::int16_t Adr_Seuil_Defaut = 0;  // register 0x02, 0..255
  std::string Adr_Ligne;              // listing line

  // Chamber analysis of the current run.
  std::int16_t Nb_Mesures = 0;
  std::int16_t Debut_Fenetre = 0;  // window start; 32 while no window is open in a run
  std::int16_t Fin_Fenetre = 0;    // window end; 0 while no window is open
  std::array<std::int32_t, kMaxChamberReadings + 1> Mesure_Chambre{};  // readings 1..190
  std::int16_t Adr_Moyenne = 0;
  std::int16_t Adr_Taux = 0;  // percentage 0..100; kNoVerdict = not judged
  double Adr_Taux_Exact = 0;  // the same before rounding, on which the verdict was judged
  std::string Adr_Verdict;
  bool Analyse_Faite = false;
  std::int16_t Nb_Temp = 0;
  std::array<std::int32_t, kTemperatureSlots> Mesure_Temp{};
  std::int16_t Adr_Temperature = 0;
  bool Alarme_Vue = false;  // seen in alarm during this supervision run
};

// What an analysis run found out about a point, for the reports: a point the run did not reach
// or could not judge has neither.
inline bool hasVerdict(const Point& p) {
  return p.Adr_Optique && p.Adr_Taux >= 0 && !p.Adr_Verdict.empty();
}
inline bool hasTemperature(const Point& p) {
  return p.Adr_Thermo && p.Nb_Temp > kTemperatureReadings;
}

class PointTable {
 public:
  static bool isAddress(int address) { return address >= 1 && address <= kMaxAddresses; }

  // The record of `address`; an address outside 1..128 gets the unused slot 0, so a bad
  // address can spoil nothing that is shown or reported.
  Point& operator[](int address) { return points_[slot(address)]; }
  const Point& operator[](int address) const { return points_[slot(address)]; }

 private:
  static std::size_t slot(int address) {
    return isAddress(address) ? static_cast<std::size_t>(address) : 0;
  }
  std::array<Point, kMaxAddresses + 1> points_{};
};

}  // namespace korvane::engine
