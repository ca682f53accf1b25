#pragma once
// A loop as the simulator plays it: the interface box's settings and the points in the order
// they sit on the cable. Plain data, read from the JSON loop files of examples/loops (format in
// docs/simulator.md) or built directly by tests.
//
//   Box            version byte, short-circuit flag, the three measure bytes
//   Point          one loop-file entry: a detector, or a whole multi-channel module
//   Loop           box + points in physical order
//   loopOf         a loop of default points with the given type codes
//   channelsOf     addresses a type code takes (8, 4, 2 for the modules, else 1)
//   channelAddresses  the stored address of every channel, defaults applied
//   validateLoop   the checks every loop must pass (also run by LoopSimulator)
//   parseLoop      JSON text -> Loop, std::runtime_error naming the faulty key
//   loadLoop       the same from a file

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/loop_protocol.h"

namespace korvane::sim {

// Type codes that behave differently inside the simulator.
inline constexpr std::uint8_t kCodeMultiSensor = 26;
inline constexpr std::uint8_t kCodeModule8 = 66;
inline constexpr std::uint8_t kCodeModule4 = 67;
inline constexpr std::uint8_t kCodeModule2 = 68;
inline constexpr std::uint8_t kCodeKapre = 70;
inline constexpr std::uint8_t kCodeBrim = 82;

inline constexpr int kMaxAddresses = 128;

namespace reg = link::reg;

bool isModule(std::uint8_t code);
int channelsOf(std::uint8_t code);

struct Box {
  std::uint8_t version = 0x31;
  bool shortCircuit = false;
  std::uint8_t current = 100;        // 59.41 mA with the tool's formula
  std::uint8_t voltageOut = 200;     // 22.75 V
  std::uint8_t voltageReturn = 198;  // 22.52 V
};

struct Point {
  std::uint8_t code = 7;
  std::string note;  // free text for whoever reads the loop file

  // Address stored in the point (first channel of a module; the others follow it). Unset: its
  // position on the loop counting module channels (1, 2, 3...). 0: no address yet.
  std::optional<std::uint8_t> address;
  // Unset: 21, 7, then the entry's position (1-based) as a 16-bit number, so every point of a
  // loop file has a distinct readable serial number.
  std::optional<std::array<std::uint8_t, 4>> serial;

  std::uint8_t pcbVersion = 0x12;
  std::uint8_t softVersion = 0x25;
  std::uint8_t initial = 40;  // not for modules: their register 0x0C is a serial byte
  std::uint8_t alarm = 140;
  std::uint8_t fault = 10;
  // Successive chamber readings (register 0x11); the last one repeats. Empty: every reading
  // gives the initial value (a clean chamber).
  std::vector<std::uint8_t> chamber;
  int temperature = 20;       // degrees, -20 to 235 (register 0x16 holds degrees + 20)
  std::uint8_t state = 0;     // register 0x10: bit 0 alarm, bit 3 fault; the BRIM's state
  std::uint8_t mode = 0;      // register 0x18 of the multi-sensor detector
  std::uint8_t position = 0;  // KAPRE position 0..3 (register 0x11)
  std::uint8_t delay = 0;     // modules only: input delay (register 0x0A)
  std::uint8_t rating = 0;    // BRIM: "Calibre AES" (register 0x11)
  std::uint8_t supply = 0;    // BRIM: "Tension AES" (register 0x16 read long with P3 = 5)
  std::map<std::uint8_t, std::uint8_t> registers;  // raw values, applied after the fields above

  // Misbehaviour. A module misbehaves as a whole.
  int silentAtSearch = 0;                   // search frames refused this many times
  std::set<std::uint8_t> failingRegisters;  // reads of these registers are refused...
  int failingTimes = 0;                     // ...this many times each; 0 = always
  bool dead = false;                        // never answers anything
};

struct Loop {
  Box box;
  std::vector<Point> points;  // physical order, from the box's outgoing end

  int addressCount() const;
};

// A loop of points with these type codes and every other setting at its default.
Loop loopOf(const std::vector<std::uint8_t>& codes);

// The address stored in each channel at power-up, in physical order (0 = none).
std::vector<std::uint8_t> channelAddresses(const Loop& loop);

// Throws std::runtime_error when the loop cannot be played: more than 128 addresses, an
// address beyond 128, two points holding one address, a temperature out of range...
void validateLoop(const Loop& loop);

Loop parseLoop(const std::string& jsonText);
Loop loadLoop(const std::string& path);

}  // namespace korvane::sim
