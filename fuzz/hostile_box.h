#pragma once
// The hostile box: the engine and the frame layer run on the virtual clock against the honest
// simulated loop, while the input decides, byte by byte, what the line makes of the box's
// answers and, now and then, what the technician clicks. When the input is spent the box
// answers honestly (or falls silent), the technician stops whatever runs, and the engine must
// be back in its idle cycle within a bounded virtual time: if not, the run aborts.
//
// Input format
//
//   byte 0   the loop: index into the example loops (examples/loops/*.json, sorted by name),
//            modulo their number
//   byte 1   the setup:
//              0x01  the KAPRE product (15 addresses, KAPRE type), else DI, 12 V detectors
//              0x02  "Reprog. Adr." unticked: the types are read without re-addressing
//              0x04  "Court-Circuit" ticked, byte 2 typed in Combo1
//              0x08  "Listing" unticked
//              0x10  the "debug" and "debug2" options (the measures window lists frames)
//              0x20  "tempo_bus" 0 instead of 50 ms
//              0x40  once the input is spent the box stays silent (else it answers honestly)
//              0x80  "affled": the parameter window always shows its LED buttons
//   byte 2   the address typed in Combo1
//   byte 3   k, the number of user actions (at most 64)
//   then     the line: one decision per byte the PC sends, taken when it reaches the box, in
//            order; some decisions take further bytes
//   last 3k  the user actions, three bytes each, in order: kind, argument, wait
//   (a short input has fewer actions: k is cut to what the bytes after byte 3 hold)
//
// A line decision d (the box always hears the PC's byte unless said otherwise):
//   00-9F  the box's honest answer
//   A0-AF  nothing comes back
//   B0-BF  only the first (d & 0F) modulo its length bytes of the answer come back
//   C0-CF  byte (d & 0F) modulo the length of the answer XOR-ed with the next byte (0: FF)
//   D0-DF  the answer is the next (d & 07) bytes instead; with 08, the box never heard the byte
//   E0-EF  the honest answer, then the next (d & 07) + 1 bytes
//   F0-FF  by d & 0F: 0-3 the answer comes (n + 1) * 700 ms late; 4-7 its bytes come apart,
//          the next byte * 10 ms between them; 8 a port event without bytes, then the answer;
//          9 a port event without bytes instead of the answer; 10 the USB adapter is pulled
//          out, and plugged back the next byte * 100 ms later; 11-15 the honest answer
//
// A user action: kind & 0F chooses it, argument a:
//   0  F5                              7  "Boucle" of the parameter window toggled; with
//   1  F9                                 a & 10 its period set to a % 10 + 1 s first
//   2  "Analyse Chambre" toggled       8  "FERMER" of the parameter window
//   3  a click on box a % Nb_Adr + 1   9  the LED window opened if need be, and typed:
//   4  LED ON (a & 1: LED OFF)            "Durée (s)" a & 3, "pause (s)" (a >> 2) & 3,
//      of the parameter window            "Boucle" a & 10, "Automatique" unless a & 20,
//   5  "Analyse chambre" (baseline)       "Début" a >> 6
//   6  a sensor box toggled (a & 1:   10  "LANCER" / "ARRETER"
//      heat, else optical)            11  an arrow (a & 1: next, else previous)
//  12  "FERMER" of the LED window     13  by a & 3: "Listing", "Reprog. Adr.", "Court-Circuit"
//  14, 15  nothing                        (Combo1 a >> 2) toggled; the port menu (port 1,
//                                         or 2 that does not exist when a & 4)
// A control the window does not show or has disabled ignores its click, as on screen.
// With kind & 80 the click comes ((kind >> 4) & 7) * 150 + 1 ms later, wherever the event
// loop is then, often inside a frame's wait; else it comes at once, between events.
// The wait w after the action: below 80, w * 50 ms; from 80 on, until no search or run is
// going on, at most (w - 7F) * 4 s.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korvane::fuzz {

struct ExampleLoop {
  const char* name;
  const char* json;
};
std::span<const ExampleLoop> exampleLoops();

// Setup bits of byte 1, and the action kinds, for those who write inputs.
namespace setup {
inline constexpr std::uint8_t kKapre = 0x01;
inline constexpr std::uint8_t kNoReaddressing = 0x02;
inline constexpr std::uint8_t kCourtCircuit = 0x04;
inline constexpr std::uint8_t kNoListing = 0x08;
inline constexpr std::uint8_t kDebug = 0x10;
inline constexpr std::uint8_t kNoTempoBus = 0x20;
inline constexpr std::uint8_t kSilentTail = 0x40;
inline constexpr std::uint8_t kAffLed = 0x80;
}  // namespace setup

enum Action : std::uint8_t {
  kF5,
  kF9,
  kAnalysisToggle,
  kBoxClick,
  kParamLed,
  kBaseline,
  kSensorToggle,
  kParamLoop,
  kParamClose,
  kLedWindowFields,
  kLedStartStop,
  kLedArrow,
  kLedClose,
  kBusOptions,
  kNothing,
};
inline constexpr std::uint8_t kNested = 0x80;
inline constexpr std::uint8_t kUntilFree = 0x80;  // wait byte: until the bus is free
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kMaxActions = 64;

struct UserAction {
  std::uint8_t kind = kNothing;
  std::uint8_t arg = 0;
  std::uint8_t wait = 0;
};

// Lays out an input: header, line decisions, actions.
std::vector<std::uint8_t> makeInput(std::uint8_t loop, std::uint8_t setupBits, std::uint8_t combo,
                                    const std::vector<std::uint8_t>& line,
                                    const std::vector<UserAction>& actions);

struct RunReport {
  std::size_t decisions = 0;  // line decisions taken before the input was spent
  int found = 0;              // points found at the end
  double virtualSeconds = 0;
};

// Runs one input. Aborts, after saying why on stderr, when the engine is not back in its
// idle cycle at the end; with `trace`, says on stderr what happens as it happens.
RunReport runInput(std::span<const std::uint8_t> input, bool trace);

}  // namespace korvane::fuzz
