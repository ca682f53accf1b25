#pragma once
// What a point's type code means: its device class, how its box and listing line read, its
// sensing category and whether the chamber analysis applies to it. The code is matched as a
// whole byte; a code missing from the table is an unknown point of class 0.
//
//   lookupType   type code -> TypeInfo (never fails: unknown codes get the "???" row)
//   Base_Serie   device class -> first of the four serial-number registers
#include <cstdint>

namespace korvane::engine {

// A field some codes write and others leave as it was.
enum class Flag : std::uint8_t { kKeep, kFalse, kTrue };

enum class ChamberLabel : std::uint8_t {
  kHidden,
  kShown,
  kKeep,  // left as the search start made it (hidden)
};

struct TypeInfo {
  std::uint8_t code = 0;
  std::uint8_t adrType = 0;       // device class; 0 = unknown
  const char* grid = "???";       // second line of the address box
  const char* product = nullptr;  // model name; nullptr = not written
  const char* category = nullptr;
  Flag optical = Flag::kKeep;
  Flag heat = Flag::kKeep;
  ChamberLabel chamberLabel = ChamberLabel::kHidden;
  const char* listing = ": ???  ==> ";  // follows the address in the listing line
  int channels = 0;                     // multi-channel interface modules: 8, 4 or 2
  bool multiSensor = false;             // category and elements come from the detection mode
  bool hasChamber = false;              // optical chamber with initial value and thresholds
  bool known = false;
};

const TypeInfo& lookupType(std::uint8_t code);

// Serial numbers sit in four registers from 8, or from 11 on the interface modules.
std::uint8_t Base_Serie(std::uint8_t adrType);

}  // namespace korvane::engine
