#include "engine/type_table.h"

#include <array>

#include "link/loop_protocol.h"

namespace korvane::engine {

namespace {

using F = Flag;
using C = ChamberLabel;

TypeInfo row(std::uint8_t code, std::uint8_t adrType, const char* grid, const char* product,
             const char* category, Flag optical, Flag heat, ChamberLabel chamber,
             const char* listing) {
  TypeInfo t;
  t.code = code;
  t.adrType = adrType;
  t.grid = grid;
  t.product = product;
  t.category = category;
  t.optical = optical;
  t.heat = heat;
  t.chamberLabel = chamber;
  t.listing = listing;
  t.known = true;
  return t;
}

TypeInfo module(std::uint8_t code, std::uint8_t adrType, const char* product, const char* listing,
                int channels) {
  TypeInfo t =
      row(code, adrType, "MOLS-E", product, nullptr, F::kFalse, F::kKeep, C::kHidden, listing);
  t.channels = channels;
  return t;
}

TypeInfo withChamber(TypeInfo t) {
  t.hasChamber = true;
  return t;
}

const std::array<TypeInfo, 15>& table() {
  static const std::array<TypeInfo, 15> rows = [] {
    TypeInfo multi = withChamber(row(26, 3, "KEV312A", "KEV312A", nullptr, F::kKeep, F::kKeep,
                                     C::kHidden, ": KEV312A  ==> "));
    multi.multiSensor = true;
    return std::array<TypeInfo, 15>{
        withChamber(row(7, 10, "KEV11x", "KEV11X", "Optique", F::kTrue, F::kFalse, C::kShown,
                        ": KEV11x  ==> ")),
        withChamber(
            row(19, 1, "ZUN", "ZUN", "Optique", F::kTrue, F::kFalse, C::kShown, ": ZUN112  ==> ")),
        withChamber(
            row(25, 1, "ZUN", "ZUN", "Optique", F::kTrue, F::kFalse, C::kShown, ": ZUN112  ==> ")),
        row(20, 17, "RAYL", "RAYL", "UV", F::kFalse, F::kFalse, C::kHidden, ": RAYL  ==> "),
        row(23, 5, "GLIR", "GLIR", "Thermovélo", F::kFalse, F::kTrue, C::kHidden,
            ": GLIR112  ==> "),
        multi,
        withChamber(row(27, 8, "KEV112A", "KEV112A", "Optique", F::kTrue, F::kFalse, C::kKeep,
                        ": KEV112A  ==> ")),
        row(29, 9, "KEV212A", "KEV212A", "Thermovélo", F::kFalse, F::kTrue, C::kHidden,
            ": KEV212A  ==> "),
        row(33, 2, "PRADE", "PRADE112", nullptr, F::kFalse, F::kKeep, C::kHidden,
            ": PRADE112  ==> "),
        row(42, 16, "TU-OX", "TUOX", nullptr, F::kFalse, F::kKeep, C::kHidden, ": TU-OX  ==> "),
        module(66, 4, "MOLS-112 E", ": MOLS112(E", 8),
        module(67, 6, "MOLS-412 E", ": MOLS412(E", 4),
        module(68, 7, "MOLS-212 E", ": MOLS212(E", 2),
        row(70, 11, "KAPRE", "KAPRE", nullptr, F::kFalse, F::kKeep, C::kHidden, ": KAPRE  ==> "),
        row(82, 18, "BRIM", "BRIM", nullptr, F::kFalse, F::kKeep, C::kHidden, ": BRIM  ==> "),
    };
  }();
  return rows;
}

}  // namespace

const TypeInfo& lookupType(std::uint8_t code) {
  static const TypeInfo unknown{};
  for (const TypeInfo& t : table()) {
    if (t.code == code) return t;
  }
  return unknown;
}

std::uint8_t Base_Serie(std::uint8_t adrType) {
  return (adrType == 4 || adrType == 6 || adrType == 7) ? link::reg::kModuleSerial
                                                        : link::reg::kDetectorSerial;
}

}  // namespace korvane::engine
