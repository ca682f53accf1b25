#pragma once
// The hostile box: the engine and the frame layer run on the virtual clock against the honest
// simulated loop, while the input decides, byte by byte, what the line makes of the box's
// answers and, now and then, what the technician clicks, in the bus window and the windows
// around it, closing and opening the bus window too. The bus window opens through the same call
// as the application's, with what the setup byte puts in the settings file.
//
// What must hold, or the run aborts after saying why on stderr:
//   - while the bus window is closed, no byte goes out to the box, no engine step runs and no
//     port is held; a search never counts more points than the grid has; a report asked for
//     while nothing runs is saved at once, bus window open or not;
//   - once the input is spent, the parameter window shows the rows of the point it names;
//   - the box answering honestly again (or falling silent), the technician stops whatever runs:
//     the engine is back in its idle cycle within a bounded virtual time and stays there, and
//     every LED lit on the loop is one the tool knows it may have lit;
//   - the technician closes the bus window: the close ends, the port is let go, nothing goes
//     out for 5 s; with an honest box, no LED is left lit;
//   - opened again, the window finds an honest box, and its search (re-addressing, listing,
//     no short-circuit) finds and types every point the product can reach; the count, the
//     table, the listing and both saved reports agree.
// The LED checks stand aside when the line made the box act on frames the tool never sent
// (box_framing.h): what those lit, no tool can know.
//
// Input format
//
//   byte 0   the loop: index into the example loops (examples/loops/*.json, sorted by name),
//            modulo their number
//   byte 1   the setup, as the settings file the bus window reads when it opens:
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
//  14  the bus window: a & 1 opens it     (Combo1 a >> 2) toggled; the port menu (port 1,
//      again (nothing when open; while   or 2 that does not exist when a & 4)
//      its last close is still under  15  the report window, by a & 3: "Sauvegarder" (the
//      way, once it is over, as the       text report), "Rapport HTML", nothing, nothing
//      application waits), else closes
//      it (nothing when closed)
// A control the window does not show or has disabled ignores its click, as on screen; while
// the bus window is closed, so do the bus, parameter and LED windows (the report window stays).
// The reports are saved into a folder of the process's own, with the shipped template.
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
  kBusWindow,
  kReportWindow,
};
// Arguments of kBusWindow and kReportWindow.
inline constexpr std::uint8_t kCloseWindow = 0;
inline constexpr std::uint8_t kOpenWindow = 1;
inline constexpr std::uint8_t kSaveText = 0;
inline constexpr std::uint8_t kSaveHtml = 1;
inline constexpr std::uint8_t kNoReport = 2;
inline constexpr std::uint8_t kNested = 0x80;
inline constexpr std::uint8_t kUntilFree = 0x80;  // wait byte: until the bus is free
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kMaxActions = 64;

struct UserAction {  // by default, nothing at all
  std::uint8_t kind = kReportWindow;
  std::uint8_t arg = kNoReport;
  std::uint8_t wait = 0;
};

// Lays out an input: header, line decisions, actions.
std::vector<std::uint8_t> makeInput(std::uint8_t loop, std::uint8_t setupBits, std::uint8_t combo,
                                    const std::vector<std::uint8_t>& line,
                                    const std::vector<UserAction>& actions);

struct RunReport {
  std::size_t decisions = 0;  // line decisions taken before the input was spent
  int found = 0;              // points found when the input was spent
  double virtualSeconds = 0;
};

// Runs one input. Aborts, after saying why on stderr, when something that must hold does not
// (above). With `trace` 1, says on stderr what happens as it happens; with 2, also every
// exchange as the box took it.
RunReport runInput(std::span<const std::uint8_t> input, int trace);

}  // namespace korvane::fuzz
