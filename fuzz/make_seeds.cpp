// Writes the seed corpus of the hostile box: for each example loop, what a technician does
// with it (search, parameters, chamber analysis, supervision, LED sequencer, the bus window
// closed and opened again at awkward moments, the reports), each with an honest line. The line
// holds one "honest" decision per byte the run sends, so that a mutation lands on one exchange.
// Generated at each run of scripts/fuzz, so the seeds always speak the harness's current format.
//
//   korvane_fuzz_seeds DIR
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "hostile_box.h"

namespace {

using namespace korvane::fuzz;

constexpr std::uint8_t kFree = 0xFF;  // wait until the bus is free
constexpr std::size_t kMaxLine = 6000;

struct Scenario {
  const char* name;
  std::uint8_t setup;
  std::vector<UserAction> actions;
};

std::vector<Scenario> scenarios(bool kapre) {
  const std::uint8_t product = kapre ? setup::kKapre : 0;
  const std::uint8_t nested = kNested | 0x30;
  const std::uint8_t late = kNested | 0x70;  // a click 1051 ms later
  return {
      {"parameters",
       product,
       {{kF5, 0, kFree},
        {kBoxClick, 0, 100},
        {kParamLed, 0, 20},
        {kParamLed, 1, 20},
        {kBoxClick, 1, 100},
        {kSensorToggle, 0, 60},
        {kSensorToggle, 1, 60},
        {kBaseline, 0, 0x7F},
        {kParamLoop, 0x12, 0x7F},
        {kParamClose, 0, 10}}},
      {"nested-clicks",
       static_cast<std::uint8_t>(product | setup::kAffLed),
       {{kF5, 0, 60},
        {kBoxClick | nested, 2, kFree},
        {kBoxClick | nested, 4, 40},
        {kParamLed | nested, 0, 40},
        {kF9 | nested, 0, 40},
        {kF5 | nested, 0, 40},
        {kF9 | nested, 0, 40}}},
      {"analysis",
       static_cast<std::uint8_t>(product | setup::kDebug),
       {{kAnalysisToggle, 0, kFree}, {kF9, 0, 0xC0}, {kF9, 0, 40}}},
      {"supervision", product, {{kF5, 0, kFree}, {kF9, 0, 0x90}, {kF9, 0, 40}}},
      {"led-sequencer",
       product,
       {{kF5, 0, kFree},
        {kLedWindowFields, 0x45, 1},
        {kLedStartStop, 0, 0x7F},
        {kLedStartStop, 0, 40},
        {kLedWindowFields, 0x20, 1},
        {kLedStartStop, 0, 20},
        {kLedArrow, 1, 20},
        {kLedArrow, 0, 20},
        {kLedClose, 0, 20}}},
      {"no-readdressing",
       static_cast<std::uint8_t>(product | setup::kNoReaddressing | setup::kNoTempoBus),
       {{kF5, 0, kFree}, {kBusOptions, 1, 1}, {kF5, 0, kFree}}},
      {"court-circuit",
       static_cast<std::uint8_t>(product | setup::kCourtCircuit | setup::kSilentTail),
       {{kF5, 0, kFree}, {kBusOptions, 3 | 4, 40}, {kBusOptions, 3, 40}}},
      // Closed and opened plainly; then closed with LEDs lit from the parameter window, and
      // opened again while the close still puts them out.
      {"bus-window",
       static_cast<std::uint8_t>(product | setup::kAffLed),
       {{kF5, 0, kFree},
        {kBusWindow, kCloseWindow, 20},
        {kBusWindow, kOpenWindow, 40},
        {kBoxClick, 1, 100},
        {kParamLed, 0, 20},
        {kBoxClick, 3, 100},
        {kParamLed, 0, 20},
        {kBusWindow | kNested, kCloseWindow, 0},
        {kBusWindow | kNested, kOpenWindow, 40},
        {kF5, 0, kFree}}},
      // Closed during the rearm (the close is posted before F5 runs it), then inside a step of
      // the search.
      {"close-in-search",
       product,
       {{kBusWindow | late, kCloseWindow, 0},
        {kF5, 0, 40},
        {kBusWindow, kOpenWindow, 40},
        {kF5, 0, 0},
        {kBusWindow | late, kCloseWindow, 60},
        {kBusWindow, kOpenWindow, 40},
        {kF5, 0, kFree}}},
      {"close-in-supervision",
       product,
       {{kF5, 0, kFree},
        {kF9, 0, 0x84},
        {kBusWindow | nested, kCloseWindow, 40},
        {kBusWindow, kOpenWindow, 40},
        {kF5, 0, kFree},
        {kF9, 0, 0x84}}},
      {"close-in-led-walk",
       product,
       {{kF5, 0, kFree},
        {kLedWindowFields, 0x45, 1},
        {kLedStartStop, 0, 40},
        {kBusWindow | nested, kCloseWindow, 20},
        {kBusWindow, kOpenWindow, 40},
        {kF5, 0, kFree},
        {kLedWindowFields, 0x20, 1},
        {kLedStartStop, 0, 20},
        {kLedArrow, 1, 20}}},
      // The HTML report before any search shows the demonstration loop; both reports after a
      // search, one asked for during the next search's rearm.
      {"reports",
       product,
       {{kReportWindow, kSaveHtml, 1},
        {kF5, 0, kFree},
        {kReportWindow, kSaveText, 1},
        {kReportWindow, kSaveHtml, 1},
        {kReportWindow | late, kSaveText, 0},
        {kF5, 0, kFree}}},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const auto loops = exampleLoops();
  for (std::size_t l = 0; l < loops.size(); ++l) {
    const std::string name = loops[l].name;
    for (const Scenario& sc : scenarios(name.starts_with("kapre"))) {
      const auto index = static_cast<std::uint8_t>(l);
      // The dry run counts the bytes sent; a silent box would send the count to nothing.
      const auto honest = static_cast<std::uint8_t>(sc.setup & ~setup::kSilentTail);
      const RunReport dry = runInput(makeInput(index, honest, 5, {}, sc.actions), 0);
      const std::vector<std::uint8_t> line(std::min(dry.decisions, kMaxLine), 0);
      const std::vector<std::uint8_t> seed = makeInput(index, sc.setup, 5, line, sc.actions);
      const RunReport run = runInput(seed, 0);
      const std::string path = dir + "/" + name + "-" + sc.name;
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(seed.data()),
                 static_cast<std::streamsize>(seed.size()));
      std::printf("%-28s %5zu bytes, %3d points found, %7.1f s virtual\n",
                  (name + "-" + sc.name).c_str(), seed.size(), run.found, run.virtualSeconds);
    }
  }
  return 0;
}
